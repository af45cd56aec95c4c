// The calls the demo sends: argument names and value kinds as the plugin
// reads them (a double where it wants a double, int32 where it wants
// int32), and what each key does in each phase.
#include "player_commands.h"

#include <gtest/gtest.h>
#include <SDL_keycode.h>

#include "key_map.h"

namespace corvane::play {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

const EncodableValue& Arg(const PluginCall& call, const char* key) {
  static const EncodableValue missing;
  const auto* map = std::get_if<EncodableMap>(&call.arguments);
  if (map == nullptr) return missing;
  auto it = map->find(EncodableValue(key));
  return it == map->end() ? missing : it->second;
}

std::vector<std::string> Methods(const std::vector<PluginCall>& calls) {
  std::vector<std::string> names;
  for (const PluginCall& call : calls) names.push_back(call.method);
  return names;
}

PlayerView Loaded(Phase phase = Phase::kPlaying) {
  PlayerView view;
  view.id = 7;
  view.phase = phase;
  view.durationMs = 20000;
  view.positionMs = 10000;
  view.audioTracks = {TrackInfo{0, 0, "English", "en", "AAC"}, TrackInfo{0, 1, "Français", "fr", "AAC"}};
  view.subtitleTracks = {TrackInfo{2, 1, "English", "en", "subtitle"}, TrackInfo{2, 3, "French", "fr", "subtitle"}};
  return view;
}

TEST(PlayerCommands, SetupSendsSettingsWithTheKindsThePluginReads) {
  Options options;
  options.volume = 0.5;
  options.speed = 2;
  options.subtitleLanguage = "fr";
  PlayerView view;
  view.id = 3;
  const std::vector<PluginCall> calls = SetupCalls(options, &view);
  EXPECT_EQ(Methods(calls), (std::vector<std::string>{"setVolume", "setSpeed", "setLooping", "setShowSubtitle",
                                                       "setPreferredSubtitleLanguage"}));
  EXPECT_EQ(Arg(calls[0], "id"), EncodableValue(int64_t{3}));
  EXPECT_EQ(Arg(calls[0], "value"), EncodableValue(0.5));  // a double, even for whole numbers:
  EXPECT_EQ(Arg(calls[1], "value"), EncodableValue(2.0));  // the plugin refuses an integer volume or speed
  EXPECT_EQ(Arg(calls[3], "value"), EncodableValue(false));
  EXPECT_EQ(Arg(calls[4], "value"), EncodableValue("fr"));
  EXPECT_EQ(view.preferredSubtitleLanguage, "fr");
}

TEST(PlayerCommands, OpenThenStartPositionWhileOpening) {
  Options options;
  options.source = "asset://videos/clip.mp4";
  options.startMs = 3000;
  PlayerView view;
  view.id = 3;
  const std::vector<PluginCall> calls = OpenCalls(options, view);
  EXPECT_EQ(Methods(calls), (std::vector<std::string>{"open", "seekTo"}));
  EXPECT_EQ(Arg(calls[0], "value"), EncodableValue("asset://videos/clip.mp4"));
  EXPECT_EQ(Arg(calls[1], "position"), EncodableValue(int64_t{3000}));
  options.startMs = 0;
  EXPECT_EQ(Methods(OpenCalls(options, view)), std::vector<std::string>{"open"});
}

TEST(PlayerCommands, LimitsFollowLoadingAndPlayComesLastWithABareId) {
  Options options;
  options.maxWidth = 1280;
  options.maxHeight = 720;
  options.maxBitRate = 800000;
  PlayerView view = Loaded(Phase::kPaused);
  const std::vector<PluginCall> calls = LoadedCalls(options, &view);
  EXPECT_EQ(Methods(calls), (std::vector<std::string>{"setMaxResolution", "setMaxBitRate", "play"}));
  EXPECT_EQ(Arg(calls[0], "width"), EncodableValue(1280.0));
  EXPECT_EQ(Arg(calls[0], "height"), EncodableValue(720.0));
  EXPECT_EQ(Arg(calls[1], "value"), EncodableValue(int64_t{800000}));
  EXPECT_EQ(calls[2].arguments, EncodableValue(int64_t{7}));
  EXPECT_EQ(view.phase, Phase::kPlaying);
}

TEST(KeyCalls, SpaceTogglesAndStartsOverAfterTheEnd) {
  PlayerView view = Loaded(Phase::kPlaying);
  EXPECT_EQ(Methods(KeyCalls(Key::kPlayPause, &view)), std::vector<std::string>{"pause"});
  EXPECT_EQ(Methods(KeyCalls(Key::kPlayPause, &view)), std::vector<std::string>{"play"});
  view.phase = Phase::kFinished;
  const std::vector<PluginCall> again = KeyCalls(Key::kPlayPause, &view);
  EXPECT_EQ(Methods(again), (std::vector<std::string>{"seekTo", "play"}));
  EXPECT_EQ(Arg(again[0], "position"), EncodableValue(int64_t{0}));
  view.phase = Phase::kOpening;
  EXPECT_TRUE(KeyCalls(Key::kPlayPause, &view).empty());  // the plugin would refuse it
  view.phase = Phase::kFailed;
  EXPECT_TRUE(KeyCalls(Key::kPlayPause, &view).empty());
}

TEST(KeyCalls, SeeksStayWithinTheMedia) {
  PlayerView view = Loaded();
  view.positionMs = 3000;
  EXPECT_EQ(Arg(KeyCalls(Key::kSeekBack, &view)[0], "position"), EncodableValue(int64_t{0}));
  view.positionMs = 17000;
  EXPECT_EQ(Arg(KeyCalls(Key::kSeekForward, &view)[0], "position"), EncodableValue(int64_t{20000}));
  view.positionMs = 8000;
  EXPECT_EQ(Arg(KeyCalls(Key::kSeekForward, &view)[0], "position"), EncodableValue(int64_t{13000}));
  view.durationMs = 0;  // live: no end to clamp to
  EXPECT_EQ(Arg(KeyCalls(Key::kSeekForward, &view)[0], "position"), EncodableValue(int64_t{13000}));
  view.phase = Phase::kOpening;
  EXPECT_TRUE(KeyCalls(Key::kSeekForward, &view).empty());
}

TEST(KeyCalls, VolumeAndSpeedStepAndStopAtTheirEnds) {
  PlayerView view = Loaded();
  view.volume = 0.95;
  EXPECT_EQ(Arg(KeyCalls(Key::kVolumeUp, &view)[0], "value"), EncodableValue(1.0));
  EXPECT_EQ(Arg(KeyCalls(Key::kVolumeUp, &view)[0], "value"), EncodableValue(1.0));
  for (int i = 0; i < 12; ++i) KeyCalls(Key::kVolumeDown, &view);
  EXPECT_EQ(view.volume, 0.0);

  view.speed = 1.0;
  EXPECT_EQ(Arg(KeyCalls(Key::kFaster, &view)[0], "value"), EncodableValue(1.25));
  view.speed = 1.1;  // from --speed: the next step either way
  EXPECT_EQ(Arg(KeyCalls(Key::kSlower, &view)[0], "value"), EncodableValue(1.0));
  view.speed = 2.0;
  EXPECT_TRUE(KeyCalls(Key::kFaster, &view).empty());
  view.speed = 0.25;
  EXPECT_TRUE(KeyCalls(Key::kSlower, &view).empty());
}

TEST(KeyCalls, TrackKeysCycleThroughMediaInfoPositionsAsInt32) {
  PlayerView view = Loaded();
  std::vector<PluginCall> calls = KeyCalls(Key::kNextSubtitle, &view);
  // Cycling a subtitle track while they are hidden shows them.
  ASSERT_EQ(Methods(calls), (std::vector<std::string>{"setShowSubtitle", "overrideTrack"}));
  EXPECT_EQ(Arg(calls[1], "groupId"), EncodableValue(int32_t{2}));
  EXPECT_EQ(Arg(calls[1], "trackId"), EncodableValue(int32_t{1}));  // the engine position, not the list index
  EXPECT_EQ(Arg(calls[1], "enabled"), EncodableValue(true));
  EXPECT_EQ(Arg(KeyCalls(Key::kNextSubtitle, &view).back(), "trackId"), EncodableValue(int32_t{3}));
  EXPECT_EQ(Arg(KeyCalls(Key::kNextSubtitle, &view).back(), "trackId"), EncodableValue(int32_t{1}));  // wraps

  view.currentAudio = 1;
  calls = KeyCalls(Key::kNextAudio, &view);
  EXPECT_EQ(Arg(calls[0], "groupId"), EncodableValue(int32_t{0}));
  EXPECT_EQ(Arg(calls[0], "trackId"), EncodableValue(int32_t{0}));

  view.audioTracks.clear();
  EXPECT_TRUE(KeyCalls(Key::kNextAudio, &view).empty());
  PlayerView opening = Loaded(Phase::kOpening);
  EXPECT_TRUE(KeyCalls(Key::kNextSubtitle, &opening).empty());
}

TEST(KeyCalls, TogglesFlipSubtitlesAndLooping) {
  PlayerView view = Loaded();
  EXPECT_EQ(Arg(KeyCalls(Key::kSubtitles, &view)[0], "value"), EncodableValue(true));
  EXPECT_EQ(Arg(KeyCalls(Key::kSubtitles, &view)[0], "value"), EncodableValue(false));
  EXPECT_EQ(Arg(KeyCalls(Key::kLooping, &view)[0], "value"), EncodableValue(true));
  EXPECT_TRUE(view.looping);
}

TEST(KeyMap, ScriptedKeyNamesTakeTheRoadOfRealKeys_AndOnlyRealKeysQuit) {
  for (const char* name : {"space", "left", "right", "up", "down", "[", "]", "s", "a", "t", "l"}) {
    const int32_t keycode = SdlKeycodeFromName(name);
    ASSERT_NE(keycode, 0) << name;
    EXPECT_EQ(KeyFromName(name), MapSdlKey(keycode).key) << name;
    EXPECT_TRUE(KeyFromName(name).has_value()) << name;
  }
  EXPECT_EQ(SdlKeycodeFromName("q"), 0);  // a script never quits
  EXPECT_FALSE(KeyFromName("Space").has_value());
  EXPECT_TRUE(MapSdlKey(SDLK_q).quit);
  EXPECT_TRUE(MapSdlKey(SDLK_ESCAPE).quit);
  EXPECT_FALSE(MapSdlKey(SDLK_z).key.has_value());
  EXPECT_FALSE(MapSdlKey(SDLK_z).quit);
}

}  // namespace
}  // namespace corvane::play
