#include "plugin/corvane_plugin.h"

#include "host/plugin_registrar_manager.h"
#include "host/plugin_registrar_windows.h"
#include "host/standard_method_codec.h"
#include "platform/debug_log.h"
#include "player/video_controller.h"

namespace corvane::plugin {

CorvanePlugin::CorvanePlugin(flutter::PluginRegistrar* registrar, platform::PlatformLayer& platform)
    : registrar_(registrar), platform_(platform), resources_(std::make_unique<GlobalResources>(platform)) {
  methodChannel = std::make_unique<flutter::MethodChannel<flutter::EncodableValue>>(
      registrar->messenger(), "CorvanePlugin", &flutter::StandardMethodCodec::GetInstance());
  methodChannel->SetMethodCallHandler(
      [this](const flutter::MethodCall<flutter::EncodableValue>& call,
             std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
        HandleMethodCall(call, std::move(result));
      });
}

CorvanePlugin::~CorvanePlugin() {
  // Players go first, each destroyed right here on the platform thread.
  DisposeAllPlayers();
  methodChannel->SetMethodCallHandler(nullptr);
  methodChannel.reset();
  resources_.reset();
}

flutter::EncodableValue CorvanePlugin::CreatePlayer() {
  player::PlayerEnvironment environment;
  environment.engine = resources_->Engine();
  environment.queue = resources_->Queue();
  environment.device = resources_->Device();
  environment.modern = resources_->Modern();
  // The layer outlives the plugin, and the players run these only in their
  // calls and tasks on this thread, while the plugin exists.
  platform::PlatformLayer& layer = platform_;
  environment.sourceLocation = [&layer] {
    return player::SourceLocation{layer.ExecutablePath(), layer.WorkingDirectory(),
                                  layer.UsesWindowsPaths() ? player::PathStyle::Windows : player::PathStyle::Posix};
  };
  environment.systemLanguages = [&layer] { return layer.UserLanguages(); };
  auto controller = std::make_shared<player::VideoController>(std::move(environment));
  controller->Initialize(registrar_);
  const int64_t id = controller->videoTextureId();
  const int64_t subId = controller->subtitleTextureId();
  players[id] = std::move(controller);
  return flutter::EncodableValue(flutter::EncodableMap{
      {flutter::EncodableValue("id"), flutter::EncodableValue(id)},
      {flutter::EncodableValue("subId"), flutter::EncodableValue(subId)},
  });
}

void CorvanePlugin::DisposePlayer(int64_t id) {
  const auto found = players.find(id);
  if (found == players.end()) return;
  const std::shared_ptr<player::VideoController> player = std::move(found->second);
  players.erase(found);
  player->ClosePlayer();
}

void CorvanePlugin::DisposeAllPlayers() {
  const auto all = std::move(players);
  players.clear();
  for (const auto& entry : all) entry.second->ClosePlayer();
}

void RegisterCorvanePlugin(FlutterDesktopPluginRegistrarRef registrar, platform::PlatformLayer& platform) {
  const platform::hresult outcome = platform::ToHresult([&] {
    auto* wrapper = flutter::PluginRegistrarManager::GetInstance()->GetRegistrar<flutter::PluginRegistrarWindows>(
        registrar);
    wrapper->AddPlugin(std::make_unique<CorvanePlugin>(wrapper, platform));
  });
  if (platform::Failed(outcome)) platform::DebugLogf("CorvanePlugin: Registration failed: 0x%08X\n", outcome);
}

}  // namespace corvane::plugin
