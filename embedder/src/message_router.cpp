#include "message_router.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <utility>

namespace corvane::embedder::internal {
namespace {

// Process-wide, so that handles of two engines never coincide. 0 is never
// handed out: a null handle is always unknown.
std::atomic<uintptr_t> nextResponseHandle{1};

const FlutterDesktopMessageResponseHandle* AsHandle(uintptr_t number) {
  return reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(number);
}

}  // namespace

ReplySlot::~ReplySlot() {
  if (onReply_) Resolve(PluginReply{});
}

void ReplySlot::Resolve(PluginReply reply) {
  ReplyCallback callback;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    callback = std::move(onReply_);
    onReply_ = nullptr;
  }
  if (!callback) return;
  dart_.Post([callback = std::move(callback), reply = std::move(reply)] { callback(reply); });
}

void MessageRouter::SetPluginCallback(const std::string& channel, FlutterDesktopMessageCallback callback,
                                      void* userData) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (callback == nullptr) {
    pluginCallbacks_.erase(channel);
  } else {
    pluginCallbacks_[channel] = PluginCallback{callback, userData};
  }
}

void MessageRouter::ClearPluginCallbacks() {
  std::lock_guard<std::mutex> lock(mutex_);
  pluginCallbacks_.clear();
}

void MessageRouter::DeliverToPlugin(FlutterDesktopMessengerRef messenger, const std::string& channel,
                                    const std::vector<uint8_t>& message, std::shared_ptr<ReplySlot> slot) {
  PluginCallback target;
  uintptr_t handleNumber = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = pluginCallbacks_.find(channel);
    if (found != pluginCallbacks_.end()) {
      target = found->second;
      handleNumber = nextResponseHandle.fetch_add(1);
      pending_.emplace(handleNumber, PendingAnswer{channel, slot});
    }
  }
  if (target.callback == nullptr) {
    slot->Resolve(PluginReply{true, {}});
    return;
  }
  slot.reset();  // the pending entry holds it now
  FlutterDesktopMessage record{};
  record.struct_size = sizeof(FlutterDesktopMessage);
  record.channel = channel.c_str();
  record.message = message.empty() ? nullptr : message.data();
  record.message_size = message.size();
  record.response_handle = AsHandle(handleNumber);
  const auto start = std::chrono::steady_clock::now();
  target.callback(messenger, &record, target.userData);
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  std::lock_guard<std::mutex> lock(mutex_);
  longestDelivery_ = std::max(longestDelivery_, took);
}

std::chrono::microseconds MessageRouter::TakeLongestDelivery() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(longestDelivery_, std::chrono::microseconds(0));
}

void MessageRouter::Answer(const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data, size_t size) {
  const auto number = reinterpret_cast<uintptr_t>(handle);
  PendingAnswer answered;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = pending_.find(number);
    if (found == pending_.end()) {
      if (number != 0 && number < nextResponseHandle.load()) {
        std::fprintf(stderr,
                     "corvane embedder: response handle %llu was already answered or given up; "
                     "ignoring this response\n",
                     static_cast<unsigned long long>(number));
      } else {
        std::fprintf(stderr, "corvane embedder: unknown response handle %p; ignoring this response\n",
                     static_cast<const void*>(handle));
      }
      return;
    }
    answered = std::move(found->second);
    pending_.erase(found);
  }
  PluginReply reply{true, {}};
  if (data != nullptr && size > 0) reply.bytes.assign(data, data + size);
  answered.slot->Resolve(std::move(reply));
}

void MessageRouter::DropPendingAnswers() {
  std::unordered_map<uintptr_t, PendingAnswer> dropped;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    dropped.swap(pending_);
  }
  // Each slot resolves as unanswered as it goes, outside the lock.
}

void MessageRouter::SetDartHandler(const std::string& channel, DartMessageHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (handler) {
    dartHandlers_[channel] = std::make_shared<DartMessageHandler>(std::move(handler));
  } else {
    dartHandlers_.erase(channel);
  }
}

void MessageRouter::SendToDart(const std::string& channel, std::vector<uint8_t> message,
                               std::function<void(std::vector<uint8_t>)> onDartReply) {
  std::shared_ptr<DartMessageHandler> handler;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    auto found = dartHandlers_.find(channel);
    if (found != dartHandlers_.end()) handler = found->second;
  }
  dart_.Post([handler, message = std::move(message), onDartReply = std::move(onDartReply)] {
    std::vector<uint8_t> reply;
    if (handler) reply = (*handler)(message);
    if (onDartReply) onDartReply(std::move(reply));
  });
}

}  // namespace corvane::embedder::internal
