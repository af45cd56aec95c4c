// Feeds arbitrary bytes to the two decoders that face the Dart side and the
// engine: method calls and answer envelopes. Beyond memory safety, it checks
// that whatever decodes re-encodes to bytes that decode again, and that the
// encoding settles: strings are repaired to UTF-8 when written, and repaired
// map keys may merge, so only the encoding of an already written value is
// bound to reproduce itself byte for byte.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "host/standard_method_codec.h"

namespace {

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

void Require(bool condition) {
  if (!condition) std::abort();
}

// Re-encodes each answer it is given until the encoding settles.
class RoundTripResult : public flutter::MethodResult<flutter::EncodableValue> {
 protected:
  void SuccessInternal(const flutter::EncodableValue* result) override {
    Echo first;
    Decode(*Codec().EncodeSuccessEnvelope(result), first);
    Require(first.success);
    const auto written = Codec().EncodeSuccessEnvelope(&first.value);
    Echo second;
    Decode(*written, second);
    Require(*Codec().EncodeSuccessEnvelope(&second.value) == *written);
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const flutter::EncodableValue* details) override {
    Echo first;
    Decode(*Codec().EncodeErrorEnvelope(code, message, details), first);
    Require(!first.success);
    const auto written = Codec().EncodeErrorEnvelope(first.code, first.message, &first.value);
    Echo second;
    Decode(*written, second);
    Require(*Codec().EncodeErrorEnvelope(second.code, second.message, &second.value) == *written);
  }
  void NotImplementedInternal() override { std::abort(); }

 private:
  struct Echo : flutter::MethodResult<flutter::EncodableValue> {
    bool success = false;
    std::string code;
    std::string message;
    flutter::EncodableValue value;

    void SuccessInternal(const flutter::EncodableValue* result) override {
      success = true;
      if (result) value = *result;
    }
    void ErrorInternal(const std::string& errorCode, const std::string& errorMessage,
                       const flutter::EncodableValue* details) override {
      code = errorCode;
      message = errorMessage;
      if (details) value = *details;
    }
    void NotImplementedInternal() override { std::abort(); }
  };

  static void Decode(const std::vector<uint8_t>& envelope, Echo& echo) {
    Require(Codec().DecodeResponseEnvelope(envelope.data(), envelope.size(), &echo));
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (auto call = Codec().DecodeMethodCall(data, size)) {
    const auto again = Codec().DecodeMethodCall(*Codec().EncodeMethodCall(*call));
    Require(again != nullptr);
    const auto written = Codec().EncodeMethodCall(*again);
    const auto settled = Codec().DecodeMethodCall(*written);
    Require(settled != nullptr);
    Require(*Codec().EncodeMethodCall(*settled) == *written);
  }
  RoundTripResult result;
  Codec().DecodeResponseEnvelope(data, size, &result);
  return 0;
}
