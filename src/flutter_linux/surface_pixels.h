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

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "host/flutter_desktop.h"
#include "platform/linux/shared_memory_view.h"

namespace corvane::flutter_linux {

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
  std::vector<uint8_t> pixels_;
  uint32_t width_ = 0;
  uint32_t height_ = 0;
  // The surface last read stays mapped while the plugin keeps it.
  platform::SharedMemoryView surface_;
};

}  // namespace corvane::flutter_linux

#endif  // CORVANE_FLUTTER_LINUX_SURFACE_PIXELS_H_
