// The host's texture registrar as engine threads reach it: to tell the host
// that a texture holds a new frame.
//
// The registrar belongs to the host and goes with the plugin's
// registration, while a frame handler may outlast the player: the engine's
// close waits for a running handler only boundedly. So engine threads never
// hold the registrar itself. The controller attaches it here and detaches
// it before it lets its textures go; once Detach has returned no mark is in
// progress and a later mark does nothing.
//
// A mark holds the mutex while it calls the host, which only schedules a
// fetch of the texture and never waits for the platform thread, so Detach
// waits no longer than one such call.
#ifndef CORVANE_PLAYER_TEXTURE_MARKER_H_
#define CORVANE_PLAYER_TEXTURE_MARKER_H_

#include <cstdint>
#include <mutex>

namespace flutter {
class TextureRegistrar;
}

namespace corvane::player {

class TextureMarker {
 public:
  // Platform thread, before any engine handler may mark.
  void Attach(flutter::TextureRegistrar* registrar);
  // Platform thread. Waits for a mark in progress; later marks do nothing.
  void Detach();

  // Any thread.
  void MarkFrameAvailable(int64_t textureId);

 private:
  std::mutex mutex_;
  flutter::TextureRegistrar* registrar_ = nullptr;  // guarded by mutex_; not owned; null once detached
};

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_TEXTURE_MARKER_H_
