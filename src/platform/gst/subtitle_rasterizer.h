// Draws subtitle cues into a premultiplied BGRA or RGBA surface with Pango
// and Cairo, the way the subtitle texture shows them over the video. A cue
// without a layout of its own is white text with a dark outline,
// bottom-centred, wrapped to 90% of the width, the font size following the
// surface height; styled cues (from ASS, say) bring their placement, size,
// outline and shadow, and colours and weights in their markup.
#ifndef CORVANE_PLATFORM_GST_SUBTITLE_RASTERIZER_H_
#define CORVANE_PLATFORM_GST_SUBTITLE_RASTERIZER_H_

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/surface_device.h"
#include "platform/gst/cue_layout.h"

namespace corvane::platform::gst {

// One active cue: UTF-8 text, either plain or Pango markup (<i>, <b>, ...),
// and where and how it is drawn.
struct SubtitleCue {
  SubtitleCue() = default;
  SubtitleCue(std::string cueText, bool markup, CueLayout cueLayout = {})
      : text(std::move(cueText)), isMarkup(markup), layout(cueLayout) {}

  std::string text;
  bool isMarkup = false;
  CueLayout layout;
};

// Threads: one rasterizer per subtitle surface, used by one thread at a time
// (the caller's surface lock). It keeps its font map, context and layout
// from call to call, so fonts are loaded once.
class SubtitleRasterizer {
 public:
  SubtitleRasterizer();
  ~SubtitleRasterizer();
  SubtitleRasterizer(const SubtitleRasterizer&) = delete;
  SubtitleRasterizer& operator=(const SubtitleRasterizer&) = delete;

  // Clears `dst` to transparent and draws the cues. Cues that share a
  // layout are stacked in order (the first on top); blocks placed at the
  // same edge stack away from it. Markup that does not parse is
  // shown as its text without the tags. Returns whether anything was drawn:
  // false for no cues, cues without visible text, or an unusable view (null
  // data, zero size, stride below width * 4; such a view is left alone).
  bool Render(const std::vector<SubtitleCue>& cues, const platform::PixelView& dst);

 private:
  struct Pango;
  std::unique_ptr<Pango> pango_;
  // Staging for views whose stride or alignment Cairo cannot take as is.
  std::vector<uint8_t> scratch_;
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUBTITLE_RASTERIZER_H_
