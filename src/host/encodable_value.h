// The value type in which every method argument, result and event travels
// between Dart and the plugin.
#ifndef CORVANE_HOST_ENCODABLE_VALUE_H_
#define CORVANE_HOST_ENCODABLE_VALUE_H_

#include <any>
#include <cstdint>
#include <map>
#include <string>
#include <typeinfo>
#include <utility>
#include <variant>
#include <vector>

namespace flutter {

class EncodableValue;

using EncodableList = std::vector<EncodableValue>;
// Keys are kept in EncodableValue order, which is also the order in which the
// standard codec writes them.
using EncodableMap = std::map<EncodableValue, EncodableValue>;

// An application value that the standard codec cannot encode; it exists so a
// derived serializer can carry types of its own.
//
// Ordering: the contents of a std::any cannot be compared, so custom values
// order by their held type only, and two values of the same type are
// equivalent. Ordering by address would change when a map is copied and
// leave the copy's tree out of order.
class CustomEncodableValue {
 public:
  explicit CustomEncodableValue(std::any value) : value_(std::move(value)) {}

  const std::any& value() const { return value_; }
  std::any& value() { return value_; }
  operator const std::any&() const { return value_; }  // NOLINT: meant to convert
  operator std::any&() { return value_; }              // NOLINT: meant to convert
  const std::type_info& type() const noexcept { return value_.type(); }

 private:
  std::any value_;
};

bool operator<(const CustomEncodableValue& lhs, const CustomEncodableValue& rhs);
bool operator==(const CustomEncodableValue& lhs, const CustomEncodableValue& rhs);
inline bool operator!=(const CustomEncodableValue& lhs, const CustomEncodableValue& rhs) {
  return !(lhs == rhs);
}

namespace internal {
// The index of each alternative is part of the wire contract: the codec maps
// indexes to type codes, and values order by index first.
using EncodableValueVariant = std::variant<std::monostate,         // 0 null
                                           bool,                   // 1
                                           int32_t,                // 2
                                           int64_t,                // 3
                                           double,                 // 4
                                           std::string,            // 5 UTF-8 bytes
                                           std::vector<uint8_t>,   // 6
                                           std::vector<int32_t>,   // 7
                                           std::vector<int64_t>,   // 8
                                           std::vector<double>,    // 9
                                           EncodableList,          // 10
                                           EncodableMap,           // 11
                                           CustomEncodableValue,   // 12
                                           std::vector<float>>;    // 13
}  // namespace internal

class EncodableValue : public internal::EncodableValueVariant {
 public:
  using Variant = internal::EncodableValueVariant;
  using Variant::Variant;
  using Variant::operator=;

  EncodableValue() = default;
  // Without these a string literal would convert to bool.
  explicit EncodableValue(const char* string) : Variant(std::string(string)) {}
  EncodableValue& operator=(const char* string) {
    Variant::operator=(std::string(string));
    return *this;
  }

  bool IsNull() const { return std::holds_alternative<std::monostate>(*this); }

  // Dart sends integers in 32 bits when they fit and in 64 bits otherwise,
  // so readers of integer arguments accept both. Throws
  // std::bad_variant_access for any other alternative.
  int64_t LongValue() const;
};

// Values order by alternative index, then by value: numbers numerically,
// strings and lists element by element with a shorter prefix first (strings
// bytewise), maps entry by entry. Floating-point values use a total order in
// which every NaN sorts after all numbers and NaNs are equivalent, so a map
// keyed by floats stays well-formed whatever bytes a message carried.
// Equality is equivalence under that order.
bool operator<(const EncodableValue& lhs, const EncodableValue& rhs);
bool operator==(const EncodableValue& lhs, const EncodableValue& rhs);
inline bool operator!=(const EncodableValue& lhs, const EncodableValue& rhs) { return !(lhs == rhs); }
inline bool operator>(const EncodableValue& lhs, const EncodableValue& rhs) { return rhs < lhs; }
inline bool operator<=(const EncodableValue& lhs, const EncodableValue& rhs) { return !(rhs < lhs); }
inline bool operator>=(const EncodableValue& lhs, const EncodableValue& rhs) { return !(lhs < rhs); }

}  // namespace flutter

#endif  // CORVANE_HOST_ENCODABLE_VALUE_H_
