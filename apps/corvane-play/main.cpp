// corvane-play: plays a source through the Corvane plugin exactly as a
// Flutter app would, over its method and event channels, in a window or
// headless.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "headless_runner.h"
#include "options.h"
#include "plugin_session.h"
#include "window_runner.h"

#ifndef CORVANE_PLUGIN_DEFAULT_PATH
#define CORVANE_PLUGIN_DEFAULT_PATH "libcorvane_plugin.so"
#endif

namespace {

bool HasDisplay() {
  const char* x11 = std::getenv("DISPLAY");
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  return (x11 != nullptr && *x11 != '\0') || (wayland != nullptr && *wayland != '\0');
}

}  // namespace

int main(int argc, char** argv) {
  using namespace corvane::play;
  const ParseResult parsed = ParseOptions(std::vector<std::string>(argv + 1, argv + argc), CORVANE_PLUGIN_DEFAULT_PATH);
  if (!parsed.error.empty()) {
    std::cerr << "corvane-play: " << parsed.error << "\n" << "Try 'corvane-play --help'.\n";
    return kExitUsage;
  }
  Options options = parsed.options;
  if (options.help) {
    std::cout << UsageText();
    return kExitOk;
  }

  std::unique_ptr<Window> window;
  if (!options.headless) {
    std::string why;
    if (HasDisplay()) window = Window::Open(options, &why);
    if (!window) {
      std::cerr << "corvane-play: " << (why.empty() ? "no display" : why) << "; playing headless\n";
      options.headless = true;
    }
  }
  if (!options.headless && !options.snapshots.empty()) {
    std::cerr << "corvane-play: --snapshot is taken in headless mode only; ignored\n";
  }

  std::string error;
  std::unique_ptr<PluginSession> session = PluginSession::Start(options.pluginPath, !options.headless, &error);
  if (!session) {
    std::cerr << "corvane-play: " << error << '\n';
    return kExitNoPlugin;
  }
  if (options.headless) return RunHeadless(options, std::move(session), std::cout, std::cerr);
  const int code = window->Run(options, *session, std::cout, std::cerr);
  session.reset();
  return code;
}
