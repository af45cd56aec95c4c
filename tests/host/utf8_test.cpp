// What the serializer writes for strings that are not well-formed UTF-8:
// Dart would refuse the whole message, so each ill-formed part becomes one
// U+FFFD and the rest is kept.
#include "host/utf8.h"

#include <gtest/gtest.h>

#include "host/codec_test_support.h"
#include "host/standard_codec_serializer.h"

namespace flutter::internal {
namespace {

constexpr const char* kFffd = "\xEF\xBF\xBD";

TEST(Utf8, IllFormedParts_BecomeOneReplacementEach) {
  const struct {
    const char* name;
    std::string input;
    std::string expected;
  } rows[] = {
      {"ASCII and valid multi-byte text kept", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC", "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xAC"},
      {"Latin-1 byte of a file name", "caf\xE9.mp4", std::string("caf") + kFffd + ".mp4"},
      {"lone continuation byte", "\x80x", std::string(kFffd) + "x"},
      {"sequence cut short is one replacement", "\xE2\x82x", std::string(kFffd) + "x"},
      {"sequence cut at the end", "ab\xF0\x9F\x8E", std::string("ab") + kFffd},
      {"overlong form", "\xC0\xAF", std::string(kFffd) + kFffd},
      {"surrogate", "\xED\xA0\x80", std::string(kFffd) + kFffd + kFffd},
      {"above U+10FFFF", "\xF4\x90\x80\x80", std::string(kFffd) + kFffd + kFffd + kFffd},
      {"NUL is a character", std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(IsValidUtf8(row.input), row.input == row.expected);
    EXPECT_EQ(ToValidUtf8(row.input), row.expected);
  }
}

TEST(Utf8, TheSerializerWritesRepairedStrings_InsideMaps) {
  const EncodableValue event(EncodableMap{{EncodableValue("source"), EncodableValue("\xFF.mp4")}});
  const EncodableValue repaired(EncodableMap{{EncodableValue("source"), EncodableValue(std::string(kFffd) + ".mp4")}});
  EXPECT_EQ(corvane_test::Encode(event), corvane_test::Encode(repaired));
}

}  // namespace
}  // namespace flutter::internal
