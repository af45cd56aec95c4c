// The order of EncodableValue, which sorts map keys and so decides the byte
// order of every encoded map.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "host/encodable_value.h"

namespace {

using flutter::CustomEncodableValue;
using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

TEST(EncodableValueOrder, AlternativeIndexComesBeforeValue) {
  const std::vector<EncodableValue> ascending = {
      EncodableValue(),
      EncodableValue(true),
      EncodableValue(int32_t{1000}),
      EncodableValue(int64_t{-5}),
      EncodableValue(-1e9),
      EncodableValue(""),
      EncodableValue(std::vector<uint8_t>{}),
      EncodableValue(std::vector<int32_t>{}),
      EncodableValue(std::vector<int64_t>{}),
      EncodableValue(std::vector<double>{}),
      EncodableValue(EncodableList{}),
      EncodableValue(EncodableMap{}),
      EncodableValue(CustomEncodableValue(0)),
      EncodableValue(std::vector<float>{}),
  };
  for (size_t i = 0; i + 1 < ascending.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(ascending[i] < ascending[i + 1]);
    EXPECT_FALSE(ascending[i + 1] < ascending[i]);
    EXPECT_NE(ascending[i], ascending[i + 1]);
  }
}

TEST(EncodableValueOrder, StringsCompareAsUnsignedBytes_ShorterPrefixFirst) {
  EXPECT_LT(EncodableValue("a"), EncodableValue("ab"));
  EXPECT_LT(EncodableValue("ab"), EncodableValue("b"));
  EXPECT_LT(EncodableValue(""), EncodableValue("a"));
  // 0xc3 is above 0x7f as a byte, though negative as a signed char.
  EXPECT_LT(EncodableValue("\x7f"), EncodableValue("\xc3\xa9"));
  EXPECT_LT(EncodableValue(std::string("a\0b", 3)), EncodableValue("ab"));
}

TEST(EncodableValueOrder, ListsAndMapsCompareElementByElement) {
  const EncodableValue shortList(EncodableList{EncodableValue(1)});
  const EncodableValue longList(EncodableList{EncodableValue(1), EncodableValue()});
  const EncodableValue greaterList(EncodableList{EncodableValue(2)});
  EXPECT_LT(shortList, longList);
  EXPECT_LT(longList, greaterList);

  const EncodableValue mapA(EncodableMap{{EncodableValue("k"), EncodableValue(1)}});
  const EncodableValue mapB(EncodableMap{{EncodableValue("k"), EncodableValue(2)}});
  EXPECT_LT(mapA, mapB);
  EXPECT_EQ(mapA, EncodableValue(EncodableMap{{EncodableValue("k"), EncodableValue(1)}}));
}

TEST(EncodableValueOrder, FloatsHaveATotalOrder_WithNaNLast) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double infinity = std::numeric_limits<double>::infinity();
  EncodableMap map;
  for (double key : {nan, 1.0, -infinity, nan, infinity, 1.0}) map.emplace(EncodableValue(key), EncodableValue());
  ASSERT_EQ(map.size(), 4u);
  std::vector<double> keys;
  for (const auto& entry : map) keys.push_back(std::get<double>(entry.first));
  EXPECT_EQ(keys[0], -infinity);
  EXPECT_EQ(keys[1], 1.0);
  EXPECT_EQ(keys[2], infinity);
  EXPECT_TRUE(std::isnan(keys[3]));

  EXPECT_EQ(EncodableValue(std::vector<float>{1.0f, NAN}), EncodableValue(std::vector<float>{1.0f, NAN}));
  EXPECT_LT(EncodableValue(std::vector<double>{1.0, 5.0}), EncodableValue(std::vector<double>{1.0, nan}));
}

TEST(EncodableValueOrder, CustomValuesOrderByType_AndStayOrderedInCopies) {
  EncodableMap map;
  map.emplace(EncodableValue(CustomEncodableValue(1)), EncodableValue("int"));
  map.emplace(EncodableValue(CustomEncodableValue(std::string("s"))), EncodableValue("string"));
  map.emplace(EncodableValue(CustomEncodableValue(2)), EncodableValue("second int"));
  EXPECT_EQ(map.size(), 2u);
  const EncodableMap copy = map;
  EXPECT_EQ(copy.count(EncodableValue(CustomEncodableValue(5))), 1u);
  EXPECT_EQ(copy.at(EncodableValue(CustomEncodableValue(std::string()))), EncodableValue("string"));
}

TEST(EncodableValueConversions, LongValue_AcceptsBothIntegerWidthsOnly) {
  EXPECT_EQ(EncodableValue(int32_t{-7}).LongValue(), -7);
  EXPECT_EQ(EncodableValue(int64_t{1} << 40).LongValue(), int64_t{1} << 40);
  EXPECT_THROW(EncodableValue(1.0).LongValue(), std::bad_variant_access);
  EXPECT_THROW(EncodableValue("7").LongValue(), std::bad_variant_access);
}

TEST(EncodableValueConversions, StringLiteral_BecomesAStringNotABool) {
  EncodableValue value("text");
  EXPECT_TRUE(std::holds_alternative<std::string>(value));
  value = "other";
  EXPECT_EQ(std::get<std::string>(value), "other");
}

}  // namespace
