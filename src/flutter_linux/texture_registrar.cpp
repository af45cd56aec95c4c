#include "flutter_linux/texture_registrar.h"

#include <string>
#include <utility>

#include "host/diagnostics.h"

using corvane::flutter_linux::MainThread;
using corvane::platform::AdoptObject;
using corvane::platform::GObjectPtr;
using corvane::platform::RetainObject;

namespace {

void Report(const std::string& line) { flutter::internal::WriteDiagnosticLine(line); }

// Tasks carry their GObjects shared, as std::function must be copyable.
template <typename T>
std::shared_ptr<T> Share(GObjectPtr<T> object) {
  return std::shared_ptr<T>(object.release(), [](T* released) { g_object_unref(released); });  // Adopt
}

}  // namespace

FlutterDesktopTextureRegistrar::FlutterDesktopTextureRegistrar(FlTextureRegistrar* registrar,
                                                               std::shared_ptr<const MainThread> mainThread)
    : registrar_(RetainObject(registrar)), mainThread_(std::move(mainThread)) {}

FlutterDesktopTextureRegistrar::~FlutterDesktopTextureRegistrar() {
  // Goes when the engine does, from inside its disposal.
  mainThread_->ReleaseLater(std::move(registrar_));
}

int64_t FlutterDesktopTextureRegistrar::Register(const FlutterDesktopTextureInfo& info) {
  if (info.type != kFlutterDesktopGpuSurfaceTexture || info.gpu_surface_config.callback == nullptr) {
    Report("Error: only GPU-surface textures with a callback can be registered.");
    return -1;
  }
  TexturePtr texture =
      AdoptObject(corvane_surface_texture_new(info.gpu_surface_config.callback, info.gpu_surface_config.user_data));
  if (!fl_texture_registrar_register_texture(registrar_.get(), FL_TEXTURE(texture.get()))) {
    Report("Error: the engine refused a texture.");
    return -1;
  }
  const int64_t id = fl_texture_get_id(FL_TEXTURE(texture.get()));
  std::lock_guard<std::mutex> lock(mutex_);
  textures_[id] = std::move(texture);
  return id;
}

bool FlutterDesktopTextureRegistrar::MarkFrameAvailable(int64_t id) {
  TexturePtr texture;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = textures_.find(id);
    if (found == textures_.end()) return false;
    texture = RetainObject(found->second.get());
  }
  if (!corvane::flutter_linux::RequestSurfaceTextureMark(texture.get())) return true;  // one is on its way
  mainThread_->Post([registrar = Share(RetainObject(registrar_.get())), texture = Share(std::move(texture))] {
    corvane::flutter_linux::ClearSurfaceTextureMark(texture.get());
    // Unregistered meanwhile (on this thread, so never during this task).
    if (!corvane::flutter_linux::IsSurfaceTextureAttached(texture.get())) return;
    fl_texture_registrar_mark_texture_frame_available(registrar.get(), FL_TEXTURE(texture.get()));
  });
  return true;
}

void FlutterDesktopTextureRegistrar::Unregister(int64_t id, void (*completion)(void*), void* userData) {
  TexturePtr texture;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = textures_.find(id);
    if (found != textures_.end()) {
      texture = std::move(found->second);
      textures_.erase(found);
    }
  }
  if (!texture) {
    Report("Error: unregistering texture " + std::to_string(id) + ", which is not registered.");
    if (completion != nullptr) completion(userData);
    return;
  }
  mainThread_->Run([registrar = Share(RetainObject(registrar_.get())), texture = Share(std::move(texture)),
                    completion, userData] {
    fl_texture_registrar_unregister_texture(registrar.get(), FL_TEXTURE(texture.get()));
    corvane::flutter_linux::DetachSurfaceTexture(texture.get());
    if (completion != nullptr) completion(userData);
  });
}
