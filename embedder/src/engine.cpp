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

std::string Engine::LoadPlugin(const std::string& library_path) { return core_->LoadPlugin(library_path); }

bool Engine::RegisterPlugin(const PluginEntryPoint& entry_point) { return core_->RegisterPlugin(entry_point); }

bool Engine::RunOnPlatformThread(const std::function<void()>& task, std::chrono::milliseconds timeout) {
  return core_->platform().RunSync(task, timeout);
}

bool Engine::PostToPlatformThread(std::function<void()> task) { return core_->platform().Post(std::move(task)); }

void Engine::SendToPlugin(const std::string& channel, std::vector<uint8_t> message, ReplyCallback on_reply) {
  core_->SendToPlugin(channel, std::move(message), std::move(on_reply));
}

void Engine::SetDartHandler(const std::string& channel, DartMessageHandler handler) {
  core_->router().SetDartHandler(channel, std::move(handler));
}

std::shared_ptr<const TextureFrame> Engine::FetchTexture(int64_t texture_id, std::chrono::milliseconds timeout) {
  return core_->textures().Fetch(texture_id, timeout);
}

std::shared_ptr<const TextureFrame> Engine::LatestFrame(int64_t texture_id) const {
  return core_->textures().Latest(texture_id);
}

std::shared_ptr<const TextureFrame> Engine::WaitForFrame(int64_t texture_id,
                                                         const std::function<bool(const TextureFrame&)>& accept,
                                                         std::chrono::milliseconds timeout) {
  return core_->textures().WaitForFrame(texture_id, accept, timeout);
}

std::shared_ptr<const TextureFrame> Engine::WaitForNewFrame(int64_t texture_id, std::chrono::milliseconds timeout) {
  const uint64_t marks_before = core_->textures().Marks(texture_id);
  return WaitForFrame(
      texture_id, [marks_before](const TextureFrame& frame) { return frame.marks > marks_before; }, timeout);
}

uint64_t Engine::FrameMarks(int64_t texture_id) const { return core_->textures().Marks(texture_id); }

bool Engine::IsTextureRegistered(int64_t texture_id) const { return core_->textures().IsRegistered(texture_id); }

FlutterDesktopPluginRegistrarRef Engine::Registrar() const { return core_->registrar(); }

bool Engine::Shutdown() { return core_->Shutdown(); }

bool Engine::IsRunning() const { return core_->IsRunning(); }

bool Engine::IsEngineThread() const { return core_->IsEngineThread(); }

}  // namespace corvane::embedder
