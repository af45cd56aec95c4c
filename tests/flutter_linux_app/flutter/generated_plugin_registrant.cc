// The registrant of a Flutter Linux app with Corvane as its one plugin,
// written the way flutter_tools generates it: the registrar for the
// pubspec's pluginClass, the entry point named after it in snake case, and
// the registrar's reference dropped right after the call.
#include "generated_plugin_registrant.h"

#include <corvane/corvane_plugin.h>

void fl_register_plugins(FlPluginRegistry* registry) {
  g_autoptr(FlPluginRegistrar) corvane_registrar =
      fl_plugin_registry_get_registrar_for_plugin(registry, "CorvanePlugin");
  corvane_plugin_register_with_registrar(corvane_registrar);
}
