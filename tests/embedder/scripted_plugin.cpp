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
    if (config_.on_method_call) {
      flutter::MethodChannel<flutter::EncodableValue> channel(registrar_->messenger(), kMethodChannel, &TestCodec());
      channel.SetMethodCallHandler(config_.on_method_call);
    }
    if (config_.make_stream_handler) {
      flutter::EventChannel<flutter::EncodableValue> channel(registrar_->messenger(), kEventChannel, &TestCodec());
      channel.SetStreamHandler(config_.make_stream_handler());
    }
  }
  ~ScriptedPlugin() override {
    if (config_.on_destroyed) config_.on_destroyed(*registrar_);
  }

 private:
  flutter::PluginRegistrarWindows* registrar_;
  ScriptedPluginConfig config_;
};

}  // namespace

PluginEntryPoint ScriptedPluginEntry(ScriptedPluginConfig config) {
  return [config](FlutterDesktopPluginRegistrarRef registrar_ref) {
    auto* registrar =
        flutter::PluginRegistrarManager::GetInstance()->GetRegistrar<flutter::PluginRegistrarWindows>(registrar_ref);
    registrar->AddPlugin(std::make_unique<ScriptedPlugin>(registrar, config));
    if (config.on_registered) config.on_registered(*registrar);
  };
}

const flutter::MethodCodec<flutter::EncodableValue>& TestCodec() {
  return flutter::StandardMethodCodec::GetInstance();
}

}  // namespace corvane::embedder::testing
