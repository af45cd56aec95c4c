#include "platform/gst/support/subtitle_markup.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace corvane::platform::gst {
namespace {


// Deeper than any real subtitle nests; elements beyond it are ignored, which
// also bounds the work each end tag does.
constexpr size_t kMaxDepth = 32;
// Far beyond any real cue; past it text is dropped and open elements closed.
constexpr size_t kMaxMarkupBytes = 256 * 1024;
// A '<' or "{\" whose end is further away is text.
constexpr size_t kMaxTagBytes = 1024;

constexpr char32_t kReplacementCharacter = 0xFFFD;

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; }

int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

std::string LowerCopy(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(), Lower);
  return lower;
}

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

// ---- Characters

// The character at text[i] and the bytes it takes; an invalid, overlong or
// truncated sequence is U+FFFD for one byte, so decoding always advances.
char32_t DecodeUtf8(std::string_view text, size_t i, size_t& length) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  length = 1;
  if (lead < 0x80) return lead;
  size_t extra = 0;
  char32_t value = 0;
  char32_t smallest = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    extra = 1, value = lead & 0x1F, smallest = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    extra = 2, value = lead & 0x0F, smallest = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    extra = 3, value = lead & 0x07, smallest = 0x10000;
  } else {
    return kReplacementCharacter;
  }
  if (text.size() - i <= extra) return kReplacementCharacter;
  for (size_t k = 1; k <= extra; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return kReplacementCharacter;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kReplacementCharacter;
  length = extra + 1;
  return value;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// One character as markup text. NUL would end the markup early for Pango,
// and GMarkup refuses the other C0 controls.
void AppendEscaped(std::string& out, char32_t c) {
  switch (c) {
    case '&': out += "&amp;"; return;
    case '<': out += "&lt;"; return;
    case '>': out += "&gt;"; return;
    case '"': out += "&quot;"; return;
    case '\'': out += "&apos;"; return;
    default: break;
  }
  if (c < 0x20 && c != '\t' && c != '\n') return;
  AppendUtf8(out, c);
}

std::string EscapedAttribute(std::string_view value) {
  std::string escaped;
  for (size_t i = 0, length = 0; i < value.size(); i += length) AppendEscaped(escaped, DecodeUtf8(value, i, length));
  return escaped;
}

// The character reference starting at text[i] ('&') and its length, or
// nullopt when none does (the '&' is then text).
std::optional<char32_t> DecodeReference(std::string_view text, size_t i, size_t& length) {
  constexpr size_t kLongest = 10;  // "&#x10FFFF;"
  const size_t semicolon = text.substr(0, i + kLongest + 1).find(';', i + 1);
  if (semicolon == std::string_view::npos) return std::nullopt;
  const std::string_view name = text.substr(i + 1, semicolon - i - 1);
  length = semicolon - i + 1;
  if (!name.empty() && name.front() == '#') {
    const bool hex = name.size() > 1 && (name[1] == 'x' || name[1] == 'X');
    const std::string_view digits = name.substr(hex ? 2 : 1);
    if (digits.empty()) return std::nullopt;
    char32_t value = 0;
    for (char c : digits) {
      const int digit = hex ? HexDigit(c) : (IsDigit(c) ? c - '0' : -1);
      if (digit < 0) return std::nullopt;
      value = std::min<char32_t>(value * (hex ? 16 : 10) + static_cast<char32_t>(digit), 0x110000);
    }
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return kReplacementCharacter;
    return value;
  }
  static constexpr struct {
    std::string_view name;
    char32_t character;
  } kNamed[] = {{"amp", '&'},     {"lt", '<'},      {"gt", '>'},      {"quot", '"'},
                {"apos", '\''},   {"nbsp", 0x00A0}, {"lrm", 0x200E}, {"rlm", 0x200F}};
  for (const auto& entry : kNamed) {
    if (entry.name == name) return entry.character;
  }
  return std::nullopt;
}

std::string DecodedReferences(std::string_view text) {
  std::string decoded;
  for (size_t i = 0; i < text.size();) {
    size_t length = 0;
    if (text[i] == '&') {
      if (const std::optional<char32_t> c = DecodeReference(text, i, length)) {
        AppendUtf8(decoded, *c);
        i += length;
        continue;
      }
    }
    decoded += text[i++];
  }
  return decoded;
}

// Line feeds only, without the blank lines that would pad the cue.
std::string NormalisedLines(std::string_view text) {
  std::string lines;
  lines.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  const size_t first = lines.find_first_not_of('\n');
  if (first == std::string::npos) return {};
  return lines.substr(first, lines.find_last_not_of('\n') - first + 1);
}

// ---- Markup

// Writes balanced markup from open, close and text events that need not
// be. An element's open tag is written only once text appears inside it, so
// elements left empty leave nothing behind.
class MarkupWriter {
 public:
  // `key` matches the element to its end tag; `open` and `close` are its
  // markup, empty for an element that only groups. Text inside an element
  // that `hidesText` is dropped.
  void Open(std::string_view key, std::string open, std::string close, bool hidesText = false) {
    if (stack_.size() >= kMaxDepth) {
      ++OverflowCount(key);
      return;
    }
    if (hidesText) ++hidden_;
    stack_.push_back({std::string(key), std::move(open), std::move(close), hidesText, false});
  }

  // Closes the innermost element with that key; elements opened inside it
  // are closed before it and reopened after it. None open: nothing.
  void Close(std::string_view key) {
    if (TakeOverflow(key)) return;
    size_t index = stack_.size();
    while (index > 0 && stack_[index - 1].key != key) --index;
    if (index == 0) return;
    std::vector<Element> inner(stack_.begin() + static_cast<ptrdiff_t>(index), stack_.end());
    while (stack_.size() >= index) Pop();
    for (Element& element : inner) {
      Open(element.key, std::move(element.open), std::move(element.close), element.hidesText);
    }
  }

  // Closes the innermost element only if it has that key.
  void CloseInnermost(std::string_view key) {
    if (TakeOverflow(key)) return;
    if (InnermostIs(key)) Pop();
  }

  bool InnermostIs(std::string_view key) const { return !stack_.empty() && stack_.back().key == key; }

  void CloseAll() {
    while (!stack_.empty()) Pop();
    overflow_.clear();
  }

  // UTF-8 text, escaped.
  void Text(std::string_view text) {
    if (text.empty() || hidden_ > 0 || full_) return;
    for (Element& element : stack_) {
      if (!element.written) out_ += element.open;
      element.written = true;
    }
    for (size_t i = 0, length = 0; i < text.size(); i += length) {
      if (out_.size() >= kMaxMarkupBytes) {
        full_ = true;
        return;
      }
      AppendEscaped(out_, DecodeUtf8(text, i, length));
    }
  }

  std::string Finish() {
    CloseAll();
    return std::move(out_);
  }

 private:
  struct Element {
    std::string key;
    std::string open;
    std::string close;
    bool hidesText;
    bool written;
  };

  void Pop() {
    if (stack_.back().written) out_ += stack_.back().close;
    if (stack_.back().hidesText) --hidden_;
    stack_.pop_back();
  }

  // Elements past kMaxDepth are counted by key, so that their end tags do
  // not close an element outside them. Keys are the few tag names the
  // converters know.
  size_t& OverflowCount(std::string_view key) {
    for (auto& [name, count] : overflow_) {
      if (name == key) return count;
    }
    return overflow_.emplace_back(std::string(key), 0).second;
  }

  bool TakeOverflow(std::string_view key) {
    for (auto& [name, count] : overflow_) {
      if (name == key && count > 0) return --count, true;
    }
    return false;
  }

  std::vector<Element> stack_;
  std::vector<std::pair<std::string, size_t>> overflow_;
  size_t hidden_ = 0;
  bool full_ = false;
  std::string out_;
};

bool SameRgb(CueColour a, CueColour b) { return a.red == b.red && a.green == b.green && a.blue == b.blue; }

std::string HexColour(CueColour colour) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex = "#";
  for (uint8_t channel : {colour.red, colour.green, colour.blue}) {
    hex += kDigits[channel >> 4];
    hex += kDigits[channel & 15];
  }
  return hex;
}

// Pango's 16-bit alpha; it reads 0 as "unset" (opaque), so transparent is 1.
std::string PangoAlpha(unsigned alpha16) { return std::to_string(std::clamp(alpha16, 1u, 65535u)); }

// Appends ` name="value"`; `value` is already escaped.
void AddAttribute(std::string& attributes, std::string_view name, std::string_view value) {
  attributes += ' ';
  attributes += name;
  attributes += "=\"";
  attributes += value;
  attributes += '"';
}

void AddColour(std::string& attributes, std::string_view name, std::string_view alphaName, CueColour colour) {
  AddAttribute(attributes, name, HexColour(colour));
  if (colour.alpha != 255) AddAttribute(attributes, alphaName, PangoAlpha(colour.alpha * 257u));
}

std::string Span(std::string_view attributes) { return "<span" + std::string(attributes) + ">"; }

// ---- HTML-like tags (SubRip, WebVTT)

// The length of the tag starting at text[i] ('<') through its '>', or 0
// when what follows cannot be a tag and the '<' is text.
size_t TagLength(std::string_view text, size_t i, bool digitMayStart) {
  size_t j = i + 1;
  if (j < text.size() && text[j] == '/') ++j;
  if (j >= text.size() || !(IsAlpha(text[j]) || (digitMayStart && IsDigit(text[j])))) return 0;
  for (; j < text.size() && j - i < kMaxTagBytes; ++j) {
    if (text[j] == '>') return j - i + 1;
    if (text[j] == '<') return 0;
  }
  return 0;
}

struct Attribute {
  std::string name;   // lower case
  std::string value;  // references decoded
};

std::vector<Attribute> ParseAttributes(std::string_view text) {
  const auto isNameChar = [](char c) { return IsAlpha(c) || IsDigit(c) || c == '_' || c == '-' || c == ':'; };
  std::vector<Attribute> attributes;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && !isNameChar(text[i])) ++i;
    const size_t nameStart = i;
    while (i < text.size() && isNameChar(text[i])) ++i;
    if (i == nameStart) break;
    Attribute attribute{LowerCopy(text.substr(nameStart, i - nameStart)), {}};
    while (i < text.size() && IsSpace(text[i])) ++i;
    if (i < text.size() && text[i] == '=') {
      ++i;
      while (i < text.size() && IsSpace(text[i])) ++i;
      size_t valueStart = i;
      size_t valueEnd = i;
      if (i < text.size() && (text[i] == '"' || text[i] == '\'')) {
        valueStart = i + 1;
        valueEnd = std::min(text.find(text[i], valueStart), text.size());
        i = std::min(valueEnd + 1, text.size());
      } else {
        while (i < text.size() && !IsSpace(text[i])) ++i;
        valueEnd = i;
      }
      attribute.value = DecodedReferences(text.substr(valueStart, valueEnd - valueStart));
    }
    attributes.push_back(std::move(attribute));
  }
  return attributes;
}

// Where eight hex digits keep the alpha: Pango's own "#rrggbbaa" or the
// "#aarrggbb" some SubRip editors write.
enum class AlphaDigits { kLast, kFirst };

std::optional<CueColour> ParseHtmlColour(std::string_view value, AlphaDigits alphaDigits) {
  static constexpr struct {
    std::string_view name;
    uint32_t rgb;
  } kNamed[] = {{"black", 0x000000},   {"silver", 0xc0c0c0}, {"gray", 0x808080},  {"grey", 0x808080},
                {"white", 0xffffff},   {"maroon", 0x800000}, {"red", 0xff0000},   {"purple", 0x800080},
                {"fuchsia", 0xff00ff}, {"magenta", 0xff00ff}, {"green", 0x008000}, {"lime", 0x00ff00},
                {"olive", 0x808000},   {"yellow", 0xffff00}, {"navy", 0x000080},  {"blue", 0x0000ff},
                {"teal", 0x008080},    {"aqua", 0x00ffff},   {"cyan", 0x00ffff}};
  value = Trim(value);
  const std::string lower = LowerCopy(value);
  for (const auto& entry : kNamed) {
    if (entry.name == lower) {
      return CueColour{static_cast<uint8_t>(entry.rgb >> 16), static_cast<uint8_t>(entry.rgb >> 8),
                       static_cast<uint8_t>(entry.rgb), 255};
    }
  }
  if (!value.empty() && value.front() == '#') value.remove_prefix(1);
  if (value.size() != 3 && value.size() != 6 && value.size() != 8) return std::nullopt;
  uint32_t bits = 0;
  for (char c : value) {
    if (HexDigit(c) < 0) return std::nullopt;
    bits = (bits << 4) | static_cast<uint32_t>(HexDigit(c));
  }
  if (value.size() == 3) {
    const auto nibble = [&](int shift) { return static_cast<uint8_t>(((bits >> shift) & 15) * 17); };
    return CueColour{nibble(8), nibble(4), nibble(0), 255};
  }
  if (value.size() == 6) bits = (bits << 8) | 0xff;
  else if (alphaDigits == AlphaDigits::kFirst) bits = (bits << 8) | (bits >> 24);
  return CueColour{static_cast<uint8_t>(bits >> 24), static_cast<uint8_t>(bits >> 16), static_cast<uint8_t>(bits >> 8),
                   static_cast<uint8_t>(bits)};
}

// Pango's alpha values: "NN%" or 1 to 65535.
std::optional<std::string> PangoAlphaValue(std::string_view value) {
  value = Trim(value);
  const bool percent = !value.empty() && value.back() == '%';
  if (percent) value.remove_suffix(1);
  if (value.empty() || value.size() > 5) return std::nullopt;
  unsigned number = 0;
  for (char c : value) {
    if (!IsDigit(c)) return std::nullopt;
    number = number * 10 + static_cast<unsigned>(c - '0');
  }
  if (percent) {
    if (number > 100) return std::nullopt;
    number = number * 65535 / 100;
  }
  if (number > 65535) return std::nullopt;
  return PangoAlpha(number);
}

// A Pango enum or boolean value from the accepted set, in lower case.
std::optional<std::string> OneOf(std::string_view value, std::initializer_list<std::string_view> accepted) {
  std::string lower = LowerCopy(Trim(value));
  for (std::string_view candidate : accepted) {
    if (candidate == lower) return lower;
  }
  return std::nullopt;
}

std::optional<std::string> PangoWeight(std::string_view value) {
  value = Trim(value);
  if (!value.empty() && value.size() <= 4 && std::all_of(value.begin(), value.end(), IsDigit)) {
    const int weight = std::stoi(std::string(value));
    if (weight >= 100 && weight <= 1000) return std::to_string(weight);
    return std::nullopt;
  }
  return OneOf(value, {"thin", "ultralight", "light", "semilight", "book", "normal", "medium", "semibold", "bold",
                       "ultrabold", "heavy", "ultraheavy"});
}

// The attributes of a Pango <span> whose values Pango takes, each once.
std::string PangoSpanAttributes(std::string_view text) {
  std::string attributes;
  const auto add = [&](std::string_view name, const std::optional<std::string>& value) {
    if (value && attributes.find(" " + std::string(name) + "=\"") == std::string::npos) {
      AddAttribute(attributes, name, *value);
    }
  };
  const auto colour = [&](std::string_view name, std::string_view alphaName, const std::string& value) {
    const std::optional<CueColour> parsed = ParseHtmlColour(value, AlphaDigits::kLast);
    if (!parsed) return;
    add(name, HexColour(*parsed));
    if (parsed->alpha != 255) add(alphaName, PangoAlpha(parsed->alpha * 257u));
  };
  for (const Attribute& attribute : ParseAttributes(text)) {
    const std::string& name = attribute.name;
    const std::string& value = attribute.value;
    if (name == "foreground" || name == "fgcolor" || name == "color") {
      colour("foreground", "alpha", value);
    } else if (name == "background" || name == "bgcolor") {
      colour("background", "bgalpha", value);
    } else if (name == "alpha" || name == "fgalpha") {
      add("alpha", PangoAlphaValue(value));
    } else if (name == "bgalpha") {
      add("bgalpha", PangoAlphaValue(value));
    } else if (name == "font_family" || name == "face") {
      if (!Trim(value).empty()) add("font_family", EscapedAttribute(Trim(value)));
    } else if (name == "weight" || name == "font_weight") {
      add("weight", PangoWeight(value));
    } else if (name == "style" || name == "font_style") {
      add("style", OneOf(value, {"normal", "oblique", "italic"}));
    } else if (name == "underline") {
      const std::string lower = LowerCopy(Trim(value));
      if (lower == "true" || lower == "false") add("underline", lower == "true" ? "single" : "none");
      else add("underline", OneOf(value, {"none", "single", "double", "low", "error"}));
    } else if (name == "strikethrough") {
      add("strikethrough", OneOf(value, {"true", "false"}));
    }
  }
  return attributes;
}

// ---- ASS

// The look of one run of ASS text: what its style and the per-run override
// tags set.
struct AssRun {
  std::string fontName;
  int weight = 400;
  bool italic = false;
  bool underline = false;
  bool strikeOut = false;
  CueColour colour;
};

AssRun RunOf(const AssStyle& style) {
  return {style.fontName, style.weight, style.italic, style.underline, style.strikeOut, style.primary};
}

// The attributes of a run's span; text without them is drawn in the
// renderer's font, white and upright.
std::string RunAttributes(const AssRun& run, const std::optional<CueColour>& box) {
  std::string attributes;
  if (!run.fontName.empty()) AddAttribute(attributes, "font_family", EscapedAttribute(run.fontName));
  if (run.weight != 400) AddAttribute(attributes, "weight", run.weight == 700 ? "bold" : std::to_string(run.weight));
  if (run.italic) AddAttribute(attributes, "style", "italic");
  if (run.underline) AddAttribute(attributes, "underline", "single");
  if (run.strikeOut) AddAttribute(attributes, "strikethrough", "true");
  if (!SameRgb(run.colour, CueColour{255, 255, 255, 255})) {
    AddAttribute(attributes, "foreground", HexColour(run.colour));
  }
  if (run.colour.alpha != 255) AddAttribute(attributes, "alpha", PangoAlpha(run.colour.alpha * 257u));
  if (box) AddColour(attributes, "background", "bgalpha", *box);
  return attributes;
}

// Override values are hex whether or not they carry their "&H".
std::optional<CueColour> OverrideColour(std::string_view value) {
  value = Trim(value);
  if (!value.empty() && value.front() != '&' && value.front() != 'H' && value.front() != 'h') {
    return ParseAssColour("&H" + std::string(value));
  }
  return ParseAssColour(value);
}

// An override alpha ("&H80&") as straight alpha.
std::optional<uint8_t> OverrideAlpha(std::string_view value) {
  const std::optional<CueColour> bits = OverrideColour(value);
  if (!bits) return std::nullopt;
  return static_cast<uint8_t>(255 - bits->red);
}

void SetRgb(CueColour& colour, CueColour rgb) {
  colour.red = rgb.red;
  colour.green = rgb.green;
  colour.blue = rgb.blue;
}

// The numbers of "(a,b,...)" after a tag's name; unreadable ones are 0.
std::vector<double> Arguments(std::string_view text) {
  std::vector<double> numbers;
  text = Trim(text);
  if (text.empty() || text.front() != '(') return numbers;
  text.remove_prefix(1);
  text = text.substr(0, text.find(')'));
  while (true) {
    const size_t comma = text.find(',');
    numbers.push_back(ParseScriptNumber(text.substr(0, comma)).value_or(0));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return numbers;
}

class AssEventConverter {
 public:
  AssEventConverter(const AssScript& script, const AssStyle& style, const CueLayout& layout)
      : script_(script), eventStyle_(style), base_(&style), run_(RunOf(style)), layout_(layout) {
    TakeCueLook(style);
  }

  SubtitleCue Convert(std::string_view text) {
    std::string pending;
    bool bracesClose = true;  // false once no '}' is left: every later '{' is text
    for (size_t i = 0; i < text.size();) {
      if (text[i] == '{' && bracesClose) {
        const size_t close = text.find('}', i + 1);
        if (close != std::string_view::npos) {
          Write(pending);
          ApplyOverrides(text.substr(i + 1, close - i - 1));
          i = close + 1;
          continue;
        }
        bracesClose = false;
      }
      if (text[i] == '\\' && i + 1 < text.size()) {
        const char next = text[i + 1];
        if (next == 'N' || next == 'n' || next == 'h') {
          if (next == 'h') pending += "\xC2\xA0";
          else pending += (next == 'N' || script_.wrapStyle == 2) ? '\n' : ' ';
          i += 2;
          continue;
        }
      }
      pending += text[i++];
    }
    Write(pending);
    if (eventStyle_.opaqueBox) {
      layout_.outlineWidth = 0;
      layout_.shadowOffset = 0;
    }
    return {writer_.Finish(), true, layout_};
  }

 private:
  void TakeCueLook(const AssStyle& style) {
    layout_.fontSize = style.fontSize > 0 ? style.fontSize / script_.playResY : 0;
    layout_.outlineColour = style.outline;
    layout_.outlineWidth = style.outlineWidth >= 0 ? style.outlineWidth / script_.playResY : -1;
    layout_.shadowColour = style.back;
    layout_.shadowOffset = style.shadowOffset / script_.playResY;
  }

  // Outline, shadow and size are one per cue: they follow the overrides
  // met before the first text and ignore the rest.
  bool CueLookOpen() const { return !textStarted_; }

  void Write(std::string& pending) {
    if (pending.empty()) return;
    if (drawing_) {
      pending.clear();
      return;
    }
    if (!textStarted_) {
      textStarted_ = true;
      if (eventStyle_.opaqueBox) box_ = layout_.outlineColour;
    }
    std::string attributes = RunAttributes(run_, box_);
    if (!runOpen_ || attributes != runAttributes_) {
      writer_.CloseAll();
      if (!attributes.empty()) writer_.Open("run", Span(attributes), "</span>");
      runAttributes_ = std::move(attributes);
      runOpen_ = true;
    }
    writer_.Text(pending);
    pending.clear();
  }

  // The inside of one "{...}": tags each start with '\' and run to the
  // next one outside parentheses (\t nests tags in its own); anything
  // before the first is a comment.
  void ApplyOverrides(std::string_view block) {
    size_t i = block.find('\\');
    while (i < block.size()) {
      size_t end = i + 1;
      for (int depth = 0; end < block.size(); ++end) {
        if (block[end] == '(') ++depth;
        else if (block[end] == ')' && depth > 0) --depth;
        else if (block[end] == '\\' && depth == 0) break;
      }
      ApplyTag(block.substr(i + 1, end - i - 1));
      i = end;
    }
  }

  void ApplyTag(std::string_view tag) {
    std::string_view value;
    const auto is = [&](std::string_view name) {
      if (!StartsWith(tag, name)) return false;
      value = Trim(tag.substr(name.size()));
      return true;
    };
    // Where one tag's name begins another's, the longer is tried first.
    if (is("blur") || is("be") || is("clip") || is("iclip") || is("fsc") || is("fsp") || is("pbo") || is("2c") ||
        is("2a")) {
      return;
    }
    if (is("alpha")) {
      const std::optional<uint8_t> alpha = value.empty() ? base_->primary.alpha : OverrideAlpha(value);
      if (!alpha) return;
      run_.colour.alpha = *alpha;
      if (CueLookOpen()) {
        layout_.outlineColour.alpha = value.empty() ? base_->outline.alpha : *alpha;
        layout_.shadowColour.alpha = value.empty() ? base_->back.alpha : *alpha;
      }
    } else if (is("an")) {
      const std::optional<double> n = ParseScriptNumber(value);
      if (n && *n >= 1 && *n <= 9) Align(static_cast<int>(*n));
    } else if (is("a")) {
      const std::optional<double> n = ParseScriptNumber(value);
      if (n && *n >= 1 && *n <= 11) Align(NumpadFromLegacyAlignment(static_cast<int>(*n)));
    } else if (is("bord")) {
      const std::optional<double> n = ParseScriptNumber(value);
      if (CueLookOpen() && n && *n >= 0) layout_.outlineWidth = *n / script_.playResY;
    } else if (is("b")) {
      const std::optional<double> n = ParseScriptNumber(value);
      if (value.empty()) run_.weight = base_->weight;
      else if (n && *n == 0) run_.weight = 400;
      else if (n && *n == 1) run_.weight = 700;
      else if (n && *n >= 100) run_.weight = static_cast<int>(std::min(*n, 1000.0));
    } else if (is("c") || is("1c")) {
      const std::optional<CueColour> colour = value.empty() ? base_->primary : OverrideColour(value);
      if (colour) SetRgb(run_.colour, *colour);
    } else if (is("1a")) {
      const std::optional<uint8_t> alpha = value.empty() ? base_->primary.alpha : OverrideAlpha(value);
      if (alpha) run_.colour.alpha = *alpha;
    } else if (is("3c") || is("4c")) {
      CueColour& target = tag[0] == '3' ? layout_.outlineColour : layout_.shadowColour;
      const CueColour& fallback = tag[0] == '3' ? base_->outline : base_->back;
      const std::optional<CueColour> colour = value.empty() ? fallback : OverrideColour(value);
      if (CueLookOpen() && colour) SetRgb(target, *colour);
    } else if (is("3a") || is("4a")) {
      CueColour& target = tag[0] == '3' ? layout_.outlineColour : layout_.shadowColour;
      const CueColour& fallback = tag[0] == '3' ? base_->outline : base_->back;
      const std::optional<uint8_t> alpha = value.empty() ? fallback.alpha : OverrideAlpha(value);
      if (CueLookOpen() && alpha) target.alpha = *alpha;
    } else if (is("fn")) {
      run_.fontName = value.empty() ? base_->fontName : std::string(value);
    } else if (is("fs")) {
      // Relative sizes ("\fs+2") are not standard ASS; skipped.
      const std::optional<double> n = ParseScriptNumber(value);
      if (!CueLookOpen()) return;
      if (value.empty()) layout_.fontSize = base_->fontSize > 0 ? base_->fontSize / script_.playResY : 0;
      else if (IsDigit(value.front()) && n && *n > 0) layout_.fontSize = *n / script_.playResY;
    } else if (is("i")) {
      run_.italic = Flag(value, base_->italic);
    } else if (is("move") || is("pos")) {
      const std::vector<double> arguments = Arguments(value);
      if (arguments.size() >= (tag[0] == 'm' ? 4u : 2u) && !positioned_) {
        positioned_ = true;
        layout_.hasAnchor = true;
        layout_.anchorX = arguments[0] / script_.playResX;
        layout_.anchorY = arguments[1] / script_.playResY;
      }
    } else if (is("p")) {
      const std::optional<double> n = ParseScriptNumber(value);
      if (n) drawing_ = *n > 0;
    } else if (is("r")) {
      const AssStyle* style = value.empty() ? &eventStyle_ : script_.Find(value);
      base_ = style != nullptr ? style : &eventStyle_;
      run_ = RunOf(*base_);
      if (CueLookOpen()) TakeCueLook(*base_);
    } else if (is("shad")) {
      const std::optional<double> n = ParseScriptNumber(value);
      if (CueLookOpen() && n && *n >= 0) layout_.shadowOffset = *n / script_.playResY;
    } else if (is("s")) {
      run_.strikeOut = Flag(value, base_->strikeOut);
    } else if (is("u")) {
      run_.underline = Flag(value, base_->underline);
    }
    // Karaoke, fades, transforms, rotation, scaling, clips and the rest
    // have nothing to carry over to a still text layout.
  }

  static bool Flag(std::string_view value, bool fallback) {
    const std::optional<double> n = ParseScriptNumber(value);
    return n ? *n != 0 : fallback;
  }

  // The first \an or \a places the cue; later ones do not move it.
  void Align(int numpad) {
    if (aligned_ || numpad == 0) return;
    aligned_ = true;
    layout_.alignment = numpad;
  }

  const AssScript& script_;
  const AssStyle& eventStyle_;
  const AssStyle* base_;  // the style \r last chose, which empty values return to
  AssRun run_;
  CueLayout layout_;
  std::optional<CueColour> box_;  // BorderStyle 3's box, fixed at the first text
  bool textStarted_ = false;
  bool aligned_ = false;
  bool positioned_ = false;
  bool drawing_ = false;
  bool runOpen_ = false;
  std::string runAttributes_;
  MarkupWriter writer_;
};

// ---- WebVTT

void ApplyWebVttTag(MarkupWriter& writer, std::string_view tag) {
  const bool end = !tag.empty() && tag.front() == '/';
  if (end) tag.remove_prefix(1);
  size_t nameEnd = 0;
  while (nameEnd < tag.size() && tag[nameEnd] != '.' && tag[nameEnd] != '/' && !IsSpace(tag[nameEnd])) ++nameEnd;
  const std::string name = LowerCopy(tag.substr(0, nameEnd));
  // Timestamps (karaoke timing) start with a digit.
  if (name.empty() || IsDigit(name.front())) return;
  if (end) {
    if (name == "ruby" && writer.InnermostIs("rt")) writer.CloseInnermost("rt");
    writer.CloseInnermost(name);
    return;
  }
  static constexpr std::string_view kKnown[] = {"b", "i", "u", "c", "v", "lang", "ruby", "rt"};
  if (std::find(std::begin(kKnown), std::end(kKnown), name) == std::end(kKnown)) return;
  if (name == "rt") {
    writer.Open(name, {}, {}, true);
    return;
  }

  static constexpr struct {
    std::string_view name;
    CueColour colour;
  } kColourClasses[] = {{"white", {255, 255, 255, 255}}, {"lime", {0, 255, 0, 255}},
                        {"cyan", {0, 255, 255, 255}},    {"red", {255, 0, 0, 255}},
                        {"yellow", {255, 255, 0, 255}},  {"magenta", {255, 0, 255, 255}},
                        {"blue", {0, 0, 255, 255}},      {"black", {0, 0, 0, 255}}};
  std::optional<CueColour> foreground;
  std::optional<CueColour> background;
  std::string_view classes = tag.substr(nameEnd);
  classes = classes.substr(0, std::find_if(classes.begin(), classes.end(), IsSpace) - classes.begin());
  while (!classes.empty() && classes.front() == '.') {
    classes.remove_prefix(1);
    const std::string cls = LowerCopy(classes.substr(0, classes.find('.')));
    classes.remove_prefix(std::min(classes.size(), cls.size()));
    const bool isBackground = StartsWith(cls, "bg_");
    const std::string_view colourName = std::string_view(cls).substr(isBackground ? 3 : 0);
    for (const auto& entry : kColourClasses) {
      if (entry.name == colourName) (isBackground ? background : foreground) = entry.colour;
    }
  }

  if (!foreground && !background) {
    if (name == "b" || name == "i" || name == "u") writer.Open(name, "<" + name + ">", "</" + name + ">");
    else writer.Open(name, {}, {});
    return;
  }
  std::string attributes;
  if (name == "b") AddAttribute(attributes, "weight", "bold");
  if (name == "i") AddAttribute(attributes, "style", "italic");
  if (name == "u") AddAttribute(attributes, "underline", "single");
  if (foreground) AddAttribute(attributes, "foreground", HexColour(*foreground));
  if (background) AddAttribute(attributes, "background", HexColour(*background));
  writer.Open(name, Span(attributes), "</span>");
}

// ---- SubRip

// The alignment the first \anN or legacy \aN in a "{\...}" block asks for,
// 0 for none.
int AlignmentIn(std::string_view block) {
  for (size_t i = block.find('\\'); i != std::string_view::npos; i = block.find('\\', i + 1)) {
    const std::string_view tag = block.substr(i + 1);
    if (StartsWith(tag, "an") && tag.size() > 2 && tag[2] >= '1' && tag[2] <= '9') return tag[2] - '0';
    if (StartsWith(tag, "a") && tag.size() > 1 && IsDigit(tag[1])) {
      const int legacy = (tag.size() > 2 && IsDigit(tag[2])) ? (tag[1] - '0') * 10 + (tag[2] - '0') : tag[1] - '0';
      if (const int numpad = NumpadFromLegacyAlignment(legacy)) return numpad;
    }
  }
  return 0;
}

void ApplySubRipTag(MarkupWriter& writer, std::string_view tag) {
  const bool end = !tag.empty() && tag.front() == '/';
  if (end) tag.remove_prefix(1);
  size_t nameEnd = 0;
  while (nameEnd < tag.size() && (IsAlpha(tag[nameEnd]) || IsDigit(tag[nameEnd]))) ++nameEnd;
  const std::string name = LowerCopy(tag.substr(0, nameEnd));
  const std::string_view rest = Trim(tag.substr(nameEnd));
  const bool simple = name == "b" || name == "i" || name == "u" || name == "s";
  if (end) {
    if (simple || name == "font" || name == "span") writer.Close(name);
    return;
  }
  if (name == "br") {
    writer.Text("\n");
    return;
  }
  if (!rest.empty() && rest.back() == '/') return;  // an empty element
  if (simple) {
    writer.Open(name, "<" + name + ">", "</" + name + ">");
    return;
  }
  std::string attributes;
  if (name == "span") {
    attributes = PangoSpanAttributes(rest);
  } else if (name == "font") {
    for (const Attribute& attribute : ParseAttributes(rest)) {
      if (attribute.name == "color" && attributes.find(" foreground=") == std::string::npos) {
        if (const auto colour = ParseHtmlColour(attribute.value, AlphaDigits::kFirst)) {
          AddColour(attributes, "foreground", "alpha", *colour);
        }
      } else if (attribute.name == "face" && !Trim(attribute.value).empty() &&
                 attributes.find(" font_family=") == std::string::npos) {
        AddAttribute(attributes, "font_family", EscapedAttribute(Trim(attribute.value)));
      }
    }
  } else {
    return;
  }
  if (attributes.empty()) writer.Open(name, {}, {});
  else writer.Open(name, Span(attributes), "</span>");
}

}  // namespace

SubtitleCue AssBlockToCue(const AssScript& script, std::string_view block) {
  // ReadOrder, Layer, Style, Name, MarginL, MarginR, MarginV, Effect.
  std::string_view fields[8];
  std::string_view text = block;
  size_t start = 0;
  for (std::string_view& field : fields) {
    const size_t comma = block.find(',', start);
    if (comma == std::string_view::npos) {
      std::fill(std::begin(fields), std::end(fields), std::string_view());
      start = 0;
      break;
    }
    field = block.substr(start, comma - start);
    start = comma + 1;
  }
  text = block.substr(start);

  const AssStyle& style = script.StyleOrDefault(fields[2]);
  const auto margin = [](std::string_view event, double fromStyle, double extent) {
    const std::optional<double> value = ParseScriptNumber(event);
    const double chosen = value && *value > 0 ? *value : fromStyle;
    return chosen < 0 ? -1 : chosen / extent;
  };
  CueLayout layout;
  layout.alignment = style.alignment;
  layout.marginLeft = margin(fields[4], style.marginLeft, script.playResX);
  layout.marginRight = margin(fields[5], style.marginRight, script.playResX);
  layout.marginVertical = margin(fields[6], style.marginVertical, script.playResY);
  return AssEventConverter(script, style, layout).Convert(text);
}

// HTML-like text (WebVTT, SubRip) as markup: each tag goes to `applyTag`,
// character references are decoded, the rest is text. `skip` may claim a
// construct of its own at a position first, returning its length (0: none).
template <typename ApplyTag, typename Skip>
std::string TaggedTextMarkup(const std::string& text, bool digitMayStartTag, ApplyTag applyTag, Skip skip) {
  MarkupWriter writer;
  std::string pending;
  for (size_t i = 0; i < text.size();) {
    if (const size_t skipped = skip(i)) {
      i += skipped;
      continue;
    }
    if (text[i] == '<') {
      if (const size_t length = TagLength(text, i, digitMayStartTag)) {
        writer.Text(pending);
        pending.clear();
        applyTag(writer, std::string_view(text).substr(i + 1, length - 2));
        i += length;
        continue;
      }
    } else if (text[i] == '&') {
      size_t length = 0;
      if (const std::optional<char32_t> c = DecodeReference(text, i, length)) {
        AppendUtf8(pending, *c);
        i += length;
        continue;
      }
    }
    pending += text[i++];
  }
  writer.Text(pending);
  return writer.Finish();
}

SubtitleCue WebVttToCue(std::string_view payload) {
  const std::string text = NormalisedLines(payload);
  return {TaggedTextMarkup(text, true, ApplyWebVttTag, [](size_t) { return size_t{0}; }), true, {}};
}

SubtitleCue SubRipToCue(std::string_view input) {
  const std::string text = NormalisedLines(input);
  SubtitleCue cue;
  cue.isMarkup = true;
  bool aligned = false;  // the first alignment wins
  // {\...} override blocks: the first alignment is kept, the rest dropped.
  auto overrideBlock = [&](size_t i) -> size_t {
    if (text[i] != '{' || i + 1 >= text.size() || text[i + 1] != '\\') return 0;
    const size_t close = std::string_view(text).substr(0, i + kMaxTagBytes).find('}', i + 2);
    if (close == std::string::npos) return 0;
    const int alignment = aligned ? 0 : AlignmentIn(std::string_view(text).substr(i + 1, close - i - 1));
    if (alignment != 0) {
      cue.layout.alignment = alignment;
      aligned = true;
    }
    return close + 1 - i;
  };
  cue.text = TaggedTextMarkup(text, false, ApplySubRipTag, overrideBlock);
  return cue;
}

}  // namespace corvane::platform::gst
