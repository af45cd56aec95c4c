// The media engine on Windows: each player drives one
// Windows.Media.Playback.MediaPlayer in frame-server mode (media/).
#ifndef CORVANE_PLATFORM_WINDOWS_WINDOWS_MEDIA_ENGINE_H_
#define CORVANE_PLATFORM_WINDOWS_WINDOWS_MEDIA_ENGINE_H_

#include <memory>

#include "platform/media_engine.h"
#include "platform/windows/runtime_activation.h"

namespace corvane::platform::windows {

// CreateMediaPlayer activates a MediaPlayer through `activation` (the
// system's when null) on the calling thread, which must be in an apartment.
// Where that fails it raises hresult_error with the activation's code:
// REGDB_E_CLASSNOTREG (0x80040154) under Wine and on Windows N without the
// Media Feature Pack.
std::shared_ptr<MediaEngine> CreateWindowsMediaEngine(std::shared_ptr<winrt::RuntimeActivation> activation = nullptr);

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_WINDOWS_MEDIA_ENGINE_H_
