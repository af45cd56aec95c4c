#include "flutter_linux/surface_pixels.h"

#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <utility>

namespace corvane::flutter_linux {
namespace {

// A C plugin may store any int in an enum field; a C++ enum load would not
// allow every value.
int32_t RawFormat(const FlutterDesktopGpuSurfaceDescriptor& descriptor) {
  int32_t raw = 0;
  static_assert(sizeof(descriptor.format) == sizeof(raw), "C enums are int-sized here");
  std::memcpy(&raw, &descriptor.format, sizeof(raw));
  return raw;
}

}  // namespace

ReadOnlyMapping::ReadOnlyMapping(int fd, size_t size) {
  void* address = ::mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0);
  if (address == MAP_FAILED) return;
  address_ = address;
  size_ = size;
}

ReadOnlyMapping::~ReadOnlyMapping() { Reset(); }

ReadOnlyMapping::ReadOnlyMapping(ReadOnlyMapping&& other) noexcept
    : address_(std::exchange(other.address_, nullptr)), size_(std::exchange(other.size_, 0)) {}

ReadOnlyMapping& ReadOnlyMapping::operator=(ReadOnlyMapping&& other) noexcept {
  if (this != &other) {
    Reset();
    address_ = std::exchange(other.address_, nullptr);
    size_ = std::exchange(other.size_, 0);
  }
  return *this;
}

void ReadOnlyMapping::Reset() {
  if (address_ != nullptr) ::munmap(address_, size_);
  address_ = nullptr;
  size_ = 0;
}

void SurfacePixels::ShowNothing() {
  pixels_.assign(4, 0);
  width_ = 1;
  height_ = 1;
}

std::string SurfacePixels::CopyFrom(const FlutterDesktopGpuSurfaceDescriptor& descriptor) {
  ShowNothing();
  if (descriptor.struct_size < sizeof(FlutterDesktopGpuSurfaceDescriptor)) return "descriptor too small";
  if (RawFormat(descriptor) != kFlutterDesktopPixelFormatRGBA8888) {
    return "descriptor format " + std::to_string(RawFormat(descriptor)) + " is not RGBA8888";
  }
  const size_t width = descriptor.visible_width;
  const size_t height = descriptor.visible_height;
  constexpr size_t kMaxSide = std::numeric_limits<uint32_t>::max();
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide ||
      width > std::numeric_limits<size_t>::max() / 4 / height) {
    return "descriptor size " + std::to_string(width) + "x" + std::to_string(height) + " is empty or too large";
  }
  const size_t bytes = width * height * 4;
  const intptr_t handle = reinterpret_cast<intptr_t>(descriptor.handle);
  if (handle < 0 || handle > std::numeric_limits<int>::max()) return "descriptor handle is not a file descriptor";
  if (std::string problem = Map(static_cast<int>(handle), bytes); !problem.empty()) return problem;
  pixels_.assign(mapping_.data(), mapping_.data() + bytes);
  width_ = static_cast<uint32_t>(width);
  height_ = static_cast<uint32_t>(height);
  return {};
}

std::string SurfacePixels::Map(int fd, size_t bytes) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return std::string("descriptor fd cannot be examined: ") + std::strerror(errno);
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) < bytes) {
    return "descriptor fd holds fewer bytes than its visible size needs";
  }
  if (fd == fd_ && info.st_dev == device_ && info.st_ino == inode_ && mapping_.size() >= bytes) return {};
  mapping_ = ReadOnlyMapping();
  fd_ = -1;
  ReadOnlyMapping fresh(fd, static_cast<size_t>(info.st_size));
  if (fresh.empty()) return std::string("descriptor fd cannot be mapped: ") + std::strerror(errno);
  mapping_ = std::move(fresh);
  fd_ = fd;
  device_ = info.st_dev;
  inode_ = info.st_ino;
  return {};
}

}  // namespace corvane::flutter_linux
