// The plugin's one exported function, as Flutter's generated plugin
// registrant calls it:
//   CorvanePluginCApiRegisterWithRegistrar(
//       registry->GetRegistrarForPlugin("CorvanePluginCApi"));
//
// In an app the embedding's <flutter_plugin_registrar.h> declares the
// registrar handle; building the plugin itself (FLUTTER_PLUGIN_IMPL), or
// where that header is absent, the handle is declared here, the same
// opaque pointer type.
#ifndef CORVANE_CORVANE_PLUGIN_C_API_H_
#define CORVANE_CORVANE_PLUGIN_C_API_H_

#if !defined(FLUTTER_PLUGIN_IMPL) && defined(__has_include)
#if __has_include(<flutter_plugin_registrar.h>)
#include <flutter_plugin_registrar.h>
#define CORVANE_HAS_FLUTTER_PLUGIN_REGISTRAR 1
#endif
#endif

#ifndef CORVANE_HAS_FLUTTER_PLUGIN_REGISTRAR
typedef struct FlutterDesktopPluginRegistrar* FlutterDesktopPluginRegistrarRef;
#endif

#ifndef FLUTTER_PLUGIN_EXPORT
#if defined(_WIN32)
#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __declspec(dllexport)
#else
#define FLUTTER_PLUGIN_EXPORT __declspec(dllimport)
#endif
#else
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Platform thread of the engine, once per engine: builds the plugin and
// hands it to the registrar, which destroys it with itself.
FLUTTER_PLUGIN_EXPORT void CorvanePluginCApiRegisterWithRegistrar(FlutterDesktopPluginRegistrarRef registrar);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // CORVANE_CORVANE_PLUGIN_C_API_H_
