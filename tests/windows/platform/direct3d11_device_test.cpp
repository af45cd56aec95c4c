// The Direct3D 11 surface device on a real device (Wine's, over Mesa's
// software OpenGL under Xvfb), through the frame path that players use.
// Wine has no shared handles and no CreateDirect3D11SurfaceFromDXGISurface:
// those gaps are checked as the failures they are, and a seam stands in for
// them where the rest of the path is under test.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/debug_log.h"
#include "platform/hresult.h"
#include "platform/platform_layer.h"
#include "platform/windows/direct3d11_device.h"
#include "render/frame_surface.h"
#include "support/log_lines.h"

namespace corvane::test {
namespace {

using platform::hresult;
using platform::hresult_error;
using platform::windows::CreateDirect3D11Device;
using platform::windows::Direct3D11Device;
using platform::windows::Direct3D11Texture;
using platform::windows::Direct3DCalls;
using platform::windows::SurfaceFromDxgiFunction;
using platform::winrt::AdoptCom;
using platform::winrt::ComRef;
using render::FrameOutcome;
using render::FrameSurface;
using render::SurfaceKind;

constexpr hresult kNotImplemented = static_cast<hresult>(0x80004001);
constexpr hresult kProcedureNotFound = static_cast<hresult>(0x8007007F);

bool RunsUnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

// Wine's Direct3D needs an X display: the no-display run sets this.
bool ExpectsNoDevice() { return std::getenv("CORVANE_EXPECT_NO_D3D11_DEVICE") != nullptr; }

// What CreateDirect3D11SurfaceFromDXGISurface hands back, as far as the
// frame path uses it: an IDirect3DSurface that keeps the DXGI surface (and
// so the texture) until closed through IClosable.
class StandInSurface final : public platform::winrt::IDirect3DSurface, public platform::winrt::IClosable {
 public:
  static std::atomic<int> closed;
  static std::atomic<int> alive;

  explicit StandInSurface(IDXGISurface* surface) : surface_(platform::winrt::RetainCom(surface)) { ++alive; }
  ~StandInSurface() { --alive; }

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == platform::winrt::IDirect3DSurface::kIid || iid == __uuidof(IUnknown) ||
        iid == __uuidof(IInspectable)) {
      *object = static_cast<platform::winrt::IDirect3DSurface*>(this);
    } else if (iid == platform::winrt::IClosable::kIid) {
      *object = static_cast<platform::winrt::IClosable*>(this);
    } else {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE get_Description(platform::winrt::Direct3DSurfaceDescription*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Close() override {
    surface_.Reset();
    ++closed;
    return S_OK;
  }

 private:
  std::atomic<ULONG> references_{1};
  ComRef<IDXGISurface> surface_;
};
std::atomic<int> StandInSurface::closed{0};
std::atomic<int> StandInSurface::alive{0};

HRESULT WINAPI CreateStandInSurface(IDXGISurface* surface, IInspectable** created) {
  *created = static_cast<platform::winrt::IDirect3DSurface*>(new StandInSurface(surface));
  return S_OK;
}

// The system's calls, with Wine's two gaps filled (a handle per texture, the
// stand-in surface) and failures injected on request.
class SeamCalls final : public Direct3DCalls {
 public:
  std::atomic<HRESULT> textureFailure{S_OK};
  std::atomic<HRESULT> viewFailure{S_OK};
  std::atomic<int> texturesMade{0};
  bool standInHandles = true;  // set before use

  HRESULT CreateTexture2D(ID3D11Device& device, const D3D11_TEXTURE2D_DESC& description,
                          ID3D11Texture2D** texture) override {
    if (FAILED(textureFailure.load())) return textureFailure.load();
    const HRESULT code = Direct3DCalls::CreateTexture2D(device, description, texture);
    if (SUCCEEDED(code)) {
      ++texturesMade;
      std::lock_guard<std::mutex> lock(mutex_);
      lastTexture_ = platform::winrt::RetainCom(*texture);
    }
    return code;
  }
  // Whether anything but this record still holds the last texture made.
  bool LastTextureIsHeldElsewhere() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!lastTexture_) return false;
    lastTexture_->AddRef();
    return lastTexture_->Release() > 1;
  }
  HRESULT CreateRenderTargetView(ID3D11Device& device, ID3D11Texture2D& texture,
                                 ID3D11RenderTargetView** view) override {
    if (FAILED(viewFailure.load())) return viewFailure.load();
    return Direct3DCalls::CreateRenderTargetView(device, texture, view);
  }
  std::atomic<int> protectionsTurnedOn{0};
  BOOL SetMultithreadProtected(ID3D11Multithread& multithread, BOOL protect) override {
    if (protect) ++protectionsTurnedOn;
    return Direct3DCalls::SetMultithreadProtected(multithread, protect);
  }
  HRESULT GetSharedHandle(IDXGIResource& resource, HANDLE* handle) override {
    if (!standInHandles) return Direct3DCalls::GetSharedHandle(resource, handle);
    *handle = &resource;  // unique while the texture lives, as a real handle
    return S_OK;
  }
  SurfaceFromDxgiFunction SurfaceFunction() override { return &CreateStandInSurface; }

 private:
  std::mutex mutex_;
  ComRef<ID3D11Texture2D> lastTexture_;
};

class Direct3D11DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (ExpectsNoDevice()) GTEST_SKIP() << "run without a display";
    ASSERT_EQ(hresult{0}, platform::ToHresult([&] { device_ = CreateDirect3D11Device(); }));
  }

  std::shared_ptr<Direct3D11Device> WithSeam(std::shared_ptr<SeamCalls> calls) {
    return std::make_shared<Direct3D11Device>(platform::winrt::RetainCom(device_->Native()),
                                              platform::winrt::RetainCom(device_->ImmediateContext()),
                                              std::move(calls));
  }

  // The first pixel of `texture` as the word B | G << 8 | R << 16 | A << 24,
  // copied out through a staging texture.
  uint32_t FirstPixel(const platform::SharedTexture& texture) {
    ID3D11Texture2D* source = dynamic_cast<const Direct3D11Texture&>(texture).Native();
    D3D11_TEXTURE2D_DESC description = {};
    source->GetDesc(&description);
    description.Usage = D3D11_USAGE_STAGING;
    description.BindFlags = 0;
    description.CPUAccessFlags = D3D11_CPU_ACCESS_READ;
    description.MiscFlags = 0;
    description.SampleDesc.Quality = 0;
    ComRef<ID3D11Texture2D> staging;
    EXPECT_EQ(S_OK, device_->Native()->CreateTexture2D(&description, nullptr, staging.Receive()));
    if (!staging) return 0;
    std::lock_guard<std::mutex> lock(render::DeviceContextMutex());
    ID3D11DeviceContext* context = device_->ImmediateContext();
    context->CopyResource(staging.get(), source);
    D3D11_MAPPED_SUBRESOURCE mapped = {};
    EXPECT_EQ(S_OK, context->Map(staging.get(), 0, D3D11_MAP_READ, 0, &mapped));
    uint32_t pixel = 0;
    if (mapped.pData) std::memcpy(&pixel, mapped.pData, sizeof pixel);
    context->Unmap(staging.get(), 0);
    return pixel;
  }

  std::shared_ptr<Direct3D11Device> device_;
};

TEST(SharedDevice, IsMadeWhereDirect3DWorks_AndTheLayerSaysWhichWay) {
  LogLines log;
  const std::shared_ptr<platform::SurfaceDevice> device = platform::SystemPlatformLayer().AcquireSharedDevice();
  if (ExpectsNoDevice()) {
    EXPECT_EQ(nullptr, device);
    EXPECT_EQ(std::vector<std::string>{"CorvanePlugin: Failed to create D3D11 device\n"}, log.Lines());
    // DXGI_ERROR_UNSUPPORTED: Wine's Direct3D has no windowing system.
    try {
      CreateDirect3D11Device();
      ADD_FAILURE() << "a device was made without a display";
    } catch (const hresult_error& error) {
      EXPECT_EQ(static_cast<hresult>(0x887A0004), error.code()) << std::hex << error.code();
    }
  } else {
    EXPECT_NE(nullptr, device);
    EXPECT_EQ(std::vector<std::string>{"CorvanePlugin: D3D11 device created successfully\n"}, log.Lines());
  }
}

TEST_F(Direct3D11DeviceTest, Textures_AreSharedBgra_AndAClearReadsBack) {
  const auto texture = device_->CreateTexture(64, 32);
  D3D11_TEXTURE2D_DESC description = {};
  dynamic_cast<Direct3D11Texture&>(*texture).Native()->GetDesc(&description);
  EXPECT_EQ(64u, description.Width);
  EXPECT_EQ(32u, description.Height);
  EXPECT_EQ(DXGI_FORMAT_B8G8R8A8_UNORM, description.Format);
  EXPECT_EQ(UINT{D3D11_BIND_SHADER_RESOURCE | D3D11_BIND_RENDER_TARGET}, description.BindFlags);
  EXPECT_EQ(UINT{D3D11_RESOURCE_MISC_SHARED}, description.MiscFlags);
  EXPECT_EQ(D3D11_USAGE_DEFAULT, description.Usage);
  EXPECT_EQ(1u, description.MipLevels);

  const auto view = device_->CreateRenderTargetView(texture);
  {
    std::lock_guard<std::mutex> lock(render::DeviceContextMutex());
    device_->ClearRenderTargetView(*view, platform::ClearColor{1, 0, 0, 1});
  }
  EXPECT_EQ(0xFFFF0000u, FirstPixel(*texture));
  {
    std::lock_guard<std::mutex> lock(render::DeviceContextMutex());
    device_->ClearRenderTargetView(*view, platform::ClearColor{});
  }
  EXPECT_EQ(0u, FirstPixel(*texture));
}

// The media engine draws into the textures from threads of its own while
// players' engine threads clear subtitle textures on the immediate context:
// the device is made with that context protected. Wine's context answers
// protected whatever it is told, so the switch is also seen through the seam.
TEST_F(Direct3D11DeviceTest, IsMadeWithItsContextProtectedForManyThreads) {
  auto calls = std::make_shared<SeamCalls>();
  const auto device = CreateDirect3D11Device(calls);
  EXPECT_EQ(1, calls->protectionsTurnedOn.load());
  ComRef<ID3D11Multithread> multithread;
  ASSERT_EQ(S_OK, platform::winrt::RetainCom(device->ImmediateContext()).As(__uuidof(ID3D11Multithread), &multithread));
  EXPECT_TRUE(multithread->GetMultithreadProtected());
}

// Wine's real gaps, on their own paths: no shared handle (the frame is
// dropped, the new texture released, nothing offered to the host) and no
// surface function.
TEST_F(Direct3D11DeviceTest, WineGaps_FailTheirOwnWay_AndTheDeviceGoesOnServing) {
  if (!RunsUnderWine()) GTEST_SKIP() << "Windows has shared handles and the surface function";
  const auto texture = device_->CreateTexture(16, 16);
  try {
    texture->SharedHandle();
    ADD_FAILURE() << "Wine answered a shared handle";
  } catch (const hresult_error& error) {
    EXPECT_EQ(kNotImplemented, error.code()) << std::hex << error.code();
  }
  try {
    device_->CreateSurface(texture);
    ADD_FAILURE() << "Wine made a Direct3D surface";
  } catch (const hresult_error& error) {
    EXPECT_EQ(kProcedureNotFound, error.code()) << std::hex << error.code();
  }

  auto calls = std::make_shared<SeamCalls>();
  calls->standInHandles = false;
  LogLines log;
  auto frames = std::make_shared<FrameSurface>(SurfaceKind::Video, WithSeam(calls));
  frames->SetWantedSize(16, 16);
  int draws = 0;
  EXPECT_EQ(FrameOutcome::CreationFailed, frames->Render([&](platform::VideoSurface&) { ++draws; }));
  EXPECT_EQ(0, draws);
  EXPECT_EQ(nullptr, frames->ObtainDescriptor());
  EXPECT_EQ((std::vector<std::string>{"CorvanePlugin: Creating new surface/texture\n",
                                      "CorvanePlugin: Failed to get shared handle\n"}),
            log.Lines());
  EXPECT_EQ(1, calls->texturesMade.load());
  EXPECT_FALSE(calls->LastTextureIsHeldElsewhere()) << "the texture without a handle was kept";
  // The device still makes textures.
  EXPECT_NE(nullptr, device_->CreateTexture(8, 8));
}

TEST_F(Direct3D11DeviceTest, InjectedFailures_TakeTheirPaths) {
  auto calls = std::make_shared<SeamCalls>();
  const auto device = WithSeam(calls);

  calls->textureFailure = E_OUTOFMEMORY;
  {
    LogLines log;
    auto video = std::make_shared<FrameSurface>(SurfaceKind::Video, device);
    video->SetWantedSize(32, 16);
    EXPECT_EQ(FrameOutcome::CreationFailed, video->Render([](platform::VideoSurface&) {}));
    EXPECT_EQ(nullptr, video->ObtainDescriptor());
    EXPECT_EQ((std::vector<std::string>{"CorvanePlugin: Creating new surface/texture\n",
                                        "CorvanePlugin: Failed to create D3D11 texture\n"}),
              log.Lines());
  }

  // Without a view the subtitle texture is still used, and never cleared.
  calls->textureFailure = S_OK;
  calls->viewFailure = E_INVALIDARG;
  LogLines log;
  auto subtitles = std::make_shared<FrameSurface>(SurfaceKind::Subtitle, device);
  subtitles->SetActive(true);
  subtitles->SetWantedSize(32, 16);
  void* drawnInto = nullptr;
  const auto draw = [&](platform::VideoSurface& surface) { drawnInto = surface.NativeSurface(); };
  EXPECT_EQ(FrameOutcome::Drawn, subtitles->Render(draw));
  EXPECT_NE(nullptr, drawnInto);
  EXPECT_EQ(FrameOutcome::Drawn, subtitles->Render(draw));
  EXPECT_EQ((std::vector<std::string>{"CorvanePlugin: Creating new surface/texture\n",
                                      "CorvanePlugin: Failed to create render target view\n",
                                      "CorvanePlugin: Surface/texture created successfully\n"}),
            log.Lines());
  const FlutterDesktopGpuSurfaceDescriptor* descriptor = subtitles->ObtainDescriptor();
  ASSERT_NE(nullptr, descriptor);
  EXPECT_NE(nullptr, descriptor->handle);
  descriptor->release_callback(descriptor->release_context);
  subtitles->Close();
}

// Players' engine threads render at once: textures made and remade at each
// size change (closing the old surface), subtitle textures cleared through
// the one context lock. Each surface ends cleared and drawn, and every
// surface made is closed and gone at the end.
TEST_F(Direct3D11DeviceTest, ManyThreads_MakeTexturesAndClearThroughTheLock) {
  auto calls = std::make_shared<SeamCalls>();
  const auto device = WithSeam(calls);
  StandInSurface::closed = 0;
  constexpr int kThreads = 4;
  constexpr int kFrames = 40;
  std::vector<std::shared_ptr<FrameSurface>> surfaces;
  for (int i = 0; i < kThreads; ++i) {
    surfaces.push_back(std::make_shared<FrameSurface>(SurfaceKind::Subtitle, device));
    surfaces.back()->SetActive(true);
  }
  std::atomic<int> drawn{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      for (int frame = 0; frame < kFrames; ++frame) {
        const uint32_t side = 16u + 8u * static_cast<uint32_t>(frame / 10);  // a new size every 10 frames
        surfaces[i]->SetWantedSize(side, side);
        if (surfaces[i]->Render([](platform::VideoSurface& surface) {
              if (!surface.NativeSurface()) throw hresult_error(E_POINTER, "no surface");
            }) == FrameOutcome::Drawn) {
          ++drawn;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();

  EXPECT_EQ(kThreads * kFrames, drawn.load());
  EXPECT_EQ(kThreads * 4, calls->texturesMade.load());
  // A reused subtitle texture is cleared before each frame.
  std::shared_ptr<platform::SharedTexture> drawnTexture;
  EXPECT_EQ(FrameOutcome::Drawn,
            surfaces[0]->Render([&](platform::VideoSurface& surface) { drawnTexture = surface.Texture(); }));
  ASSERT_NE(nullptr, drawnTexture);
  EXPECT_EQ(0u, FirstPixel(*drawnTexture));
  EXPECT_EQ(kThreads * 3, StandInSurface::closed.load());  // the three replaced per surface
  for (const auto& surface : surfaces) surface->Close();
  EXPECT_EQ(kThreads * 4, StandInSurface::closed.load());
  surfaces.clear();
  EXPECT_EQ(0, StandInSurface::alive.load());
}

}  // namespace
}  // namespace corvane::test
