// A plugin library for the dlopen path: answers "ping" on "loaded/methods"
// with "pong" and the name of the thread it ran on.
#include <memory>

#include "host/method_channel.h"
#include "host/plugin_registrar_manager.h"
#include "host/plugin_registrar_windows.h"
#include "host/standard_method_codec.h"

namespace {

class LoadedPlugin : public flutter::Plugin {
 public:
  explicit LoadedPlugin(flutter::PluginRegistrarWindows* registrar) {
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
};

}  // namespace

extern "C" void CorvanePluginCApiRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar_ref) {
  auto* registrar =
      flutter::PluginRegistrarManager::GetInstance()->GetRegistrar<flutter::PluginRegistrarWindows>(registrar_ref);
  registrar->AddPlugin(std::make_unique<LoadedPlugin>(registrar));
}
