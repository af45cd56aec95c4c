// The window's status line, drawn with pango/cairo into a picture the
// window shows below the videos.
#ifndef CORVANE_APPS_PLAY_STATUS_BAR_H_
#define CORVANE_APPS_PLAY_STATUS_BAR_H_

#include <string>

#include "compositor.h"

namespace corvane::play {

constexpr int kStatusBarHeight = 28;

// An opaque bar of `width` x kStatusBarHeight with `text` on it in one
// line, cut with an ellipsis when too long. `alarm` draws it red, for
// errors. Empty for a width below 1.
BgraImage RenderStatusBar(const std::string& text, int width, bool alarm);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_STATUS_BAR_H_
