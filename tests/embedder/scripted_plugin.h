// A small in-process plugin built on the `flutter` binding, driven by the
// test that registers it: it opens a method channel and, optionally, an
// event channel, and runs the test's code when it is destroyed.
#ifndef CORVANE_TESTS_EMBEDDER_SCRIPTED_PLUGIN_H_
#define CORVANE_TESTS_EMBEDDER_SCRIPTED_PLUGIN_H_

#include <functional>
#include <memory>
#include <string>

#include "embedder/engine.h"
#include "host/event_stream_handler.h"
#include "host/method_channel.h"
#include "host/plugin_registrar_windows.h"

namespace corvane::embedder::testing {

inline constexpr char kMethodChannel[] = "test/methods";
inline constexpr char kEventChannel[] = "test/events";

struct ScriptedPluginConfig {
  // Handles calls on kMethodChannel; none: the channel is not opened.
  flutter::MethodCallHandler<flutter::EncodableValue> onMethodCall;
  // Builds the stream handler of kEventChannel; none: not opened.
  std::function<std::unique_ptr<flutter::StreamHandler<flutter::EncodableValue>>()> makeStreamHandler;
  // Runs on the platform thread once the plugin is built.
  std::function<void(flutter::PluginRegistrarWindows& registrar)> onRegistered;
  // Runs inside the plugin's destructor.
  std::function<void(flutter::PluginRegistrarWindows& registrar)> onDestroyed;
};

// The entry point that registers one plugin with `config`.
PluginEntryPoint ScriptedPluginEntry(ScriptedPluginConfig config);

// The process's codec, as plugins use it.
const flutter::MethodCodec<flutter::EncodableValue>& TestCodec();

}  // namespace corvane::embedder::testing

#endif  // CORVANE_TESTS_EMBEDDER_SCRIPTED_PLUGIN_H_
