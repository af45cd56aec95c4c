// The Linux surface device: textures are anonymous shared-memory objects
// (memfd) holding pixels in the device's byte order (BGRA or RGBA), mapped
// into this process for the engine to draw into; the fd is the handle the
// host maps on its side.
//
// CreateSharedMemoryDevice() is declared in platform/surface_device.h; this
// header names the pieces for code (and tests) that need more than the
// interface.
#ifndef CORVANE_PLATFORM_LINUX_SHARED_MEMORY_DEVICE_H_
#define CORVANE_PLATFORM_LINUX_SHARED_MEMORY_DEVICE_H_

#include <cstdint>

#include "platform/surface_device.h"

namespace corvane::platform::linux_surfaces {

// Largest side of a texture, as on Direct3D 11 (16384): anything larger is
// refused as an invalid argument rather than attempted.
inline constexpr uint32_t kMaxTextureSide = 16384;

// The four bytes (B, G, R, A) a clear writes for `color`, which is taken as
// premultiplied, as a Direct3D clear takes it. Components are clamped to
// [0, 1] (NaN counts as 0) and the colour channels to alpha, so the texture
// always holds valid premultiplied pixels.
uint32_t ClearColorToBgraWord(ClearColor color);

// The same bytes in `order`: for RGBA, red and blue trade places.
uint32_t ClearColorToWord(ClearColor color, PixelOrder order);

}  // namespace corvane::platform::linux_surfaces

#endif  // CORVANE_PLATFORM_LINUX_SHARED_MEMORY_DEVICE_H_
