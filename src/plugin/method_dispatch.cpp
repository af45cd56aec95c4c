// The method table of the channel "CorvanePlugin".
#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <limits>
#include <stdexcept>

#include "platform/debug_log.h"
#include "platform/hresult.h"
#include "player/video_controller.h"
#include "plugin/corvane_plugin.h"
#include "plugin/method_arguments.h"

namespace corvane::plugin {
namespace {

using flutter::EncodableValue;

class UnknownPlayer : public std::runtime_error {
 public:
  explicit UnknownPlayer(int64_t id) : std::runtime_error("no player with id " + std::to_string(id)) {}
};

std::string EngineFailureMessage(platform::hresult code, const char* text) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%08" PRIX32, static_cast<uint32_t>(code));
  return std::string(hex) + ": " + text;
}

// Dart's double as a 32-bit integer, truncated toward zero; refused when it
// does not fit.
int32_t TruncateToInt32(const MethodArguments& arguments, const std::string& method, const char* key) {
  const double value = arguments.Double(key);
  if (!(value > -2147483649.0 && value < 2147483648.0)) {
    throw ArgumentError(method + ": argument \"" + key + "\" must fit a 32-bit integer");
  }
  return static_cast<int32_t>(value);
}

}  // namespace

player::VideoController& CorvanePlugin::Player(int64_t id) const {
  const auto found = players.find(id);
  if (found == players.end()) throw UnknownPlayer(id);
  return *found->second;
}

void CorvanePlugin::HandleMethodCall(const flutter::MethodCall<EncodableValue>& call,
                                     std::unique_ptr<flutter::MethodResult<EncodableValue>> result) {
  const std::string& method = call.method_name();
  const MethodArguments arguments(method, call.arguments());
  try {
    if (!Dispatch(method, arguments, *result)) result->NotImplemented();
  } catch (const ArgumentError& error) {
    result->Error("invalid_argument", error.what());
  } catch (const UnknownPlayer& error) {
    result->Error("unknown_player", error.what());
  } catch (const platform::hresult_error& error) {
    result->Error("engine_error", EngineFailureMessage(error.code(), error.what()));
  } catch (const std::exception& error) {
    const platform::hresult code = platform::ToHresult([&] { throw; });
    result->Error("engine_error", EngineFailureMessage(code, error.what()));
  } catch (...) {
    result->Error("engine_error", EngineFailureMessage(platform::kFail, "unknown failure"));
  }
}

bool CorvanePlugin::Dispatch(const std::string& method, const MethodArguments& arguments,
                             flutter::MethodResult<EncodableValue>& result) {
  if (method == "create") {
    result.Success(CreatePlayer());
    return true;
  }
  if (method == "dispose") {
    if (arguments.IsNull()) {
      DisposeAllPlayers();
    } else {
      DisposePlayer(arguments.BareId());
    }
    result.Success();
    return true;
  }
  if (method == "close") {
    Player(arguments.BareId()).CloseSource();
  } else if (method == "play") {
    Player(arguments.BareId()).Play();
  } else if (method == "pause") {
    Player(arguments.BareId()).Pause();
  } else if (method == "open") {
    auto& player = Player(arguments.Integer("id"));
    player.Open(arguments.String("value"));
  } else if (method == "seekTo") {
    auto& player = Player(arguments.Integer("id"));
    player.SeekTo(std::max<int64_t>(arguments.Integer("position"), 0));
  } else if (method == "setVolume") {
    auto& player = Player(arguments.Integer("id"));
    player.SetVolume(static_cast<float>(std::clamp(arguments.Double("value"), 0.0, 1.0)));
  } else if (method == "setSpeed") {
    auto& player = Player(arguments.Integer("id"));
    const double rate = arguments.Double("value");
    const auto narrowed = static_cast<float>(std::min(rate, static_cast<double>(std::numeric_limits<float>::max())));
    if (!(narrowed > 0.0f)) throw ArgumentError(method + ": argument \"value\" must be a speed above 0");
    player.SetSpeed(narrowed);
  } else if (method == "setLooping") {
    auto& player = Player(arguments.Integer("id"));
    player.SetLooping(arguments.Bool("value"));
  } else if (method == "setMaxResolution") {
    auto& player = Player(arguments.Integer("id"));
    const int32_t width = TruncateToInt32(arguments, method, "width");
    const int32_t height = TruncateToInt32(arguments, method, "height");
    player.SetMaxResolution(width, height);
  } else if (method == "setMaxBitRate") {
    auto& player = Player(arguments.Integer("id"));
    player.SetMaxBitRate(static_cast<int32_t>(static_cast<uint32_t>(arguments.Integer("value"))));
  } else if (method == "setPreferredSubtitleLanguage") {
    auto& player = Player(arguments.Integer("id"));
    player.SetPreferredSubtitleLanguage(arguments.String("value"));
  } else if (method == "setPreferredAudioLanguage") {
    auto& player = Player(arguments.Integer("id"));
    player.SetPreferredAudioLanguage(arguments.String("value"));
  } else if (method == "setShowSubtitle") {
    auto& player = Player(arguments.Integer("id"));
    player.SetShowSubtitle(arguments.Bool("value"));
  } else if (method == "overrideTrack") {
    auto& player = Player(arguments.Integer("id"));
    const int32_t group = arguments.Int32("groupId");
    const int32_t track = arguments.Int32("trackId");
    const bool enabled = arguments.Bool("enabled");
    player.OverrideTrack(group, track, enabled);
  } else {
    return false;
  }
  result.Success();
  return true;
}

}  // namespace corvane::plugin
