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

bool NotificationGate::Accepts(SourceNumber source) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !closed_ && source == current_;
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

template <typename List, typename Call>
void NotificationGate::RunRaise(const std::shared_ptr<const List>& handlers, SourceNumber source, Call call) {
  std::shared_ptr<const List> snapshot;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || source != current_) return;
    running_.push_back({std::this_thread::get_id(), source});
    snapshot = handlers;
  }
  for (const auto& handler : *snapshot) {
    hresult returned = kOk;
    LogFailure(ToHresult([&] { returned = call(handler); }));
    LogFailure(returned);
  }
  EndRaise();
}

void NotificationGate::Raise(size_t event, SourceNumber source) {
  if (event >= handlers_.size()) return;
  RunRaise(handlers_[event], source, [](const Handler& handler) { return handler(); });
}

void NotificationGate::RaiseFailed(const MediaPlayerFailedEventArgs& args, SourceNumber source) {
  RunRaise(failedHandlers_, source, [&args](const FailedHandler& handler) { return handler(args); });
}

}  // namespace corvane::platform
