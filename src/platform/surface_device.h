// Shared textures and the surfaces the media engine draws into.
//
// A texture is a block of pixels that the player shares with the host's
// renderer through a handle. On Linux it is an anonymous shared-memory
// object (memfd) holding 8-bit pixels in the device's byte order (BGRA for
// our host library, RGBA for a Flutter Linux app, whose pixel-buffer
// textures take nothing else), premultiplied alpha, rows tightly packed
// (stride = width * 4); the handle is its file descriptor. On Windows it is
// a Direct3D 11 BGRA texture with a DXGI shared handle. The player never looks inside: it creates textures, reads their
// handle, wraps them as surfaces for the engine and clears them.
//
// Threads: a device is used by every player of the process from engine
// threads at once. Creating objects is thread-safe; the device context
// (ClearRenderTargetView) must be used under the caller's process-wide lock,
// as a Direct3D immediate context must.
#ifndef CORVANE_PLATFORM_SURFACE_DEVICE_H_
#define CORVANE_PLATFORM_SURFACE_DEVICE_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace corvane::platform {

// The order of a pixel's four bytes in memory. Whoever draws into a texture
// writes this order directly, so that no later pass has to swap channels.
enum class PixelOrder {
  kBgra,  // B, G, R, A: Direct3D's B8G8R8A8, Cairo's ARGB32, libyuv's "ARGB"
  kRgba,  // R, G, B, A: what a Flutter Linux pixel-buffer texture hands over
};

// CPU view of a texture's pixels, valid while the texture lives.
struct PixelView {
  uint8_t* data = nullptr;
  uint32_t width = 0;
  uint32_t height = 0;
  size_t stride = 0;  // bytes per row
  PixelOrder order = PixelOrder::kBgra;
};

// One shared texture. Lives while any surface or view refers to it.
class SharedTexture {
 public:
  virtual ~SharedTexture() = default;
  virtual uint32_t Width() const = 0;
  virtual uint32_t Height() const = 0;
  // The handle that the host opens: on Linux (void*)(intptr_t)fd, the fd
  // stays open for as long as the texture lives.
  virtual void* SharedHandle() const = 0;
  // CPU access for engines that draw with the CPU. Null data where the
  // texture cannot be mapped.
  virtual PixelView Pixels() = 0;
  virtual PixelOrder Order() const { return PixelOrder::kBgra; }
};

// The surface the engine's two render calls draw into. It holds the only
// lasting reference to its texture; Close releases it early.
class VideoSurface {
 public:
  virtual ~VideoSurface() = default;
  virtual void Close() = 0;
  virtual bool IsClosed() const = 0;
  // The texture behind the surface; null once closed.
  virtual std::shared_ptr<SharedTexture> Texture() const = 0;
  // The engine's own surface object, for an engine that draws through one
  // rather than into Texture()'s pixels: on Windows the IDirect3DSurface
  // the media engine's copy calls take. Borrowed, valid until Close; null
  // once closed, and on Linux.
  virtual void* NativeSurface() const { return nullptr; }
};

// A view through which a texture is cleared.
class RenderTargetView {
 public:
  virtual ~RenderTargetView() = default;
  virtual std::shared_ptr<SharedTexture> Texture() const = 0;
};

struct ClearColor {
  float r = 0, g = 0, b = 0, a = 0;
};

// Creates textures and surfaces. Each call raises hresult_error on failure.
class SurfaceDevice {
 public:
  virtual ~SurfaceDevice() = default;
  virtual std::shared_ptr<SharedTexture> CreateTexture(uint32_t width, uint32_t height) = 0;
  virtual std::shared_ptr<RenderTargetView> CreateRenderTargetView(
      const std::shared_ptr<SharedTexture>& texture) = 0;
  virtual std::shared_ptr<VideoSurface> CreateSurface(const std::shared_ptr<SharedTexture>& texture) = 0;
  // The immediate context's clear: callers serialise it with one
  // process-wide lock.
  virtual void ClearRenderTargetView(RenderTargetView& view, ClearColor color) = 0;
};

// The Linux device: memfd-backed textures whose pixels are in `order`.
std::shared_ptr<SurfaceDevice> CreateSharedMemoryDevice(PixelOrder order = PixelOrder::kBgra);

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_SURFACE_DEVICE_H_
