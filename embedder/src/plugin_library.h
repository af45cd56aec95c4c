// A plugin library opened with dlopen, closed when the engine that loaded
// it is destroyed (after its threads are joined). Linux only: the Windows
// host loads none (plugin_library_windows.cpp says so).
#ifndef CORVANE_EMBEDDER_PLUGIN_LIBRARY_H_
#define CORVANE_EMBEDDER_PLUGIN_LIBRARY_H_

#include <memory>
#include <string>

#include "host/flutter_desktop.h"

namespace corvane::embedder::internal {

using RegisterWithRegistrarFunction = void (*)(FlutterDesktopPluginRegistrarRef);

class PluginLibrary {
 public:
  // Opens the library and finds its entry point; null with `error` set when
  // either fails.
  static std::unique_ptr<PluginLibrary> Open(const std::string& path, std::string* error);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  // Takes over a dlopen handle.
  PluginLibrary(void* handle, RegisterWithRegistrarFunction entryPoint) : handle_(handle), entryPoint_(entryPoint) {}

  RegisterWithRegistrarFunction EntryPoint() const { return entryPoint_; }

 private:
  void* handle_;
  RegisterWithRegistrarFunction entryPoint_;
};

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_PLUGIN_LIBRARY_H_
