#include "platform/dispatcher_queue.h"

#include "platform/debug_log.h"
#include "platform/media_engine.h"

namespace corvane::platform {

void SafeEnqueue(DispatcherQueue* queue, DispatcherTask task) noexcept {
  if (queue != nullptr) {
    // A queue that raises leaves the task here, unmoved, for the fallback;
    // a refused task is dropped when this returns.
    const hresult posted = ToHresult([&] { queue->TryEnqueue(std::move(task)); });
    if (Succeeded(posted)) return;
    if (!task) return;
    if (Failed(ToHresult(task))) DebugLog("CorvanePlugin: Exception in SafeEnqueue handler execution\n");
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
