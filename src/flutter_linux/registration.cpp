#include "flutter_linux/registration.h"

#include <utility>

using corvane::flutter_linux::MainThread;

FlutterDesktopPluginRegistrar::FlutterDesktopPluginRegistrar(FlPluginRegistrar* registrar,
                                                             const std::string& lifelineChannel)
    : mainThread_(std::make_shared<MainThread>()),
      messenger_(FlutterDesktopMessenger::Create(fl_plugin_registrar_get_messenger(registrar), mainThread_,
                                                 lifelineChannel)),
      textures_(std::make_unique<FlutterDesktopTextureRegistrar>(fl_plugin_registrar_get_texture_registrar(registrar),
                                                                 mainThread_)) {}

FlutterDesktopPluginRegistrar::~FlutterDesktopPluginRegistrar() { messenger_->Release(); }

void FlutterDesktopPluginRegistrar::Destroy() {
  const FlutterDesktopOnPluginRegistrarDestroyed handler = destructionHandler_;
  destructionHandler_ = nullptr;
  if (handler != nullptr) handler(this);
}

void FlutterDesktopPluginRegistrar::KeepUntilEngineGoes(std::unique_ptr<FlutterDesktopPluginRegistrar> registration) {
  FlutterDesktopMessengerRef messenger = registration->messenger_;
  if (!messenger->HasLifeline()) {
    registration->Destroy();
    return;
  }
  // The messenger holds the registration from here; the registration holds
  // the messenger. The engine's going breaks the circle.
  std::shared_ptr<FlutterDesktopPluginRegistrar> kept = std::move(registration);
  messenger->SetEngineGoneHandler([kept] { kept->Destroy(); });
}
