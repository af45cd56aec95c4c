#include "platform/linux/shared_memory_device.h"

#include <fcntl.h>
#include <libyuv/planar_functions.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/hresult.h"
#include "platform/linux/unique_fd.h"

namespace corvane::platform::linux_surfaces {
namespace {

[[noreturn]] void ThrowSystemError(const char* what, int error) {
  const hresult code = error == ENOMEM || error == ENOSPC || error == EMFILE || error == ENFILE ? kOutOfMemory
                                                                                                : kFail;
  throw hresult_error(code, std::string(what) + ": " + std::strerror(error));
}

// A read-write shared mapping, unmapped when the owner goes.
class Mapping {
 public:
  Mapping(int fd, size_t size) : size_(size) {
    void* address = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (address == MAP_FAILED) ThrowSystemError("mmap of a texture failed", errno);
    data_ = static_cast<uint8_t*>(address);
  }
  ~Mapping() { ::munmap(data_, size_); }
  Mapping(const Mapping&) = delete;
  Mapping& operator=(const Mapping&) = delete;

  uint8_t* data() const { return data_; }

 private:
  uint8_t* data_ = nullptr;
  size_t size_;
};

UniqueFd CreateSealedMemfd(size_t size) {
  UniqueFd fd(::memfd_create("corvane-texture", MFD_CLOEXEC | MFD_ALLOW_SEALING));  // Adopt
  if (!fd.valid()) ThrowSystemError("memfd_create failed", errno);
  if (::ftruncate(fd.get(), static_cast<off_t>(size)) != 0) ThrowSystemError("sizing a texture failed", errno);
  // The host maps the fd and reads it on its raster thread: a fixed size
  // means no one can shrink the object under that mapping (a read past the
  // end would be SIGBUS).
  if (::fcntl(fd.get(), F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_SEAL) != 0) {
    ThrowSystemError("sealing a texture failed", errno);
  }
  return fd;
}

// Threads: immutable after construction apart from the pixels, whose use
// the owners serialise (the player's surface lock, the host's descriptor).
class SharedMemoryTexture final : public SharedTexture {
 public:
  SharedMemoryTexture(uint32_t width, uint32_t height, PixelOrder order)
      : width_(width),
        height_(height),
        order_(order),
        fd_(CreateSealedMemfd(ByteSize(width, height))),
        mapping_(fd_.get(), ByteSize(width, height)) {}

  uint32_t Width() const override { return width_; }
  uint32_t Height() const override { return height_; }
  void* SharedHandle() const override { return reinterpret_cast<void*>(static_cast<intptr_t>(fd_.get())); }
  PixelView Pixels() override { return PixelView{mapping_.data(), width_, height_, size_t{width_} * 4, order_}; }
  PixelOrder Order() const override { return order_; }

  static size_t ByteSize(uint32_t width, uint32_t height) { return size_t{width} * height * 4; }

 private:
  const uint32_t width_;
  const uint32_t height_;
  const PixelOrder order_;
  // Declared before the mapping: the mapping goes first, then the fd.
  const UniqueFd fd_;
  const Mapping mapping_;
};

// Threads: Close runs on the platform thread while engine threads read
// Texture, hence the lock.
class SharedMemorySurface final : public VideoSurface {
 public:
  explicit SharedMemorySurface(std::shared_ptr<SharedTexture> texture) : texture_(std::move(texture)) {}

  void Close() override {
    std::shared_ptr<SharedTexture> released;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      released = std::move(texture_);
    }
    // `released` goes here, outside the lock: the last reference closes the
    // fd and unmaps.
  }
  bool IsClosed() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return texture_ == nullptr;
  }
  std::shared_ptr<SharedTexture> Texture() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return texture_;
  }

 private:
  mutable std::mutex mutex_;
  std::shared_ptr<SharedTexture> texture_;
};

class SharedMemoryRenderTargetView final : public RenderTargetView {
 public:
  explicit SharedMemoryRenderTargetView(std::shared_ptr<SharedTexture> texture) : texture_(std::move(texture)) {}
  std::shared_ptr<SharedTexture> Texture() const override { return texture_; }

 private:
  const std::shared_ptr<SharedTexture> texture_;
};

class SharedMemoryDevice final : public SurfaceDevice {
 public:
  explicit SharedMemoryDevice(PixelOrder order) : order_(order) {}

  std::shared_ptr<SharedTexture> CreateTexture(uint32_t width, uint32_t height) override {
    if (width == 0 || height == 0 || width > kMaxTextureSide || height > kMaxTextureSide) {
      throw hresult_error(kInvalidArgument, "texture size " + std::to_string(width) + "x" +
                                                std::to_string(height) + " is out of range");
    }
    return std::make_shared<SharedMemoryTexture>(width, height, order_);
  }

  std::shared_ptr<RenderTargetView> CreateRenderTargetView(const std::shared_ptr<SharedTexture>& texture) override {
    if (!texture) throw hresult_error(kInvalidArgument, "render target view of no texture");
    return std::make_shared<SharedMemoryRenderTargetView>(texture);
  }

  std::shared_ptr<VideoSurface> CreateSurface(const std::shared_ptr<SharedTexture>& texture) override {
    if (!texture) throw hresult_error(kInvalidArgument, "surface of no texture");
    return std::make_shared<SharedMemorySurface>(texture);
  }

  void ClearRenderTargetView(RenderTargetView& view, ClearColor color) override {
    const std::shared_ptr<SharedTexture> texture = view.Texture();
    if (!texture) throw hresult_error(kInvalidArgument, "clear of a view without texture");
    const PixelView pixels = texture->Pixels();
    if (pixels.data == nullptr) throw hresult_error(kInvalidArgument, "clear of a texture without pixels");
    libyuv::ARGBRect(pixels.data, static_cast<int>(pixels.stride), 0, 0, static_cast<int>(pixels.width),
                     static_cast<int>(pixels.height), ClearColorToWord(color, pixels.order));
  }

 private:
  const PixelOrder order_;
};

uint8_t UnitToByte(float value, float ceiling) {
  if (!(value > 0.0f)) return 0;  // also NaN
  return static_cast<uint8_t>(std::lround(std::min(value, ceiling) * 255.0f));
}

}  // namespace

uint32_t ClearColorToBgraWord(ClearColor color) {
  const float alpha = std::isnan(color.a) ? 0.0f : std::clamp(color.a, 0.0f, 1.0f);
  const uint32_t b = UnitToByte(color.b, alpha);
  const uint32_t g = UnitToByte(color.g, alpha);
  const uint32_t r = UnitToByte(color.r, alpha);
  const uint32_t a = UnitToByte(alpha, 1.0f);
  // libyuv writes the word little-endian: B, G, R, A in memory.
  return b | (g << 8) | (r << 16) | (a << 24);
}

uint32_t ClearColorToWord(ClearColor color, PixelOrder order) {
  const uint32_t bgra = ClearColorToBgraWord(color);
  if (order == PixelOrder::kBgra) return bgra;
  return (bgra & 0xFF00FF00u) | ((bgra >> 16) & 0xFFu) | ((bgra & 0xFFu) << 16);
}

}  // namespace corvane::platform::linux_surfaces

namespace corvane::platform {

std::shared_ptr<SurfaceDevice> CreateSharedMemoryDevice(PixelOrder order) {
  return std::make_shared<linux_surfaces::SharedMemoryDevice>(order);
}

}  // namespace corvane::platform
