#include "embedder/dart_client.h"

#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "host/method_call.h"
#include "host/method_result.h"
#include "host/standard_method_codec.h"

namespace corvane::embedder {
namespace {

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

// Receives what DecodeResponseEnvelope found.
class CollectingResult : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  explicit CollectingResult(MethodResponse* response) : response_(response) {}

 protected:
  void SuccessInternal(const flutter::EncodableValue* result) override {
    response_->kind = MethodResponse::Kind::kSuccess;
    if (result != nullptr) response_->value = *result;
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const flutter::EncodableValue* details) override {
    response_->kind = MethodResponse::Kind::kError;
    response_->errorCode = code;
    response_->errorMessage = message;
    if (details != nullptr) response_->errorDetails = *details;
  }
  void NotImplementedInternal() override { response_->kind = MethodResponse::Kind::kNotImplemented; }

 private:
  MethodResponse* response_;
};

std::vector<uint8_t> EncodeCall(const std::string& method, const flutter::EncodableValue& arguments) {
  flutter::MethodCall<flutter::EncodableValue> call(method, std::make_unique<flutter::EncodableValue>(arguments));
  return *Codec().EncodeMethodCall(call);
}

MethodResponse NoReply(std::string reason) {
  MethodResponse response;
  response.kind = MethodResponse::Kind::kNoReply;
  response.noReplyReason = std::move(reason);
  return response;
}

MethodResponse FromPluginReply(const PluginReply& reply) {
  if (!reply.answered) return NoReply("the engine shut down before an answer");
  return DecodeMethodResponse(reply.bytes);
}

std::string KindName(MethodResponse::Kind kind) {
  switch (kind) {
    case MethodResponse::Kind::kSuccess:
      return "success";
    case MethodResponse::Kind::kError:
      return "error";
    case MethodResponse::Kind::kNotImplemented:
      return "not implemented";
    case MethodResponse::Kind::kNoReply:
      return "no reply";
    case MethodResponse::Kind::kMalformed:
      return "malformed reply";
  }
  return "?";
}

// Waits for one answer on the caller's thread.
MethodResponse SendAndWait(Engine& engine, const std::string& channel, std::vector<uint8_t> message,
                           std::chrono::milliseconds timeout) {
  if (engine.IsEngineThread()) {
    std::fprintf(stderr, "corvane embedder: a blocking call on an engine thread would never see its answer\n");
    return NoReply("called on an engine thread");
  }
  struct Wait {
    std::mutex mutex;
    std::condition_variable cv;
    std::optional<MethodResponse> response;
  };
  auto wait = std::make_shared<Wait>();
  engine.SendToPlugin(channel, std::move(message), [wait](const PluginReply& reply) {
    MethodResponse response = FromPluginReply(reply);
    std::lock_guard<std::mutex> lock(wait->mutex);
    wait->response = std::move(response);
    wait->cv.notify_all();
  });
  std::unique_lock<std::mutex> lock(wait->mutex);
  if (!wait->cv.wait_for(lock, timeout, [&] { return wait->response.has_value(); })) {
    return NoReply("no answer within " + std::to_string(timeout.count()) + " ms");
  }
  return std::move(*wait->response);
}

}  // namespace

std::string MethodResponse::Describe() const {
  std::string text = KindName(kind);
  if (kind == Kind::kError) text += " (" + errorCode + ": " + errorMessage + ")";
  if (kind == Kind::kNoReply) text += " (" + noReplyReason + ")";
  return text;
}

MethodResponse DecodeMethodResponse(const std::vector<uint8_t>& bytes) {
  MethodResponse response;
  if (bytes.empty()) {
    response.kind = MethodResponse::Kind::kNotImplemented;
    return response;
  }
  CollectingResult result(&response);
  if (!Codec().DecodeResponseEnvelope(bytes.data(), bytes.size(), &result)) {
    response.kind = MethodResponse::Kind::kMalformed;
  }
  return response;
}

MethodResponse InvokeMethod(Engine& engine, const std::string& channel, const std::string& method,
                            const flutter::EncodableValue& arguments, std::chrono::milliseconds timeout) {
  return SendAndWait(engine, channel, EncodeCall(method, arguments), timeout);
}

void InvokeMethodAsync(Engine& engine, const std::string& channel, const std::string& method,
                       const flutter::EncodableValue& arguments,
                       std::function<void(const MethodResponse&)> onResponse) {
  engine.SendToPlugin(channel, EncodeCall(method, arguments),
                      [onResponse = std::move(onResponse)](const PluginReply& reply) {
                        if (onResponse) onResponse(FromPluginReply(reply));
                      });
}

MethodResponse SendRawMessage(Engine& engine, const std::string& channel, std::vector<uint8_t> message,
                              std::chrono::milliseconds timeout) {
  return SendAndWait(engine, channel, std::move(message), timeout);
}

std::string StreamEvent::Name() const {
  const flutter::EncodableValue* name = Find("event");
  if (name == nullptr) return {};
  const auto* text = std::get_if<std::string>(name);
  return text != nullptr ? *text : std::string();
}

const flutter::EncodableValue* StreamEvent::Find(const std::string& key) const {
  const auto* map = std::get_if<flutter::EncodableMap>(&value);
  if (map == nullptr) return nullptr;
  auto found = map->find(flutter::EncodableValue(key));
  return found == map->end() ? nullptr : &found->second;
}

void ArrivalSignal::Raise() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    raised_ = true;
  }
  raisedCv_.notify_all();
}

bool ArrivalSignal::Wait(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  const bool raised = raisedCv_.wait_for(lock, timeout, [this] { return raised_; });
  raised_ = false;
  return raised;
}

struct EventStream::Inbox {
  explicit Inbox(std::shared_ptr<ArrivalSignal> signal) : arrivals(std::move(signal)) {}
  const std::shared_ptr<ArrivalSignal> arrivals;
  mutable std::mutex mutex;
  std::condition_variable arrived;
  std::vector<StreamEvent> events;  // guarded by mutex
  size_t read = 0;                  // guarded by mutex

  void Receive(const std::vector<uint8_t>& bytes) {
    StreamEvent event;
    if (bytes.empty()) {
      event.kind = StreamEvent::Kind::kEndOfStream;
    } else {
      MethodResponse decoded = DecodeMethodResponse(bytes);
      if (decoded.kind == MethodResponse::Kind::kSuccess) {
        event.kind = StreamEvent::Kind::kEvent;
        event.value = std::move(decoded.value);
      } else if (decoded.kind == MethodResponse::Kind::kError) {
        event.kind = StreamEvent::Kind::kError;
        event.errorCode = std::move(decoded.errorCode);
        event.errorMessage = std::move(decoded.errorMessage);
        event.errorDetails = std::move(decoded.errorDetails);
      } else {
        event.kind = StreamEvent::Kind::kMalformed;
      }
    }
    {
      std::lock_guard<std::mutex> lock(mutex);
      events.push_back(std::move(event));
    }
    arrived.notify_all();
    if (arrivals) arrivals->Raise();
  }
};

EventStream::EventStream(Engine& engine, std::string channel, std::shared_ptr<ArrivalSignal> arrivals)
    : engine_(engine), channel_(std::move(channel)), inbox_(std::make_shared<Inbox>(std::move(arrivals))) {
  std::weak_ptr<Inbox> inbox = inbox_;
  engine_.SetDartHandler(channel_, [inbox](const std::vector<uint8_t>& message) {
    if (auto alive = inbox.lock()) alive->Receive(message);
    return std::vector<uint8_t>();
  });
}

EventStream::~EventStream() { engine_.SetDartHandler(channel_, nullptr); }

MethodResponse EventStream::Listen(const flutter::EncodableValue& arguments, std::chrono::milliseconds timeout) {
  return InvokeMethod(engine_, channel_, "listen", arguments, timeout);
}

MethodResponse EventStream::Cancel(const flutter::EncodableValue& arguments, std::chrono::milliseconds timeout) {
  return InvokeMethod(engine_, channel_, "cancel", arguments, timeout);
}

std::optional<StreamEvent> EventStream::WaitForEvent(std::chrono::milliseconds timeout) {
  return WaitForEvent([](const StreamEvent&) { return true; }, timeout);
}

std::optional<StreamEvent> EventStream::WaitForEvent(const std::function<bool(const StreamEvent&)>& match,
                                                     std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::unique_lock<std::mutex> lock(inbox_->mutex);
  for (;;) {
    while (inbox_->read < inbox_->events.size()) {
      const StreamEvent& event = inbox_->events[inbox_->read++];
      if (match(event)) return event;
    }
    if (inbox_->arrived.wait_until(lock, deadline) == std::cv_status::timeout &&
        inbox_->read == inbox_->events.size()) {
      return std::nullopt;
    }
  }
}

std::optional<StreamEvent> EventStream::WaitForEventNamed(const std::string& name,
                                                          std::chrono::milliseconds timeout) {
  return WaitForEvent([&name](const StreamEvent& event) { return event.Name() == name; }, timeout);
}

std::vector<StreamEvent> EventStream::History() const {
  std::lock_guard<std::mutex> lock(inbox_->mutex);
  return inbox_->events;
}

size_t EventStream::UnreadCount() const {
  std::lock_guard<std::mutex> lock(inbox_->mutex);
  return inbox_->events.size() - inbox_->read;
}

}  // namespace corvane::embedder
