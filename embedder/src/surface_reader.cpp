#include "surface_reader.h"

#include <libyuv/convert_argb.h>
#include <sys/mman.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <limits>

namespace corvane::embedder::internal {
namespace {

// width * height * 4, or nothing when it does not fit in memory.
bool ByteSize(size_t width, size_t height, size_t* bytes) {
  constexpr size_t kMax = std::numeric_limits<size_t>::max();
  if (width == 0 || height == 0) return false;
  if (width > kMax / 4 / height) return false;
  *bytes = width * height * 4;
  return true;
}

}  // namespace

SharedMapping::SharedMapping(int fd, size_t length) {
  void* address = mmap(nullptr, length, PROT_READ, MAP_SHARED, fd, 0);
  if (address != MAP_FAILED) {
    address_ = address;
    length_ = length;
  }
}

SharedMapping::~SharedMapping() { Reset(); }

SharedMapping::SharedMapping(SharedMapping&& other) noexcept
    : address_(other.address_), length_(other.length_) {
  other.address_ = nullptr;
  other.length_ = 0;
}

SharedMapping& SharedMapping::operator=(SharedMapping&& other) noexcept {
  if (this != &other) {
    Reset();
    address_ = other.address_;
    length_ = other.length_;
    other.address_ = nullptr;
    other.length_ = 0;
  }
  return *this;
}

void SharedMapping::Reset() {
  if (address_ != nullptr) munmap(address_, length_);
  address_ = nullptr;
  length_ = 0;
}

std::string SurfaceReader::Read(const FlutterDesktopGpuSurfaceDescriptor& descriptor, std::vector<uint8_t>* bgra,
                                size_t* width, size_t* height) {
  if (descriptor.struct_size < sizeof(FlutterDesktopGpuSurfaceDescriptor)) {
    return "descriptor struct_size " + std::to_string(descriptor.struct_size) + " is too small";
  }
  const int32_t format = RawEnumValue(descriptor.format);
  if (format != kFlutterDesktopPixelFormatBGRA8888) {
    return "descriptor format " + std::to_string(format) + " is not BGRA8888";
  }
  size_t bytes = 0;
  if (!ByteSize(descriptor.visible_width, descriptor.visible_height, &bytes)) {
    return "descriptor visible size " + std::to_string(descriptor.visible_width) + "x" +
           std::to_string(descriptor.visible_height) + " is empty or too large";
  }
  const intptr_t handle = reinterpret_cast<intptr_t>(descriptor.handle);
  if (handle < 0 || handle > std::numeric_limits<int>::max()) {
    return "descriptor handle is not a file descriptor";
  }
  const int fd = static_cast<int>(handle);
  struct stat info {};
  if (fstat(fd, &info) != 0) {
    return "descriptor fd " + std::to_string(fd) + " cannot be examined: " + std::strerror(errno);
  }
  if (info.st_size < 0 || static_cast<uint64_t>(info.st_size) < bytes) {
    return "descriptor fd " + std::to_string(fd) + " holds " + std::to_string(info.st_size) +
           " bytes, fewer than the " + std::to_string(bytes) + " its visible size needs";
  }
  const bool sameObject = fd == fd_ && info.st_dev == device_ && info.st_ino == inode_;
  if (!sameObject || mapping_.size() < bytes) {
    mapping_ = SharedMapping();
    fd_ = -1;
    SharedMapping fresh(fd, static_cast<size_t>(info.st_size));
    if (fresh.empty()) {
      return "descriptor fd " + std::to_string(fd) + " cannot be mapped: " + std::strerror(errno);
    }
    mapping_ = std::move(fresh);
    fd_ = fd;
    device_ = info.st_dev;
    inode_ = info.st_ino;
  }
  bgra->assign(mapping_.data(), mapping_.data() + bytes);
  *width = descriptor.visible_width;
  *height = descriptor.visible_height;
  return {};
}

std::string ReadPixelBuffer(const FlutterDesktopPixelBuffer& buffer, std::vector<uint8_t>* bgra, size_t* width,
                            size_t* height) {
  size_t bytes = 0;
  if (buffer.buffer == nullptr) return "pixel buffer has no pixels";
  if (!ByteSize(buffer.width, buffer.height, &bytes) ||
      buffer.width > static_cast<size_t>(std::numeric_limits<int>::max() / 4) ||
      buffer.height > static_cast<size_t>(std::numeric_limits<int>::max())) {
    return "pixel buffer size " + std::to_string(buffer.width) + "x" + std::to_string(buffer.height) +
           " is empty or too large";
  }
  bgra->resize(bytes);
  const int w = static_cast<int>(buffer.width);
  const int h = static_cast<int>(buffer.height);
  // libyuv names formats by word order: its "ABGR" is R,G,B,A in memory and
  // its "ARGB" is B,G,R,A.
  libyuv::ABGRToARGB(buffer.buffer, w * 4, bgra->data(), w * 4, w, h);
  *width = buffer.width;
  *height = buffer.height;
  return {};
}

}  // namespace corvane::embedder::internal
