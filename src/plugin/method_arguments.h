// Reading a method call's arguments as the method table asks for them.
//
// Every reader checks the kind exactly (an integer is not a double, a
// 64-bit integer is not an int32) and raises ArgumentError, whose message
// names the method, the key and the expected kind, for a missing key, a
// value of another kind, arguments of the wrong shape or a number that
// cannot be used (NaN or infinite doubles). The dispatcher turns it into an
// "invalid_argument" error reply.
#ifndef CORVANE_PLUGIN_METHOD_ARGUMENTS_H_
#define CORVANE_PLUGIN_METHOD_ARGUMENTS_H_

#include <cstdint>
#include <stdexcept>
#include <string>

#include "host/encodable_value.h"

namespace corvane::plugin {

class ArgumentError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class MethodArguments {
 public:
  // `arguments` may be null (a call built without arguments).
  MethodArguments(const std::string& method, const flutter::EncodableValue* arguments)
      : method_(method), arguments_(arguments) {}

  bool IsNull() const { return arguments_ == nullptr || arguments_->IsNull(); }

  // The arguments themselves are the player id: a 32- or 64-bit integer.
  int64_t BareId() const;

  // Map-shaped arguments: the value under `key`.
  int64_t Integer(const char* key) const;  // 32- or 64-bit integer
  int32_t Int32(const char* key) const;    // 32-bit integer only
  double Double(const char* key) const;    // double only, finite
  bool Bool(const char* key) const;
  const std::string& String(const char* key) const;

 private:
  const flutter::EncodableMap& Map() const;
  const flutter::EncodableValue& Value(const char* key, const char* kind) const;
  [[noreturn]] void Refuse(const char* key, const char* kind) const;

  const std::string& method_;
  const flutter::EncodableValue* arguments_;
};

}  // namespace corvane::plugin

#endif  // CORVANE_PLUGIN_METHOD_ARGUMENTS_H_
