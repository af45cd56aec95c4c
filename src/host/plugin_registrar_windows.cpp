#include "host/plugin_registrar_windows.h"

namespace flutter {

PluginRegistrarWindows::PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef coreRegistrar)
    : PluginRegistrar(coreRegistrar) {
  if (FlutterDesktopViewRef view = FlutterDesktopPluginRegistrarGetView(coreRegistrar)) {
    view_ = std::make_unique<FlutterView>(view);
  }
}

// Plugins go before the view they might refer to.
PluginRegistrarWindows::~PluginRegistrarWindows() { ClearPlugins(); }

}  // namespace flutter
