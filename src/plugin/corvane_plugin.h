// The plugin object of one registration: the method channel "CorvanePlugin",
// the table of players and the registration's resources.
//
// Platform thread only: construction, every method call and destruction.
// Destruction tears the players down first (each on this thread, while the
// messenger and the texture registrar still work), then removes the
// channel's handler, then drops every task still queued and releases the
// resources.
#ifndef CORVANE_PLUGIN_CORVANE_PLUGIN_H_
#define CORVANE_PLUGIN_CORVANE_PLUGIN_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "host/encodable_value.h"
#include "host/method_call.h"
#include "host/method_channel.h"
#include "host/method_result.h"
#include "host/plugin_registrar.h"
#include "platform/platform_layer.h"
#include "plugin/global_resources.h"

namespace corvane::player {
class VideoController;
}

namespace corvane::plugin {

class MethodArguments;

class CorvanePlugin : public flutter::Plugin {
 public:
  CorvanePlugin(flutter::PluginRegistrar* registrar, platform::PlatformLayer& platform);
  ~CorvanePlugin() override;

  // Answers every call exactly once; nothing it raises reaches the host.
  void HandleMethodCall(const flutter::MethodCall<flutter::EncodableValue>& call,
                        std::unique_ptr<flutter::MethodResult<flutter::EncodableValue>> result);

 private:
  // Runs one call; raises ArgumentError, UnknownPlayer or engine failures.
  // Returns false for a name that is not a method.
  bool Dispatch(const std::string& method, const MethodArguments& arguments,
                flutter::MethodResult<flutter::EncodableValue>& result);
  flutter::EncodableValue CreatePlayer();
  // Tear players down here on the platform thread: each engine player is
  // closed before the table lets go, so no engine thread (running a task
  // inline, without a queue) holds the last reference.
  void DisposePlayer(int64_t id);
  void DisposeAllPlayers();
  // The player under `id`; raises UnknownPlayer. Never adds an entry.
  player::VideoController& Player(int64_t id) const;

  flutter::PluginRegistrar* const registrar_;
  platform::PlatformLayer& platform_;
  std::unique_ptr<GlobalResources> resources_;
  std::unique_ptr<flutter::MethodChannel<flutter::EncodableValue>> methodChannel;
  std::map<int64_t, std::shared_ptr<player::VideoController>> players;
};

// Makes the plugin for `registrar` and hands it to the registrar's wrapper,
// which owns it from then on. Catches everything.
void RegisterCorvanePlugin(FlutterDesktopPluginRegistrarRef registrar, platform::PlatformLayer& platform);

}  // namespace corvane::plugin

#endif  // CORVANE_PLUGIN_CORVANE_PLUGIN_H_
