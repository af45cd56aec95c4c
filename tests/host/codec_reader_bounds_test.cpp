// Decoding hostile or truncated bytes: the reader stays inside the message,
// allocates in proportion to it, stops at a fixed nesting depth and reports
// each failure once.
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <utility>

#include "allocation_probe.h"
#include "codec_test_support.h"
#include "host/standard_method_codec.h"

namespace {

using corvane_test::Bytes;
using corvane_test::Concat;
using corvane_test::Decode;
using corvane_test::LargestAllocationWatch;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

const char kInvalidRead[] = "Invalid read in StandardCodecByteStreamReader\n";

struct HostilePrefixCase {
  const char* name;
  Bytes bytes;
  EncodableValue empty;
};

TEST(StandardCodecReaderBounds, SizePrefixBeyondMessage_YieldsEmptyValue_WithoutAllocatingIt) {
  const HostilePrefixCase cases[] = {
      {"String4GiB", {7, 255, 0xff, 0xff, 0xff, 0xff, 'a', 'b', 'c', 'd'}, EncodableValue(std::string())},
      {"StringOneTooMany", {7, 3, 'a', 'b'}, EncodableValue(std::string())},
      {"ByteList", {8, 255, 0xff, 0xff, 0xff, 0x7f, 1, 2, 3, 4}, EncodableValue(std::vector<uint8_t>())},
      {"Int64List", {10, 255, 0xff, 0xff, 0xff, 0x0f, 0, 0, 1, 2}, EncodableValue(std::vector<int64_t>())},
      {"Float32List", {14, 254, 0xff, 0xff, 0, 0, 0, 0, 0, 0}, EncodableValue(std::vector<float>())},
      {"List", {12, 255, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 0}, EncodableValue(EncodableList())},
      // Three bytes left cannot hold two key/value pairs.
      {"Map", {13, 2, 0, 0, 0}, EncodableValue(EncodableMap())},
  };
  for (const HostilePrefixCase& hostile : cases) {
    SCOPED_TRACE(hostile.name);
    testing::internal::CaptureStderr();
    LargestAllocationWatch watch;
    const auto decoded = Decode(hostile.bytes);
    const size_t largest = watch.largest();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
    EXPECT_TRUE(decoded.failed);
    EXPECT_EQ(decoded.value, hostile.empty);
    EXPECT_LT(largest, 1024u);
  }
}

TEST(StandardCodecReaderBounds, AfterAFailure_NothingFurtherIsRead) {
  // The second element's string overruns; the third element is never read.
  const Bytes bytes = {12, 3, 1, 7, 9, 'x', 2};
  testing::internal::CaptureStderr();
  const auto decoded = Decode(bytes);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
  EXPECT_TRUE(decoded.failed);
  const auto& list = std::get<EncodableList>(decoded.value);
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[1], EncodableValue(std::string()));
}

TEST(StandardCodecReaderBounds, TruncatedScalars_ReadAsZero_AndFail) {
  const Bytes cases[] = {{3, 1, 2}, {4, 1, 2, 3, 4, 5, 6, 7}, {6, 0, 0, 0, 0, 0, 0, 0, 1}, {7, 254, 1}};
  for (const Bytes& bytes : cases) {
    SCOPED_TRACE(static_cast<int>(bytes[0]));
    testing::internal::CaptureStderr();
    const auto decoded = Decode(bytes);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
    EXPECT_TRUE(decoded.failed);
    EXPECT_TRUE(decoded.value == EncodableValue(0) || decoded.value == EncodableValue(int64_t{0}) ||
                decoded.value == EncodableValue(0.0) || decoded.value == EncodableValue(std::string()));
  }
}

TEST(StandardCodecReaderBounds, UnknownTypeCode_YieldsNull_AndStopsReading) {
  testing::internal::CaptureStderr();
  const auto alone = Decode({15});
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Unknown type in StandardCodecSerializer::ReadValueOfType: 15\n");
  EXPECT_TRUE(alone.value.IsNull());

  // Nothing after an unknown value can be located, so the list ends there.
  testing::internal::CaptureStderr();
  const auto inList = Decode({12, 3, 1, 200, 3, 1, 0, 0, 0});
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Unknown type in StandardCodecSerializer::ReadValueOfType: 200\n");
  EXPECT_TRUE(inList.failed);
  EXPECT_EQ(std::get<EncodableList>(inList.value).size(), 2u);
}

Bytes NestedLists(int depth) {
  Bytes bytes;
  for (int i = 0; i < depth; ++i) {
    bytes.push_back(12);
    bytes.push_back(1);
  }
  bytes.push_back(0);
  return bytes;
}

TEST(StandardCodecReaderBounds, Nesting_DecodesToTheLimit_AndBeyondStopsInsteadOfOverflowingTheStack) {
  const int limit = flutter::StandardCodecSerializer::kMaxNestingDepth;
  const auto atLimit = Decode(NestedLists(limit));
  EXPECT_FALSE(atLimit.failed);
  int levels = 0;
  for (const EncodableValue* level = &atLimit.value; const auto* list = std::get_if<EncodableList>(level);
       level = &list->front()) {
    ++levels;
  }
  EXPECT_EQ(levels, limit);

  // Far deeper than any stack could recurse, in maps and lists alike.
  Bytes deep;
  for (int i = 0; i < 500000; ++i) {
    if (i % 2) {
      deep.insert(deep.end(), {13, 1, 0});
    } else {
      deep.insert(deep.end(), {12, 1});
    }
  }
  testing::internal::CaptureStderr();
  const auto decoded = Decode(deep);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Nesting deeper than 256 levels in StandardCodecSerializer::ReadValueOfType\n");
  EXPECT_TRUE(decoded.failed);
}

TEST(StandardCodecReaderBounds, ReadAlignment_StopsAtTheEnd) {
  const Bytes bytes = {1, 2, 3};
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  reader.ReadByte();
  reader.ReadAlignment(8);
  EXPECT_EQ(reader.location(), 3u);
  EXPECT_EQ(reader.BytesRemaining(), 0u);
  EXPECT_FALSE(reader.failed());

  testing::internal::CaptureStderr();
  EXPECT_EQ(reader.ReadByte(), 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
  EXPECT_EQ(reader.location(), 3u);
}

TEST(StandardCodecReaderBounds, ReadBytesPastTheEnd_CopiesNothing_AndDoesNotMove) {
  const Bytes bytes = {1, 2, 3};
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  reader.ReadByte();
  uint8_t destination[4] = {9, 9, 9, 9};
  testing::internal::CaptureStderr();
  reader.ReadBytes(destination, 3);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), kInvalidRead);
  EXPECT_EQ(reader.location(), 1u);
  EXPECT_EQ(destination[0], 9);
  reader.ReadBytes(destination, 2);
  EXPECT_EQ(destination[0], 2);
  EXPECT_EQ(destination[1], 3);
}

TEST(StandardCodecReaderBounds, MapWithNaNKeys_StaysOrdered) {
  // NaN keys compare equivalent to each other, so the second is a repeat.
  // Written entry by entry: an EncodableMap could not hold the repeat.
  Bytes bytes = {13, 3};
  flutter::ByteBufferStreamWriter writer(&bytes);
  const auto& serializer = flutter::StandardCodecSerializer::GetInstance();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  for (const auto& [key, value] : {std::pair{nan, 1}, std::pair{1.0, 1}, std::pair{-nan, 2}}) {
    serializer.WriteValue(EncodableValue(key), &writer);
    serializer.WriteValue(EncodableValue(value == 1), &writer);
  }
  const auto decoded = Decode(bytes);
  EXPECT_FALSE(decoded.failed);
  const auto& map = std::get<EncodableMap>(decoded.value);
  ASSERT_EQ(map.size(), 2u);
  EXPECT_EQ(map.begin()->first, EncodableValue(1.0));
  EXPECT_TRUE(std::isnan(std::get<double>(map.rbegin()->first)));
  EXPECT_EQ(map.rbegin()->second, EncodableValue(true));
}

// Typed lists are copied in one piece from an aligned message; a message
// held at an odd address reads the same numbers.
TEST(StandardCodecReaderBounds, TypedLists_ReadTheSame_AlignedOrNot) {
  const EncodableValue lists(EncodableList{EncodableValue(std::vector<int64_t>{1, -2, INT64_MAX}),
                                           EncodableValue(std::vector<double>{0.5, -1e300}),
                                           EncodableValue(std::vector<int32_t>{7, -8, 9})});
  const Bytes bytes = corvane_test::Encode(lists);
  std::vector<uint64_t> storage(bytes.size() / 8 + 2);  // 8-aligned
  for (const size_t offset : {size_t{0}, size_t{1}}) {
    auto* start = reinterpret_cast<uint8_t*>(storage.data()) + offset;
    std::copy(bytes.begin(), bytes.end(), start);
    flutter::ByteBufferStreamReader reader(start, bytes.size());
    EXPECT_EQ(flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader), lists) << "offset " << offset;
  }
}

// Every key a map reads is compared with keys read before it. Equal keys
// nested as deep as the reader allows must cost time in proportion to
// their size, not double at every level (this call never ended before).
TEST(StandardCodecReaderBounds, EqualKeysNestedToTheLimit_DecodeInOnePassOverTheirSize) {
  const int depth = flutter::StandardCodecSerializer::kMaxNestingDepth - 1;  // under the map
  const Bytes key = NestedLists(depth);
  const Bytes call = Concat({{7, 1, 'm', 13, 2}, key, {1}, key, {2}});
  const auto decoded = flutter::StandardMethodCodec::GetInstance().DecodeMethodCall(call);
  ASSERT_TRUE(decoded);
  const auto* arguments = std::get_if<EncodableMap>(decoded->arguments());
  ASSERT_NE(arguments, nullptr);
  ASSERT_EQ(arguments->size(), 1u) << "the repeated key is the same key";
  EXPECT_EQ(arguments->begin()->second, EncodableValue(true));
}

// A reply envelope a fuzz run found: maps whose keys are nested lists and
// maps, which took seconds to read (tests/fuzz/corpus).
TEST(StandardCodecReaderBounds, FuzzFoundEnvelopeOfNestedMapKeys_Decodes) {
  std::ifstream file(CORVANE_FUZZ_CORPUS_DIR "/nested-map-keys.envelope", std::ios::binary);
  if (!file) GTEST_SKIP() << "the fuzz corpus is not where the build put it";
  const Bytes envelope((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(envelope.size(), 15977u);
  corvane_test::RecordingResult result;
  testing::internal::CaptureStderr();
  flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(envelope.data(), envelope.size(), &result);
  testing::internal::GetCapturedStderr();
  ASSERT_EQ(result.kind, corvane_test::RecordedAnswer::Kind::kSuccess);
  ASSERT_TRUE(result.value);
  EXPECT_TRUE(std::holds_alternative<EncodableMap>(*result.value));
}

}  // namespace
