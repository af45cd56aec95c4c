#include "flutter_linux/surface_pixels.h"

#include <cstring>
#include <limits>

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
  if (std::string problem = surface_.View(static_cast<int>(handle), bytes); !problem.empty()) return problem;
  pixels_.assign(surface_.data(), surface_.data() + bytes);
  width_ = static_cast<uint32_t>(width);
  height_ = static_cast<uint32_t>(height);
  return {};
}

}  // namespace corvane::flutter_linux
