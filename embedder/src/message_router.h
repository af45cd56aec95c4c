// Routes channel messages between the Dart side and the plugin side.
//
// Dart -> plugin: each delivered message gets a response handle of its own,
// answered at most once from any thread. Handles are numbers, unique in the
// process and never reused, disguised as pointers, so that a late or
// repeated answer is recognised instead of touching freed memory, and an
// answer through another engine's messenger finds nothing.
//
// plugin -> Dart: messages go to Dart's handler for the channel on the Dart
// thread.
#ifndef CORVANE_EMBEDDER_MESSAGE_ROUTER_H_
#define CORVANE_EMBEDDER_MESSAGE_ROUTER_H_

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "embedder/engine.h"
#include "host/flutter_desktop.h"
#include "task_thread.h"

namespace corvane::embedder::internal {

// Dart's wait for one answer. Resolved exactly once: by the plugin's answer,
// or, when the last holder lets go unanswered, as unanswered. The callback
// runs on the Dart thread.
class ReplySlot {
 public:
  ReplySlot(TaskThread& dart, ReplyCallback onReply) : dart_(dart), onReply_(std::move(onReply)) {}
  ~ReplySlot();
  ReplySlot(const ReplySlot&) = delete;
  ReplySlot& operator=(const ReplySlot&) = delete;

  void Resolve(PluginReply reply);

 private:
  TaskThread& dart_;
  std::mutex mutex_;
  ReplyCallback onReply_;  // emptied when resolved
};

class MessageRouter {
 public:
  explicit MessageRouter(TaskThread& dart) : dart_(dart) {}

  // Platform thread (plugin side).
  void SetPluginCallback(const std::string& channel, FlutterDesktopMessageCallback callback, void* userData);
  void ClearPluginCallbacks();
  // Calls the plugin's callback for `channel` with a fresh response handle.
  // Without a callback the message is answered empty at once, as the real
  // engine does. No lock is held during the call.
  void DeliverToPlugin(FlutterDesktopMessengerRef messenger, const std::string& channel,
                       const std::vector<uint8_t>& message, std::shared_ptr<ReplySlot> slot);

  // Any thread: the longest time one call of a plugin's message callback
  // held the platform thread since the previous take.
  std::chrono::microseconds TakeLongestDelivery();

  // Any thread: the plugin's answer. A repeated or unknown handle is
  // reported on stderr and ignored.
  void Answer(const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data, size_t size);
  // Every pending answer is given up: each slot resolves as unanswered.
  void DropPendingAnswers();

  // Dart side.
  void SetDartHandler(const std::string& channel, DartMessageHandler handler);
  // Platform thread: a message from the plugin. Runs Dart's handler on the
  // Dart thread; `onDartReply` (may be empty) gets its reply bytes there.
  void SendToDart(const std::string& channel, std::vector<uint8_t> message,
                  std::function<void(std::vector<uint8_t>)> onDartReply);

 private:
  struct PluginCallback {
    FlutterDesktopMessageCallback callback = nullptr;
    void* userData = nullptr;
  };
  struct PendingAnswer {
    std::string channel;
    std::shared_ptr<ReplySlot> slot;
  };

  TaskThread& dart_;
  std::mutex mutex_;
  std::map<std::string, PluginCallback> pluginCallbacks_;                   // guarded by mutex_
  std::unordered_map<uintptr_t, PendingAnswer> pending_;                    // guarded by mutex_
  std::map<std::string, std::shared_ptr<DartMessageHandler>> dartHandlers_;  // guarded by mutex_
  std::chrono::microseconds longestDelivery_{0};                            // guarded by mutex_
};

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_MESSAGE_ROUTER_H_
