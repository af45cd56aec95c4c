#include "platform/gst/subtitle_rasterizer.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <cctype>
#include <cstring>

#include "platform/linux/glib_handles.h"

namespace corvane::platform::gst {
namespace {

// Proportions of the surface.
constexpr double kFontHeightShare = 0.055;
constexpr double kBottomMarginShare = 0.05;
// Each side; the text wraps within the rest (90% of the width).
constexpr double kSideMarginShare = 0.05;
// Outline width as a share of the font size (each side of the glyph edge).
constexpr double kOutlineShare = 0.08;
constexpr int kMinFontPixels = 6;

using FontDescriptionPtr = UniqueHandle<PangoFontDescription, pango_font_description_free>;
using CairoSurfacePtr = UniqueHandle<cairo_surface_t, cairo_surface_destroy>;
using CairoPtr = UniqueHandle<cairo_t, cairo_destroy>;
using CairoFontOptionsPtr = UniqueHandle<cairo_font_options_t, cairo_font_options_destroy>;

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
  FontDescriptionPtr font{
      pango_font_description_from_string("Sans")};  // Adopt
  int fontPixels = 0;

  Pango() {
    // Grey-scale antialiasing: sub-pixel colour fringes are wrong on a layer
    // that is blended over video. No metric hinting, so layout does not
    // depend on the size step.
    CairoFontOptionsPtr options(cairo_font_options_create());  // Adopt
    cairo_font_options_set_antialias(options.get(), CAIRO_ANTIALIAS_GRAY);
    cairo_font_options_set_hint_metrics(options.get(), CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(context.get(), options.get());
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

namespace {

// One block of text drawn as a unit: the cues sharing a layout, stacked in
// their order.
struct CueBlock {
  CueLayout layout;
  std::string markup;
};

bool SameLook(const CueLayout& a, const CueLayout& b) {
  return a.alignment == b.alignment && a.hasAnchor == b.hasAnchor && a.anchorX == b.anchorX &&
         a.anchorY == b.anchorY && a.marginLeft == b.marginLeft && a.marginRight == b.marginRight &&
         a.marginVertical == b.marginVertical && a.fontSize == b.fontSize && a.outlineColour == b.outlineColour &&
         a.outlineWidth == b.outlineWidth && a.shadowColour == b.shadowColour && a.shadowOffset == b.shadowOffset;
}

std::vector<CueBlock> GroupCues(const std::vector<SubtitleCue>& cues) {
  std::vector<CueBlock> blocks;
  for (const SubtitleCue& cue : cues) {
    const std::string cueMarkup = TrimTrailingSpace(UsableMarkup(cue));
    if (IsBlank(VisibleText(cueMarkup))) continue;
    auto same = std::find_if(blocks.begin(), blocks.end(),
                             [&](const CueBlock& block) { return SameLook(block.layout, cue.layout); });
    if (same == blocks.end()) {
      blocks.push_back(CueBlock{cue.layout, cueMarkup});
    } else {
      same->markup += '\n';
      same->markup += cueMarkup;
    }
  }
  return blocks;
}

double OrDefault(double share, double fallback) { return share < 0 ? fallback : share; }

void SetSource(cairo_t* cr, const CueColour& colour) {
  cairo_set_source_rgba(cr, colour.red / 255.0, colour.green / 255.0, colour.blue / 255.0, colour.alpha / 255.0);
}

PangoAlignment ColumnAlignment(int column) {
  return column == 0 ? PANGO_ALIGN_LEFT : column == 2 ? PANGO_ALIGN_RIGHT : PANGO_ALIGN_CENTER;
}

// Cairo draws B,G,R,A; an R,G,B,A surface gets red and blue swapped once
// the cues are drawn. Cues are drawn when they change, not per video frame.
void SwapRedAndBlue(const platform::PixelView& dst) {
  for (uint32_t y = 0; y < dst.height; ++y) {
    uint8_t* pixel = dst.data + y * dst.stride;
    for (uint32_t x = 0; x < dst.width; ++x, pixel += 4) std::swap(pixel[0], pixel[2]);
  }
}

}  // namespace

bool SubtitleRasterizer::Render(const std::vector<SubtitleCue>& cues, const platform::PixelView& dst) {
  if (dst.data == nullptr || dst.width == 0 || dst.height == 0) return false;
  if (dst.width > 32767 || dst.height > 32767 || dst.stride < size_t{dst.width} * 4) return false;
  const int width = static_cast<int>(dst.width);
  const int height = static_cast<int>(dst.height);

  for (uint32_t y = 0; y < dst.height; ++y) std::memset(dst.data + y * dst.stride, 0, size_t{dst.width} * 4);

  const std::vector<CueBlock> blocks = GroupCues(cues);
  if (blocks.empty()) return false;

  // Cairo ARGB32 is premultiplied B, G, R, A in memory on little-endian
  // machines: our BGRA order. It needs 4-byte aligned rows; other views are
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

  CairoSurfacePtr surface(
      cairo_image_surface_create_for_data(pixels, CAIRO_FORMAT_ARGB32, width, height, stride));  // Adopt
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return false;
  CairoPtr cr(cairo_create(surface.get()));  // Adopt
  if (cairo_status(cr.get()) != CAIRO_STATUS_SUCCESS) return false;

  PangoLayout* layout = pango_->layout.get();
  pango_cairo_update_context(cr.get(), pango_->context.get());
  pango_layout_context_changed(layout);

  // Blocks placed by alignment alone stack away from their edge, so two
  // bottom-centred blocks (two styles, say) do not cover each other.
  double usedFromEdge[3][3] = {};  // [row][column], pixels
  for (const CueBlock& block : blocks) {
    const CueLayout& look = block.layout;
    const int alignment = look.alignment >= 1 && look.alignment <= 9 ? look.alignment : 2;
    const int column = (alignment - 1) % 3;  // 0 left, 1 centre, 2 right
    const int row = (alignment - 1) / 3;     // 0 bottom, 1 middle, 2 top
    const int fontPixels = std::max(
        kMinFontPixels, static_cast<int>(std::lround(height * (look.fontSize > 0 ? look.fontSize : kFontHeightShare))));
    pango_->SetFontPixels(fontPixels);
    const double left = width * std::clamp(OrDefault(look.marginLeft, kSideMarginShare), 0.0, 0.45);
    const double right = width * (1 - std::clamp(OrDefault(look.marginRight, kSideMarginShare), 0.0, 0.45));
    const double vertical = height * std::clamp(OrDefault(look.marginVertical, kBottomMarginShare), 0.0, 0.45);
    const int wrapWidth = std::max(1, static_cast<int>(right - left));
    pango_layout_set_alignment(layout, ColumnAlignment(column));
    pango_layout_set_width(layout, wrapWidth * PANGO_SCALE);
    pango_layout_set_markup(layout, block.markup.c_str(), static_cast<int>(block.markup.size()));

    PangoRectangle logical{};
    pango_layout_get_pixel_extents(layout, nullptr, &logical);
    const double outline = look.outlineWidth < 0 ? std::max(1.0, fontPixels * kOutlineShare)
                                                 : std::min(look.outlineWidth * height, fontPixels * 0.5);
    const double shadow = std::clamp(look.shadowOffset, 0.0, 0.1) * height;

    double boxLeft = 0;
    double boxTop = 0;
    if (look.hasAnchor) {
      const double anchorX = std::clamp(look.anchorX, 0.0, 1.0) * width;
      const double anchorY = std::clamp(look.anchorY, 0.0, 1.0) * height;
      boxLeft = anchorX - logical.width * (column / 2.0);
      boxTop = anchorY - logical.height * (row == 0 ? 1.0 : row == 1 ? 0.5 : 0.0);
    } else {
      boxLeft = column == 0   ? left
                : column == 2 ? right - logical.width
                              : left + (right - left - logical.width) / 2;
      double& used = usedFromEdge[row][column];
      boxTop = row == 0   ? height - vertical - used - logical.height
               : row == 2 ? vertical + used
                          : (height - logical.height) / 2.0;
      used += logical.height;
    }
    // Text larger than the surface keeps its first lines in view.
    boxLeft = std::max(outline, std::min(boxLeft, width - outline - logical.width));
    boxTop = std::max(outline, std::min(boxTop, height - outline - logical.height));
    const double x = boxLeft - logical.x;
    const double y = boxTop - logical.y;

    cairo_set_line_join(cr.get(), CAIRO_LINE_JOIN_ROUND);
    if (shadow > 0 && look.shadowColour.alpha > 0) {
      cairo_move_to(cr.get(), x + shadow, y + shadow);
      pango_cairo_layout_path(cr.get(), layout);
      SetSource(cr.get(), look.shadowColour);
      cairo_set_line_width(cr.get(), outline * 2);
      cairo_stroke_preserve(cr.get());
      cairo_fill(cr.get());
    }
    if (outline > 0 && look.outlineColour.alpha > 0) {
      cairo_move_to(cr.get(), x, y);
      pango_cairo_layout_path(cr.get(), layout);
      cairo_set_line_width(cr.get(), outline * 2);
      SetSource(cr.get(), look.outlineColour);
      cairo_stroke(cr.get());
    }
    cairo_move_to(cr.get(), x, y);
    cairo_set_source_rgba(cr.get(), 1, 1, 1, 1);
    pango_cairo_show_layout(cr.get(), layout);
  }
  cairo_surface_flush(surface.get());

  if (!direct) {
    for (uint32_t row = 0; row < dst.height; ++row) {
      std::memcpy(dst.data + row * dst.stride, scratch_.data() + static_cast<size_t>(row) * cairoStride,
                  size_t{dst.width} * 4);
    }
  }
  if (dst.order == platform::PixelOrder::kRgba) SwapRedAndBlue(dst);
  return true;
}

}  // namespace corvane::platform::gst
