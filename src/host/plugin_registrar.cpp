#include "host/plugin_registrar.h"

#include <utility>

#include "host/binary_messenger_impl.h"
#include "host/texture_registrar_impl.h"

namespace flutter {

PluginRegistrar::PluginRegistrar(FlutterDesktopPluginRegistrarRef coreRegistrar) : registrar_(coreRegistrar) {
  // Queried messenger first, then texture registrar; the members are
  // declared the other way round for their order of destruction.
  messenger_ = std::make_unique<BinaryMessengerImpl>(FlutterDesktopPluginRegistrarGetMessenger(coreRegistrar));
  textureRegistrar_ = std::make_unique<TextureRegistrarImpl>(FlutterDesktopRegistrarGetTextureRegistrar(coreRegistrar));
}

PluginRegistrar::~PluginRegistrar() { ClearPlugins(); }

void PluginRegistrar::AddPlugin(std::unique_ptr<Plugin> plugin) { plugins_.insert(std::move(plugin)); }

void PluginRegistrar::ClearPlugins() {
  // Moved out first: a plugin's destructor must not find a half-emptied set.
  std::set<std::unique_ptr<Plugin>> doomed = std::move(plugins_);
  plugins_.clear();
  doomed.clear();
}

}  // namespace flutter
