#include "compositor.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace corvane::play {

namespace {

// x * a / 255, rounded, for 8-bit x and a.
inline uint8_t Scale255(unsigned x, unsigned a) {
  const unsigned t = x * a + 128;
  return static_cast<uint8_t>((t + (t >> 8)) >> 8);
}

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoSurface = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

}  // namespace

void BlendSubtitleOver(BgraImage* video, const BgraImage& subtitle) {
  if (video == nullptr || !video->Valid() || !subtitle.Valid()) return;
  const bool sameSize = subtitle.width == video->width && subtitle.height == video->height;
  for (int y = 0; y < video->height; ++y) {
    const int sy = sameSize ? y
                            : static_cast<int>(static_cast<int64_t>(y) * subtitle.height / video->height);
    uint8_t* dst = video->pixels.data() + static_cast<size_t>(y) * video->width * 4;
    const uint8_t* srcRow = subtitle.pixels.data() + static_cast<size_t>(sy) * subtitle.width * 4;
    for (int x = 0; x < video->width; ++x, dst += 4) {
      const int sx = sameSize ? x
                              : static_cast<int>(static_cast<int64_t>(x) * subtitle.width / video->width);
      const uint8_t* src = srcRow + static_cast<size_t>(sx) * 4;
      const unsigned alpha = src[3];
      if (alpha == 0) continue;  // the usual case: most of a subtitle frame is clear
      const unsigned keep = 255 - alpha;
      for (int c = 0; c < 4; ++c) {
        // Premultiplied colour can exceed its alpha in a malformed frame;
        // clamp so a bad texture never wraps around.
        dst[c] = static_cast<uint8_t>(std::min(255u, unsigned{src[c]} + Scale255(dst[c], keep)));
      }
    }
  }
}

Rect AspectFit(int contentWidth, int contentHeight, const Rect& box) {
  Rect fit{box.x + box.width / 2, box.y + box.height / 2, 0, 0};
  if (contentWidth <= 0 || contentHeight <= 0 || box.width <= 0 || box.height <= 0) return fit;
  // Compare in 64 bits: pixel counts multiplied together overflow 32.
  const int64_t widthIfFullHeight = static_cast<int64_t>(box.height) * contentWidth / contentHeight;
  if (widthIfFullHeight <= box.width) {
    fit.width = static_cast<int>(std::max<int64_t>(1, widthIfFullHeight));
    fit.height = box.height;
  } else {
    fit.width = box.width;
    fit.height = static_cast<int>(std::max<int64_t>(1, static_cast<int64_t>(box.width) * contentHeight / contentWidth));
  }
  fit.x = box.x + (box.width - fit.width) / 2;
  fit.y = box.y + (box.height - fit.height) / 2;
  return fit;
}

std::vector<Rect> GridCells(int count, const Rect& area) {
  std::vector<Rect> cells;
  if (count <= 0) return cells;
  int columns = 1;
  while (columns * columns < count) ++columns;
  const int rows = (count + columns - 1) / columns;
  for (int i = 0; i < count; ++i) {
    const int column = i % columns, row = i / columns;
    const int x0 = area.x + area.width * column / columns;
    const int x1 = area.x + area.width * (column + 1) / columns;
    const int y0 = area.y + area.height * row / rows;
    const int y1 = area.y + area.height * (row + 1) / rows;
    cells.push_back(Rect{x0, y0, x1 - x0, y1 - y0});
  }
  return cells;
}

std::string WritePng(const BgraImage& image, const std::string& path) {
  if (!image.Valid()) return "no picture to write to " + path;
  // Cairo's ARGB32 is premultiplied BGRA in memory on little-endian
  // machines, which is what the textures hold. Copy into a surface cairo
  // owns so its stride rules never meet ours.
  CairoSurface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, image.width, image.height));  // Adopt
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    return "cannot make a " + std::to_string(image.width) + "x" + std::to_string(image.height) + " picture";
  }
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  const size_t rowBytes = static_cast<size_t>(image.width) * 4;
  for (int y = 0; y < image.height; ++y) {
    std::memcpy(data + static_cast<size_t>(y) * stride, image.pixels.data() + y * rowBytes, rowBytes);
  }
  cairo_surface_mark_dirty(surface.get());
  const cairo_status_t status = cairo_surface_write_to_png(surface.get(), path.c_str());
  if (status != CAIRO_STATUS_SUCCESS) {
    return "cannot write " + path + ": " + cairo_status_to_string(status);
  }
  return {};
}

}  // namespace corvane::play
