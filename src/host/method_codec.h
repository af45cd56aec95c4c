// Turns method calls and their answers into bytes and back.
#ifndef CORVANE_HOST_METHOD_CODEC_H_
#define CORVANE_HOST_METHOD_CODEC_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "host/encodable_value.h"
#include "host/method_call.h"
#include "host/method_result.h"

namespace flutter {

template <typename T = EncodableValue>
class MethodCodec {
 public:
  MethodCodec() = default;
  virtual ~MethodCodec() = default;
  MethodCodec(const MethodCodec&) = delete;
  MethodCodec& operator=(const MethodCodec&) = delete;

  // A decoded call, and whether its arguments value was read whole.
  struct DecodedMethodCall {
    std::unique_ptr<MethodCall<T>> call;  // null: the bytes hold no method call
    // False when the arguments value is missing or cut short; `call` then
    // carries null arguments, which must not be taken for real ones.
    bool argumentsComplete = true;
  };

  // Returns null when the bytes hold no method call.
  std::unique_ptr<MethodCall<T>> DecodeMethodCall(const uint8_t* message, size_t messageSize) const {
    return DecodeMethodCallInternal(message, messageSize);
  }
  std::unique_ptr<MethodCall<T>> DecodeMethodCall(const std::vector<uint8_t>& message) const {
    return DecodeMethodCallInternal(message.data(), message.size());
  }
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCall(const MethodCall<T>& methodCall) const {
    return EncodeMethodCallInternal(methodCall);
  }
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelope(const T* result = nullptr) const {
    return EncodeSuccessEnvelopeInternal(result);
  }
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelope(const std::string& errorCode,
                                                            const std::string& errorMessage = "",
                                                            const T* errorDetails = nullptr) const {
    return EncodeErrorEnvelopeInternal(errorCode, errorMessage, errorDetails);
  }
  // Like DecodeMethodCall, telling a call whose arguments could not be read
  // from one whose arguments are null.
  DecodedMethodCall DecodeMethodCallChecked(const uint8_t* message, size_t messageSize) const {
    return DecodeMethodCallCheckedInternal(message, messageSize);
  }
  // Decodes an answer and passes it to `result`. Returns false, leaving
  // `result` untouched, when the bytes are not a well-formed answer.
  bool DecodeResponseEnvelope(const uint8_t* response, size_t responseSize, MethodResult<T>* result) const {
    return DecodeResponseEnvelopeInternal(response, responseSize, result);
  }

 protected:
  virtual std::unique_ptr<MethodCall<T>> DecodeMethodCallInternal(const uint8_t* message, size_t messageSize) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeMethodCallInternal(const MethodCall<T>& methodCall) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelopeInternal(const T* result) const = 0;
  virtual std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelopeInternal(const std::string& errorCode,
                                                                            const std::string& errorMessage,
                                                                            const T* errorDetails) const = 0;
  virtual bool DecodeResponseEnvelopeInternal(const uint8_t* response, size_t responseSize,
                                              MethodResult<T>* result) const = 0;
  // After the slots above. The default cannot tell and trusts the call.
  virtual DecodedMethodCall DecodeMethodCallCheckedInternal(const uint8_t* message, size_t messageSize) const {
    return {DecodeMethodCallInternal(message, messageSize), true};
  }
};

}  // namespace flutter

#endif  // CORVANE_HOST_METHOD_CODEC_H_
