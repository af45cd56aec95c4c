#include "platform/engine_core/notification_gate.h"

#include <algorithm>

#include "platform/debug_log.h"

namespace corvane::platform {
namespace {

void LogFailure(hresult result) {
  if (Failed(result)) DebugLog("CorvanePlugin: A notification handler failed\n");
}

}  // namespace

NotificationGate::NotificationGate(size_t eventCount)
    : handlers_(eventCount, std::make_shared<const std::vector<Handler>>()),
      failedHandlers_(std::make_shared<const std::vector<FailedHandler>>()) {}

void NotificationGate::Subscribe(size_t event, Handler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (event >= handlers_.size()) return;
  auto copy = std::make_shared<std::vector<Handler>>(*handlers_[event]);
  copy->push_back(std::move(handler));
  handlers_[event] = std::move(copy);
}

void NotificationGate::SubscribeFailed(FailedHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto copy = std::make_shared<std::vector<FailedHandler>>(*failedHandlers_);
  copy->push_back(std::move(handler));
  failedHandlers_ = std::move(copy);
}

SourceNumber NotificationGate::Advance() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ++current_;
}

SourceNumber NotificationGate::Current() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_;
}

bool NotificationGate::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool wasOpen = !closed_;
  closed_ = true;
  return wasOpen;
}

bool NotificationGate::IsClosed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return closed_;
}

bool NotificationGate::StaleRaiseRunningLocked() const {
  const auto self = std::this_thread::get_id();
  return std::any_of(running_.begin(), running_.end(), [&](const RunningRaise& raise) {
    return raise.thread != self && (closed_ || raise.source != current_);
  });
}

bool NotificationGate::AwaitRaisesEnded(Clock::duration limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return raiseEnded_.wait_for(lock, limit, [this] { return !StaleRaiseRunningLocked(); });
}

bool NotificationGate::BeginRaise(SourceNumber source) {
  if (closed_ || source != current_) return false;
  running_.push_back({std::this_thread::get_id(), source});
  return true;
}

void NotificationGate::EndRaise() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto self = std::this_thread::get_id();
    auto mine = std::find_if(running_.begin(), running_.end(),
                             [&](const RunningRaise& raise) { return raise.thread == self; });
    if (mine != running_.end()) running_.erase(mine);
  }
  raiseEnded_.notify_all();
}

void NotificationGate::Raise(size_t event, SourceNumber source) {
  std::shared_ptr<const std::vector<Handler>> handlers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (event >= handlers_.size() || !BeginRaise(source)) return;
    handlers = handlers_[event];
  }
  for (const auto& handler : *handlers) {
    hresult returned = kOk;
    LogFailure(ToHresult([&] { returned = handler(); }));
    LogFailure(returned);
  }
  EndRaise();
}

void NotificationGate::RaiseFailed(const MediaPlayerFailedEventArgs& args, SourceNumber source) {
  std::shared_ptr<const std::vector<FailedHandler>> handlers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!BeginRaise(source)) return;
    handlers = failedHandlers_;
  }
  for (const auto& handler : *handlers) {
    hresult returned = kOk;
    LogFailure(ToHresult([&] { returned = handler(args); }));
    LogFailure(returned);
  }
  EndRaise();
}

}  // namespace corvane::platform
