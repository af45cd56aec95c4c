// The plugin's view of one engine registrar: its messenger, its texture
// registrar and the plugins it owns.
#ifndef CORVANE_HOST_PLUGIN_REGISTRAR_H_
#define CORVANE_HOST_PLUGIN_REGISTRAR_H_

#include <memory>
#include <set>

#include "host/binary_messenger.h"
#include "host/flutter_desktop.h"
#include "host/texture_registrar.h"

namespace flutter {

class Plugin {
 public:
  virtual ~Plugin() = default;
};

// Platform thread only. Destruction destroys the plugins first, while the
// messenger and the texture registrar still work, then the messenger (with
// every channel handler), then the texture registrar.
class PluginRegistrar {
 public:
  explicit PluginRegistrar(FlutterDesktopPluginRegistrarRef coreRegistrar);
  virtual ~PluginRegistrar();
  PluginRegistrar(const PluginRegistrar&) = delete;
  PluginRegistrar& operator=(const PluginRegistrar&) = delete;

  BinaryMessenger* messenger() { return messenger_.get(); }
  TextureRegistrar* texture_registrar() { return textureRegistrar_.get(); }
  FlutterDesktopPluginRegistrarRef registrar() const { return registrar_; }

  // The registrar owns `plugin` from now on and destroys it with itself.
  void AddPlugin(std::unique_ptr<Plugin> plugin);

 protected:
  // Destroys every plugin. A derived registrar calls it first in its own
  // destructor, so that plugins go before anything it owns.
  void ClearPlugins();

 private:
  FlutterDesktopPluginRegistrarRef registrar_;  // not owned
  // Declared in reverse order of destruction.
  std::unique_ptr<TextureRegistrar> textureRegistrar_;
  std::unique_ptr<BinaryMessenger> messenger_;
  std::set<std::unique_ptr<Plugin>> plugins_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_PLUGIN_REGISTRAR_H_
