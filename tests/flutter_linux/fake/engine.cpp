#include "fake_flutter_linux/engine.h"

#include <future>

#include "engine_core.h"

namespace fake_flutter_linux {

Engine::Engine(std::chrono::milliseconds frameInterval)
    : core_(std::make_shared<internal::EngineCore>(frameInterval)) {
  core_->Start();
}

Engine::~Engine() {
  Shutdown();
  core_->Stop();
}

FlPluginRegistry* Engine::registry() const { return core_->registry(); }

void Engine::RunOnMainThread(const std::function<void()>& task) {
  std::promise<void> done;
  core_->Post([&] {
    task();
    done.set_value();
  });
  done.get_future().wait();
}

void Engine::SendToPlatform(const std::string& channel, std::vector<uint8_t> message, ReplyHandler onReply) {
  core_->DeliverToPlatform(channel, std::move(message), std::move(onReply));
}

void Engine::SetDartHandler(const std::string& channel, std::function<void(std::vector<uint8_t> message)> handler) {
  core_->SetDartHandler(channel, std::move(handler));
}

std::vector<int64_t> Engine::RegisteredTextures() const { return core_->RegisteredTextures(); }

std::optional<Frame> Engine::LatestFrame(int64_t id) const { return core_->LatestFrame(id); }

std::optional<Frame> Engine::WaitForFrame(int64_t id, const std::function<bool(const Frame&)>& accept,
                                          std::chrono::milliseconds timeout) const {
  return core_->WaitForFrame(id, accept, timeout);
}

void Engine::Shutdown() {
  RunOnMainThread([this] { core_->Shutdown(); });
}

size_t Engine::TexturesLeftAtShutdown() const { return core_->TexturesLeftAtShutdown(); }

std::vector<std::string> Engine::Violations() const { return core_->Violations(); }

}  // namespace fake_flutter_linux
