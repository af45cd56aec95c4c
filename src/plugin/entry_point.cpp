// The library's one exported function. Everything else stays local (see
// exports.map on Linux; on Windows only what is marked dllexport leaves the
// DLL).
#include "host/flutter_desktop.h"
#include "platform/platform_layer.h"
#include "plugin/corvane_plugin.h"

#ifdef _WIN32
#ifndef FLUTTER_PLUGIN_IMPL
#error "corvane_plugin.dll is built with FLUTTER_PLUGIN_IMPL defined, so that the entry point is exported"
#endif
// The public header an app includes; its macro exports the definition below.
#include "corvane/corvane_plugin_c_api.h"
#define CORVANE_ENTRY_POINT FLUTTER_PLUGIN_EXPORT
#else
#define CORVANE_ENTRY_POINT __attribute__((visibility("default")))
#endif

extern "C" CORVANE_ENTRY_POINT void CorvanePluginCApiRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar) {
  corvane::plugin::RegisterCorvanePlugin(registrar, corvane::platform::SystemPlatformLayer());
}
