// The library's one exported function. Everything else stays local (see
// exports.map).
#include "host/flutter_desktop.h"
#include "platform/platform_layer.h"
#include "plugin/corvane_plugin.h"

extern "C" __attribute__((visibility("default"))) void CorvanePluginCApiRegisterWithRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  corvane::plugin::RegisterCorvanePlugin(registrar, corvane::platform::SystemPlatformLayer());
}
