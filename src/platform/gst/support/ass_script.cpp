#include "platform/gst/support/ass_script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace corvane::platform::gst {
namespace {

constexpr double kMaxScriptNumber = 1e7;
// Real scripts have at most a few hundred; the bound keeps a style lookup,
// done per event and per \r tag, cheap whatever the header holds.
constexpr size_t kMaxStyles = 1024;

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) text.remove_suffix(1);
  return text;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int ClampedInt(double value, int low, int high) {
  return static_cast<int>(std::clamp(value, static_cast<double>(low), static_cast<double>(high)));
}

// Style field names as Format lines spell them, lower case, with "color"
// and "colour" folded together.
std::string FieldKey(std::string_view name) {
  std::string key;
  for (char c : Trim(name)) {
    if (c != ' ') key += Lower(c);
  }
  constexpr std::string_view kUs = "color";
  if (key.size() >= kUs.size() && key.compare(key.size() - kUs.size(), kUs.size(), kUs) == 0) {
    key.insert(key.size() - 1, "u");
  }
  return key;
}

std::vector<std::string> SplitFields(std::string_view line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t comma = line.find(',', start);
    fields.push_back(FieldKey(line.substr(start, comma - start)));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return fields;
}

const std::vector<std::string>& DefaultFormat(bool ssa) {
  static const std::vector<std::string> kAss = SplitFields(
      "Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, Italic, "
      "Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, Alignment, MarginL, "
      "MarginR, MarginV, Encoding");
  static const std::vector<std::string> kSsa = SplitFields(
      "Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, TertiaryColour, BackColour, Bold, Italic, "
      "BorderStyle, Outline, Shadow, Alignment, MarginL, MarginR, MarginV, AlphaLevel, Encoding");
  return ssa ? kSsa : kAss;
}

void SetStyleField(AssStyle& style, std::string_view key, std::string_view value, bool ssa) {
  const std::optional<double> number = ParseScriptNumber(value);
  if (key == "name") {
    style.name = std::string(value);
  } else if (key == "fontname") {
    // '@' asks for a vertical font, which is not drawn here.
    if (!value.empty() && value.front() == '@') value.remove_prefix(1);
    style.fontName = std::string(value);
  } else if (key == "primarycolour") {
    style.primary = ParseAssColour(value).value_or(style.primary);
  } else if (key == "outlinecolour" || key == "tertiarycolour") {
    style.outline = ParseAssColour(value).value_or(style.outline);
  } else if (key == "backcolour") {
    style.back = ParseAssColour(value).value_or(style.back);
  } else if (!number) {
    return;
  } else if (key == "fontsize") {
    if (*number > 0) style.fontSize = *number;
  } else if (key == "bold") {
    // -1 and 1 are bold, 0 is not; larger values are weights.
    style.weight = *number == 0 ? 400 : std::abs(*number) >= 100 ? ClampedInt(std::abs(*number), 100, 1000) : 700;
  } else if (key == "italic") {
    style.italic = *number != 0;
  } else if (key == "underline") {
    style.underline = *number != 0;
  } else if (key == "strikeout") {
    style.strikeOut = *number != 0;
  } else if (key == "borderstyle") {
    style.opaqueBox = *number == 3;
  } else if (key == "outline") {
    if (*number >= 0) style.outlineWidth = *number;
  } else if (key == "shadow") {
    if (*number >= 0) style.shadowOffset = *number;
  } else if (key == "alignment") {
    const int alignment = ClampedInt(*number, 0, 100);
    if (ssa) {
      if (const int numpad = NumpadFromLegacyAlignment(alignment); numpad != 0) style.alignment = numpad;
    } else if (alignment >= 1 && alignment <= 9) {
      style.alignment = alignment;
    }
  } else if (key == "marginl") {
    if (*number >= 0) style.marginLeft = *number;
  } else if (key == "marginr") {
    if (*number >= 0) style.marginRight = *number;
  } else if (key == "marginv") {
    if (*number >= 0) style.marginVertical = *number;
  }
}

AssStyle ParseStyleLine(std::string_view values, const std::vector<std::string>& format, bool ssa) {
  AssStyle style;
  size_t start = 0;
  for (const std::string& key : format) {
    const size_t comma = values.find(',', start);
    SetStyleField(style, key, Trim(values.substr(start, comma - start)), ssa);
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return style;
}

enum class Section { kOther, kScriptInfo, kAssStyles, kSsaStyles };

Section SectionNamed(std::string_view line) {
  std::string name;
  for (char c : line) name += Lower(c);
  if (name == "[script info]") return Section::kScriptInfo;
  if (name.rfind("[v4", 0) == 0 && name.find("styles") != std::string::npos) {
    // "[V4+ Styles]", and the "[V4 Styles+]" some tools write, are ASS.
    return name.find('+') != std::string::npos ? Section::kAssStyles : Section::kSsaStyles;
  }
  return Section::kOther;
}

}  // namespace

std::optional<double> ParseScriptNumber(std::string_view text) {
  text = Trim(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data() || !std::isfinite(value) || std::abs(value) > kMaxScriptNumber) {
    return std::nullopt;
  }
  return value;
}

std::optional<CueColour> ParseAssColour(std::string_view value) {
  value = Trim(value);
  uint32_t bits = 0;
  if (!value.empty() && (value.front() == '&' || value.front() == 'H' || value.front() == 'h')) {
    if (value.front() == '&') value.remove_prefix(1);
    if (!value.empty() && (value.front() == 'H' || value.front() == 'h')) value.remove_prefix(1);
    size_t digits = 0;
    for (; digits < value.size() && HexDigit(value[digits]) >= 0; ++digits) {
      bits = (bits << 4) | static_cast<uint32_t>(HexDigit(value[digits]));
    }
    if (digits == 0) return std::nullopt;
  } else {
    int64_t number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number);
    if (error != std::errc() || end == value.data()) return std::nullopt;
    bits = static_cast<uint32_t>(number);
  }
  return CueColour{static_cast<uint8_t>(bits), static_cast<uint8_t>(bits >> 8),
                           static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(255 - (bits >> 24))};
}

int NumpadFromLegacyAlignment(int legacy) {
  const int horizontal = legacy & 3;
  if (legacy < 1 || legacy > 11 || horizontal == 0) return 0;
  if (legacy & 4) return horizontal + 6;
  if (legacy & 8) return horizontal + 3;
  return horizontal;
}

const AssStyle* AssScript::Find(std::string_view name) const {
  while (!name.empty() && name.front() == '*') name.remove_prefix(1);
  name = Trim(name);
  for (auto it = styles.rbegin(); it != styles.rend(); ++it) {
    if (it->name == name) return &*it;
  }
  for (auto it = styles.rbegin(); it != styles.rend(); ++it) {
    if (EqualsIgnoringCase(it->name, name)) return &*it;
  }
  return nullptr;
}

const AssStyle& AssScript::StyleOrDefault(std::string_view name) const {
  static const AssStyle kBuiltIn;
  if (const AssStyle* style = Find(name)) return *style;
  if (const AssStyle* style = Find("Default")) return *style;
  return kBuiltIn;
}

AssScript ParseAssScript(std::string_view header) {
  AssScript script;
  std::optional<double> resX;
  std::optional<double> resY;
  Section section = Section::kOther;
  std::vector<std::string> format;
  if (header.substr(0, 3) == "\xEF\xBB\xBF") header.remove_prefix(3);

  while (!header.empty()) {
    const size_t newline = header.find('\n');
    const std::string_view line = Trim(header.substr(0, newline));
    header.remove_prefix(newline == std::string_view::npos ? header.size() : newline + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      section = SectionNamed(line);
      format.clear();
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view key = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));

    if (section == Section::kScriptInfo) {
      const std::optional<double> number = ParseScriptNumber(value);
      if (!number) continue;
      if (EqualsIgnoringCase(key, "PlayResX") && *number >= 1) resX = *number;
      if (EqualsIgnoringCase(key, "PlayResY") && *number >= 1) resY = *number;
      if (EqualsIgnoringCase(key, "WrapStyle")) script.wrapStyle = ClampedInt(*number, 0, 3);
    } else if (section == Section::kAssStyles || section == Section::kSsaStyles) {
      const bool ssa = section == Section::kSsaStyles;
      if (EqualsIgnoringCase(key, "Format")) {
        format = SplitFields(value);
      } else if (EqualsIgnoringCase(key, "Style") && script.styles.size() < kMaxStyles) {
        script.styles.push_back(ParseStyleLine(value, format.empty() ? DefaultFormat(ssa) : format, ssa));
      }
    }
  }

  if (resX && resY) {
    script.playResX = *resX;
    script.playResY = *resY;
  } else if (resX) {
    script.playResX = *resX;
    script.playResY = std::max(1.0, *resX * 3 / 4);
  } else if (resY) {
    script.playResX = std::max(1.0, *resY * 4 / 3);
    script.playResY = *resY;
  }
  return script;
}

}  // namespace corvane::platform::gst
