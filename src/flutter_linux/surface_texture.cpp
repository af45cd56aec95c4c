#include "flutter_linux/surface_texture.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <string>

#include "flutter_linux/surface_pixels.h"
#include "host/diagnostics.h"

namespace corvane::flutter_linux {

// Gives the plugin's descriptor back, whatever the copy does.
struct ReleaseDescriptor {
  void operator()(const FlutterDesktopGpuSurfaceDescriptor* descriptor) const {
    if (descriptor->release_callback != nullptr) descriptor->release_callback(descriptor->release_context);
  }
};
using DescriptorHold = std::unique_ptr<const FlutterDesktopGpuSurfaceDescriptor, ReleaseDescriptor>;

// The C++ side of a texture object.
class SurfaceTextureState {
 public:
  SurfaceTextureState(FlutterDesktopGpuSurfaceTextureCallback callback, void* userData)
      : callback_(callback), userData_(userData) {}

  // Raster thread.
  void CopyPixels(const uint8_t** buffer, uint32_t* width, uint32_t* height) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (callback_ != nullptr) {
      std::string problem;
      if (DescriptorHold descriptor{callback_(*width, *height, userData_)}) {
        problem = pixels_.CopyFrom(*descriptor);
      } else {
        pixels_.ShowNothing();
      }
      if (!problem.empty() && !reported_) {
        reported_ = true;
        flutter::internal::WriteDiagnosticLine("Texture shows nothing: " + problem);
      }
    }
    *buffer = pixels_.data();
    *width = pixels_.width();
    *height = pixels_.height();
  }

  // Main thread.
  void Detach() {
    std::lock_guard<std::mutex> lock(mutex_);
    callback_ = nullptr;
    userData_ = nullptr;
    attached_.store(false);
  }
  // Main thread, without waiting for a copy in progress.
  bool IsAttached() const { return attached_.load(); }

  bool RequestMark() { return !markPending_.exchange(true); }
  void ClearMark() { markPending_.store(false); }

 private:
  // Held across the plugin's callback and the copy.
  std::mutex mutex_;
  // Guarded by mutex_.
  FlutterDesktopGpuSurfaceTextureCallback callback_;  // null once detached
  void* userData_;
  SurfacePixels pixels_;  // what Flutter reads until the next copy_pixels
  bool reported_ = false;

  std::atomic<bool> attached_{true};  // written by Detach only
  std::atomic<bool> markPending_{false};
};

}  // namespace corvane::flutter_linux

using corvane::flutter_linux::SurfaceTextureState;

struct _CorvaneSurfaceTexture {
  FlPixelBufferTexture parent_instance;
  // Owned: made with the object, freed at its finalisation.
  SurfaceTextureState* state;
};

G_DEFINE_TYPE(CorvaneSurfaceTexture, corvane_surface_texture, fl_pixel_buffer_texture_get_type())

static gboolean corvane_surface_texture_copy_pixels(FlPixelBufferTexture* texture, const uint8_t** buffer,
                                                    uint32_t* width, uint32_t* height, GError** error) {
  // Nothing may unwind into the raster thread's C frames.
  try {
    CORVANE_SURFACE_TEXTURE(texture)->state->CopyPixels(buffer, width, height);
    return TRUE;
  } catch (const std::exception& failure) {
    g_set_error(error, g_quark_from_static_string("corvane-texture"), 0, "copying a frame failed: %s",
                failure.what());
  } catch (...) {
    g_set_error_literal(error, g_quark_from_static_string("corvane-texture"), 0, "copying a frame failed");
  }
  return FALSE;
}

static void corvane_surface_texture_finalize(GObject* object) {
  std::unique_ptr<SurfaceTextureState> state(CORVANE_SURFACE_TEXTURE(object)->state);  // Adopt
  CORVANE_SURFACE_TEXTURE(object)->state = nullptr;
  G_OBJECT_CLASS(corvane_surface_texture_parent_class)->finalize(object);
}

static void corvane_surface_texture_class_init(CorvaneSurfaceTextureClass* klass) {
  FL_PIXEL_BUFFER_TEXTURE_CLASS(klass)->copy_pixels = corvane_surface_texture_copy_pixels;
  G_OBJECT_CLASS(klass)->finalize = corvane_surface_texture_finalize;
}

static void corvane_surface_texture_init(CorvaneSurfaceTexture* /*self*/) {}

CorvaneSurfaceTexture* corvane_surface_texture_new(FlutterDesktopGpuSurfaceTextureCallback callback,
                                                   void* user_data) {
  auto* texture = CORVANE_SURFACE_TEXTURE(g_object_new(corvane_surface_texture_get_type(), nullptr));
  texture->state = std::make_unique<SurfaceTextureState>(callback, user_data).release();  // owned by the object
  return texture;
}

namespace corvane::flutter_linux {

void DetachSurfaceTexture(CorvaneSurfaceTexture* texture) { texture->state->Detach(); }
bool IsSurfaceTextureAttached(CorvaneSurfaceTexture* texture) { return texture->state->IsAttached(); }
bool RequestSurfaceTextureMark(CorvaneSurfaceTexture* texture) { return texture->state->RequestMark(); }
void ClearSurfaceTextureMark(CorvaneSurfaceTexture* texture) { texture->state->ClearMark(); }

}  // namespace corvane::flutter_linux
