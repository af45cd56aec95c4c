// Feeds arbitrary bytes to the two decoders that face the Dart side and the
// engine: method calls and answer envelopes. Beyond memory safety, it checks
// that whatever decodes re-encodes to bytes that decode to the same thing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "host/standard_method_codec.h"

namespace {

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

void Require(bool condition) {
  if (!condition) std::abort();
}

// Re-encodes each answer it is given and checks that it decodes the same.
class RoundTripResult : public flutter::MethodResult<flutter::EncodableValue> {
 protected:
  void SuccessInternal(const flutter::EncodableValue* result) override {
    const auto envelope = Codec().EncodeSuccessEnvelope(result);
    Echo echo;
    Require(Codec().DecodeResponseEnvelope(envelope->data(), envelope->size(), &echo));
    Require(echo.success && echo.value == (result ? *result : flutter::EncodableValue()));
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const flutter::EncodableValue* details) override {
    const auto envelope = Codec().EncodeErrorEnvelope(code, message, details);
    Echo echo;
    Require(Codec().DecodeResponseEnvelope(envelope->data(), envelope->size(), &echo));
    Require(!echo.success && echo.code == code && echo.message == message &&
            echo.value == (details ? *details : flutter::EncodableValue()));
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
    void ErrorInternal(const std::string& error_code, const std::string& error_message,
                       const flutter::EncodableValue* details) override {
      code = error_code;
      message = error_message;
      if (details) value = *details;
    }
    void NotImplementedInternal() override { std::abort(); }
  };
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (auto call = Codec().DecodeMethodCall(data, size)) {
    const auto encoded = Codec().EncodeMethodCall(*call);
    const auto again = Codec().DecodeMethodCall(*encoded);
    Require(again != nullptr);
    Require(again->method_name() == call->method_name());
    Require(*again->arguments() == *call->arguments());
  }
  RoundTripResult result;
  Codec().DecodeResponseEnvelope(data, size, &result);
  return 0;
}
