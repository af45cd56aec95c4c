// The pixels one texture hands to Flutter: the newest surface the plugin
// offered, copied out of the surface's shared memory into a buffer of ours.
//
// Flutter reads the buffer that copy_pixels returns after the call, with no
// lock of ours held, until its next copy_pixels of the texture; meanwhile
// the plugin's engine threads write the next frame into the shared surface.
// So the surface itself cannot be handed over. Each displayed frame is
// copied once, already RGBA with packed rows as the converter wrote it, and
// the plugin's descriptor (with the surface lock behind it) is held for
// that copy only.
//
// Raster thread; the texture serialises its calls.
#ifndef CORVANE_FLUTTER_LINUX_SURFACE_PIXELS_H_
#define CORVANE_FLUTTER_LINUX_SURFACE_PIXELS_H_

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/flutter_desktop.h"

namespace corvane::flutter_linux {

// A read-only shared mapping of a file descriptor, unmapped when it goes.
class ReadOnlyMapping {
 public:
  ReadOnlyMapping() = default;
  // Empty when the mapping fails (errno says why).
  ReadOnlyMapping(int fd, size_t size);
  ~ReadOnlyMapping();
  ReadOnlyMapping(ReadOnlyMapping&& other) noexcept;
  ReadOnlyMapping& operator=(ReadOnlyMapping&& other) noexcept;
  ReadOnlyMapping(const ReadOnlyMapping&) = delete;
  ReadOnlyMapping& operator=(const ReadOnlyMapping&) = delete;

  const uint8_t* data() const { return static_cast<const uint8_t*>(address_); }
  size_t size() const { return size_; }
  bool empty() const { return address_ == nullptr; }

 private:
  void Reset();
  void* address_ = nullptr;
  size_t size_ = 0;
};

class SurfacePixels {
 public:
  SurfacePixels() { ShowNothing(); }

  // Copies the descriptor's visible pixels (a memfd of RGBA rows whose fd
  // is the handle). Returns "" on success; else what is wrong with the
  // descriptor, and the buffer then shows nothing.
  std::string CopyFrom(const FlutterDesktopGpuSurfaceDescriptor& descriptor);
  // One transparent pixel: what a texture shows without a frame.
  void ShowNothing();

  const uint8_t* data() const { return pixels_.data(); }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }

 private:
  std::string Map(int fd, size_t bytes);

  std::vector<uint8_t> pixels_;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  // The surface last read stays mapped while the plugin keeps it: the same
  // fd naming the same object (device and inode), large enough.
  ReadOnlyMapping mapping_;
  int fd_ = -1;
  dev_t device_ = 0;
  ino_t inode_ = 0;
};

}  // namespace corvane::flutter_linux

#endif  // CORVANE_FLUTTER_LINUX_SURFACE_PIXELS_H_
