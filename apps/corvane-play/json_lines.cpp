#include "json_lines.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <type_traits>
#include <variant>

namespace corvane::play {

namespace {

void AppendDouble(double value, std::string* out) {
  if (!std::isfinite(value)) {
    *out += "null";
    return;
  }
  char buffer[40];
  if (value == std::floor(value) && std::fabs(value) < 1e15) {
    // Whole numbers, such as video sizes, read best without an exponent.
    std::snprintf(buffer, sizeof buffer, "%.1f", value);
  } else {
    // The shortest form that reads back as the same value.
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    for (int precision = 1; precision < 17; ++precision) {
      char shorter[40];
      std::snprintf(shorter, sizeof shorter, "%.*g", precision, value);
      if (std::strtod(shorter, nullptr) == value) {
        std::snprintf(buffer, sizeof buffer, "%s", shorter);
        break;
      }
    }
  }
  std::string text = buffer;
  if (text.find_first_of(".eE") == std::string::npos) text += ".0";
  *out += text;
}

// Length of the valid UTF-8 sequence at `s[i]`, or 0 when it is not one.
size_t Utf8SequenceLength(const std::string& s, size_t i) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  uint32_t minimum = 0, codePoint = 0;
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, codePoint = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, codePoint = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, codePoint = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  }
  // Overlong forms, surrogates and values past Unicode are not UTF-8.
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) return 0;
  return length;
}

void AppendString(const std::string& text, std::string* out) {
  *out += '"';
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    switch (c) {
      case '"': *out += "\\\""; ++i; continue;
      case '\\': *out += "\\\\"; ++i; continue;
      case '\n': *out += "\\n"; ++i; continue;
      case '\r': *out += "\\r"; ++i; continue;
      case '\t': *out += "\\t"; ++i; continue;
      default: break;
    }
    if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      *out += escaped;
      ++i;
      continue;
    }
    const size_t length = Utf8SequenceLength(text, i);
    if (length == 0) {
      *out += "\xEF\xBF\xBD";  // U+FFFD
      ++i;
      continue;
    }
    out->append(text, i, length);
    i += length;
  }
  *out += '"';
}

void Append(const flutter::EncodableValue& value, std::string* out);

template <typename Number>
void AppendNumberList(const std::vector<Number>& list, std::string* out) {
  *out += '[';
  for (size_t i = 0; i < list.size(); ++i) {
    if (i > 0) *out += ',';
    if constexpr (std::is_floating_point_v<Number>) {
      AppendDouble(static_cast<double>(list[i]), out);
    } else {
      *out += std::to_string(list[i]);
    }
  }
  *out += ']';
}

void Append(const flutter::EncodableValue& value, std::string* out) {
  std::visit(
      [out](const auto& v) {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          *out += "null";
        } else if constexpr (std::is_same_v<T, bool>) {
          *out += v ? "true" : "false";
        } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
          *out += std::to_string(v);
        } else if constexpr (std::is_same_v<T, double>) {
          AppendDouble(v, out);
        } else if constexpr (std::is_same_v<T, std::string>) {
          AppendString(v, out);
        } else if constexpr (std::is_same_v<T, std::vector<uint8_t>> || std::is_same_v<T, std::vector<int32_t>> ||
                             std::is_same_v<T, std::vector<int64_t>> || std::is_same_v<T, std::vector<double>> ||
                             std::is_same_v<T, std::vector<float>>) {
          AppendNumberList(v, out);
        } else if constexpr (std::is_same_v<T, flutter::EncodableList>) {
          *out += '[';
          bool first = true;
          for (const auto& item : v) {
            if (!first) *out += ',';
            first = false;
            Append(item, out);
          }
          *out += ']';
        } else if constexpr (std::is_same_v<T, flutter::EncodableMap>) {
          *out += '{';
          bool first = true;
          for (const auto& [key, item] : v) {
            if (!first) *out += ',';
            first = false;
            if (const auto* name = std::get_if<std::string>(&key)) {
              AppendString(*name, out);
            } else {
              AppendString(ToJson(key), out);
            }
            *out += ':';
            Append(item, out);
          }
          *out += '}';
        } else {
          *out += "null";  // CustomEncodableValue: nothing portable to show
        }
      },
      static_cast<const flutter::EncodableValue::Variant&>(value));
}

}  // namespace

std::string ToJson(const flutter::EncodableValue& value) {
  std::string out;
  Append(value, &out);
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out;
  AppendString(text, &out);
  return out;
}

}  // namespace corvane::play
