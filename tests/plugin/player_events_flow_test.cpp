// The events a player sends as its media loads, plays, ends and fails, in
// the order Dart sees them.
#include <gtest/gtest.h>

#include "plugin/fake_engine_harness.h"

namespace corvane::testing {
namespace {

class PlayerEventsFlowTest : public FakeEngineTest {};

TEST_F(PlayerEventsFlowTest, AListenerThatComesLate_StillGetsAPlayablePlayer) {
  const MethodResponse created = Call("create");
  ASSERT_TRUE(created.IsSuccess());
  const int64_t id = std::get<int64_t>(std::get<EncodableMap>(created.value).at(EncodableValue("id")));
  auto fake = engine->LastPlayer();
  ASSERT_TRUE(Call("open", IdAndValue(id, EncodableValue("/m/a.mp4"))).IsSuccess());
  ASSERT_TRUE(fake->WaitForCall("Volume set", std::nullopt, 5s)) << "the source never finished loading";
  EventStream events(host->engine(), PluginHarness::ChannelOf(id));
  ASSERT_TRUE(events.Listen().IsSuccess());
  ASSERT_TRUE(Call("play", EncodableValue(id)).IsSuccess());
  EXPECT_TRUE(fake->Called("Play"));
  EXPECT_FALSE(events.WaitForEventNamed("mediaInfo", 100ms)) << "events before listening are not kept";
}

TEST_F(PlayerEventsFlowTest, MediaEnd_PausesLoopsOrIsIgnored) {
  Player player = CreateListening();
  OpenLoaded(player);
  player.engine->Raise(kMediaEnded);  // paused: ignored
  // Tasks run in posting order: once this one's seekEnd is in, so is the end.
  player.engine->Raise(kSeekCompleted);
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  ASSERT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  player.engine->Raise(kMediaEnded);
  ASSERT_TRUE(player.events->WaitForEventNamed("finished", 5s));
  ASSERT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess()) << "an ended source plays again from paused";
  EXPECT_EQ(player.engine->Count("Play"), 2u);

  ASSERT_TRUE(Call("setLooping", IdAndValue(player.id, EncodableValue(true))).IsSuccess());
  player.engine->Raise(kMediaEnded);
  ASSERT_TRUE(player.events->WaitForEventNamed("finished", 5s));
  EXPECT_EQ(player.engine->Count("Play"), 3u) << "looping restarts playback";
  const auto names = Names(*player.events);
  EXPECT_EQ(std::count(names.begin(), names.end(), "finished"), 2) << "the end while paused was not ignored";
}

TEST_F(PlayerEventsFlowTest, LiveSource_LoadsWithoutASeek_AndClosesAtItsEnd) {
  FakeScript live;
  live.media.duration = platform::kLiveDuration;
  engine->SetScript(live);
  Player player = CreateListening();
  OpenLoaded(player, "http://127.0.0.1:9/live");
  const auto history = player.events->History();
  const auto info = std::find_if(history.begin(), history.end(), [](auto& e) { return e.Name() == "mediaInfo"; });
  EXPECT_EQ(*info->Find("duration"), EncodableValue(int64_t{0}));
  EXPECT_FALSE(player.engine->Called("Position set"));
  EXPECT_TRUE(player.engine->Called("RealTimePlayback set", "true"));

  ASSERT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  player.engine->Raise(kMediaEnded);
  ASSERT_TRUE(player.events->WaitForEventNamed("finished", 5s));
  EXPECT_TRUE(player.engine->Called("Source set", "null"));
}

TEST_F(PlayerEventsFlowTest, PositionAndBuffering_AreReportedOnlyWhenTheyChange) {
  FakeScript script;
  script.media.bufferedRanges = {{std::chrono::seconds(0), std::chrono::seconds(5)}};
  engine->SetScript(script);
  Player player = CreateListening();
  OpenLoaded(player, "http://127.0.0.1:9/a.mp4");
  player.engine->SetPosition(std::chrono::milliseconds(1234));
  player.engine->Raise(kPositionChanged);
  player.engine->Raise(kPositionChanged);
  player.engine->Raise(kBufferedRangesChanged);
  player.engine->Raise(kBufferingStarted);  // paused: no "loading"
  // Tasks run in posting order: once this one's seekEnd is in, so is the rest.
  player.engine->Raise(kSeekCompleted);
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  ASSERT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  player.engine->Raise(kBufferingStarted);
  player.engine->Raise(kBufferingEnded);
  ASSERT_TRUE(engine->WaitIdle(5s));
  ASSERT_TRUE(player.events->WaitForEvent(
      [](const StreamEvent& e) { return e.Name() == "loading" && *e.Find("value") == EncodableValue(false); }, 5s));

  int positions = 0, loadings = 0;
  for (const StreamEvent& event : player.events->History()) {
    if (event.Name() == "position" && *event.Find("value") == EncodableValue(int64_t{1234})) ++positions;
    if (event.Name() == "loading") ++loadings;
    if (event.Name() == "buffer") {
      EXPECT_EQ(*event.Find("start"), EncodableValue(int64_t{1234}));
      EXPECT_EQ(*event.Find("end"), EncodableValue(int64_t{5000}));
    }
  }
  EXPECT_EQ(positions, 1);
  EXPECT_EQ(loadings, 2);
  const auto names = Names(*player.events);
  EXPECT_EQ(std::count(names.begin(), names.end(), "buffer"), 1);
}

}  // namespace
}  // namespace corvane::testing
