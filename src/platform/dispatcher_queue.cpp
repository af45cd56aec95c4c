#include "platform/dispatcher_queue.h"

#include "platform/debug_log.h"
#include "platform/media_engine.h"

namespace corvane::platform {

void SafeEnqueue(DispatcherQueue* queue, DispatcherTask task) noexcept {
  if (queue != nullptr) {
    // Copy first: a queue that raises may already have consumed its
    // argument, and the inline fallback still needs the task.
    DispatcherTask fallback;
    const hresult posted = ToHresult([&] {
      fallback = task;
      queue->TryEnqueue(std::move(task));
    });
    if (Succeeded(posted)) return;
    if (!fallback) return;
    if (Failed(ToHresult(fallback))) DebugLog("CorvanePlugin: Exception in SafeEnqueue handler execution\n");
    return;
  }
  if (!task) return;
  if (Failed(ToHresult(task))) DebugLog("CorvanePlugin: Exception in SafeEnqueue fallback execution\n");
}

bool GetRealTimePlayback(const MediaPlayer& player) noexcept {
  bool value = false;
  if (Failed(ToHresult([&] { value = player.RealTimePlayback(); }))) {
    DebugLog("CorvanePlugin: RealTimePlayback property not supported, assuming false\n");
    return false;
  }
  return value;
}

void SetRealTimePlayback(MediaPlayer& player, bool value) noexcept {
  if (Failed(ToHresult([&] { player.RealTimePlayback(value); }))) {
    DebugLog("CorvanePlugin: RealTimePlayback property not supported, ignoring\n");
  }
}

}  // namespace corvane::platform
