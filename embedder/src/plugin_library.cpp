#include "plugin_library.h"

#include <dlfcn.h>

namespace corvane::embedder::internal {

namespace {
constexpr char kEntryPointName[] = "CorvanePluginCApiRegisterWithRegistrar";
}

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string* error) {
  // RTLD_LOCAL: the plugin's own symbols must not serve anyone else; it
  // finds the FlutterDesktop* functions in the process's global scope.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* reason = dlerror();
    *error = "cannot load " + path + ": " + (reason != nullptr ? reason : "unknown reason");
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(handle, kEntryPointName);
  if (symbol == nullptr) {
    *error = path + " has no " + kEntryPointName;
    dlclose(handle);
    return nullptr;
  }
  auto entryPoint = reinterpret_cast<RegisterWithRegistrarFunction>(symbol);
  return std::make_unique<PluginLibrary>(handle, entryPoint);
}

PluginLibrary::~PluginLibrary() { dlclose(handle_); }

}  // namespace corvane::embedder::internal
