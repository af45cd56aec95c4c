#include "render/frame_surface.h"

#include "platform/debug_log.h"
#include "platform/hresult.h"

namespace corvane::render {

using platform::DebugLog;
using platform::Failed;
using platform::ToHresult;

std::mutex& DeviceContextMutex() {
  static std::mutex mutex;
  return mutex;
}

FrameSurface::FrameSurface(SurfaceKind kind, std::shared_ptr<platform::SurfaceDevice> device)
    : kind_(kind), device_(std::move(device)), active_(kind == SurfaceKind::Video) {
  descriptor_.struct_size = sizeof(FlutterDesktopGpuSurfaceDescriptor);
  descriptor_.format = kFlutterDesktopPixelFormatBGRA8888;
  descriptor_.release_callback = &FrameSurface::ReleaseDescriptor;
  descriptor_.release_context = this;
}

FrameSurface::~FrameSurface() {
  if (surface_) surface_->Close();
}

const FlutterDesktopGpuSurfaceDescriptor* FrameSurface::ObtainDescriptor() {
  if (!active_.load()) return nullptr;
  std::unique_lock<std::mutex> lock(mutex_);
  if (!surface_ || descriptor_.visible_width == 0 || descriptor_.visible_height == 0 || stale_) return nullptr;
  descriptor_.width = wantedWidth_.load();
  descriptor_.height = wantedHeight_.load();
  heldByHost_ = shared_from_this();
  lock.release();  // the host's release callback unlocks
  return &descriptor_;
}

void FrameSurface::ReleaseDescriptor(void* context) {
  auto* surface = static_cast<FrameSurface*>(context);
  // Unlock before the last reference may go: the mutex lives in the object.
  std::shared_ptr<FrameSurface> keepAlive = std::move(surface->heldByHost_);
  surface->mutex_.unlock();
}

void FrameSurface::SetWantedSize(uint32_t width, uint32_t height) {
  wantedWidth_.store(width);
  wantedHeight_.store(height);
}

bool FrameSurface::HasWantedSize() const { return wantedWidth_.load() != 0 && wantedHeight_.load() != 0; }

void FrameSurface::SetActive(bool active) {
  const bool was = active_.exchange(active);
  if (was && !active) {
    std::lock_guard<std::mutex> lock(mutex_);
    stale_ = true;
  }
}

FrameOutcome FrameSurface::Render(const std::function<void(platform::VideoSurface&)>& draw) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Read under the mutex: a Close that ran while this frame waited has
  // zeroed it first, so a late frame of the old source makes no texture.
  const uint32_t width = wantedWidth_.load();
  const uint32_t height = wantedHeight_.load();
  if (width == 0 || height == 0) return FrameOutcome::NoWantedSize;
  if (!device_) return FrameOutcome::NoDevice;

  const bool sizeDiffers = descriptor_.visible_width != width || descriptor_.visible_height != height;
  const bool gaveUpOnSize = width == failedWidth_ && height == failedHeight_;
  if (!gaveUpOnSize) failedWidth_ = failedHeight_ = 0;  // another size: worth a new attempt later
  bool fresh = false;
  if (!surface_ || (sizeDiffers && !gaveUpOnSize)) {
    // A failed creation drops this frame; later frames of the same size
    // reuse the old texture, if there is one, instead of retrying.
    if (!CreateTexture(width, height)) return FrameOutcome::CreationFailed;
    fresh = true;
  }

  if (kind_ == SurfaceKind::Subtitle && !fresh) {
    // A new texture starts empty; a reused one still holds the last cue.
    if (renderTarget_) {
      std::lock_guard<std::mutex> contextLock(DeviceContextMutex());
      if (Failed(ToHresult([&] { device_->ClearRenderTargetView(*renderTarget_, platform::ClearColor{}); }))) {
        DebugLog("CorvanePlugin: Exception in surface rendering API\n");
        return FrameOutcome::DrawFailed;
      }
    }
  }
  if (Failed(ToHresult([&] { draw(*surface_); }))) {
    DebugLog("CorvanePlugin: Exception in surface rendering API\n");
    return FrameOutcome::DrawFailed;
  }
  stale_ = false;
  return FrameOutcome::Drawn;
}

bool FrameSurface::CreateTexture(uint32_t width, uint32_t height) {
  DebugLog("CorvanePlugin: Creating new surface/texture\n");
  auto giveUp = [&](const char* line) {
    DebugLog(line);
    failedWidth_ = width;
    failedHeight_ = height;
    return false;
  };
  std::shared_ptr<platform::SharedTexture> texture;
  if (Failed(ToHresult([&] { texture = device_->CreateTexture(width, height); })) || !texture) {
    return giveUp("CorvanePlugin: Failed to create D3D11 texture\n");
  }
  std::shared_ptr<platform::RenderTargetView> renderTarget;
  if (kind_ == SurfaceKind::Subtitle) {
    if (Failed(ToHresult([&] { renderTarget = device_->CreateRenderTargetView(texture); }))) {
      DebugLog("CorvanePlugin: Failed to create render target view\n");
      renderTarget.reset();
    }
  }
  void* handle = nullptr;
  if (Failed(ToHresult([&] { handle = texture->SharedHandle(); }))) {
    return giveUp("CorvanePlugin: Failed to get shared handle\n");
  }
  std::shared_ptr<platform::VideoSurface> surface;
  if (Failed(ToHresult([&] { surface = device_->CreateSurface(texture); })) || !surface) {
    return giveUp("CorvanePlugin: Failed to create Direct3D11Surface\n");
  }
  // Only now that the new buffer exists does the host see its handle and
  // size; the old surface is closed after the switch.
  if (surface_) surface_->Close();
  surface_ = std::move(surface);
  renderTarget_ = std::move(renderTarget);
  descriptor_.handle = handle;
  descriptor_.format = texture->Order() == platform::PixelOrder::kRgba ? kFlutterDesktopPixelFormatRGBA8888
                                                                       : kFlutterDesktopPixelFormatBGRA8888;
  descriptor_.visible_width = width;
  descriptor_.visible_height = height;
  failedWidth_ = 0;
  failedHeight_ = 0;
  DebugLog("CorvanePlugin: Surface/texture created successfully\n");
  return true;
}

void FrameSurface::Close() {
  SetWantedSize(0, 0);
  std::lock_guard<std::mutex> lock(mutex_);
  if (surface_) surface_->Close();
  surface_.reset();
  renderTarget_.reset();
  descriptor_.handle = nullptr;
  descriptor_.visible_width = 0;
  descriptor_.visible_height = 0;
  failedWidth_ = 0;
  failedHeight_ = 0;
}

}  // namespace corvane::render
