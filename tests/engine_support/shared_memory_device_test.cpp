#include "platform/linux/shared_memory_device.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/hresult.h"

namespace corvane::platform {
namespace {

int FdOf(const SharedTexture& texture) { return static_cast<int>(reinterpret_cast<intptr_t>(texture.SharedHandle())); }

bool FdIsOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

// What the host does: map the fd on its own, read-only or read-write.
class HostMapping {
 public:
  HostMapping(int fd, size_t size, int protection) : size_(size) {
    void* address = ::mmap(nullptr, size, protection, MAP_SHARED, fd, 0);
    data_ = address == MAP_FAILED ? nullptr : static_cast<uint8_t*>(address);
  }
  ~HostMapping() {
    if (data_) ::munmap(data_, size_);
  }
  HostMapping(const HostMapping&) = delete;
  HostMapping& operator=(const HostMapping&) = delete;
  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_;
  size_t size_;
};

hresult CodeOf(const std::function<void()>& body) { return ToHresult(body); }

class SharedMemoryDeviceTest : public ::testing::Test {
 protected:
  std::shared_ptr<SurfaceDevice> device_ = CreateSharedMemoryDevice();
};

TEST_F(SharedMemoryDeviceTest, Texture_IsAMemfd_WhosePixelsTheHostSees) {
  auto texture = device_->CreateTexture(33, 7);
  const int fd = FdOf(*texture);
  ASSERT_TRUE(FdIsOpen(fd));
  char target[256] = {};
  ASSERT_GT(::readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target).rfind("/memfd:", 0), 0u) << target;
  struct stat info {};
  ASSERT_EQ(::fstat(fd, &info), 0);
  EXPECT_GE(static_cast<size_t>(info.st_size), 33u * 7u * 4u);

  const PixelView pixels = texture->Pixels();
  ASSERT_NE(pixels.data, nullptr);
  EXPECT_EQ(pixels.width, 33u);
  EXPECT_EQ(pixels.height, 7u);
  EXPECT_EQ(pixels.stride, 33u * 4u);
  // New textures start transparent black.
  EXPECT_EQ(pixels.data[0], 0);
  EXPECT_EQ(pixels.data[33 * 7 * 4 - 1], 0);

  pixels.data[0] = 0x11;
  pixels.data[33 * 7 * 4 - 1] = 0x22;
  HostMapping host(fd, 33 * 7 * 4, PROT_READ | PROT_WRITE);
  ASSERT_NE(host.data(), nullptr);
  EXPECT_EQ(host.data()[0], 0x11);
  EXPECT_EQ(host.data()[33 * 7 * 4 - 1], 0x22);
  host.data()[4] = 0x33;
  EXPECT_EQ(pixels.data[4], 0x33);
}

TEST_F(SharedMemoryDeviceTest, EachTexture_HasItsOwnObject_AndItsFdClosesWithIt) {
  auto first = device_->CreateTexture(16, 16);
  auto second = device_->CreateTexture(16, 16);
  const int firstFd = FdOf(*first);
  const int secondFd = FdOf(*second);
  ASSERT_NE(firstFd, secondFd);
  struct stat a {}, b {};
  ASSERT_EQ(::fstat(firstFd, &a), 0);
  ASSERT_EQ(::fstat(secondFd, &b), 0);
  EXPECT_NE(a.st_ino, b.st_ino);
  EXPECT_EQ(::fcntl(firstFd, F_GETFD) & FD_CLOEXEC, FD_CLOEXEC);

  first.reset();
  EXPECT_FALSE(FdIsOpen(firstFd));
  EXPECT_TRUE(FdIsOpen(secondFd));
}

TEST_F(SharedMemoryDeviceTest, Texture_KeepsItsSize_WhateverTheHostTries) {
  // A host reading on its raster thread must never find the object shorter
  // than its mapping.
  auto texture = device_->CreateTexture(8, 8);
  const int fd = FdOf(*texture);
  EXPECT_NE(::ftruncate(fd, 16), 0);
  EXPECT_NE(::ftruncate(fd, 1 << 20), 0);
  struct stat info {};
  ASSERT_EQ(::fstat(fd, &info), 0);
  EXPECT_EQ(info.st_size, 8 * 8 * 4);
}

TEST_F(SharedMemoryDeviceTest, CreateTexture_RefusesEmptyAndAbsurdSizes) {
  const struct {
    const char* label;
    uint32_t width, height;
  } rows[] = {
      {"zero_width", 0, 10},
      {"zero_height", 10, 0},
      {"both_zero", 0, 0},
      {"too_wide", 16385, 1},
      {"too_tall", 1, 16385},
      {"overflowing_product", 0xFFFFFFFFu, 0xFFFFFFFFu},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(CodeOf([&] { device_->CreateTexture(row.width, row.height); }), kInvalidArgument) << row.label;
  }
  EXPECT_EQ(device_->CreateTexture(1, 1)->Pixels().stride, 4u);
  EXPECT_EQ(device_->CreateTexture(16384, 1)->Width(), 16384u);
}

TEST_F(SharedMemoryDeviceTest, Surface_HoldsItsTexture_UntilClosed) {
  auto texture = device_->CreateTexture(4, 4);
  const int fd = FdOf(*texture);
  auto surface = device_->CreateSurface(texture);
  std::weak_ptr<SharedTexture> watch = texture;
  texture.reset();
  ASSERT_FALSE(watch.expired());
  EXPECT_FALSE(surface->IsClosed());
  EXPECT_EQ(FdOf(*surface->Texture()), fd);

  surface->Close();
  EXPECT_TRUE(surface->IsClosed());
  EXPECT_EQ(surface->Texture(), nullptr);
  EXPECT_TRUE(watch.expired());
  EXPECT_FALSE(FdIsOpen(fd));
  surface->Close();  // closing twice is harmless
  EXPECT_TRUE(surface->IsClosed());
}

TEST_F(SharedMemoryDeviceTest, ViewsAndSurfaces_OfNoTexture_AreInvalidArguments) {
  EXPECT_EQ(CodeOf([&] { device_->CreateSurface(nullptr); }), kInvalidArgument);
  EXPECT_EQ(CodeOf([&] { device_->CreateRenderTargetView(nullptr); }), kInvalidArgument);
}

TEST_F(SharedMemoryDeviceTest, Clear_FillsEveryPixel_WithTheColour_InTheDevicesByteOrder) {
  const struct {
    PixelOrder order;
    uint8_t bytes[4];
  } rows[] = {
      {PixelOrder::kBgra, {0, 128, 255, 255}},
      {PixelOrder::kRgba, {255, 128, 0, 255}},
  };
  for (const auto& row : rows) {
    auto device = CreateSharedMemoryDevice(row.order);
    auto texture = device->CreateTexture(5, 3);
    EXPECT_EQ(texture->Order(), row.order);
    auto view = device->CreateRenderTargetView(texture);
    device->ClearRenderTargetView(*view, ClearColor{1.0f, 0.5f, 0.0f, 1.0f});
    const PixelView pixels = texture->Pixels();
    ASSERT_EQ(pixels.order, row.order);
    for (uint32_t i = 0; i < 5 * 3 * 4; ++i) ASSERT_EQ(pixels.data[i], row.bytes[i % 4]) << i;
    device->ClearRenderTargetView(*view, ClearColor{0, 0, 0, 0});
    for (uint32_t i = 0; i < 5 * 3 * 4; ++i) ASSERT_EQ(pixels.data[i], 0) << i;
  }
}

TEST_F(SharedMemoryDeviceTest, ClearColour_AlwaysGivesValidPremultipliedBytes) {
  using linux_surfaces::ClearColorToBgraWord;
  const float nan = std::nanf("");
  const struct {
    const char* label;
    ClearColor color;
    uint32_t expected;  // 0xAARRGGBB
  } rows[] = {
      {"transparent_black", {0, 0, 0, 0}, 0x00000000u},
      {"opaque_white", {1, 1, 1, 1}, 0xFFFFFFFFu},
      {"premultiplied_half_grey", {0.5f, 0.5f, 0.5f, 0.5f}, 0x80808080u},
      {"colour_above_alpha_is_capped", {1, 1, 1, 0.5f}, 0x80808080u},
      {"out_of_range_clamped", {2, -1, 0.25f, 7}, 0xFFFF0040u},
      {"nan_is_zero", {nan, 1, 1, nan}, 0x00000000u},
  };
  for (const auto& row : rows) EXPECT_EQ(ClearColorToBgraWord(row.color), row.expected) << row.label;
}

}  // namespace
}  // namespace corvane::platform
