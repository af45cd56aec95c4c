// The entry point a Flutter Linux app's generated registrant calls:
//   g_autoptr(FlPluginRegistrar) corvane_registrar =
//       fl_plugin_registry_get_registrar_for_plugin(registry, "CorvanePlugin");
//   corvane_plugin_register_with_registrar(corvane_registrar);
#ifndef FLUTTER_PLUGIN_CORVANE_PLUGIN_H_
#define FLUTTER_PLUGIN_CORVANE_PLUGIN_H_

#include <flutter_linux/flutter_linux.h>

G_BEGIN_DECLS

#ifdef FLUTTER_PLUGIN_IMPL
#define FLUTTER_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define FLUTTER_PLUGIN_EXPORT
#endif

// Registers the plugin with the app's engine: the method channel
// "CorvanePlugin" and, per player, an event channel and two textures. The
// plugin keeps what it needs of `registrar` (the caller may drop its
// reference at once) and lives until the engine goes. Main thread.
FLUTTER_PLUGIN_EXPORT void corvane_plugin_register_with_registrar(FlPluginRegistrar* registrar);

G_END_DECLS

#endif  // FLUTTER_PLUGIN_CORVANE_PLUGIN_H_
