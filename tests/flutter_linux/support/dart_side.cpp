#include "flutter_linux/support/dart_side.h"

#include <future>

#include "host/method_call.h"
#include "host/method_result.h"
#include "host/standard_method_codec.h"

namespace corvane::testing {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

class Capture final : public flutter::MethodResult<EncodableValue> {
 public:
  explicit Capture(Answer& answer) : answer_(answer) {}

 protected:
  void SuccessInternal(const EncodableValue* result) override {
    answer_.kind = Answer::Kind::kSuccess;
    if (result != nullptr) answer_.value = *result;
  }
  void ErrorInternal(const std::string& code, const std::string&, const EncodableValue* details) override {
    answer_.kind = Answer::Kind::kError;
    answer_.errorCode = code;
    if (details != nullptr) answer_.value = *details;
  }
  void NotImplementedInternal() override { answer_.kind = Answer::Kind::kNotImplemented; }

 private:
  Answer& answer_;
};

Answer Decode(const std::vector<uint8_t>& bytes) {
  Answer answer;
  if (bytes.empty()) {
    answer.kind = Answer::Kind::kNotImplemented;
    return answer;
  }
  Capture capture(answer);
  if (!flutter::StandardMethodCodec::GetInstance().DecodeResponseEnvelope(bytes.data(), bytes.size(), &capture)) {
    answer.kind = Answer::Kind::kMalformed;
  }
  return answer;
}

int64_t IntegerIn(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  if (found == map.end()) return -1;
  if (const auto* wide = std::get_if<int64_t>(&found->second)) return *wide;
  if (const auto* narrow = std::get_if<int32_t>(&found->second)) return *narrow;
  return -1;
}

}  // namespace

int64_t Answer::IntegerAt(const char* key) const {
  const auto* map = std::get_if<EncodableMap>(&value);
  return map != nullptr ? IntegerIn(*map, key) : -1;
}

int64_t Event::IntegerAt(const char* key) const { return IntegerIn(payload, key); }

Answer Invoke(fake_flutter_linux::Engine& engine, const std::string& channel, const std::string& method,
              const EncodableValue& arguments, std::chrono::milliseconds timeout) {
  const flutter::MethodCall<EncodableValue> call(method, std::make_unique<EncodableValue>(arguments));
  auto bytes = flutter::StandardMethodCodec::GetInstance().EncodeMethodCall(call);
  auto reply = std::make_shared<std::promise<std::optional<std::vector<uint8_t>>>>();
  auto future = reply->get_future();
  engine.SendToPlatform(channel, *bytes, [reply](std::optional<std::vector<uint8_t>> answer) {
    reply->set_value(std::move(answer));
  });
  if (future.wait_for(timeout) != std::future_status::ready) return Answer{};
  const std::optional<std::vector<uint8_t>> answer = future.get();
  return answer ? Decode(*answer) : Answer{};
}

EventStream::EventStream(fake_flutter_linux::Engine& engine, std::string channel)
    : engine_(engine), channel_(std::move(channel)), inbox_(std::make_shared<Inbox>()) {
  engine_.SetDartHandler(channel_, [inbox = inbox_](std::vector<uint8_t> message) {
    const Answer decoded = Decode(message);
    const auto* map = std::get_if<EncodableMap>(&decoded.value);
    if (!decoded.IsSuccess() || map == nullptr) return;
    Event event;
    event.payload = *map;
    auto name = map->find(EncodableValue("event"));
    if (name != map->end()) {
      if (const auto* text = std::get_if<std::string>(&name->second)) event.name = *text;
    }
    std::lock_guard<std::mutex> lock(inbox->mutex);
    inbox->events.push_back(std::move(event));
    inbox->arrived.notify_all();
  });
}

Answer EventStream::Listen() { return Invoke(engine_, channel_, "listen"); }

std::optional<Event> EventStream::WaitFor(const std::string& name, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(inbox_->mutex);
  std::optional<Event> found;
  inbox_->arrived.wait_for(lock, timeout, [&] {
    for (; read_ < inbox_->events.size(); ++read_) {
      if (inbox_->events[read_].name == name) {
        found = inbox_->events[read_++];
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<std::string> EventStream::Names() const {
  std::lock_guard<std::mutex> lock(inbox_->mutex);
  std::vector<std::string> names;
  for (const Event& event : inbox_->events) names.push_back(event.name);
  return names;
}

}  // namespace corvane::testing
