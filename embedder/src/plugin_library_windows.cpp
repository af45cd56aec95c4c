// On Windows the host links its plugins in: the tests register them through
// Engine::RegisterPlugin, and no library is ever loaded at run time.
#include "plugin_library.h"

namespace corvane::embedder::internal {

std::unique_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string* error) {
  *error = "cannot load " + path + ": this host loads no plugin libraries on Windows";
  return nullptr;
}

PluginLibrary::~PluginLibrary() = default;

}  // namespace corvane::embedder::internal
