// Playback control on real media: seeks and their completions, rate,
// the end of the media and playing again after it.
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "engine/player_probe.h"
#include "platform/debug_log.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using namespace std::chrono_literals;

constexpr TimeSpan kSecond(10'000'000);

class EnginePlayback : public ::testing::Test {
 protected:
  void Open(const char* name) {
    CORVANE_REQUIRE_PLAYBACK_ELEMENTS();
    const std::string path = TestMediaPath(name);
    if (path.empty()) GTEST_SKIP() << "test media missing: " << name;
    probe_.Open(FileUri(path));
    ASSERT_TRUE(probe_.WaitForEvent("MediaOpened", 1, 10s));
  }
  TimeSpan Position() { return probe_.Session().Position(); }
  PlayerProbe probe_;
};

TEST_F(EnginePlayback, Seek_CompletesOnce_AndLandsOnTarget) {
  Open("h264_aac.mp4");
  if (IsSkipped()) return;
  probe_.Session().Position(TimeSpan(15'000'000));
  ASSERT_TRUE(probe_.WaitForEvent("SeekCompleted", 1, 5s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(probe_.Count("SeekCompleted"), 1);
  EXPECT_NEAR(Position().count(), 15'000'000, 500'000) << "accurate seek, paused";
}

TEST_F(EnginePlayback, Seek_SupersededSeeksCompleteTogether_WithTheLast) {
  Open("h264_aac.mp4");
  if (IsSkipped()) return;
  probe_.Session().Position(TimeSpan(5'000'000));
  probe_.Session().Position(TimeSpan(10'000'000));
  probe_.Session().Position(TimeSpan(22'000'000));
  ASSERT_TRUE(probe_.WaitForEvent("SeekCompleted", 3, 5s));
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(probe_.Count("SeekCompleted"), 3) << "exactly one completion per position set";
  EXPECT_NEAR(Position().count(), 22'000'000, 500'000) << "the last position wins";
}

TEST_F(EnginePlayback, Seek_FromInsideMediaOpened_CompletesOnce) {
  // The player's open path: seek to the start position inside MediaOpened
  // and wait for the completion.
  CORVANE_REQUIRE_PLAYBACK_ELEMENTS();
  const std::string path = TestMediaPath("h264_aac.mp4");
  if (path.empty()) GTEST_SKIP() << "test media missing: h264_aac.mp4";
  probe_.OnEvent("MediaOpened", [this] { probe_.Session().Position(TimeSpan(12'000'000)); });
  probe_.Open(FileUri(path));
  ASSERT_TRUE(probe_.WaitForEvent("SeekCompleted", 1, 10s));
  EXPECT_NEAR(Position().count(), 12'000'000, 500'000);
  std::this_thread::sleep_for(200ms);
  EXPECT_EQ(probe_.Count("SeekCompleted"), 1);
}

TEST_F(EnginePlayback, Position_AdvancesWhilePlaying_WithSteadyNotifications) {
  Open("h264_aac.mp4");
  if (IsSkipped()) return;
  probe_.Player().Play();
  ASSERT_TRUE(probe_.WaitFor([&] { return Position() >= kSecond; }, 5s));
  const int before = probe_.Count("PositionChanged");
  std::this_thread::sleep_for(1000ms);
  const int during = probe_.Count("PositionChanged") - before;
  EXPECT_GE(during, 4) << "at least every 250 ms";
  EXPECT_LE(during, 11) << "at most every 100 ms";
  probe_.Player().Pause();
  std::this_thread::sleep_for(200ms);
  const TimeSpan paused = Position();
  const int afterPause = probe_.Count("PositionChanged");
  std::this_thread::sleep_for(400ms);
  EXPECT_EQ(Position(), paused);
  EXPECT_EQ(probe_.Count("PositionChanged"), afterPause) << "no position ticks while paused";
}

TEST_F(EnginePlayback, Rate_PlaysFaster_WithoutSeekCompleted) {
  Open("long.mp4");
  if (IsSkipped()) return;
  probe_.Session().PlaybackRate(2.0);
  probe_.Player().Play();
  ASSERT_TRUE(probe_.WaitFor([&] { return Position() > TimeSpan(2'000'000); }, 5s));
  const TimeSpan start = Position();
  const auto wallStart = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(1500ms);
  const double media = static_cast<double>((Position() - start).count()) / 1e7;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  EXPECT_NEAR(media / wall, 2.0, 0.35);
  EXPECT_EQ(probe_.Count("SeekCompleted"), 0) << "a rate change is an internal seek";
  EXPECT_DOUBLE_EQ(probe_.Session().PlaybackRate(), 2.0);
}

TEST_F(EnginePlayback, Rate_SetWhilePaused_AppliesWhenPlaying) {
  Open("long.mp4");
  if (IsSkipped()) return;
  probe_.Session().PlaybackRate(0.5);
  std::this_thread::sleep_for(200ms);
  probe_.Player().Play();
  ASSERT_TRUE(probe_.WaitFor([&] { return Position() > TimeSpan(1'000'000); }, 5s));
  const TimeSpan start = Position();
  const auto wallStart = std::chrono::steady_clock::now();
  std::this_thread::sleep_for(1200ms);
  const double media = static_cast<double>((Position() - start).count()) / 1e7;
  const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count();
  EXPECT_NEAR(media / wall, 0.5, 0.15);
}

TEST_F(EnginePlayback, End_RaisesMediaEnded_AndPlayStartsOver) {
  Open("video_only.mp4");
  if (IsSkipped()) return;
  probe_.Session().Position(TimeSpan(15'000'000));
  ASSERT_TRUE(probe_.WaitForEvent("SeekCompleted", 1, 5s));
  probe_.Player().Play();
  ASSERT_TRUE(probe_.WaitForEvent("MediaEnded", 1, 5s));
  EXPECT_NEAR(Position().count(), probe_.Session().NaturalDuration().count(), 1'000'000);
  std::this_thread::sleep_for(300ms);
  EXPECT_EQ(probe_.Count("MediaEnded"), 1);

  probe_.Player().Play();
  ASSERT_TRUE(probe_.WaitFor([&] { return Position() < kSecond; }, 3s)) << "playing after the end restarts";
  ASSERT_TRUE(probe_.WaitForEvent("MediaEnded", 2, 5s)) << "and plays through to the end again";
  EXPECT_EQ(probe_.Count("SeekCompleted"), 1) << "the restart raises no seek completion";
}

TEST(EngineAudioOutput, UnbuildableAudioSink_FallsBack_AndPlaysInRealTime) {
  const std::string path = TestMediaPath("audio_only.m4a");
  if (path.empty()) GTEST_SKIP() << "test media missing: audio_only.m4a";
  std::mutex mutex;
  std::vector<std::string> lines;
  platform::ScopedDebugLogObserver observer([&](const std::string& line) {
    std::lock_guard<std::mutex> lock(mutex);
    lines.push_back(line);
  });
  // Not an element: the system output is used, or, with no device, a clock.
  PlayerProbe probe({}, "no-such-audio-element ! also-missing");
  {
    std::lock_guard<std::mutex> lock(mutex);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
      return line.find("no-such-audio-element") != std::string::npos && line.find("cannot be built") != std::string::npos;
    })) << "a debug line says why the description was not used";
  }
  probe.Open(FileUri(path));
  ASSERT_TRUE(probe.WaitForEvent("MediaOpened", 1, 10s));
  const auto start = std::chrono::steady_clock::now();
  probe.Player().Play();
  ASSERT_TRUE(probe.WaitForEvent("MediaEnded", 1, 10s));
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_GT(took, 1500ms) << "a 2 s clip plays at its own pace, not as fast as it decodes";
  EXPECT_EQ(probe.Count("MediaFailed"), 0);
}

TEST_F(EnginePlayback, Volume_IsClampedToUnitRange) {
  Open("audio_only.m4a");
  if (IsSkipped()) return;
  probe_.Player().Volume(1.7);
  EXPECT_DOUBLE_EQ(probe_.Player().Volume(), 1.0);
  probe_.Player().Volume(-0.5);
  EXPECT_DOUBLE_EQ(probe_.Player().Volume(), 0.0);
  probe_.Player().Volume(0.25);
  EXPECT_DOUBLE_EQ(probe_.Player().Volume(), 0.25);
}

}  // namespace
}  // namespace corvane::testing
