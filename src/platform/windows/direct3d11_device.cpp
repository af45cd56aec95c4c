#include "platform/windows/direct3d11_device.h"

#include <mutex>
#include <utility>

#include "platform/debug_log.h"
#include "platform/hresult.h"
#include "platform/windows/winrt_check.h"

namespace corvane::platform::windows {
namespace {

using winrt::Check;
using winrt::ComRef;

// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND): what a missing export amounts to.
constexpr hresult kProcedureNotFound = static_cast<hresult>(0x8007007F);

Direct3D11Texture& OwnTexture(const std::shared_ptr<SharedTexture>& texture) {
  auto* own = dynamic_cast<Direct3D11Texture*>(texture.get());
  if (!own) throw hresult_error(kInvalidArgument, "not a texture of this device");
  return *own;
}

class Direct3D11View final : public RenderTargetView {
 public:
  Direct3D11View(ComRef<ID3D11RenderTargetView> view, std::shared_ptr<SharedTexture> texture)
      : view_(std::move(view)), texture_(std::move(texture)) {}
  std::shared_ptr<SharedTexture> Texture() const override { return texture_; }
  ID3D11RenderTargetView* Native() const { return view_.get(); }

 private:
  const ComRef<ID3D11RenderTargetView> view_;
  const std::shared_ptr<SharedTexture> texture_;
};

// The Windows Runtime surface over one texture. Closing it closes the
// runtime object (IClosable), which lets the media engine drop what it
// keeps for the surface, and lets the texture go. Made on the thread that
// draws first (an engine thread or the redraw worker), drawn into from
// both and closed on the platform thread: the runtime's surface is agile.
class Direct3D11VideoSurface final : public VideoSurface {
 public:
  Direct3D11VideoSurface(ComRef<winrt::IDirect3DSurface> surface, std::shared_ptr<SharedTexture> texture)
      : surface_(std::move(surface)), texture_(std::move(texture)) {}
  ~Direct3D11VideoSurface() override { Close(); }

  void Close() override {
    ComRef<winrt::IDirect3DSurface> surface;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      surface = std::move(surface_);
      texture_.reset();
    }
    ComRef<winrt::IClosable> closable;
    // A surface that cannot be closed is still released below; nothing
    // more can be done for it.
    if (surface && SUCCEEDED(surface.As(&closable))) closable->Close();
  }
  bool IsClosed() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return !surface_;
  }
  std::shared_ptr<SharedTexture> Texture() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return texture_;
  }
  void* NativeSurface() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return surface_.get();
  }

 private:
  mutable std::mutex mutex_;
  // Guarded by mutex_:
  ComRef<winrt::IDirect3DSurface> surface_;
  std::shared_ptr<SharedTexture> texture_;
};

}  // namespace

HRESULT Direct3DCalls::CreateTexture2D(ID3D11Device& device, const D3D11_TEXTURE2D_DESC& description,
                                       ID3D11Texture2D** texture) {
  return device.CreateTexture2D(&description, nullptr, texture);
}

HRESULT Direct3DCalls::CreateRenderTargetView(ID3D11Device& device, ID3D11Texture2D& texture,
                                              ID3D11RenderTargetView** view) {
  // No view description: a view of the whole texture in its own format.
  return device.CreateRenderTargetView(&texture, nullptr, view);
}

HRESULT Direct3DCalls::GetSharedHandle(IDXGIResource& resource, HANDLE* handle) {
  return resource.GetSharedHandle(handle);
}

BOOL Direct3DCalls::SetMultithreadProtected(ID3D11Multithread& multithread, BOOL protect) {
  return multithread.SetMultithreadProtected(protect);
}

SurfaceFromDxgiFunction Direct3DCalls::SurfaceFunction() {
  // Looked up rather than imported: a DLL importing a function its system
  // lacks does not load at all on Windows. d3d11.dll is already loaded, as
  // the device comes from it.
  static const SurfaceFromDxgiFunction function = [] {
    HMODULE d3d11 = GetModuleHandleW(L"d3d11.dll");
    // Through void(*)(): GetProcAddress's type says nothing of the function.
    return d3d11 ? reinterpret_cast<SurfaceFromDxgiFunction>(reinterpret_cast<void (*)()>(
                       GetProcAddress(d3d11, "CreateDirect3D11SurfaceFromDXGISurface")))
                 : nullptr;
  }();
  return function;
}

D3D11_TEXTURE2D_DESC SharedTextureDescription(uint32_t width, uint32_t height) {
  D3D11_TEXTURE2D_DESC description = {};
  description.Width = width;
  description.Height = height;
  description.MipLevels = 1;
  description.ArraySize = 1;
  description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
  description.SampleDesc.Count = 1;
  description.SampleDesc.Quality = D3D11_STANDARD_MULTISAMPLE_PATTERN;
  description.Usage = D3D11_USAGE_DEFAULT;
  description.BindFlags = D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET;
  description.CPUAccessFlags = 0;
  description.MiscFlags = D3D11_RESOURCE_MISC_SHARED;
  return description;
}

Direct3D11Texture::Direct3D11Texture(ComRef<ID3D11Texture2D> texture, uint32_t width, uint32_t height,
                                     std::shared_ptr<Direct3DCalls> calls)
    : texture_(std::move(texture)), width_(width), height_(height), calls_(std::move(calls)) {}

void* Direct3D11Texture::SharedHandle() const {
  ComRef<IDXGIResource> resource;
  Check(texture_.As(__uuidof(IDXGIResource), &resource), "the texture has no IDXGIResource");
  HANDLE handle = nullptr;
  Check(calls_->GetSharedHandle(*resource.get(), &handle), "GetSharedHandle failed");
  return handle;
}

Direct3D11Device::Direct3D11Device(ComRef<ID3D11Device> device, ComRef<ID3D11DeviceContext> context,
                                   std::shared_ptr<Direct3DCalls> calls)
    : device_(std::move(device)), context_(std::move(context)), calls_(std::move(calls)) {}

std::shared_ptr<SharedTexture> Direct3D11Device::CreateTexture(uint32_t width, uint32_t height) {
  const D3D11_TEXTURE2D_DESC description = SharedTextureDescription(width, height);
  ComRef<ID3D11Texture2D> texture;
  Check(calls_->CreateTexture2D(*device_.get(), description, texture.Receive()), "CreateTexture2D failed");
  return std::make_shared<Direct3D11Texture>(std::move(texture), width, height, calls_);
}

std::shared_ptr<RenderTargetView> Direct3D11Device::CreateRenderTargetView(
    const std::shared_ptr<SharedTexture>& texture) {
  ComRef<ID3D11RenderTargetView> view;
  Check(calls_->CreateRenderTargetView(*device_.get(), *OwnTexture(texture).Native(), view.Receive()),
                "CreateRenderTargetView failed");
  return std::make_shared<Direct3D11View>(std::move(view), texture);
}

std::shared_ptr<VideoSurface> Direct3D11Device::CreateSurface(const std::shared_ptr<SharedTexture>& texture) {
  ComRef<IDXGISurface> dxgiSurface;
  Check(winrt::RetainCom(OwnTexture(texture).Native()).As(__uuidof(IDXGISurface), &dxgiSurface),
                "the texture has no IDXGISurface");
  const SurfaceFromDxgiFunction createSurface = calls_->SurfaceFunction();
  if (!createSurface) {
    throw hresult_error(kProcedureNotFound, "d3d11.dll has no CreateDirect3D11SurfaceFromDXGISurface");
  }
  ComRef<IInspectable> created;
  Check(createSurface(dxgiSurface.get(), created.Receive()), "CreateDirect3D11SurfaceFromDXGISurface failed");
  ComRef<winrt::IDirect3DSurface> surface;
  Check(created.As(&surface), "the surface has no IDirect3DSurface");
  return std::make_shared<Direct3D11VideoSurface>(std::move(surface), texture);
}

void Direct3D11Device::ClearRenderTargetView(RenderTargetView& view, ClearColor color) {
  auto* own = dynamic_cast<Direct3D11View*>(&view);
  if (!own) throw hresult_error(kInvalidArgument, "not a view of this device");
  const FLOAT rgba[4] = {color.r, color.g, color.b, color.a};
  context_->ClearRenderTargetView(own->Native(), rgba);
  // Submitted now: the media engine draws the subtitles over it next, maybe
  // through a device of its own, which sees only work already submitted.
  context_->Flush();
}

std::shared_ptr<Direct3D11Device> CreateDirect3D11Device(std::shared_ptr<Direct3DCalls> calls) {
  if (!calls) calls = std::make_shared<Direct3DCalls>();
  ComRef<ID3D11Device> device;
  ComRef<ID3D11DeviceContext> context;
  D3D_FEATURE_LEVEL level = {};  // chosen by the runtime; nothing here depends on it
  const HRESULT code = D3D11CreateDevice(nullptr, D3D_DRIVER_TYPE_HARDWARE, nullptr, D3D11_CREATE_DEVICE_BGRA_SUPPORT,
                                         nullptr, 0, D3D11_SDK_VERSION, device.Receive(), &level, context.Receive());
  Check(code, "D3D11CreateDevice failed");
  ComRef<ID3D11Multithread> multithread;
  if (SUCCEEDED(context.As(__uuidof(ID3D11Multithread), &multithread))) {
    calls->SetMultithreadProtected(*multithread.get(), TRUE);
  } else {
    DebugLog("CorvanePlugin: The D3D11 device context cannot be protected for many threads\n");
  }
  return std::make_shared<Direct3D11Device>(std::move(device), std::move(context), std::move(calls));
}

}  // namespace corvane::platform::windows
