// Method-call and answer envelopes in Flutter's standard method format.
#ifndef CORVANE_HOST_STANDARD_METHOD_CODEC_H_
#define CORVANE_HOST_STANDARD_METHOD_CODEC_H_

#include "host/method_codec.h"
#include "host/standard_codec_serializer.h"

namespace flutter {

// Envelopes:
// - method call: the name as a string value, then the arguments (null when
//   there are none); bytes after the arguments are ignored;
// - success: the byte 0, then the value (null when there is none);
// - error: the byte 1, then the code string, the message (null when empty)
//   and the details (null when there are none).
//
// Decoding is strict about what it hands on: a call whose name cannot be
// read is refused, a call whose arguments are missing or fail to decode
// carries null arguments and is reported as such by
// DecodeMethodCallChecked, and an answer that fails to decode, or an error answer whose
// code is not a string or whose message is neither null nor a string, is
// reported as malformed (false) without touching the result.
class StandardMethodCodec final : public MethodCodec<EncodableValue> {
 public:
  // The codec for `serializer` (the standard one when null), created on
  // first request and kept until the process ends. Safe from any thread.
  static const StandardMethodCodec& GetInstance(const StandardCodecSerializer* serializer = nullptr);

  explicit StandardMethodCodec(const StandardCodecSerializer* serializer) : serializer_(serializer) {}

 protected:
  std::unique_ptr<MethodCall<EncodableValue>> DecodeMethodCallInternal(const uint8_t* message,
                                                                       size_t messageSize) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeMethodCallInternal(
      const MethodCall<EncodableValue>& methodCall) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeSuccessEnvelopeInternal(const EncodableValue* result) const override;
  std::unique_ptr<std::vector<uint8_t>> EncodeErrorEnvelopeInternal(const std::string& errorCode,
                                                                    const std::string& errorMessage,
                                                                    const EncodableValue* errorDetails) const override;
  bool DecodeResponseEnvelopeInternal(const uint8_t* response, size_t responseSize,
                                      MethodResult<EncodableValue>* result) const override;
  DecodedMethodCall DecodeMethodCallCheckedInternal(const uint8_t* message, size_t messageSize) const override;

 private:
  const StandardCodecSerializer* serializer_;  // not owned; lives for the process
};

}  // namespace flutter

#endif  // CORVANE_HOST_STANDARD_METHOD_CODEC_H_
