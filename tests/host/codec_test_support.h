// Helpers shared by the codec tests: byte vectors, one-value encode/decode
// and a MethodResult that records how it was answered.
#ifndef CORVANE_TESTS_HOST_CODEC_TEST_SUPPORT_H_
#define CORVANE_TESTS_HOST_CODEC_TEST_SUPPORT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "host/byte_streams.h"
#include "host/encodable_value.h"
#include "host/method_result.h"
#include "host/standard_codec_serializer.h"

namespace corvane_test {

using Bytes = std::vector<uint8_t>;

inline Bytes Encode(const flutter::EncodableValue& value) {
  Bytes bytes;
  flutter::ByteBufferStreamWriter writer(&bytes);
  flutter::StandardCodecSerializer::GetInstance().WriteValue(value, &writer);
  return bytes;
}

struct Decoded {
  flutter::EncodableValue value;
  bool failed = false;
  size_t consumed = 0;
};

inline Decoded Decode(const Bytes& bytes) {
  flutter::ByteBufferStreamReader reader(bytes.data(), bytes.size());
  Decoded decoded;
  decoded.value = flutter::StandardCodecSerializer::GetInstance().ReadValue(&reader);
  decoded.failed = reader.failed();
  decoded.consumed = reader.location();
  return decoded;
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline Bytes TextBytes(const std::string& text) { return Bytes(text.begin(), text.end()); }

// What a result was answered with.
struct RecordedAnswer {
  enum class Kind { kNone, kSuccess, kError, kNotImplemented };

  Kind kind = Kind::kNone;
  int answers = 0;
  std::optional<flutter::EncodableValue> value;  // success value or error details
  std::string code;
  std::string message;
};

// Records the answers a result received.
class RecordingResult : public flutter::MethodResult<flutter::EncodableValue>, public RecordedAnswer {
 protected:
  void SuccessInternal(const flutter::EncodableValue* result) override {
    kind = Kind::kSuccess;
    ++answers;
    if (result) value = *result;
  }
  void ErrorInternal(const std::string& errorCode, const std::string& errorMessage,
                     const flutter::EncodableValue* details) override {
    kind = Kind::kError;
    ++answers;
    code = errorCode;
    message = errorMessage;
    if (details) value = *details;
  }
  void NotImplementedInternal() override {
    kind = Kind::kNotImplemented;
    ++answers;
  }
};

}  // namespace corvane_test

#endif  // CORVANE_TESTS_HOST_CODEC_TEST_SUPPORT_H_
