// One texture of one player (its video, or its subtitles) as the host sees
// it: the descriptor the texture callback returns, the mutex that the host
// holds from that callback until its release callback, and the shared
// texture the engine draws into.
//
// Threads and ownership:
// - The player owns a FrameSurface through a shared reference. The texture
//   callback holds it weakly; a descriptor handed to the host holds it
//   strongly until the host releases it, so the descriptor and its mutex
//   outlive the player when the raster thread still reads. Its destructor
//   only drops references, so any thread may run it.
// - Render runs on engine threads (and on the player's redraw worker when
//   the subtitles are switched back on); ObtainDescriptor on the raster
//   thread; SetActive and Close on the platform thread; SetWantedSize on
//   the platform thread and on the engine thread that takes a new natural
//   size in.
// - The descriptor's fields, the surface and the render target view change
//   only under the mutex. The wanted size and the active flag are atomics.
#ifndef CORVANE_RENDER_FRAME_SURFACE_H_
#define CORVANE_RENDER_FRAME_SURFACE_H_

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "host/flutter_desktop.h"
#include "platform/surface_device.h"

namespace corvane::render {

enum class SurfaceKind { Video = 0, Subtitle = 1 };

enum class FrameOutcome {
  Drawn,            // the frame is in the texture
  NoWantedSize,     // no size yet, or the source is closed
  NoDevice,         // no shared-texture device: frames are dropped
  CreationFailed,   // a new texture could not be made; the old one stays
  DrawFailed,       // the engine's copy or render raised
};

// Serialises every use of the device's immediate context (the subtitle
// clear), across all players of the process.
std::mutex& DeviceContextMutex();

class FrameSurface : public std::enable_shared_from_this<FrameSurface> {
 public:
  // `device` may be null: then no texture is ever made.
  FrameSurface(SurfaceKind kind, std::shared_ptr<platform::SurfaceDevice> device);
  ~FrameSurface();
  FrameSurface(const FrameSurface&) = delete;
  FrameSurface& operator=(const FrameSurface&) = delete;

  // Raster thread. The descriptor with the mutex locked, or null (inactive,
  // no texture, closed, or a stale subtitle texture). The host must call the
  // descriptor's release_callback exactly once, on the same thread.
  const FlutterDesktopGpuSurfaceDescriptor* ObtainDescriptor();

  // Platform or engine thread. The size the next texture is made at (the
  // natural video size); 0 x 0 after the source closes.
  void SetWantedSize(uint32_t width, uint32_t height);
  bool HasWantedSize() const;

  // Platform thread. An inactive surface is neither drawn nor offered.
  // Deactivating marks the texture stale: it is offered again only after a
  // later Render has cleared and redrawn it.
  void SetActive(bool active);
  bool IsActive() const { return active_.load(); }

  // Engine threads. Under the mutex: makes a texture when there is none or
  // the wanted size differs from the current one, clears a reused subtitle
  // texture, then runs `draw` on the surface.
  FrameOutcome Render(const std::function<void(platform::VideoSurface&)>& draw);

  // Platform thread. Waits until the host has released the descriptor, then
  // closes the surface under the mutex; the texture callback answers null
  // until a new texture exists.
  void Close();

 private:
  static void ReleaseDescriptor(void* context);
  bool CreateTexture(uint32_t width, uint32_t height);  // mutex held

  const SurfaceKind kind_;
  const std::shared_ptr<platform::SurfaceDevice> device_;
  std::atomic<uint32_t> wantedWidth_{0};
  std::atomic<uint32_t> wantedHeight_{0};
  std::atomic<bool> active_;

  std::mutex mutex_;  // held by the host from ObtainDescriptor to release
  // Guarded by mutex_:
  FlutterDesktopGpuSurfaceDescriptor descriptor_{};
  std::shared_ptr<platform::VideoSurface> surface_;
  std::shared_ptr<platform::RenderTargetView> renderTarget_;
  bool stale_ = false;
  // The size whose creation last failed: not retried until the wanted size
  // changes, the old texture serving meanwhile.
  uint32_t failedWidth_ = 0;
  uint32_t failedHeight_ = 0;
  // Keeps this object alive while the host holds the descriptor.
  std::shared_ptr<FrameSurface> heldByHost_;
};

}  // namespace corvane::render

#endif  // CORVANE_RENDER_FRAME_SURFACE_H_
