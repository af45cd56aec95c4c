#include "host/utf8.h"

#include <cstdint>

namespace flutter::internal {
namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed sequence at `at`, or 0 when the bytes there
// start an ill-formed one; `*consumed` is then the length of its maximal
// subpart (at least 1), which one replacement character stands for.
size_t SequenceAt(std::string_view text, size_t at, size_t* consumed) {
  const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
  const uint8_t lead = byte(at);
  *consumed = 1;
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint8_t low = 0x80, high = 0xBF;  // range of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (size_t i = 1; i < length; ++i) {
    if (at + i >= text.size()) return 0;
    const uint8_t next = byte(at + i);
    const uint8_t min = i == 1 ? low : 0x80;
    const uint8_t max = i == 1 ? high : 0xBF;
    if (next < min || next > max) return 0;
    *consumed = i + 1;
  }
  return length;
}

}  // namespace

size_t Utf8SequenceLength(std::string_view text, size_t at) {
  size_t consumed = 0;
  return SequenceAt(text, at, &consumed);
}

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    // ASCII runs are the common case.
    if (static_cast<uint8_t>(text[at]) < 0x80) {
      ++at;
      continue;
    }
    size_t consumed = 0;
    const size_t length = SequenceAt(text, at, &consumed);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string ToValidUtf8(std::string_view text) {
  std::string valid;
  valid.reserve(text.size() + 2);
  for (size_t at = 0; at < text.size();) {
    size_t consumed = 0;
    const size_t length = SequenceAt(text, at, &consumed);
    if (length == 0) {
      valid += kReplacement;
      at += consumed;
    } else {
      valid.append(text.data() + at, length);
      at += length;
    }
  }
  return valid;
}

}  // namespace flutter::internal
