// Our MediaPlayer (media_engine.h) on top of Windows.Media.Playback.MediaPlayer:
// each operation is the runtime call of the same name, the notifications
// come through the player core (player_core.h), which keeps the promises
// of media_engine.h.
#ifndef CORVANE_PLATFORM_WINDOWS_MEDIA_WINDOWS_MEDIA_PLAYER_H_
#define CORVANE_PLATFORM_WINDOWS_MEDIA_WINDOWS_MEDIA_PLAYER_H_

#include <memory>

#include "platform/media_engine.h"
#include "platform/windows/runtime_activation.h"

namespace corvane::platform::windows {

// Activates one MediaPlayer through `activation` (on the calling thread,
// which must be in an apartment). Raises hresult_error with the
// activation's code where the class is missing (REGDB_E_CLASSNOTREG under
// Wine and on Windows N without the Media Feature Pack).
std::shared_ptr<MediaPlayer> CreateWindowsMediaPlayer(std::shared_ptr<winrt::RuntimeActivation> activation);

// The engine whose players are CreateWindowsMediaPlayer(activation), each
// made on the thread that asks ("create", the platform thread).
std::shared_ptr<MediaEngine> CreateWindowsMediaEngine(std::shared_ptr<winrt::RuntimeActivation> activation);

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_MEDIA_WINDOWS_MEDIA_PLAYER_H_
