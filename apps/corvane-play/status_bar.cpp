#include "status_bar.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <cstring>
#include <memory>

namespace corvane::play {

namespace {

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
struct GObjectDeleter {
  void operator()(void* object) const { g_object_unref(object); }
};
struct FontDeleter {
  void operator()(PangoFontDescription* f) const { pango_font_description_free(f); }
};

}  // namespace

BgraImage RenderStatusBar(const std::string& text, int width, bool alarm) {
  BgraImage bar;
  if (width < 1) return bar;
  std::unique_ptr<cairo_surface_t, SurfaceDeleter> surface(
      cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, kStatusBarHeight));  // Adopt
  std::unique_ptr<cairo_t, ContextDeleter> cr(cairo_create(surface.get()));          // Adopt
  if (alarm) {
    cairo_set_source_rgb(cr.get(), 0.55, 0.05, 0.05);
  } else {
    cairo_set_source_rgb(cr.get(), 0.12, 0.12, 0.12);
  }
  cairo_paint(cr.get());

  std::unique_ptr<PangoLayout, GObjectDeleter> layout(pango_cairo_create_layout(cr.get()));  // Adopt
  std::unique_ptr<PangoFontDescription, FontDeleter> font(pango_font_description_from_string("DejaVu Sans 11"));  // Adopt
  pango_layout_set_font_description(layout.get(), font.get());
  pango_layout_set_text(layout.get(), text.c_str(), -1);  // pango replaces invalid UTF-8 itself
  pango_layout_set_width(layout.get(), (width > 16 ? width - 16 : width) * PANGO_SCALE);
  pango_layout_set_ellipsize(layout.get(), PANGO_ELLIPSIZE_END);
  int textWidth = 0, textHeight = 0;
  pango_layout_get_pixel_size(layout.get(), &textWidth, &textHeight);
  cairo_set_source_rgb(cr.get(), 0.95, 0.95, 0.95);
  cairo_move_to(cr.get(), 8, (kStatusBarHeight - textHeight) / 2.0);
  pango_cairo_show_layout(cr.get(), layout.get());
  cairo_surface_flush(surface.get());

  // Opaque, so premultiplied and straight alpha read the same.
  bar.width = width;
  bar.height = kStatusBarHeight;
  bar.pixels.resize(static_cast<size_t>(width) * kStatusBarHeight * 4);
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  for (int y = 0; y < kStatusBarHeight; ++y) {
    std::memcpy(bar.pixels.data() + static_cast<size_t>(y) * width * 4, data + static_cast<size_t>(y) * stride,
                static_cast<size_t>(width) * 4);
  }
  return bar;
}

}  // namespace corvane::play
