// The Windows surface device: one Direct3D 11 device and its immediate
// context for the whole process, shared BGRA textures whose DXGI shared
// handle the host's compositor opens, and the Windows Runtime surfaces
// (IDirect3DSurface) the media engine draws into.
//
// Threads: creating textures, views and surfaces is free-threaded, as the
// Direct3D 11 device is. The immediate context is not: every use of ours
// (ClearRenderTargetView) runs under the callers' process-wide lock, which
// the frame path holds (render::DeviceContextMutex). The media engine draws
// into the textures from threads of its own, maybe through this device's
// context, which knows nothing of that lock: the device is made with its
// context's multithread protection on, and each clear is flushed before the
// engine draws over it.
#ifndef CORVANE_PLATFORM_WINDOWS_DIRECT3D11_DEVICE_H_
#define CORVANE_PLATFORM_WINDOWS_DIRECT3D11_DEVICE_H_

#include <d3d11.h>
#include <d3d11_4.h>
#include <dxgi.h>

#include <memory>

#include "platform/surface_device.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/winrt_abi.h"

namespace corvane::platform::windows {

// d3d11.dll's CreateDirect3D11SurfaceFromDXGISurface.
using SurfaceFromDxgiFunction = HRESULT(WINAPI*)(IDXGISurface* surface, IInspectable** direct3dSurface);

// The system calls whose outcome tests need to choose: Wine creates textures
// and views reliably, always fails GetSharedHandle and lacks the surface
// function. The default forwards each to the system.
class Direct3DCalls {
 public:
  virtual ~Direct3DCalls() = default;
  virtual HRESULT CreateTexture2D(ID3D11Device& device, const D3D11_TEXTURE2D_DESC& description,
                                  ID3D11Texture2D** texture);
  virtual HRESULT CreateRenderTargetView(ID3D11Device& device, ID3D11Texture2D& texture,
                                         ID3D11RenderTargetView** view);
  virtual HRESULT GetSharedHandle(IDXGIResource& resource, HANDLE* handle);
  // Answers the protection before. Wine's context says it is protected
  // whatever it is told.
  virtual BOOL SetMultithreadProtected(ID3D11Multithread& multithread, BOOL protect);
  // Null where d3d11.dll does not export it (before Windows 10, and Wine).
  virtual SurfaceFromDxgiFunction SurfaceFunction();
};

// The description of every texture the players share with the host: one
// BGRA level, bound for rendering and sampling, shared through a DXGI
// handle. The sample quality is the standard multisample pattern, as the
// host's compositor expects of a shared render target.
D3D11_TEXTURE2D_DESC SharedTextureDescription(uint32_t width, uint32_t height);

class Direct3D11Texture final : public SharedTexture {
 public:
  Direct3D11Texture(winrt::ComRef<ID3D11Texture2D> texture, uint32_t width, uint32_t height,
                    std::shared_ptr<Direct3DCalls> calls);
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  // Raises hresult_error when the texture has no IDXGIResource or no
  // shared handle (Wine has none).
  void* SharedHandle() const override;
  // The GPU texture cannot be mapped: data is null.
  PixelView Pixels() override { return {nullptr, width_, height_, 0}; }
  ID3D11Texture2D* Native() const { return texture_.get(); }

 private:
  const winrt::ComRef<ID3D11Texture2D> texture_;
  const uint32_t width_;
  const uint32_t height_;
  const std::shared_ptr<Direct3DCalls> calls_;
};

class Direct3D11Device final : public SurfaceDevice {
 public:
  Direct3D11Device(winrt::ComRef<ID3D11Device> device, winrt::ComRef<ID3D11DeviceContext> context,
                   std::shared_ptr<Direct3DCalls> calls);

  std::shared_ptr<SharedTexture> CreateTexture(uint32_t width, uint32_t height) override;
  std::shared_ptr<RenderTargetView> CreateRenderTargetView(const std::shared_ptr<SharedTexture>& texture) override;
  std::shared_ptr<VideoSurface> CreateSurface(const std::shared_ptr<SharedTexture>& texture) override;
  // The caller holds the process-wide context lock.
  void ClearRenderTargetView(RenderTargetView& view, ClearColor color) override;

  ID3D11Device* Native() const { return device_.get(); }
  ID3D11DeviceContext* ImmediateContext() const { return context_.get(); }

 private:
  const winrt::ComRef<ID3D11Device> device_;
  const winrt::ComRef<ID3D11DeviceContext> context_;
  const std::shared_ptr<Direct3DCalls> calls_;
};

// D3D11CreateDevice on the default adapter, hardware driver, BGRA support
// and no debug layer, the runtime's default feature levels, then the
// context's multithread protection on (where the context lacks
// ID3D11Multithread, on older systems, that is logged and the device used
// all the same).
// Raises hresult_error with the system's code (Wine without a display:
// DXGI_ERROR_UNSUPPORTED). `calls` defaults to the system's.
std::shared_ptr<Direct3D11Device> CreateDirect3D11Device(std::shared_ptr<Direct3DCalls> calls = nullptr);

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_DIRECT3D11_DEVICE_H_
