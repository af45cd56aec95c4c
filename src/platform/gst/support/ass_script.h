// The script header a Matroska ASS/SSA track carries as its codec data:
// the coordinate space the script was written for ([Script Info] PlayResX
// and PlayResY), its wrap style, and its named styles ([V4+ Styles] for
// ASS, [V4 Styles] for SSA, each with a Format line naming the fields of
// the Style lines that follow).
//
// Lengths are in script pixels, the PlayRes space; converting a cue turns
// them into fractions of the picture. A header that is missing or broken in
// part keeps the defaults for that part, so any header yields a usable
// script. Border and shadow sizes are taken as script pixels whatever
// ScaledBorderAndShadow says: the picture size is not known here.
//
// Pure; any thread.
#ifndef CORVANE_PLATFORM_GST_SUPPORT_ASS_SCRIPT_H_
#define CORVANE_PLATFORM_GST_SUPPORT_ASS_SCRIPT_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/gst/cue_layout.h"

namespace corvane::platform::gst {

// One Style line. Fields the line leaves out keep these values, which give
// the renderer's plain look (white text, its font, size, outline and
// margins, bottom centre).
struct AssStyle {
  std::string name = "Default";
  std::string fontName;  // empty: the renderer's font
  double fontSize = 0;   // 0: the renderer's size
  CueColour primary{255, 255, 255, 255};
  CueColour outline = CueLayout{}.outlineColour;
  CueColour back = CueLayout{}.shadowColour;  // the shadow's colour
  int weight = 400;  // 100 to 1000, 700 bold
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  // BorderStyle 3: an opaque box in the outline colour behind the text in
  // place of an outline and a shadow.
  bool opaqueBox = false;
  double outlineWidth = -1;  // negative: the renderer's width
  double shadowOffset = 0;
  int alignment = 2;  // numpad; SSA's legacy values are mapped when read
  // Negative: the renderer's margin.
  double marginLeft = -1;
  double marginRight = -1;
  double marginVertical = -1;
};

struct AssScript {
  // When the header names neither, 384x288; when it names one, the other
  // follows in 4:3. Always at least 1.
  double playResX = 384;
  double playResY = 288;
  // 2: lines break only at \N and \n; otherwise text wraps and \n is a space.
  int wrapStyle = 0;
  // In header order; a later style of the same name wins. The first 1024
  // are kept.
  std::vector<AssStyle> styles;

  // The style of that name (leading '*' ignored, exact case first, then any
  // case), or null.
  const AssStyle* Find(std::string_view name) const;
  // Find(name), else the script's "Default", else the built-in default.
  const AssStyle& StyleOrDefault(std::string_view name) const;
};

AssScript ParseAssScript(std::string_view header);

// An ASS colour as styles and override tags write it: "&HAABBGGRR",
// "&HBBGGRR&" (hex, blue in the high byte, any case, trailing '&'
// optional, more than eight digits keep the last eight), or a decimal
// number as SSA styles write them (negative ones wrap to 32 bits). ASS
// alpha counts transparency (00 opaque, FF invisible); the result's is
// straight. nullopt when there are no digits.
std::optional<CueColour> ParseAssColour(std::string_view value);

// A decimal number as scripts write it ("12", "-3.5", "+2"; '.' whatever
// the locale), ignoring surrounding spaces and anything after the number.
// nullopt when there is none or its magnitude exceeds 1e7 (no script length
// comes near; the bound keeps every fraction derived from it finite).
std::optional<double> ParseScriptNumber(std::string_view text);

// SSA's legacy alignment (1 to 3 bottom, 5 to 7 top, 9 to 11 middle; left,
// centre, right) as numpad, or 0 for a value that names no position.
int NumpadFromLegacyAlignment(int legacy);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUPPORT_ASS_SCRIPT_H_
