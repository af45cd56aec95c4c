// The once-only answer to one method call.
#ifndef CORVANE_HOST_METHOD_RESULT_H_
#define CORVANE_HOST_METHOD_RESULT_H_

#include <string>

#include "host/encodable_value.h"

namespace flutter {

// Exactly one of Success, Error or NotImplemented should be called, once.
// The result may be answered on any thread.
template <typename T = EncodableValue>
class MethodResult {
 public:
  MethodResult() = default;
  virtual ~MethodResult() = default;
  MethodResult(const MethodResult&) = delete;
  MethodResult& operator=(const MethodResult&) = delete;

  void Success(const T& result) { SuccessInternal(&result); }
  void Success() { SuccessInternal(nullptr); }
  void Error(const std::string& errorCode, const std::string& errorMessage, const T& errorDetails) {
    ErrorInternal(errorCode, errorMessage, &errorDetails);
  }
  void Error(const std::string& errorCode, const std::string& errorMessage = "") {
    ErrorInternal(errorCode, errorMessage, nullptr);
  }
  void NotImplemented() { NotImplementedInternal(); }

 protected:
  // `result` and `errorDetails` are null when there is no value.
  virtual void SuccessInternal(const T* result) = 0;
  virtual void ErrorInternal(const std::string& errorCode, const std::string& errorMessage, const T* errorDetails) = 0;
  virtual void NotImplementedInternal() = 0;
};

}  // namespace flutter

#endif  // CORVANE_HOST_METHOD_RESULT_H_
