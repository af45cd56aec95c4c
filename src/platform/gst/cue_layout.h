// Where and how a styled subtitle cue is drawn over the picture: the parts
// of a cue's look that Pango markup cannot carry (placement, outline,
// shadow, size). Colours, weight, slant and underline of the text itself
// travel in the cue's markup.
//
// Lengths are fractions of the picture so that a cue looks the same at any
// texture size: horizontal ones of its width, vertical ones and font sizes
// of its height. A default-constructed layout is the plain look: white text
// with a dark outline, bottom-centred above the default margin.
#ifndef CORVANE_PLATFORM_GST_CUE_LAYOUT_H_
#define CORVANE_PLATFORM_GST_CUE_LAYOUT_H_

#include <cstdint>

namespace corvane::platform::gst {

// Straight (not premultiplied) RGBA; alpha 255 is opaque.
struct CueColour {
  uint8_t red = 0;
  uint8_t green = 0;
  uint8_t blue = 0;
  uint8_t alpha = 255;

  bool operator==(const CueColour& other) const {
    return red == other.red && green == other.green && blue == other.blue && alpha == other.alpha;
  }
  bool operator!=(const CueColour& other) const { return !(*this == other); }
};

struct CueLayout {
  // Numeric-keypad alignment: 1 bottom-left, 2 bottom-centre, 3 bottom-right,
  // 4 to 6 middle, 7 to 9 top. The block's matching corner or edge sits at
  // the anchor when there is one, else inside the margins.
  int alignment = 2;
  bool hasAnchor = false;
  double anchorX = 0;  // fraction of the width, 0 left
  double anchorY = 0;  // fraction of the height, 0 top
  // Negative: the renderer's defaults.
  double marginLeft = -1;
  double marginRight = -1;
  double marginVertical = -1;
  // Font size as a fraction of the height; 0: the renderer's default.
  double fontSize = 0;
  // Outline and shadow; widths as fractions of the height, negative for the
  // renderer's default width, 0 for none.
  CueColour outlineColour{0, 0, 0, 217};
  double outlineWidth = -1;
  CueColour shadowColour{0, 0, 0, 128};
  double shadowOffset = 0;

  bool IsDefaultPlacement() const {
    return alignment == 2 && !hasAnchor && marginLeft < 0 && marginRight < 0 && marginVertical < 0;
  }
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_CUE_LAYOUT_H_
