#include "host/encodable_value.h"

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace flutter {
namespace {

// Total order on floating-point numbers: NaN after everything, all NaNs alike.
template <typename Float>
bool FloatLess(Float lhs, Float rhs) {
  if (std::isnan(lhs)) return false;
  if (std::isnan(rhs)) return true;
  return lhs < rhs;
}

template <typename Float>
bool FloatEquivalent(Float lhs, Float rhs) {
  return !FloatLess(lhs, rhs) && !FloatLess(rhs, lhs);
}

template <typename T>
bool AlternativeLess(const T& lhs, const T& rhs) {
  if constexpr (std::is_floating_point_v<T>) {
    return FloatLess(lhs, rhs);
  } else if constexpr (std::is_same_v<T, std::vector<double>> || std::is_same_v<T, std::vector<float>>) {
    return std::lexicographical_compare(lhs.begin(), lhs.end(), rhs.begin(), rhs.end(),
                                        [](auto a, auto b) { return FloatLess(a, b); });
  } else if constexpr (std::is_same_v<T, std::monostate>) {
    return false;
  } else {
    // Strings compare through char_traits<char>, which compares as unsigned
    // bytes; lists and maps recurse into EncodableValue's operator<.
    return lhs < rhs;
  }
}

template <typename T>
bool AlternativeEqual(const T& lhs, const T& rhs) {
  if constexpr (std::is_floating_point_v<T>) {
    return FloatEquivalent(lhs, rhs);
  } else if constexpr (std::is_same_v<T, std::vector<double>> || std::is_same_v<T, std::vector<float>>) {
    return std::equal(lhs.begin(), lhs.end(), rhs.begin(), rhs.end(),
                      [](auto a, auto b) { return FloatEquivalent(a, b); });
  } else if constexpr (std::is_same_v<T, std::monostate>) {
    return true;
  } else {
    return lhs == rhs;
  }
}

}  // namespace

bool operator<(const CustomEncodableValue& lhs, const CustomEncodableValue& rhs) {
  return lhs.type().before(rhs.type());
}

bool operator==(const CustomEncodableValue& lhs, const CustomEncodableValue& rhs) {
  return lhs.type() == rhs.type();
}

int64_t EncodableValue::LongValue() const {
  if (const auto* small = std::get_if<int32_t>(this)) return *small;
  return std::get<int64_t>(*this);
}

bool operator<(const EncodableValue& lhs, const EncodableValue& rhs) {
  if (lhs.index() != rhs.index()) return lhs.index() < rhs.index();
  return std::visit(
      [&rhs](const auto& left) {
        using T = std::decay_t<decltype(left)>;
        return AlternativeLess(left, std::get<T>(rhs));
      },
      static_cast<const EncodableValue::Variant&>(lhs));
}

bool operator==(const EncodableValue& lhs, const EncodableValue& rhs) {
  if (lhs.index() != rhs.index()) return false;
  return std::visit(
      [&rhs](const auto& left) {
        using T = std::decay_t<decltype(left)>;
        return AlternativeEqual(left, std::get<T>(rhs));
      },
      static_cast<const EncodableValue::Variant&>(lhs));
}

}  // namespace flutter
