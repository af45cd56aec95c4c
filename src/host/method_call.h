// One method call from Dart: a name and its arguments.
#ifndef CORVANE_HOST_METHOD_CALL_H_
#define CORVANE_HOST_METHOD_CALL_H_

#include <memory>
#include <string>
#include <utility>

#include "host/encodable_value.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodCall {
 public:
  MethodCall(std::string methodName, std::unique_ptr<T> arguments)
      : methodName_(std::move(methodName)), arguments_(std::move(arguments)) {}
  virtual ~MethodCall() = default;
  MethodCall(const MethodCall&) = delete;
  MethodCall& operator=(const MethodCall&) = delete;

  const std::string& method_name() const { return methodName_; }
  // Decoded calls always carry arguments, possibly a null value; a call built
  // by hand may carry none, and then this is null.
  const T* arguments() const { return arguments_.get(); }

 private:
  std::string methodName_;
  std::unique_ptr<T> arguments_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_METHOD_CALL_H_
