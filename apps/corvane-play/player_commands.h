// The method calls the demo player sends, as a Flutter app would: set-up
// before a source opens, what follows "mediaInfo", and one set per key.
// Pure: they build calls and update the view's idea of the settings; the
// caller sends them in order.
#ifndef CORVANE_APPS_PLAY_PLAYER_COMMANDS_H_
#define CORVANE_APPS_PLAY_PLAYER_COMMANDS_H_

#include <string>
#include <vector>

#include "host/encodable_value.h"
#include "options.h"
#include "player_view.h"

namespace corvane::play {

struct PluginCall {
  std::string method;
  flutter::EncodableValue arguments;
};

// Settings a source opens with: volume, speed, looping, subtitles shown and
// the language preferences (the plugin applies these when the source has
// loaded). Also records them in `view`.
std::vector<PluginCall> SetupCalls(const Options& options, PlayerView* view);

// "open", then the start position: a seek made while the source opens is
// kept by the plugin and applied once it has loaded.
std::vector<PluginCall> OpenCalls(const Options& options, const PlayerView& view);

// After "mediaInfo": the video limits (the plugin applies them only to a
// loaded source) and "play".
std::vector<PluginCall> LoadedCalls(const Options& options, PlayerView* view);

enum class Key {
  kPlayPause,    // space
  kSeekBack,     // left
  kSeekForward,  // right
  kVolumeUp,     // up
  kVolumeDown,   // down
  kSlower,       // [
  kFaster,       // ]
  kSubtitles,    // s: on/off
  kNextAudio,    // a
  kNextSubtitle, // t
  kLooping,      // l
};

constexpr int64_t kSeekStepMs = 5000;
constexpr double kVolumeStep = 0.1;

// The calls for one key press on one player, with `view` updated to what
// they ask for. A key that means nothing in the player's phase (seeking
// before the source has loaded, a track key without tracks) gives none.
std::vector<PluginCall> KeyCalls(Key key, PlayerView* view);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_PLAYER_COMMANDS_H_
