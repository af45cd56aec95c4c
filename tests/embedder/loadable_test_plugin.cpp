// A plugin library for the dlopen path: answers "ping" on "loaded/methods"
// with "pong", and says "bye" on "loaded/goodbye" when it is destroyed.
#include <memory>

#include "host/method_channel.h"
#include "host/plugin_registrar_manager.h"
#include "host/plugin_registrar_windows.h"
#include "host/standard_method_codec.h"

namespace {

class LoadedPlugin : public flutter::Plugin {
 public:
  explicit LoadedPlugin(flutter::PluginRegistrarWindows* registrar) : registrar_(registrar) {
    flutter::MethodChannel<flutter::EncodableValue> channel(registrar->messenger(), "loaded/methods",
                                                            &flutter::StandardMethodCodec::GetInstance());
    channel.SetMethodCallHandler([](const flutter::MethodCall<flutter::EncodableValue>& call,
                                    std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result) {
      if (call.method_name() == "ping") {
        result->Success(flutter::EncodableValue("pong"));
      } else {
        result->NotImplemented();
      }
    });
  }
  ~LoadedPlugin() override {
    const uint8_t bye[] = {'b', 'y', 'e'};
    registrar_->messenger()->Send("loaded/goodbye", bye, sizeof(bye));
  }

 private:
  flutter::PluginRegistrarWindows* registrar_;
};

}  // namespace

extern "C" void CorvanePluginCApiRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrarRef) {
  auto* registrar =
      flutter::PluginRegistrarManager::GetInstance()->GetRegistrar<flutter::PluginRegistrarWindows>(registrarRef);
  registrar->AddPlugin(std::make_unique<LoadedPlugin>(registrar));
}
