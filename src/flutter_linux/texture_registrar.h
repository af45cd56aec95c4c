// The texture registrar behind FlutterDesktopTextureRegistrarRef: the
// plugin's GPU-surface textures registered with flutter_linux as
// pixel-buffer textures (surface_texture.h), known by fl_texture_get_id.
//
// Threads: Register on the main thread. Marks and unregistrations come from
// any thread (engine threads mark; whichever thread destroys a player
// unregisters) and reach flutter_linux from the main thread only: marks are
// posted there, at most one pending per texture; an unregistration off the
// main thread is posted whole. The id table is locked.
//
// An unregistration takes the texture out of the table at once (later marks
// of its id do nothing), unregisters it with flutter_linux, detaches the
// plugin's callback (waiting for a copy in progress) and only then runs the
// plugin's completion: from then on no copy_pixels reaches the plugin.
#ifndef CORVANE_FLUTTER_LINUX_TEXTURE_REGISTRAR_H_
#define CORVANE_FLUTTER_LINUX_TEXTURE_REGISTRAR_H_

#include <flutter_linux/flutter_linux.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include "flutter_linux/main_thread.h"
#include "flutter_linux/surface_texture.h"
#include "host/flutter_desktop.h"
#include "platform/linux/glib_handles.h"

struct FlutterDesktopTextureRegistrar {
 public:
  FlutterDesktopTextureRegistrar(FlTextureRegistrar* registrar,
                                 std::shared_ptr<const corvane::flutter_linux::MainThread> mainThread);
  ~FlutterDesktopTextureRegistrar();
  FlutterDesktopTextureRegistrar(const FlutterDesktopTextureRegistrar&) = delete;
  FlutterDesktopTextureRegistrar& operator=(const FlutterDesktopTextureRegistrar&) = delete;

  // -1 when the texture is not a GPU surface or flutter_linux refuses it.
  int64_t Register(const FlutterDesktopTextureInfo& info);
  // False for an id that is not registered.
  bool MarkFrameAvailable(int64_t id);
  // `completion` (may be null) runs once: on the main thread, or for an
  // unknown id at once on the calling thread.
  void Unregister(int64_t id, void (*completion)(void*), void* userData);

 private:
  using TexturePtr = corvane::platform::GObjectPtr<CorvaneSurfaceTexture>;

  corvane::platform::GObjectPtr<FlTextureRegistrar> registrar_;
  const std::shared_ptr<const corvane::flutter_linux::MainThread> mainThread_;
  std::mutex mutex_;
  std::map<int64_t, TexturePtr> textures_;  // guarded by mutex_
};

#endif  // CORVANE_FLUTTER_LINUX_TEXTURE_REGISTRAR_H_
