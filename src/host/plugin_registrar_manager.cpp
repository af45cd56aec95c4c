#include "host/plugin_registrar_manager.h"

#include <new>
#include <utility>

namespace flutter {

// Storage for an object that is built on first use and never destroyed.
template <typename T>
class NeverDestroyed {
 public:
  NeverDestroyed() { ::new (static_cast<void*>(storage_)) T(); }
  T* get() { return std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

PluginRegistrarManager* PluginRegistrarManager::GetInstance() {
  static NeverDestroyed<PluginRegistrarManager> instance;
  return instance.get();
}

PluginRegistrarWindows* PluginRegistrarManager::GetRegistrar(FlutterDesktopPluginRegistrarRef registrarRef) {
  auto wrapper = std::make_unique<PluginRegistrarWindows>(registrarRef);
  // A second request keeps the first wrapper; the new one is dropped.
  auto [entry, inserted] = registrars_.try_emplace(registrarRef, std::move(wrapper));
  FlutterDesktopPluginRegistrarSetDestructionHandler(registrarRef, &PluginRegistrarManager::OnRegistrarDestroyed);
  return entry->second.get();
}

void PluginRegistrarManager::OnRegistrarDestroyed(FlutterDesktopPluginRegistrarRef registrarRef) {
  auto& registrars = GetInstance()->registrars_;
  auto entry = registrars.find(registrarRef);
  if (entry == registrars.end()) return;
  // Taken out of the table before it is destroyed, so plugin destructors
  // that reach the manager find a consistent table.
  std::unique_ptr<PluginRegistrarWindows> doomed = std::move(entry->second);
  registrars.erase(entry);
  doomed.reset();
}

}  // namespace flutter
