// Byte-exact encoding of every EncodableValue alternative, and the size,
// alignment and map-order rules, checked against hand-written vectors and
// read back through the decoder.
#include <gtest/gtest.h>

#include <cstring>

#include "codec_test_support.h"
#include "host/standard_method_codec.h"

namespace {

using corvane_test::Bytes;
using corvane_test::Concat;
using corvane_test::Decode;
using corvane_test::Encode;
using corvane_test::TextBytes;
using flutter::CustomEncodableValue;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

struct VectorCase {
  const char* name;
  EncodableValue value;
  Bytes bytes;
};

std::vector<VectorCase> AlternativeVectors() {
  return {
      {"Null", EncodableValue(), {0}},
      {"True", EncodableValue(true), {1}},
      {"False", EncodableValue(false), {2}},
      {"Int32Negative", EncodableValue(int32_t{-2}), {3, 0xfe, 0xff, 0xff, 0xff}},
      {"Int64LittleEndian", EncodableValue(int64_t{0x0102030405060708}), {4, 8, 7, 6, 5, 4, 3, 2, 1}},
      // Type byte at offset 0, payload aligned to 8.
      {"Float64", EncodableValue(1.5), {6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xf8, 0x3f}},
      {"StringUtf8", EncodableValue(std::string("h\xc3\xa9")), {7, 3, 'h', 0xc3, 0xa9}},
      {"StringEmpty", EncodableValue(std::string()), {7, 0}},
      {"ByteList", EncodableValue(std::vector<uint8_t>{1, 2, 3}), {8, 3, 1, 2, 3}},
      {"Int32List", EncodableValue(std::vector<int32_t>{1, -1}), {9, 2, 0, 0, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff}},
      // Padded to the element width even with no elements.
      {"Int32ListEmpty", EncodableValue(std::vector<int32_t>{}), {9, 0, 0, 0}},
      {"Int64List", EncodableValue(std::vector<int64_t>{5}), {10, 1, 0, 0, 0, 0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0}},
      {"Int64ListEmpty", EncodableValue(std::vector<int64_t>{}), {10, 0, 0, 0, 0, 0, 0, 0}},
      {"Float64List", EncodableValue(std::vector<double>{-2.0}), {11, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xc0}},
      {"Float32List", EncodableValue(std::vector<float>{1.0f}), {14, 1, 0, 0, 0, 0, 0x80, 0x3f}},
      {"Float32ListEmpty", EncodableValue(std::vector<float>{}), {14, 0, 0, 0}},
      {"List", EncodableValue(EncodableList{EncodableValue(1), EncodableValue("a")}), {12, 2, 3, 1, 0, 0, 0, 7, 1, 'a'}},
      {"ListEmpty", EncodableValue(EncodableList{}), {12, 0}},
      {"MapEmpty", EncodableValue(EncodableMap{}), {13, 0}},
  };
}

TEST(StandardCodecVectors, EveryAlternative_EncodesToItsExactBytes_AndDecodesBack) {
  for (const VectorCase& vector : AlternativeVectors()) {
    SCOPED_TRACE(vector.name);
    EXPECT_EQ(Encode(vector.value), vector.bytes);
    const auto decoded = Decode(vector.bytes);
    EXPECT_FALSE(decoded.failed);
    EXPECT_EQ(decoded.consumed, vector.bytes.size());
    EXPECT_EQ(decoded.value, vector.value);
    EXPECT_EQ(decoded.value.index(), vector.value.index());
  }
}

TEST(StandardCodecVectors, LargeIntCode_DecodesAsString) {
  const auto decoded = Decode({5, 2, '4', '2'});
  EXPECT_EQ(decoded.value, EncodableValue(std::string("42")));
}

TEST(StandardCodecVectors, CustomValue_IsWrittenAsNull_WithDiagnostic) {
  testing::internal::CaptureStderr();
  const Bytes bytes = Encode(EncodableValue(CustomEncodableValue(std::string("opaque"))));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unhandled custom type in StandardCodecSerializer::WriteValue. Custom types require codec extensions.\n");
  EXPECT_EQ(bytes, Bytes({0}));
}

TEST(StandardCodecSizes, PrefixWidth_GrowsAt254And65536) {
  struct SizeCase {
    size_t length;
    Bytes prefix;
  };
  const SizeCase cases[] = {
      {253, {253}},
      {254, {254, 254, 0}},
      {65535, {254, 0xff, 0xff}},
      {65536, {255, 0, 0, 1, 0}},
  };
  for (const SizeCase& sizeCase : cases) {
    SCOPED_TRACE(sizeCase.length);
    const std::string text(sizeCase.length, 'x');
    const Bytes bytes = Encode(EncodableValue(text));
    ASSERT_EQ(bytes.size(), 1 + sizeCase.prefix.size() + sizeCase.length);
    EXPECT_EQ(bytes[0], 7);
    EXPECT_EQ(Bytes(bytes.begin() + 1, bytes.begin() + 1 + sizeCase.prefix.size()), sizeCase.prefix);
    EXPECT_EQ(Decode(bytes).value, EncodableValue(text));
  }
}

// Reaches the size helpers that a derived serializer uses.
class SizeWriter : public flutter::StandardCodecSerializer {
 public:
  using StandardCodecSerializer::WriteSize;
};

TEST(StandardCodecSizes, SizeBeyond32Bits_IsRefused_NotTruncated) {
  SizeWriter serializer;
  Bytes bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  EXPECT_TRUE(serializer.WriteSize(0xFFFFFFFFu, &writer));
  EXPECT_EQ(bytes, Bytes({255, 0xff, 0xff, 0xff, 0xff}));
  bytes.clear();
  EXPECT_FALSE(serializer.WriteSize(size_t{1} << 32, &writer));
  EXPECT_TRUE(bytes.empty());
}

TEST(StandardCodecAlignment, CountsFromMessageStart_NotFromNesting) {
  // List at 0: type, count, then the int64 list's type at 2 and size at 3;
  // its elements start at 8.
  const EncodableValue value(EncodableList{EncodableValue(std::vector<int64_t>{-1})});
  const Bytes expected = {12, 1, 10, 1, 0, 0, 0, 0, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff};
  EXPECT_EQ(Encode(value), expected);
  EXPECT_EQ(Decode(expected).value, value);

  // In an envelope the result's type byte sits at 1, so its payload at 8.
  const EncodableValue quarter(0.25);
  const auto envelope = flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(&quarter);
  ASSERT_EQ(envelope->size(), 16u);
  EXPECT_EQ(Bytes(envelope->begin(), envelope->begin() + 8), Bytes({0, 6, 0, 0, 0, 0, 0, 0}));
  double payload;
  std::memcpy(&payload, envelope->data() + 8, 8);
  EXPECT_EQ(payload, 0.25);
}

TEST(StandardCodecAlignment, EmptyTypedListsStayAligned_SoFollowingValuesReadBack) {
  // An empty typed list followed by more values, at an odd offset.
  const EncodableValue value(EncodableList{EncodableValue(true), EncodableValue(std::vector<double>{}),
                                           EncodableValue(std::vector<float>{}), EncodableValue(7)});
  const Bytes bytes = Encode(value);
  // list(0) count(1) true(2) f64list(3) size(4) pad to 8, f32list(8) size(9) pad to 12, int32 at 12.
  EXPECT_EQ(bytes, Bytes({12, 4, 1, 11, 0, 0, 0, 0, 14, 0, 0, 0, 3, 7, 0, 0, 0}));
  EXPECT_EQ(Decode(bytes).value, value);
}

TEST(StandardCodecAlignment, UnpaddedEmptyListAtMessageEnd_StillReads) {
  // Writers that skip the padding of empty lists leave the message shorter
  // than an aligned read wants; that must not count as an error.
  const auto decoded = Decode({12, 2, 1, 9, 0});
  EXPECT_FALSE(decoded.failed);
  EXPECT_EQ(decoded.value, EncodableValue(EncodableList{EncodableValue(true), EncodableValue(std::vector<int32_t>{})}));
}

TEST(StandardCodecMaps, KeysAreWrittenInValueOrder) {
  EncodableMap event;
  event[EncodableValue("value")] = EncodableValue(int64_t{3});
  event[EncodableValue("event")] = EncodableValue("position");
  const Bytes expected = Concat({{13, 2},
                                 {7, 5},
                                 TextBytes("event"),
                                 {7, 8},
                                 TextBytes("position"),
                                 {7, 5},
                                 TextBytes("value"),
                                 {4, 3, 0, 0, 0, 0, 0, 0, 0}});
  EXPECT_EQ(Encode(EncodableValue(event)), expected);
}

TEST(StandardCodecMaps, RepeatedKeyOnRead_KeepsTheFirstEntry) {
  const Bytes bytes = {13, 2, 7, 1, 'k', 3, 1, 0, 0, 0, 7, 1, 'k', 3, 2, 0, 0, 0};
  const auto decoded = Decode(bytes);
  EXPECT_FALSE(decoded.failed);
  EXPECT_EQ(decoded.value, EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(1)}}));
  EXPECT_EQ(decoded.consumed, bytes.size());
}

}  // namespace
