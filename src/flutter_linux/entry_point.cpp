// The library's one exported function (see exports.map).
#include <memory>

#include "corvane/corvane_plugin.h"
#include "flutter_linux/registration.h"
#include "platform/linux/linux_platform_layer.h"
#include "plugin/corvane_plugin.h"

#ifndef FLUTTER_PLUGIN_IMPL
#error "the plugin library is built with FLUTTER_PLUGIN_IMPL defined, so that the entry point is exported"
#endif

namespace {

// The plugin's method channel: its handler goes only with the plugin, so the
// embedding dropping it means the engine is going (flutter_linux/messenger.h).
constexpr char kLifelineChannel[] = "CorvanePlugin";

}  // namespace

void corvane_plugin_register_with_registrar(FlPluginRegistrar* registrar) {
  if (registrar == nullptr) return;
  auto registration = std::make_unique<FlutterDesktopPluginRegistrar>(registrar, kLifelineChannel);
  // Flutter's pixel-buffer textures take RGBA, so frames are drawn RGBA.
  corvane::plugin::RegisterCorvanePlugin(registration.get(),
                                         corvane::platform::LinuxPlatformLayer(corvane::platform::PixelOrder::kRgba));
  FlutterDesktopPluginRegistrar::KeepUntilEngineGoes(std::move(registration));
}
