// The media engine on Windows, as far as it is built: players come from
// Windows.Media.Playback.MediaPlayer, and the adapter that drives one
// (sources, notifications, frame server) is not written yet.
#ifndef CORVANE_PLATFORM_WINDOWS_WINDOWS_MEDIA_ENGINE_H_
#define CORVANE_PLATFORM_WINDOWS_WINDOWS_MEDIA_ENGINE_H_

#include <memory>

#include "platform/media_engine.h"

namespace corvane::platform::windows {

// CreateMediaPlayer activates a MediaPlayer (RoActivateInstance) on the
// calling thread, which must be in an apartment. When that fails it raises
// hresult_error with the activation's code: REGDB_E_CLASSNOTREG
// (0x80040154) under Wine and on Windows without the media engine. When it
// succeeds it raises E_NOTIMPL, since no adapter can drive the player yet;
// it never hands out a player that does nothing.
std::shared_ptr<MediaEngine> CreateWindowsMediaEngine();

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_WINDOWS_MEDIA_ENGINE_H_
