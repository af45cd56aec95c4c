#include "render/subtitle_rasterizer.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstring>

namespace corvane::render {
namespace {

// Proportions of the surface.
constexpr double kFontHeightShare = 0.055;
constexpr double kBottomMarginShare = 0.05;
constexpr double kWrapWidthShare = 0.90;
// Outline width as a share of the font size (each side of the glyph edge).
constexpr double kOutlineShare = 0.08;
constexpr int kMinFontPixels = 6;

struct GObjectUnref {
  void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

struct FontDescriptionFree {
  void operator()(PangoFontDescription* description) const { pango_font_description_free(description); }
};
struct CairoSurfaceDestroy {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
struct CairoDestroy {
  void operator()(cairo_t* cr) const { cairo_destroy(cr); }
};
struct CairoFontOptionsDestroy {
  void operator()(cairo_font_options_t* options) const { cairo_font_options_destroy(options); }
};
struct GFree {
  void operator()(gpointer memory) const { g_free(memory); }
};
using GCharPtr = std::unique_ptr<gchar, GFree>;

bool IsBlank(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](unsigned char c) { return std::isspace(c) != 0; });
}

std::string Escaped(const std::string& text) {
  GCharPtr escaped(g_markup_escape_text(text.c_str(), static_cast<gssize>(text.size())));  // Adopt
  return escaped.get();
}

// Markup as Pango will take it. Broken markup (an unclosed <i>, a stray '&')
// is common in subtitle files; rather than drawing nothing, or the tags
// themselves, draw the text with the tags removed.
std::string UsableMarkup(const SubtitleCue& cue) {
  if (!cue.isMarkup) return Escaped(cue.text);
  if (pango_parse_markup(cue.text.c_str(), static_cast<int>(cue.text.size()), 0, nullptr, nullptr, nullptr,
                         nullptr)) {
    return cue.text;
  }
  std::string withoutTags;
  bool inTag = false;
  for (char c : cue.text) {
    if (c == '<') {
      inTag = true;
    } else if (c == '>' && inTag) {
      inTag = false;
    } else if (!inTag) {
      withoutTags += c;
    }
  }
  return Escaped(withoutTags);
}

// What a cue shows once its markup is taken away, to skip empty cues.
std::string VisibleText(const std::string& markup) {
  gchar* text = nullptr;
  if (!pango_parse_markup(markup.c_str(), static_cast<int>(markup.size()), 0, nullptr, &text, nullptr, nullptr)) {
    return "";
  }
  GCharPtr owned(text);  // Adopt
  return owned.get();
}

std::string TrimTrailingSpace(std::string text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

}  // namespace

struct SubtitleRasterizer::Pango {
  // Our own font map rather than the process default: the default one is
  // per thread in current Pango, and this one lives as long as we do.
  GObjectPtr<PangoFontMap> fontMap{pango_cairo_font_map_new()};                       // Adopt
  GObjectPtr<PangoContext> context{pango_font_map_create_context(fontMap.get())};    // Adopt
  GObjectPtr<PangoLayout> layout{pango_layout_new(context.get())};                   // Adopt
  std::unique_ptr<PangoFontDescription, FontDescriptionFree> font{
      pango_font_description_from_string("Sans")};  // Adopt
  int fontPixels = 0;

  Pango() {
    // Grey-scale antialiasing: sub-pixel colour fringes are wrong on a layer
    // that is blended over video. No metric hinting, so layout does not
    // depend on the size step.
    std::unique_ptr<cairo_font_options_t, CairoFontOptionsDestroy> options(cairo_font_options_create());  // Adopt
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context.get(), options.get());
    pango_layout_set_alignment(layout.get(), PANGO_ALIGN_CENTER);
    pango_layout_set_wrap(layout.get(), PANGO_WRAP_WORD_CHAR);
  }

  void SetFontPixels(int pixels) {
    if (pixels == fontPixels) return;
    fontPixels = pixels;
    pango_font_description_set_absolute_size(font.get(), static_cast<double>(pixels) * PANGO_SCALE);
    pango_layout_set_font_description(layout.get(), font.get());
  }
};

SubtitleRasterizer::SubtitleRasterizer() : pango_(std::make_unique<Pango>()) {}
SubtitleRasterizer::~SubtitleRasterizer() = default;

bool SubtitleRasterizer::Render(const std::vector<SubtitleCue>& cues, const platform::PixelView& dst) {
  if (dst.data == nullptr || dst.width == 0 || dst.height == 0) return false;
  if (dst.width > 32767 || dst.height > 32767 || dst.stride < size_t{dst.width} * 4) return false;
  const int width = static_cast<int>(dst.width);
  const int height = static_cast<int>(dst.height);

  for (uint32_t y = 0; y < dst.height; ++y) std::memset(dst.data + y * dst.stride, 0, size_t{dst.width} * 4);

  std::string markup;
  for (const SubtitleCue& cue : cues) {
    const std::string cueMarkup = TrimTrailingSpace(UsableMarkup(cue));
    if (IsBlank(VisibleText(cueMarkup))) continue;
    if (!markup.empty()) markup += '\n';
    markup += cueMarkup;
  }
  if (markup.empty()) return false;

  // Cairo ARGB32 is premultiplied B, G, R, A in memory on little-endian
  // machines: our format. It needs 4-byte aligned rows; other views are
  // drawn in a scratch copy and copied over.
  const int cairoStride = cairo_format_stride_for_width(CAIRO_FORMAT_ARGB32, width);
  const bool direct = dst.stride % 4 == 0 && reinterpret_cast<uintptr_t>(dst.data) % 4 == 0 &&
                      dst.stride >= static_cast<size_t>(cairoStride);
  uint8_t* pixels = dst.data;
  int stride = static_cast<int>(dst.stride);
  if (!direct) {
    scratch_.assign(static_cast<size_t>(cairoStride) * dst.height, 0);
    pixels = scratch_.data();
    stride = cairoStride;
  }

  std::unique_ptr<cairo_surface_t, CairoSurfaceDestroy> surface(
      cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride));  // Adopt
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  std::unique_ptr<cairo_t, CairoDestroy> cr(cairo_create(surface.get()));  // Adopt
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;

  PangoLayout* layout = pango_->layout.get();
  pango_cairo_update_context(cr.get(), pango_->context.get());
  pango_layout_context_changed(layout);
  const int fontPixels = std::max(kMinFontPixels, static_cast<int>(std::lround(height * kFontHeightShare)));
  pango_->SetFontPixels(fontPixels);
  const int wrapWidth = std::max(1, static_cast<int>(width * kWrapWidthShare));
  pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
  pango_layout_set_markup(layout, markup.c_str(), static_cast<int>(markup.size()));

  PangoRectangle logical{};
  pango_layout_get_pixel_extents(layout, nullptr, &logical);
  const double outline = std::max(1.0, fontPixels * kOutlineShare);
  const double margin = std::max(2.0, height * kBottomMarginShare);
  const double x = (width - wrapWidth) / 2.0;
  // Text taller than the surface keeps its first lines in view.
  const double y = std::max(outline, height - margin - logical.y - logical.height);

  cairo_move_to(cr.get(), x, y);
  pango_cairo_layout_path(cr.get(), layout);
  cairo_set_line_join(cr.get(), CAIRO_LINE_JOIN_ROUND);
  cairo_set_line_width(cr.get(), outline * 2);
  cairo_set_source_rgba(cr.get(), 0, 0, 0, 0.85);
  cairo_stroke(cr.get());
  cairo_move_to(cr.get(), x, y);
  cairo_set_source_rgba(cr.get(), 1, 1, 1, 1);
  pango_cairo_show_layout(cr.get(), layout);
  cairo_surface_flush(surface.get());

  if (!direct) {
    for (uint32_t row = 0; row < dst.height; ++row) {
      std::memcpy(dst.data + row * dst.stride, scratch_.data() + static_cast<size_t>(row) * cairoStride,
                  size_t{dst.width} * 4);
    }
  }
  return true;
}

}  // namespace corvane::render
