// An app that opens, seeks and disposes players one after another, as a
// feed of clips does. Dispose must answer at once whatever the engine is
// doing (the app's UI thread waits for it), and every engine thread must
// end after it.
//
// CORVANE_DISPOSE_CYCLES: cycles per variant (12 by default); a block of
// the platform thread over 100 ms, or an engine thread still running 3 s
// after its player's dispose, fails the test.
#include <cstdlib>
#include <thread>

#include "player_e2e/plugin_session.h"
#include "support/engine_threads.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

using embedder::MethodResponse;

constexpr auto kLongestBlock = 100ms;

struct Variant {
  const char* name;
  const char* media;
  bool play;
  int audioSwitch;  // -1: none; else the audio track chosen before the seeks
  int64_t firstSeek;
  int64_t secondSeek;
};

class DisposeLoop : public PluginSession, public ::testing::WithParamInterface<Variant> {
 protected:
  // The call, and how long it held the platform thread.
  MethodResponse Timed(const std::string& method, const EncodableValue& arguments, std::chrono::microseconds& held) {
    engine().TakeLongestDelivery();
    MethodResponse response = Call(method, arguments);
    held = engine().TakeLongestDelivery();
    return response;
  }
};

TEST_P(DisposeLoop, DisposeNeverBlocks_AndEveryEngineThreadEnds) {
  const Variant& variant = GetParam();
  CORVANE_REQUIRE_MEDIA(media, variant.media);
  const char* text = std::getenv("CORVANE_DISPOSE_CYCLES");
  const int cycles = text && *text ? std::atoi(text) : 12;
  std::chrono::microseconds longest{0};
  std::string longestAt;
  const auto note = [&](std::chrono::microseconds held, const std::string& where) {
    if (held > longest) {
      longest = held;
      longestAt = where;
    }
  };
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    SCOPED_TRACE("cycle " + std::to_string(cycle));
    DartPlayer player = Create();
    ASSERT_GE(player.id, 0);
    std::chrono::microseconds held{0};
    Open(player, media);
    ASSERT_TRUE(WaitForAnyOf(*player.events, {"mediaInfo"}, 10s));
    if (variant.play) Play(player);
    const auto seek = [&](int64_t position) {
      embedder::InvokeMethodAsync(engine(), "CorvanePlugin", "seekTo",
                                  EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(player.id)},
                                                              {EncodableValue("position"), EncodableValue(position)}}),
                                  [](const MethodResponse&) {});
    };
    if (variant.audioSwitch >= 0) {
      embedder::InvokeMethodAsync(
          engine(), "CorvanePlugin", "overrideTrack",
          EncodableValue(EncodableMap{{EncodableValue("id"), EncodableValue(player.id)},
                                      {EncodableValue("groupId"), EncodableValue(0)},
                                      {EncodableValue("trackId"), EncodableValue(variant.audioSwitch)},
                                      {EncodableValue("enabled"), EncodableValue(true)}}),
          [](const MethodResponse&) {});
    }
    seek(variant.firstSeek);
    seek(variant.secondSeek);
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(WaitForAnyOf(*player.events, {"seekEnd"}, 10s)) << "seekEnd " << i;
    player.events->Cancel();
    const MethodResponse disposed = Timed("dispose", EncodableValue(player.id), held);
    ASSERT_TRUE(disposed.IsSuccess()) << disposed.Describe();
    note(held, "dispose, cycle " + std::to_string(cycle));
    EXPECT_LE(held.count(), std::chrono::microseconds(kLongestBlock).count())
        << "dispose held the platform thread (microseconds)";
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (EngineThreads() > 0 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(10ms);
    ASSERT_EQ(EngineThreads(), 0) << "an engine thread still runs 3 s after its player's dispose";
  }
  std::printf("dispose loop %s: %d cycles, longest block %.1f ms (%s)\n", variant.name, cycles,
              static_cast<double>(longest.count()) / 1000.0, longestAt.c_str());
}

INSTANTIATE_TEST_SUITE_P(Sequences, DisposeLoop,
                         ::testing::Values(Variant{"PlayingMatroska", "multi.mkv", true, -1, 2000, 500},
                                           Variant{"PausedMatroska", "multi.mkv", false, -1, 2000, 500},
                                           Variant{"AudioSwitchMatroska", "multi.mkv", true, 2, 3000, 1000},
                                           Variant{"PlayingMp4", "h264_aac.mp4", true, -1, 2000, 500}),
                         [](const ::testing::TestParamInfo<Variant>& info) { return info.param.name; });

}  // namespace
}  // namespace corvane::testing
