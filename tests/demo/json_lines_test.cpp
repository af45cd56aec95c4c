// JSON text of plugin values: what the headless mode prints must be valid
// JSON that keeps every value exact and the wire's key order.
#include "json_lines.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace corvane::play {
namespace {

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

TEST(JsonLines, MediaInfoKeepsTheCodecKeyOrderAndValueKinds) {
  EncodableMap audio{{EncodableValue("title"), EncodableValue("Français")},
                     {EncodableValue("bitRate"), int32_t{96000}},
                     {EncodableValue("channels"), int32_t{2}}};
  EncodableMap event{{EncodableValue("event"), EncodableValue("mediaInfo")},
                     {EncodableValue("duration"), int64_t{6021}},
                     {EncodableValue("audioTracks"), EncodableMap{{EncodableValue("0.1"), audio}}},
                     {EncodableValue("subtitleTracks"), EncodableMap{}}};
  EXPECT_EQ(ToJson(event),
            "{\"audioTracks\":{\"0.1\":{\"bitRate\":96000,\"channels\":2,\"title\":\"Français\"}},"
            "\"duration\":6021,\"event\":\"mediaInfo\",\"subtitleTracks\":{}}");
}

TEST(JsonLines, NumbersStayExactAndDoublesStayDoubles) {
  EXPECT_EQ(ToJson(EncodableValue(int64_t{9007199254740993})), "9007199254740993");  // 2^53 + 1
  EXPECT_EQ(ToJson(EncodableValue(std::numeric_limits<int64_t>::min())), "-9223372036854775808");
  EXPECT_EQ(ToJson(EncodableValue(720.0)), "720.0");  // a video size, not the integer 720
  EXPECT_EQ(ToJson(EncodableValue(-0.5)), "-0.5");
  EXPECT_EQ(ToJson(EncodableValue(0.1)), "0.1");
  EXPECT_EQ(ToJson(EncodableValue(1e300)), "1e+300");
  EXPECT_EQ(std::stod(ToJson(EncodableValue(1.0 / 3))), 1.0 / 3);
}

TEST(JsonLines, ValuesJsonCannotHoldBecomeNull) {
  EXPECT_EQ(ToJson(EncodableValue(std::nan(""))), "null");
  EXPECT_EQ(ToJson(EncodableValue(std::numeric_limits<double>::infinity())), "null");
  EXPECT_EQ(ToJson(EncodableValue(std::vector<double>{1.5, -std::numeric_limits<double>::infinity()})),
            "[1.5,null]");
  EXPECT_EQ(ToJson(EncodableValue(flutter::CustomEncodableValue(42))), "null");
}

TEST(JsonLines, StringsAreEscapedAndInvalidUtf8IsReplaced) {
  EXPECT_EQ(JsonString("say \"hi\"\\\n\t\x01\x7f"), "\"say \\\"hi\\\"\\\\\\n\\t\\u0001\\u007f\"");
  EXPECT_EQ(JsonString("caf\xc3\xa9 \xf0\x9f\x8e\xac"), "\"caf\xc3\xa9 \xf0\x9f\x8e\xac\"");  // kept as is
  EXPECT_EQ(JsonString("a\xffz"), "\"a\xef\xbf\xbdz\"");                                   // stray byte
  EXPECT_EQ(JsonString("\xc3"), "\"\xef\xbf\xbd\"");                                         // cut short
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\xef\xbf\xbd\xef\xbf\xbd\"");                       // overlong '/'
  EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd\"");       // a surrogate
}

TEST(JsonLines, ListsAndNonStringKeysStayReadable) {
  const EncodableList list{EncodableValue(), EncodableValue(true), EncodableValue(std::vector<uint8_t>{0, 255})};
  EXPECT_EQ(ToJson(EncodableValue(list)), "[null,true,[0,255]]");
  EncodableMap odd{{EncodableValue(int32_t{7}), EncodableValue("seven")},
                   {EncodableValue("s"), EncodableValue(std::vector<int32_t>{-1})}};
  EXPECT_EQ(ToJson(EncodableValue(odd)), "{\"7\":\"seven\",\"s\":[-1]}");
  EncodableMap quotedKey{{EncodableValue(EncodableList{EncodableValue("a")}), EncodableValue(false)}};
  EXPECT_EQ(ToJson(EncodableValue(quotedKey)), "{\"[\\\"a\\\"]\":false}");
}

}  // namespace
}  // namespace corvane::play
