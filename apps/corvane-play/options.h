// The command line of corvane-play.
#ifndef CORVANE_APPS_PLAY_OPTIONS_H_
#define CORVANE_APPS_PLAY_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane::play {

// One `--snapshot MS:FILE.png`: the composited picture once playback has
// reached `atMs` of media time.
struct SnapshotRequest {
  int64_t atMs = 0;
  std::string file;
};

// One `--press MS:KEY[,KEY...]` (for tests and demos): the keys are
// pressed once the first player has played to `atMs` of media time. Key
// names are those of KeyFromName (key_map.h).
struct KeyPressRequest {
  int64_t atMs = 0;
  std::vector<std::string> keys;
};

struct Options {
  std::string source;  // file path, URL or "asset://" key, passed on as typed
  std::string pluginPath;
  std::optional<std::string> audioLanguage;
  std::optional<std::string> subtitleLanguage;
  bool showSubtitles = false;
  bool loop = false;
  double speed = 1.0;
  double volume = 1.0;
  int64_t startMs = 0;
  // Media time to play (loops and seeks aside); unset: to the end.
  std::optional<int64_t> durationMs;
  std::optional<uint32_t> maxWidth, maxHeight;
  std::optional<int64_t> maxBitRate;
  int players = 1;
  bool headless = false;
  std::vector<SnapshotRequest> snapshots;  // in the order given
  // Window mode: save the window's own pixels after this much wall time.
  std::optional<SnapshotRequest> screenshotAfter;
  std::vector<KeyPressRequest> presses;  // in the order given
  bool help = false;
};

// Why parsing failed, meant for the user; empty on success.
struct ParseResult {
  Options options;
  std::string error;
};

// `defaultPluginPath` is where the build put the plugin. Never exits.
ParseResult ParseOptions(const std::vector<std::string>& args, const std::string& defaultPluginPath);

std::string UsageText();

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_OPTIONS_H_
