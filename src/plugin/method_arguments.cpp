#include "plugin/method_arguments.h"

#include <cmath>
#include <variant>

namespace corvane::plugin {

using flutter::EncodableMap;
using flutter::EncodableValue;

int64_t MethodArguments::BareId() const {
  if (arguments_ != nullptr) {
    if (const auto* small = std::get_if<int32_t>(arguments_)) return *small;
    if (const auto* large = std::get_if<int64_t>(arguments_)) return *large;
  }
  throw ArgumentError(method_ + ": the arguments must be the player id, an integer");
}

const EncodableMap& MethodArguments::Map() const {
  if (arguments_ != nullptr) {
    if (const auto* map = std::get_if<EncodableMap>(arguments_)) return *map;
  }
  throw ArgumentError(method_ + ": the arguments must be a map");
}

void MethodArguments::Refuse(const char* key, const char* kind) const {
  throw ArgumentError(method_ + ": argument \"" + key + "\" must be " + kind);
}

const EncodableValue& MethodArguments::Value(const char* key, const char* kind) const {
  const EncodableMap& map = Map();
  const auto found = map.find(EncodableValue(std::string(key)));
  if (found == map.end()) Refuse(key, kind);
  return found->second;
}

int64_t MethodArguments::Integer(const char* key) const {
  constexpr const char* kKind = "an integer";
  const EncodableValue& value = Value(key, kKind);
  if (const auto* small = std::get_if<int32_t>(&value)) return *small;
  if (const auto* large = std::get_if<int64_t>(&value)) return *large;
  Refuse(key, kKind);
}

int32_t MethodArguments::Int32(const char* key) const {
  constexpr const char* kKind = "a 32-bit integer";
  const EncodableValue& value = Value(key, kKind);
  if (const auto* small = std::get_if<int32_t>(&value)) return *small;
  Refuse(key, kKind);
}

double MethodArguments::Double(const char* key) const {
  constexpr const char* kKind = "a finite double";
  const EncodableValue& value = Value(key, kKind);
  const auto* number = std::get_if<double>(&value);
  if (number == nullptr || !std::isfinite(*number)) Refuse(key, kKind);
  return *number;
}

bool MethodArguments::Bool(const char* key) const {
  constexpr const char* kKind = "a bool";
  const EncodableValue& value = Value(key, kKind);
  const auto* flag = std::get_if<bool>(&value);
  if (flag == nullptr) Refuse(key, kKind);
  return *flag;
}

const std::string& MethodArguments::String(const char* key) const {
  constexpr const char* kKind = "a string";
  const EncodableValue& value = Value(key, kKind);
  const auto* text = std::get_if<std::string>(&value);
  if (text == nullptr) Refuse(key, kKind);
  return *text;
}

}  // namespace corvane::plugin
