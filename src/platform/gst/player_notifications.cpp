// Subscriptions and the raising of notifications (engine thread), outside
// every lock, for the current source only.
#include "platform/gst/player_core.h"

#include "platform/gst/debug_log.h"

namespace corvane::platform::gst {
namespace {

void RunHandlers(const std::vector<std::function<hresult()>>& handlers) {
  for (const auto& handler : handlers) {
    const hresult result = ToHresult([&] { (void)handler(); });
    if (Failed(result)) DebugLine("A notification handler failed");
  }
}

}  // namespace


std::shared_ptr<const PlayerCore::HandlerList> PlayerCore::BeginRaise(PlayerEvent event, uint64_t generation) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (closed_ || generation != generation_) return nullptr;
  raising_ = true;
  return handlers_[static_cast<size_t>(event)];
}

void PlayerCore::EndRaise() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    raising_ = false;
  }
  raiseDone_.notify_all();
}

void PlayerCore::Raise(PlayerEvent event, uint64_t generation) {
  auto handlers = BeginRaise(event, generation);
  if (!handlers) return;
  RunHandlers(*handlers);
  EndRaise();
}

void PlayerCore::RaiseFailed(const MediaPlayerFailedEventArgs& args, uint64_t generation) {
  std::shared_ptr<const std::vector<FailedHandler>> handlers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (closed_ || generation != generation_) return;
    raising_ = true;
    handlers = failedHandlers_;
  }
  for (const auto& handler : *handlers) {
    const hresult result = ToHresult([&] { (void)handler(args); });
    if (Failed(result)) DebugLine("A notification handler failed");
  }
  EndRaise();
}

void PlayerCore::Subscribe(PlayerEvent event, std::function<hresult()> handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& list = handlers_[static_cast<size_t>(event)];
  auto copy = std::make_shared<HandlerList>(*list);
  copy->push_back(std::move(handler));
  list = std::move(copy);
}

void PlayerCore::SubscribeFailed(FailedHandler handler) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto copy = std::make_shared<std::vector<FailedHandler>>(*failedHandlers_);
  copy->push_back(std::move(handler));
  failedHandlers_ = std::move(copy);
}

}  // namespace corvane::platform::gst
