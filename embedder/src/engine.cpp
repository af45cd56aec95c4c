#include "embedder/engine.h"

#include <cstdio>

#include "engine_core.h"

namespace corvane::embedder {

std::array<uint8_t, 4> TextureFrame::PixelAt(size_t x, size_t y) const {
  if (x >= width || y >= height || bgra.size() < (y * width + x + 1) * 4) return {0, 0, 0, 0};
  const uint8_t* pixel = bgra.data() + (y * width + x) * 4;
  return {pixel[0], pixel[1], pixel[2], pixel[3]};
}

std::unique_ptr<Engine> Engine::Start(const EngineOptions& options) {
  return std::make_unique<Engine>(std::make_unique<internal::EngineCore>(options));
}

Engine::Engine(std::unique_ptr<internal::EngineCore> core) : core_(std::move(core)) {}

Engine::~Engine() = default;

std::string Engine::LoadPlugin(const std::string& libraryPath) { return core_->LoadPlugin(libraryPath); }

bool Engine::RegisterPlugin(const PluginEntryPoint& entryPoint) { return core_->RegisterPlugin(entryPoint); }

bool Engine::RunOnPlatformThread(const std::function<void()>& task, std::chrono::milliseconds timeout) {
  return core_->platform().RunSync(task, timeout);
}

bool Engine::PostToPlatformThread(std::function<void()> task) { return core_->platform().Post(std::move(task)); }

void Engine::SendToPlugin(const std::string& channel, std::vector<uint8_t> message, ReplyCallback onReply) {
  core_->SendToPlugin(channel, std::move(message), std::move(onReply));
}

void Engine::SetDartHandler(const std::string& channel, DartMessageHandler handler) {
  core_->router().SetDartHandler(channel, std::move(handler));
}

std::shared_ptr<const TextureFrame> Engine::FetchTexture(int64_t textureId, std::chrono::milliseconds timeout) {
  return core_->textures().Fetch(textureId, timeout);
}

std::shared_ptr<const TextureFrame> Engine::LatestFrame(int64_t textureId) const {
  return core_->textures().Latest(textureId);
}

std::shared_ptr<const TextureFrame> Engine::WaitForFrame(int64_t textureId,
                                                         const std::function<bool(const TextureFrame&)>& accept,
                                                         std::chrono::milliseconds timeout) {
  return core_->textures().WaitForFrame(textureId, accept, timeout);
}

std::shared_ptr<const TextureFrame> Engine::WaitForNewFrame(int64_t textureId, std::chrono::milliseconds timeout) {
  const uint64_t marksBefore = core_->textures().Marks(textureId);
  return WaitForFrame(
      textureId, [marksBefore](const TextureFrame& frame) { return frame.marks > marksBefore; }, timeout);
}

std::chrono::microseconds Engine::TakeLongestDelivery() { return core_->router().TakeLongestDelivery(); }

uint64_t Engine::FrameMarks(int64_t textureId) const { return core_->textures().Marks(textureId); }

bool Engine::IsTextureRegistered(int64_t textureId) const { return core_->textures().IsRegistered(textureId); }

FlutterDesktopPluginRegistrarRef Engine::Registrar() const { return core_->registrar(); }

bool Engine::Shutdown() { return core_->Shutdown(); }

bool Engine::IsRunning() const { return core_->IsRunning(); }

bool Engine::IsEngineThread() const { return core_->IsEngineThread(); }

}  // namespace corvane::embedder
