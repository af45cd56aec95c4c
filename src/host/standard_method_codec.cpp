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

// Writes `first_byte` (when not negative) and `values` into a vector
// allocated once at exactly the needed size: sending an event allocates the
// output vector and nothing else.
std::unique_ptr<std::vector<uint8_t>> EncodeEnvelope(const StandardCodecSerializer& serializer, int first_byte,
                                                     std::initializer_list<const EncodableValue*> values) {
  internal::SizeCountingWriter counter;
  if (first_byte >= 0) counter.WriteByte(0);
  for (const EncodableValue* value : values) serializer.WriteValue(*value, &counter);

  auto envelope = std::make_unique<std::vector<uint8_t>>();
  envelope->reserve(counter.size());
  ByteBufferStreamWriter writer(envelope.get());
  if (first_byte >= 0) writer.WriteByte(static_cast<uint8_t>(first_byte));
  for (const EncodableValue* value : values) serializer.WriteValue(*value, &writer);
  return envelope;
}

}  // namespace

const StandardMethodCodec& StandardMethodCodec::GetInstance(const StandardCodecSerializer* serializer) {
  if (serializer == nullptr) serializer = &StandardCodecSerializer::GetInstance();
  static std::mutex table_mutex;
  static std::map<const StandardCodecSerializer*, std::unique_ptr<StandardMethodCodec>> codecs;
  std::lock_guard<std::mutex> lock(table_mutex);
  auto& codec = codecs[serializer];
  if (!codec) codec = std::make_unique<StandardMethodCodec>(serializer);
  return *codec;
}

StandardMethodCodec::DecodedMethodCall StandardMethodCodec::DecodeMethodCallCheckedInternal(
    const uint8_t* message, size_t message_size) const {
  ByteBufferStreamReader reader(message, message_size);
  EncodableValue name = serializer_->ReadValue(&reader);
  auto* name_text = std::get_if<std::string>(&name);
  if (name_text == nullptr || reader.failed()) {
    internal::WriteDiagnosticLine("Invalid method call; method name is not a string.");
    return {nullptr, false};
  }
  // The name alone reads past the end here too: Dart always sends an
  // arguments value, null when there are none.
  auto arguments = std::make_unique<EncodableValue>(serializer_->ReadValue(&reader));
  const bool complete = !reader.failed();
  // Half-decoded arguments would look plausible to a handler; none is safer.
  if (!complete) *arguments = EncodableValue();
  return {std::make_unique<MethodCall<EncodableValue>>(std::move(*name_text), std::move(arguments)), complete};
}

std::unique_ptr<MethodCall<EncodableValue>> StandardMethodCodec::DecodeMethodCallInternal(const uint8_t* message,
                                                                                         size_t message_size) const {
  return DecodeMethodCallCheckedInternal(message, message_size).call;
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeMethodCallInternal(
    const MethodCall<EncodableValue>& method_call) const {
  const EncodableValue name(method_call.method_name());
  const EncodableValue no_arguments;
  return EncodeEnvelope(*serializer_, kNoLeadingByte,
                        {&name, method_call.arguments() ? method_call.arguments() : &no_arguments});
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeSuccessEnvelopeInternal(
    const EncodableValue* result) const {
  const EncodableValue no_value;
  return EncodeEnvelope(*serializer_, kSuccessEnvelope, {result ? result : &no_value});
}

std::unique_ptr<std::vector<uint8_t>> StandardMethodCodec::EncodeErrorEnvelopeInternal(
    const std::string& error_code, const std::string& error_message, const EncodableValue* error_details) const {
  const EncodableValue code(error_code);
  const EncodableValue message = error_message.empty() ? EncodableValue() : EncodableValue(error_message);
  const EncodableValue no_details;
  return EncodeEnvelope(*serializer_, kErrorEnvelope, {&code, &message, error_details ? error_details : &no_details});
}

bool StandardMethodCodec::DecodeResponseEnvelopeInternal(const uint8_t* response, size_t response_size,
                                                         MethodResult<EncodableValue>* result) const {
  ByteBufferStreamReader reader(response, response_size);
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
    const auto* code_text = std::get_if<std::string>(&code);
    const auto* message_text = std::get_if<std::string>(&message);
    if (code_text == nullptr || (message_text == nullptr && !message.IsNull())) return false;
    const std::string no_message;
    if (details.IsNull()) {
      result->Error(*code_text, message_text ? *message_text : no_message);
    } else {
      result->Error(*code_text, message_text ? *message_text : no_message, details);
    }
    return true;
  }

  return false;
}

}  // namespace flutter
