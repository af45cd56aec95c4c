#include "host/plugin_registrar_windows.h"

namespace flutter {

PluginRegistrarWindows::PluginRegistrarWindows(FlutterDesktopPluginRegistrarRef core_registrar)
    : PluginRegistrar(core_registrar) {
  if (FlutterDesktopViewRef view = FlutterDesktopPluginRegistrarGetView(core_registrar)) {
    view_ = std::make_unique<FlutterView>(view);
  }
}

// Plugins go before the view they might refer to.
PluginRegistrarWindows::~PluginRegistrarWindows() { ClearPlugins(); }

}  // namespace flutter
