// A shared-texture device for tests of the frame path: textures are plain
// memory with a distinct handle each, and every creation step can be made
// to fail on demand. Thread-safe.
#ifndef CORVANE_TESTS_PLUGIN_FAKE_SURFACE_DEVICE_H_
#define CORVANE_TESTS_PLUGIN_FAKE_SURFACE_DEVICE_H_

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/hresult.h"
#include "platform/surface_device.h"

namespace corvane::testing {

class FakeTexture final : public platform::SharedTexture {
 public:
  FakeTexture(uint32_t width, uint32_t height, intptr_t handle)
      : width_(width), height_(height), handle_(handle), pixels_(size_t{width} * height * 4, 0) {}
  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  void* SharedHandle() const override { return reinterpret_cast<void*>(handle_); }
  platform::PixelView Pixels() override { return {pixels_.data(), width_, height_, size_t{width_} * 4}; }

 private:
  const uint32_t width_, height_;
  const intptr_t handle_;
  std::vector<uint8_t> pixels_;
};

class FakeSurface final : public platform::VideoSurface {
 public:
  explicit FakeSurface(std::shared_ptr<platform::SharedTexture> texture) : texture_(std::move(texture)) {}
  void Close() override {
    std::lock_guard<std::mutex> lock(mutex_);
    texture_.reset();
  }
  bool IsClosed() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return texture_ == nullptr;
  }
  std::shared_ptr<platform::SharedTexture> Texture() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return texture_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<platform::SharedTexture> texture_;
};

class FakeRenderTarget final : public platform::RenderTargetView {
 public:
  explicit FakeRenderTarget(std::shared_ptr<platform::SharedTexture> texture) : texture_(std::move(texture)) {}
  std::shared_ptr<platform::SharedTexture> Texture() const override { return texture_; }

 private:
  std::shared_ptr<platform::SharedTexture> texture_;
};

class FakeSurfaceDevice final : public platform::SurfaceDevice {
 public:
  std::atomic<bool> failTextures{false};
  std::atomic<bool> failRenderTargets{false};
  std::atomic<bool> failSurfaces{false};
  std::atomic<int> texturesCreated{0};
  std::atomic<int> clears{0};

  std::shared_ptr<platform::SharedTexture> CreateTexture(uint32_t width, uint32_t height) override {
    if (failTextures) throw platform::hresult_error(platform::kOutOfMemory, "no texture");
    ++texturesCreated;
    return std::make_shared<FakeTexture>(width, height, nextHandle_++);
  }
  std::shared_ptr<platform::RenderTargetView> CreateRenderTargetView(
      const std::shared_ptr<platform::SharedTexture>& texture) override {
    if (failRenderTargets) throw platform::hresult_error(platform::kFail, "no view");
    return std::make_shared<FakeRenderTarget>(texture);
  }
  std::shared_ptr<platform::VideoSurface> CreateSurface(
      const std::shared_ptr<platform::SharedTexture>& texture) override {
    if (failSurfaces) throw platform::hresult_error(platform::kFail, "no surface");
    return std::make_shared<FakeSurface>(texture);
  }
  void ClearRenderTargetView(platform::RenderTargetView& view, platform::ClearColor) override {
    ++clears;
    platform::PixelView pixels = view.Texture()->Pixels();
    std::fill(pixels.data, pixels.data + pixels.stride * pixels.height, 0);
  }

 private:
  std::atomic<intptr_t> nextHandle_{100};
};

// Fills every pixel of the surface's texture with one BGRA value.
inline void FillSurface(platform::VideoSurface& surface, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  platform::PixelView pixels = surface.Texture()->Pixels();
  for (size_t i = 0; i + 3 < pixels.stride * pixels.height; i += 4) {
    pixels.data[i] = b;
    pixels.data[i + 1] = g;
    pixels.data[i + 2] = r;
    pixels.data[i + 3] = a;
  }
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLUGIN_FAKE_SURFACE_DEVICE_H_
