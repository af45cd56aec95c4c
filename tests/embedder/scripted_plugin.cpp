#include "scripted_plugin.h"

#include "host/event_channel.h"
#include "host/plugin_registrar_manager.h"
#include "host/standard_method_codec.h"

namespace corvane::embedder::testing {
namespace {

class ScriptedPlugin : public flutter::Plugin {
 public:
  ScriptedPlugin(flutter::PluginRegistrarWindows* registrar, ScriptedPluginConfig config)
      : registrar_(registrar), config_(std::move(config)) {
    if (config_.onMethodCall) {
      flutter::MethodChannel<flutter::EncodableValue> channel(registrar_->messenger(), kMethodChannel, &TestCodec());
      channel.SetMethodCallHandler(config_.onMethodCall);
    }
    if (config_.makeStreamHandler) {
      flutter::EventChannel<flutter::EncodableValue> channel(registrar_->messenger(), kEventChannel, &TestCodec());
      channel.SetStreamHandler(config_.makeStreamHandler());
    }
  }
  ~ScriptedPlugin() override {
    if (config_.onDestroyed) config_.onDestroyed(*registrar_);
  }

 private:
  flutter::PluginRegistrarWindows* registrar_;
  ScriptedPluginConfig config_;
};

}  // namespace

PluginEntryPoint ScriptedPluginEntry(ScriptedPluginConfig config) {
  return [config](FlutterDesktopPluginRegistrarRef registrarRef) {
    auto* registrar =
        flutter::PluginRegistrarManager::GetInstance()->GetRegistrar<flutter::PluginRegistrarWindows>(registrarRef);
    registrar->AddPlugin(std::make_unique<ScriptedPlugin>(registrar, config));
    if (config.onRegistered) config.onRegistered(*registrar);
  };
}

const flutter::MethodCodec<flutter::EncodableValue>& TestCodec() {
  return flutter::StandardMethodCodec::GetInstance();
}

}  // namespace corvane::embedder::testing
