#include "host/standard_method_codec.h"

#include <map>
#include <mutex>

#include "host/byte_streams.h"
#include "host/diagnostics.h"
#include "host/size_counting_writer.h"

namespace flutter {
namespace {

constexpr uint8_t kSuccessEnvelope = 0;
constexpr uint8_t kErrorEnvelope = 1;
constexpr int kNoLeadingByte = -1;

// Writes `firstByte` (when not negative) and `values` into a vector
// allocated once at exactly the needed size: sending an event allocates the
// output vector and nothing else.
std::unique_ptr<std::vector<uint8_t>> EncodeEnvelope(const StandardCodecSerializer& serializer, int firstByte,
                                                     std::initializer_list<const EncodableValue*> values) {
  internal::SizeCountingWriter counter;
  if (firstByte >= 0) counter.WriteByte(0);
  for (const EncodableValue* value : values) serializer.WriteValue(*value, &counter);

  auto envelope = std::make_unique<std::vector<uint8_t>>();
  envelope->reserve(counter.size());
  ByteBufferStreamWriter writer(envelope.get());
  if (firstByte >= 0) writer.WriteByte(static_cast<uint8_t>(firstByte));
  for (const EncodableValue* value : values) serializer.WriteValue(*value, &writer);
  return envelope;
}

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) serializer = &StandardCodecSerializer::GetInstance();
  static std::mutex tableMutex;
  static std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>> codecs;
  std::lock_guard<std::mutex> lock(tableMutex);
  auto& codec = codecs[serializer];
  if (!codec) codec = std::make_unique<StandardMethodCodec>(serializer);
  return *codec;
}

StandardMethodCodec::DecodedMethodCall StandardMethodCodec::DecodeMethodCallCheckedInternal(const uint8_t* message,
                                                                                            size_t messageSize) const {
  ByteBufferStreamReader reader(message, messageSize);
  EncodableValue name = serializer_->ReadValue(&reader);
  auto* nameText = std::get_if<std::string>(&name);
  if (nameText == nullptr || reader.failed()) {
    internal::WriteDiagnosticLine("Invalid method call; method name is not a string.");
    return {nullptr, false};
  }
  // The name alone reads past the end here too: Dart always sends an
  // arguments value, null when there are none.
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&reader));
  const bool complete = !reader.failed();
  // Half-decoded arguments would look plausible to a handler; none is safer.
  if (!complete) *arguments = EncodableValue();
  return {std::make_unique<MethodCall<EncodableValue>>(std::move(*nameText), std::move(arguments)), complete};
}

std::unique_ptr<MethodCall<EncodableValue>> StandardMethodCodec::DecodeMethodCallInternal(const uint8_t* message,
                                                                                          size_t messageSize) const {
  return DecodeMethodCallCheckedInternal(message, messageSize).call;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCallInternal(
    const MethodCall<EncodableValue>& methodCall) const {
  const EncodableValue name(methodCall.method_name());
  const EncodableValue noArguments;
  return EncodeEnvelope(*serializer_, kNoLeadingByte,
                        {&name, methodCall.arguments() ? methodCall.arguments() : &noArguments});
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccessEnvelopeInternal(
    const EncodableValue* result) const {
  const EncodableValue noValue;
  return EncodeEnvelope(*serializer_, kSuccessEnvelope, {result ? result : &noValue});
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelopeInternal(
    const std::string& errorCode, const std::string& errorMessage, const EncodableValue* errorDetails) const {
  const EncodableValue code(errorCode);
  const EncodableValue message = errorMessage.empty() ? EncodableValue() : EncodableValue(errorMessage);
  const EncodableValue noDetails;
  return EncodeEnvelope(*serializer_, kErrorEnvelope, {&code, &message, errorDetails ? errorDetails : &noDetails});
}

bool StandardMethodCodec::DecodeResponseEnvelopeInternal(const uint8_t* response, size_t responseSize,
                                                         MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader reader(response, responseSize);
  const uint8_t kind = reader.ReadByte();
  if (reader.failed()) return false;

  if (kind == kSuccessEnvelope) {
    EncodableValue value = serializer_->ReadValue(&reader);
    if (reader.failed()) return false;
    if (value.IsNull()) {
      result->Success();
    } else {
      result->Success(value);
    }
    return true;
  }

  if (kind == kErrorEnvelope) {
    EncodableValue code = serializer_->ReadValue(&reader);
    EncodableValue message = serializer_->ReadValue(&reader);
    EncodableValue details = serializer_->ReadValue(&reader);
    if (reader.failed()) return false;
    const auto* codeText = std::get_if<std::string>(&code);
    const auto* messageText = std::get_if<std::string>(&message);
    if (codeText == nullptr || (messageText == nullptr && !message.IsNull())) return false;
    const std::string noMessage;
    if (details.IsNull()) {
      result->Error(*codeText, messageText ? *messageText : noMessage);
    } else {
      result->Error(*codeText, messageText ? *messageText : noMessage, details);
    }
    return true;
  }

  return false;
}

}  // namespace flutter
