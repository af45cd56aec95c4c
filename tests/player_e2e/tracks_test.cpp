// Track choice as Dart makes it, judged by what can be observed from
// outside: the tone of the audio the player plays (multi.mkv: English
// 440 Hz, French 660 Hz, German 880 Hz) and the subtitle texture's content
// (English "Hello", French "Bonjour" from 0.5 s to 1.5 s).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "player_e2e/media_facts.h"
#include "player_e2e/plugin_session.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

constexpr double kEnglishHz = 440, kFrenchHz = 660, kGermanHz = 880;

// Every player of these tests writes what it plays to `capture`, and the
// user's languages are whatever the test sets (none by default).
class Tracks : public PluginSession {
 protected:
  void SetUp() override {
    ::setenv("CORVANE_AUDIO_SINK", capture.SinkDescription().c_str(), 1);
    ::unsetenv("LANGUAGE");
    ::setenv("LC_ALL", "C", 1);
    PluginSession::SetUp();
  }
  void TearDown() override {
    PluginSession::TearDown();
    ::setenv("CORVANE_AUDIO_SINK", "fakesink sync=true", 1);
    ::unsetenv("LC_ALL");
  }

  // Opens multi.mkv in a new player and waits until it has loaded.
  DartPlayer OpenMulti() {
    DartPlayer player = Create();
    const std::string path = TestMediaPath("multi.mkv");
    if (player.id < 0 || path.empty()) return player;
    Open(player, std::filesystem::absolute(path).string());
    const auto info = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 10s);
    EXPECT_TRUE(info && info->Name() == "mediaInfo");
    return player;
  }

  embedder::MethodResponse Override(const DartPlayer& player, int32_t group, int32_t track, bool enabled) {
    return Call("overrideTrack", EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(player.id)},
                                                             {EncodableValue("groupId"), EncodableValue(group)},
                                                             {EncodableValue("trackId"), EncodableValue(track)},
                                                             {EncodableValue("enabled"), EncodableValue(enabled)}}));
  }

  // The tone of the last quarter second played, after letting a change
  // settle for `settle`: a new track is heard once the audio already on its
  // way to the output (about a second of it) has played.
  double ToneNow(std::chrono::milliseconds settle = 1500ms) {
    std::this_thread::sleep_for(settle);
    const auto samples = capture.Samples();
    const size_t window = AudioCapture::kRate / 4;
    if (samples.size() < window) return 0;
    return ToneFrequency(samples, samples.size() - window, window);
  }

  double LoudnessNow(std::chrono::milliseconds settle = 600ms) {
    std::this_thread::sleep_for(settle);
    const auto samples = capture.Samples();
    const size_t window = AudioCapture::kRate / 4;
    if (samples.size() < window) return 0;
    return Loudness(samples, samples.size() - window, window);
  }

  // The subtitle texture's ink once it has some, 0 when none comes.
  size_t SubtitleInk(const DartPlayer& player) {
    const auto frame = engine().WaitForFrame(
        player.subtitleId, [](const embedder::TextureFrame& f) { return InkColumns(f) > 0; }, 3s);
    return frame ? InkColumns(*frame) : 0;
  }

  // Whether the subtitle texture stays free of ink (null or transparent).
  bool SubtitleStaysClear(const DartPlayer& player) {
    std::this_thread::sleep_for(300ms);
    const auto frame = engine().FetchTexture(player.subtitleId);
    return frame && (!frame->HasPixels() || InkColumns(*frame) == 0);
  }

  // Back to the start (the clip is 4 s long), so that the next change is
  // heard well before the end.
  void Rewind(const DartPlayer& player) {
    ASSERT_TRUE(CallWith(player.id, "seekTo", "position", EncodableValue(int64_t{0})).IsSuccess());
    ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  }
  // Rewind, then play on a little, so that the change is heard from steady
  // playback (switches right after seeks have a test of their own).
  void RewindAndSettle(const DartPlayer& player) {
    Rewind(player);
    std::this_thread::sleep_for(400ms);
  }

  AudioCapture capture;
};

#define REQUIRE_MULTI() CORVANE_REQUIRE_MEDIA(multiPath, "multi.mkv")

TEST_F(Tracks, AudioLanguage_StoredBeforeOpening_ChoosesTheTrackPlayed) {
  REQUIRE_MULTI();
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  ASSERT_TRUE(CallWith(player.id, "setPreferredAudioLanguage", "value", EncodableValue("fr")).IsSuccess());
  Open(player, std::filesystem::absolute(multiPath).string());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  Play(player);
  EXPECT_NEAR(ToneNow(), kFrenchHz, 30);
  EXPECT_EQ(player.events->WaitForEventNamed("error", 10ms), std::nullopt);
}

TEST_F(Tracks, AudioLanguage_FromTheUsersLocale_WhenNoneIsStored) {
  REQUIRE_MULTI();
  ::setenv("LC_ALL", "de_DE.UTF-8", 1);  // read when the source opens
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  Play(player);
  EXPECT_NEAR(ToneNow(), kGermanHz, 30);
}

TEST_F(Tracks, AudioLanguage_ChangedWhilePlaying_SwitchesTheTrack_UnlessOverridden) {
  REQUIRE_MULTI();
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  Play(player);
  EXPECT_NEAR(ToneNow(800ms), kEnglishHz, 30) << "no preference and no user language: the first track";

  RewindAndSettle(player);
  ASSERT_TRUE(CallWith(player.id, "setPreferredAudioLanguage", "value", EncodableValue("de")).IsSuccess());
  EXPECT_NEAR(ToneNow(), kGermanHz, 30);

  RewindAndSettle(player);
  ASSERT_TRUE(Override(player, 0, 1, true).IsSuccess());
  ASSERT_TRUE(CallWith(player.id, "setPreferredAudioLanguage", "value", EncodableValue("en")).IsSuccess());
  EXPECT_NEAR(ToneNow(), kFrenchHz, 30) << "an override outlasts a new preference";

  RewindAndSettle(player);
  ASSERT_TRUE(Override(player, 0, 1, false).IsSuccess());
  EXPECT_NEAR(ToneNow(), kEnglishHz, 30) << "clearing the override goes back to the preference";
  EXPECT_EQ(player.events->WaitForEventNamed("error", 10ms), std::nullopt);
}

TEST_F(Tracks, AudioSwitch_IsKept_WhenTheClipLoops) {
  REQUIRE_MULTI();
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  ASSERT_TRUE(CallWith(player.id, "setLooping", "value", EncodableValue(true)).IsSuccess());
  Play(player);
  std::this_thread::sleep_for(500ms);
  ASSERT_TRUE(Override(player, 0, 2, true).IsSuccess());
  EXPECT_NEAR(ToneNow(), kGermanHz, 30);
  ASSERT_TRUE(player.events->WaitForEventNamed("finished", 4s));
  EXPECT_NEAR(ToneNow(), kGermanHz, 30) << "the chosen track plays on after the loop";
}

// A switch in the last second, when the newly chosen stream has already
// delivered its end: the media still ends, and the loop plays that track.
TEST_F(Tracks, AudioSwitch_InTheLastSecond_StillEndsAndLoops) {
  REQUIRE_MULTI();
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  ASSERT_TRUE(CallWith(player.id, "setLooping", "value", EncodableValue(true)).IsSuccess());
  Play(player);
  ASSERT_TRUE(player.events->WaitForEvent(
      [](const embedder::StreamEvent& e) { return e.Name() == "position" && IntegerOf(e, "value") >= 3300; }, 6s));
  ASSERT_TRUE(Override(player, 0, 2, true).IsSuccess());
  ASSERT_TRUE(player.events->WaitForEventNamed("finished", 3s))
      << "playback stalled after the switch at " << Positions(*player.events).back() << " ms";
  EXPECT_NEAR(ToneNow(), kGermanHz, 30) << "the track chosen just before the end plays after the restart";
}

// Two switches in a row: the second restreams from where the first put
// playback, not from the doubled position the sinks report until the
// pipeline plays again (it once skipped as much as had played).
TEST_F(Tracks, TwoQuickAudioOverrides_SkipNothing) {
  REQUIRE_MULTI();
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  Play(player);
  ASSERT_TRUE(player.events->WaitForEvent(
      [](const embedder::StreamEvent& e) { return e.Name() == "position" && IntegerOf(e, "value") >= 1500; }, 5s));
  const int64_t reached = Positions(*player.events).back();
  const size_t before = player.events->History().size();
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(Override(player, 0, 1, true).IsSuccess());
  ASSERT_TRUE(Override(player, 0, 2, true).IsSuccess());
  std::this_thread::sleep_for(700ms);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  const auto history = player.events->History();
  for (size_t i = before; i < history.size(); ++i) {
    if (history[i].Name() != "position") continue;
    EXPECT_LE(IntegerOf(history[i], "value"), reached + elapsed.count() + 300) << "no content is skipped";
  }
  EXPECT_NEAR(ToneNow(1s), kGermanHz, 30);
}

// Audio switches between tracks of different formats, each right after a
// seek: every later seek completes and the last chosen track is heard.
TEST_F(Tracks, AudioSwitchesRightAfterSeeks_KeepPlaybackGoing) {
  REQUIRE_MULTI();
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  Play(player);
  std::this_thread::sleep_for(500ms);
  for (int round = 0; round < 8; ++round) {
    SCOPED_TRACE(round);
    Rewind(player);
    ASSERT_TRUE(Override(player, 0, round % 2 == 0 ? 1 : 2, true).IsSuccess());
    std::this_thread::sleep_for(200ms);
  }
  Rewind(player);
  EXPECT_NEAR(ToneNow(), kGermanHz, 30);
}

TEST_F(Tracks, Volume_ScalesWhatIsPlayed_AndSurvivesTheNextSource) {
  REQUIRE_MULTI();
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  Play(player);
  const double full = LoudnessNow(800ms);
  Rewind(player);
  ASSERT_GT(full, 1000) << "the tone is audible at full volume";
  ASSERT_TRUE(CallWith(player.id, "setVolume", "value", EncodableValue(0.25)).IsSuccess());
  EXPECT_NEAR(LoudnessNow() / full, 0.25, 0.05);

  Open(player, std::filesystem::absolute(multiPath).string());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  Play(player);
  EXPECT_NEAR(LoudnessNow(800ms) / full, 0.25, 0.05) << "the volume is applied to the next source as it opens";
}

TEST_F(Tracks, Subtitles_AreDrawnDuringACue_OnlyWhileShown) {
  REQUIRE_MULTI();
  DartPlayer player = OpenMulti();
  ASSERT_GE(player.id, 0);
  ASSERT_TRUE(CallWith(player.id, "setPreferredSubtitleLanguage", "value", EncodableValue("en")).IsSuccess());
  ASSERT_TRUE(CallWith(player.id, "seekTo", "position", EncodableValue(int64_t{1000})).IsSuccess());
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  EXPECT_TRUE(SubtitleStaysClear(player)) << "hidden subtitles are never offered";

  ASSERT_TRUE(CallWith(player.id, "setShowSubtitle", "value", EncodableValue(true)).IsSuccess());
  EXPECT_GT(SubtitleInk(player), 0u) << "the cue is drawn once subtitles are shown";
  ASSERT_TRUE(CallWith(player.id, "setShowSubtitle", "value", EncodableValue(false)).IsSuccess());
  EXPECT_TRUE(SubtitleStaysClear(player));

  ASSERT_TRUE(CallWith(player.id, "setShowSubtitle", "value", EncodableValue(true)).IsSuccess());
  ASSERT_TRUE(CallWith(player.id, "seekTo", "position", EncodableValue(int64_t{1750})).IsSuccess());
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  EXPECT_TRUE(SubtitleStaysClear(player)) << "between cues nothing is drawn";
}

// While paused, a newly chosen text stream has not delivered its cues yet;
// each check seeks into the first cue (0.5 s to 1.5 s) to have it drawn.
TEST_F(Tracks, SubtitleChoice_FollowsLanguageAndOverrides_InTheDrawnCue) {
  REQUIRE_MULTI();
  DartPlayer player = Create();
  ASSERT_GE(player.id, 0);
  ASSERT_TRUE(CallWith(player.id, "setPreferredSubtitleLanguage", "value", EncodableValue("en")).IsSuccess());
  ASSERT_TRUE(CallWith(player.id, "setShowSubtitle", "value", EncodableValue(true)).IsSuccess());
  Open(player, std::filesystem::absolute(multiPath).string());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 10s));
  auto seekIntoTheCue = [&](int64_t at) {
    ASSERT_TRUE(CallWith(player.id, "seekTo", "position", EncodableValue(at)).IsSuccess());
    ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  };
  seekIntoTheCue(1000);
  const size_t hello = SubtitleInk(player);
  ASSERT_GT(hello, 0u) << "the English cue is drawn";

  // "Bonjour" is drawn wider than "Hello".
  auto widerThanHello = [&](const embedder::TextureFrame& frame) { return InkColumns(frame) > hello * 6 / 5; };
  auto likeHello = [&](const embedder::TextureFrame& frame) {
    const size_t ink = InkColumns(frame);
    return ink > 0 && ink <= hello + 2;
  };
  ASSERT_TRUE(CallWith(player.id, "setPreferredSubtitleLanguage", "value", EncodableValue("fr")).IsSuccess());
  seekIntoTheCue(1100);
  EXPECT_TRUE(engine().WaitForFrame(player.subtitleId, widerThanHello, 3s)) << "the French cue replaces it";

  ASSERT_TRUE(Override(player, 2, -1, true).IsSuccess());
  seekIntoTheCue(1000);
  EXPECT_TRUE(SubtitleStaysClear(player)) << "overriding with no track turns subtitles off";

  ASSERT_TRUE(Override(player, 2, 0, true).IsSuccess());
  seekIntoTheCue(1100);
  EXPECT_TRUE(engine().WaitForFrame(player.subtitleId, likeHello, 3s)) << "the English track by override";
  ASSERT_TRUE(CallWith(player.id, "setPreferredSubtitleLanguage", "value", EncodableValue("fr")).IsSuccess());
  seekIntoTheCue(1000);
  std::this_thread::sleep_for(300ms);
  const auto kept = engine().FetchTexture(player.subtitleId);
  ASSERT_TRUE(kept && kept->HasPixels());
  EXPECT_TRUE(likeHello(*kept)) << "a preference does not undo an override";

  ASSERT_TRUE(Override(player, 2, 0, false).IsSuccess());
  seekIntoTheCue(1100);
  EXPECT_TRUE(engine().WaitForFrame(player.subtitleId, widerThanHello, 3s)) << "clearing it returns to French";
}

}  // namespace
}  // namespace corvane::testing
