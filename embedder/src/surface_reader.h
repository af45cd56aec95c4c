// Reads the pixels of a GPU-surface descriptor: a memfd of BGRA pixels
// whose fd is the descriptor's handle. Raster thread only.
//
// The fd belongs to the plugin and is never closed here. It is mapped once
// and the mapping kept while the fd still names the same object (same
// device and inode from fstat); a new fd, a new object behind the same fd
// number or a larger buffer maps again. The buffer is visible_width x
// visible_height; width and height are what the plugin wants next and are
// never used to read.
//
// On Windows the handle would be a DXGI shared handle, which this host does
// not open: descriptors are refused with a reason, and only pixel-buffer
// textures bring pixels there.
#ifndef CORVANE_EMBEDDER_SURFACE_READER_H_
#define CORVANE_EMBEDDER_SURFACE_READER_H_

#ifndef _WIN32
#include <sys/types.h>
#endif

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/flutter_desktop.h"

namespace corvane::embedder::internal {

#ifndef _WIN32
// A read-only shared mapping, unmapped on destruction.
class SharedMapping {
 public:
  SharedMapping() = default;
  // Maps `length` bytes of `fd` from offset 0; empty on failure (errno set).
  SharedMapping(int fd, size_t length);
  ~SharedMapping();
  SharedMapping(SharedMapping&& other) noexcept;
  SharedMapping& operator=(SharedMapping&& other) noexcept;
  SharedMapping(const SharedMapping&) = delete;
  SharedMapping& operator=(const SharedMapping&) = delete;

  const uint8_t* data() const { return static_cast<const uint8_t*>(address_); }
  size_t size() const { return length_; }
  bool empty() const { return address_ == nullptr; }

 private:
  void Reset();
  void* address_ = nullptr;
  size_t length_ = 0;
};
#endif

class SurfaceReader {
 public:
  // Copies the descriptor's visible pixels into `bgra` and sets the size.
  // Returns an empty string on success, else what is wrong with it.
  std::string Read(const FlutterDesktopGpuSurfaceDescriptor& descriptor, std::vector<uint8_t>* bgra,
                   size_t* width, size_t* height);

#ifndef _WIN32
 private:
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  SharedMapping mapping_;
#endif
};

// The value of a C enum field as the plugin wrote it. A C plugin may store
// any int there, which a C++ enum load would not allow.
template <typename Enum>
int32_t RawEnumValue(const Enum& field) {
  static_assert(sizeof(Enum) == sizeof(int32_t), "C enums are int-sized here");
  int32_t raw = 0;
  std::memcpy(&raw, &field, sizeof(raw));
  return raw;
}

// Copies a pixel buffer (RGBA, rows tightly packed) as BGRA. Empty string
// on success, else what is wrong with it.
std::string ReadPixelBuffer(const FlutterDesktopPixelBuffer& buffer, std::vector<uint8_t>* bgra, size_t* width,
                            size_t* height);

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_SURFACE_READER_H_
