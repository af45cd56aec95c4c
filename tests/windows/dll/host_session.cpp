#include "host_session.h"

#include <windows.h>

#include <mutex>
#include <optional>
#include <utility>

#include "host/method_call.h"
#include "host/method_result.h"
#include "host/standard_method_codec.h"

namespace corvane::windows_test {
namespace {

// Fills a MethodReply from a decoded answer.
class ReplyCollector final : public flutter::MethodResult<flutter::EncodableValue> {
 public:
  explicit ReplyCollector(MethodReply* reply) : reply_(reply) {}

 protected:
  void SuccessInternal(const flutter::EncodableValue* result) override {
    reply_->kind = MethodReply::Kind::kSuccess;
    if (result != nullptr) reply_->value = *result;
  }
  void ErrorInternal(const std::string& code, const std::string& message,
                     const flutter::EncodableValue* details) override {
    reply_->kind = MethodReply::Kind::kError;
    reply_->errorCode = code;
    reply_->errorMessage = message;
    if (details != nullptr) reply_->value = *details;
  }
  void NotImplementedInternal() override { reply_->kind = MethodReply::Kind::kNotImplemented; }

 private:
  MethodReply* reply_;
};

}  // namespace

// Written on the answering thread, read on the platform thread.
struct HostSession::ReplySlot {
  std::mutex mutex;
  std::optional<std::vector<uint8_t>> bytes;
};

std::string MethodReply::Describe() const {
  switch (kind) {
    case Kind::kNoHandler:
      return "no handler on the channel";
    case Kind::kNoReply:
      return "no reply";
    case Kind::kSuccess:
      return "success";
    case Kind::kError:
      return "error " + errorCode + ": " + errorMessage;
    case Kind::kNotImplemented:
      return "not implemented";
    case Kind::kMalformed:
      return "malformed reply";
  }
  return "?";
}

HostSession::HostSession() : host_(FakeFlutterHostCreate(), &FakeFlutterHostDestroy) {}

HostSession::~HostSession() = default;

void HostSession::Receive(const uint8_t* data, size_t size, void* user_data) {
  auto* slot = static_cast<ReplySlot*>(user_data);
  std::lock_guard<std::mutex> lock(slot->mutex);
  slot->bytes.emplace(data, data + (data == nullptr ? 0 : size));
}

MethodReply HostSession::Call(const std::string& channel, const std::string& method,
                              const flutter::EncodableValue& arguments, std::chrono::milliseconds timeout) {
  const flutter::StandardMethodCodec& codec = flutter::StandardMethodCodec::GetInstance();
  const auto message =
      codec.EncodeMethodCall(flutter::MethodCall<>(method, std::make_unique<flutter::EncodableValue>(arguments)));
  auto slot = std::make_shared<ReplySlot>();
  replies_.push_back(slot);

  MethodReply reply;
  if (!FakeFlutterHostSend(host_.get(), channel.c_str(), message->data(), message->size(), &Receive, slot.get())) {
    reply.kind = MethodReply::Kind::kNoHandler;
    return reply;
  }
  const auto answered = [&] {
    std::lock_guard<std::mutex> lock(slot->mutex);
    return slot->bytes.has_value();
  };
  if (!PumpUntil(answered, timeout)) return reply;

  std::lock_guard<std::mutex> lock(slot->mutex);
  if (slot->bytes->empty()) {
    reply.kind = MethodReply::Kind::kNotImplemented;
  } else {
    ReplyCollector collector(&reply);
    if (!codec.DecodeResponseEnvelope(slot->bytes->data(), slot->bytes->size(), &collector)) {
      reply.kind = MethodReply::Kind::kMalformed;
    }
  }
  return reply;
}

bool HostSession::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    FakeFlutterHostRunPending(host_.get());
    if (done()) return true;
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
    // Wakes for a posted message; answers from other threads are polled.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left < 10 ? left : 10), QS_ALLINPUT);
  }
}

}  // namespace corvane::windows_test
