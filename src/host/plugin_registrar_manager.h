// One registrar wrapper per engine registrar, for the life of that registrar.
#ifndef CORVANE_HOST_PLUGIN_REGISTRAR_MANAGER_H_
#define CORVANE_HOST_PLUGIN_REGISTRAR_MANAGER_H_

#include <map>
#include <memory>
#include <type_traits>

#include "host/flutter_desktop.h"
#include "host/plugin_registrar_windows.h"

namespace flutter {

// Platform thread only; the table is not locked. The manager is created on
// first use and never destroyed, so no wrapper is torn down during process
// exit behind the engine's back.
class PluginRegistrarManager {
 public:
  static PluginRegistrarManager* GetInstance();

  // The wrapper for `registrarRef`, created on the first request. The
  // manager keeps ownership; the wrapper and its plugins are destroyed when
  // the engine destroys the registrar.
  PluginRegistrarWindows* GetRegistrar(FlutterDesktopPluginRegistrarRef registrarRef);

  template <typename RegistrarType = PluginRegistrarWindows>
  RegistrarType* GetRegistrar(FlutterDesktopPluginRegistrarRef registrarRef) {
    static_assert(std::is_same_v<RegistrarType, PluginRegistrarWindows>, "only desktop registrars exist");
    return GetRegistrar(registrarRef);
  }

  PluginRegistrarManager(const PluginRegistrarManager&) = delete;
  PluginRegistrarManager& operator=(const PluginRegistrarManager&) = delete;

 private:
  template <typename T>
  friend class NeverDestroyed;
  PluginRegistrarManager() = default;

  static void OnRegistrarDestroyed(FlutterDesktopPluginRegistrarRef registrarRef);

  std::map<FlutterDesktopPluginRegistrarRef, std::unique_ptr<PluginRegistrarWindows>> registrars_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_PLUGIN_REGISTRAR_MANAGER_H_
