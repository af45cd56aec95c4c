#include "host/encodable_value.h"

#include <cmath>
#include <type_traits>

namespace flutter {
namespace {

// Three-way comparisons: negative, zero or positive. Each element of a list
// or entry of a map is compared once, so comparing two values costs time
// linear in their size however deeply they nest (a two-way operator< over
// nested containers compares each element twice, a < b then b < a, which
// doubles the work at every level).

// Total order on floating-point numbers: NaN after everything, all NaNs alike.
template <typename Float>
int CompareFloats(Float lhs, Float rhs) {
  const bool leftNan = std::isnan(lhs);
  const bool rightNan = std::isnan(rhs);
  if (leftNan || rightNan) return static_cast<int>(leftNan) - static_cast<int>(rightNan);
  return lhs < rhs ? -1 : (rhs < lhs ? 1 : 0);
}

template <typename T>
int CompareScalars(const T& lhs, const T& rhs) {
  if constexpr (std::is_floating_point_v<T>) {
    return CompareFloats(lhs, rhs);
  } else {
    return lhs < rhs ? -1 : (rhs < lhs ? 1 : 0);
  }
}

int Compare(const EncodableValue& lhs, const EncodableValue& rhs);

// Element by element, a shorter prefix first.
template <typename Sequence, typename CompareElements>
int CompareSequences(const Sequence& lhs, const Sequence& rhs, CompareElements compare) {
  auto left = lhs.begin();
  auto right = rhs.begin();
  for (; left != lhs.end() && right != rhs.end(); ++left, ++right) {
    if (const int order = compare(*left, *right)) return order;
  }
  return static_cast<int>(right == rhs.end()) - static_cast<int>(left == lhs.end());
}

template <typename T>
int CompareAlternatives(const T& lhs, const T& rhs) {
  if constexpr (std::is_same_v<T, std::monostate>) {
    return 0;
  } else if constexpr (std::is_same_v<T, std::string>) {
    // char_traits<char> compares as unsigned bytes.
    const int order = lhs.compare(rhs);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
  } else if constexpr (std::is_same_v<T, EncodableList>) {
    return CompareSequences(lhs, rhs, [](const EncodableValue& a, const EncodableValue& b) { return Compare(a, b); });
  } else if constexpr (std::is_same_v<T, EncodableMap>) {
    return CompareSequences(lhs, rhs, [](const auto& a, const auto& b) {
      if (const int order = Compare(a.first, b.first)) return order;
      return Compare(a.second, b.second);
    });
  } else if constexpr (std::is_same_v<T, CustomEncodableValue>) {
    return lhs < rhs ? -1 : (rhs < lhs ? 1 : 0);
  } else if constexpr (std::is_arithmetic_v<T>) {
    return CompareScalars(lhs, rhs);
  } else {
    // Typed lists: numbers, in order.
    return CompareSequences(lhs, rhs, [](auto a, auto b) { return CompareScalars(a, b); });
  }
}

int Compare(const EncodableValue& lhs, const EncodableValue& rhs) {
  if (lhs.index() != rhs.index()) return lhs.index() < rhs.index() ? -1 : 1;
  return std::visit(
      [&rhs](const auto& left) {
        using T = std::decay_t<decltype(left)>;
        return CompareAlternatives(left, std::get<T>(rhs));
      },
      static_cast<const EncodableValue::Variant&>(lhs));
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

bool operator<(const EncodableValue& lhs, const EncodableValue& rhs) { return Compare(lhs, rhs) < 0; }

bool operator==(const EncodableValue& lhs, const EncodableValue& rhs) { return Compare(lhs, rhs) == 0; }

}  // namespace flutter
