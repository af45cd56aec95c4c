// Every row of the method table, the argument kinds it insists on, and the
// three error codes, through the host library with the scripted engine.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif

#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/process_paths.h"
#include "plugin/fake_engine_harness.h"

namespace corvane::testing {
namespace {

class MethodTableTest : public FakeEngineTest {};

TEST_F(MethodTableTest, Create_GivesEachPlayerItsOwnIdsAndChannel) {
  Player first = CreateListening();
  Player second = CreateListening();
  EXPECT_NE(first.id, second.id);
  EXPECT_NE(first.subId, first.id);
  EXPECT_NE(first.subId, second.subId);
  EXPECT_TRUE(log.Has("CorvanePlugin: Registered textures - Video: " + std::to_string(first.id) +
                      ", Subtitle: " + std::to_string(first.subId) + "\n"));

  OpenLoaded(second);
  const auto names = Names(*second.events);
  EXPECT_NE(std::find(names.begin(), names.end(), "videoSize"), names.end());
  EXPECT_TRUE(first.events->History().empty()) << "one player's events reached another's channel";
  // A bare id sent in 32 bits addresses the same player as in 64.
  EXPECT_TRUE(Call("close", EncodableValue(static_cast<int32_t>(second.id))).IsSuccess());
  EXPECT_TRUE(second.engine->Called("Source set", "null"));
}

TEST_F(MethodTableTest, TwoEngines_EachCarryTheirOwnPlayersEvents) {
  PluginHarness otherHost(layer);
  ASSERT_TRUE(otherHost.Register());
  const MethodResponse created = otherHost.Call("create");
  ASSERT_TRUE(created.IsSuccess()) << created.Describe();
  const int64_t otherId = std::get<int64_t>(std::get<EncodableMap>(created.value).at(EncodableValue("id")));
  EventStream otherEvents(otherHost.engine(), PluginHarness::ChannelOf(otherId));
  ASSERT_TRUE(otherEvents.Listen().IsSuccess());
  Player player = CreateListening();

  ASSERT_TRUE(otherHost.Call("open", IdAndValue(otherId, EncodableValue("/m/other.mp4"))).IsSuccess());
  EXPECT_TRUE(otherEvents.WaitForEventNamed("mediaInfo", 5s));
  OpenLoaded(player);
  otherHost.Shutdown();  // one engine goes; the other's player carries on
  ASSERT_TRUE(Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int64_t{500})}})).IsSuccess());
  EXPECT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
}

TEST_F(MethodTableTest, Dispose_RemovesOneOrAllPlayers_AndClosesTheirEngines) {
  Player first = CreateListening();
  Player second = CreateListening();
  Player third = CreateListening();
  EXPECT_TRUE(Call("dispose", EncodableValue(first.id)).IsSuccess());
  EXPECT_TRUE(first.engine->IsClosed());
  ExpectError(Call("play", EncodableValue(first.id)), "unknown_player", std::to_string(first.id));
  EXPECT_TRUE(Eventually([&] { return !host->engine().IsTextureRegistered(first.id); }));
  EXPECT_TRUE(Eventually([&] { return !host->engine().IsTextureRegistered(first.subId); }));
  EventStream afterDispose(host->engine(), PluginHarness::ChannelOf(first.id));
  EXPECT_EQ(afterDispose.Listen().kind, MethodResponse::Kind::kNotImplemented)
      << "the disposed player's channel still has a handler";
  EXPECT_TRUE(Call("dispose", EncodableValue(int64_t{987654})).IsSuccess()) << "unknown ids are not an error";
  EXPECT_TRUE(Call("play", EncodableValue(second.id)).IsSuccess());

  EXPECT_TRUE(Call("dispose").IsSuccess());
  EXPECT_TRUE(second.engine->IsClosed());
  EXPECT_TRUE(third.engine->IsClosed());
  ExpectError(Call("pause", EncodableValue(third.id)), "unknown_player", std::to_string(third.id));
}

TEST_F(MethodTableTest, PlayAndPause_ActOnlyFromTheirStates) {
  FakeScript manual;
  manual.openOutcome = OpenOutcome::Manual;
  engine->SetScript(manual);
  Player player = CreateListening();
  EXPECT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(log.Has("CorvanePlugin: Cannot play - current state: 0\n"));
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  EXPECT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(log.Has("CorvanePlugin: Cannot play - current state: 1\n"));
  EXPECT_FALSE(player.engine->Called("Play"));

  ASSERT_TRUE(player.engine->CompleteOpen());
  ASSERT_TRUE(player.events->WaitForEventNamed("mediaInfo", 5s));
  EXPECT_TRUE(Call("pause", EncodableValue(player.id)).IsSuccess());
  EXPECT_FALSE(player.engine->Called("Pause")) << "pause acts only while playing";
  EXPECT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(log.Has("CorvanePlugin: Starting playback\n"));
  EXPECT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(log.Has("CorvanePlugin: Cannot play - current state: 3\n"));
  EXPECT_EQ(player.engine->Count("Play"), 1u);
  EXPECT_TRUE(Call("pause", EncodableValue(player.id)).IsSuccess());
  EXPECT_EQ(player.engine->Count("Pause"), 1u);
}

#ifdef _WIN32
// Windows path rules: a relative path is passed on as it is, whatever the
// working directory.
TEST_F(MethodTableTest, Open_PassesARelativePathOnAsItIs) {
  Player player = CreateListening();
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("videos/a b.mp4"))).IsSuccess());
  EXPECT_EQ(player.engine->Arguments("Source set"), std::vector<std::string>{"file://videos/a%20b.mp4"});
}
#else
TEST_F(MethodTableTest, Open_TakesARelativePathFromTheWorkingDirectoryOfTheOpen) {
  Player player = CreateListening();
  const std::string before = platform::WorkingDirectory();
  char folder[] = "/tmp/corvane-cwd-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  ASSERT_EQ(chdir(folder), 0);
  const MethodResponse opened = Call("open", IdAndValue(player.id, EncodableValue("videos/a b.mp4")));
  ASSERT_EQ(chdir(before.c_str()), 0);
  rmdir(folder);
  ASSERT_TRUE(opened.IsSuccess());
  EXPECT_EQ(player.engine->Arguments("Source set"),
            std::vector<std::string>{"file://" + std::string(folder) + "/videos/a%20b.mp4"});
}
#endif

TEST_F(MethodTableTest, Open_ThatTheEngineRefuses_RepliesSuccessAndStaysClosed) {
  Player player = CreateListening();
  player.engine->Fail("Source set", platform::kInvalidArgument);
  EXPECT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  EXPECT_TRUE(log.Has("CorvanePlugin: Failed to set media source\n"));
  EXPECT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(log.Has("CorvanePlugin: Cannot play - current state: 0\n"));
}

// The start position stored while opening is covered on real media by
// tests/player_e2e (Opening).
TEST_F(MethodTableTest, SeekTo_SeeksTheLoadedPlayer_AtOnceWhenAlreadyThere_AndFromZeroAtMost) {
  Player player = CreateListening();
  OpenLoaded(player);
  ASSERT_TRUE(Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int64_t{3000})}})).IsSuccess());
  EXPECT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  EXPECT_TRUE(player.engine->Called("Position set", "30000000"));

  // Already there: seekEnd at once, and the engine is not asked.
  player.engine->SetPosition(std::chrono::milliseconds(3000));
  player.engine->ClearCalls();
  // A position sent in 32 bits is as good as one in 64.
  ASSERT_TRUE(Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int32_t{3000})}})).IsSuccess());
  EXPECT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  EXPECT_FALSE(player.engine->Called("Position set"));

  ASSERT_TRUE(Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int64_t{-40})}})).IsSuccess());
  EXPECT_TRUE(player.engine->Called("Position set", "0")) << "a negative position is taken as 0";
}

TEST_F(MethodTableTest, SeekTo_AfterTheStartSeekWasIssued_IsNotLost) {
  FakeScript script;
  script.openOutcome = OpenOutcome::Manual;
  script.completeSeeks = false;
  engine->SetScript(script);
  Player player = CreateListening();
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  ASSERT_TRUE(player.engine->CompleteOpen());
  ASSERT_TRUE(player.engine->WaitForCall("Position set", "0", 5s)) << "no start seek";
  // Still opening: the start seek is out, its completion not yet in.
  ASSERT_TRUE(Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int64_t{2000})}})).IsSuccess());
  EXPECT_EQ(player.engine->Arguments("Position set"), (std::vector<std::string>{"0", "20000000"}));
  player.engine->Raise(kSeekCompleted);
  player.engine->Raise(kSeekCompleted);
  EXPECT_TRUE(player.events->WaitForEventNamed("mediaInfo", 5s));
  EXPECT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
}

TEST_F(MethodTableTest, SeekTo_WhereTheOpeningSourceAlreadyIs_SendsNoSeekEndBeforeTheInfo) {
  FakeScript script;
  script.openOutcome = OpenOutcome::Manual;
  script.completeSeeks = false;
  engine->SetScript(script);
  Player player = CreateListening();
  ASSERT_TRUE(Call("open", IdAndValue(player.id, EncodableValue("/m/a.mp4"))).IsSuccess());
  ASSERT_TRUE(player.engine->CompleteOpen());
  ASSERT_TRUE(player.engine->WaitForCall("Position set", "0", 5s)) << "no start seek";
  ASSERT_TRUE(Call("seekTo", IdAnd(player.id, {{"position", EncodableValue(int64_t{0})}})).IsSuccess());
  EXPECT_EQ(player.engine->Arguments("Position set"), (std::vector<std::string>{"0", "0"}));
  player.engine->Raise(kSeekCompleted);
  player.engine->Raise(kSeekCompleted);
  ASSERT_TRUE(player.events->WaitForEventNamed("seekEnd", 5s));
  std::vector<std::string> names = Names(*player.events);
  names.erase(std::remove(names.begin(), names.end(), "videoSize"), names.end());
  names.erase(std::remove(names.begin(), names.end(), "position"), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"mediaInfo", "seekEnd"}));
}

TEST_F(MethodTableTest, Setters_PassCheckedValuesToTheEngine) {
  Player player = CreateListening();
  OpenLoaded(player);
  struct Row {
    const char* method;
    double value;
    const char* call;
    const char* argument;
  };
  for (const Row& row : {Row{"setVolume", 0.5, "Volume set", "0.5"}, Row{"setVolume", 1.7, "Volume set", "1"},
                         Row{"setVolume", -3.0, "Volume set", "0"}, Row{"setSpeed", 2.0, "PlaybackRate set", "2"},
                         Row{"setSpeed", 0.25, "PlaybackRate set", "0.25"}}) {
    SCOPED_TRACE(std::string(row.method) + " " + std::to_string(row.value));
    player.engine->ClearCalls();
    ASSERT_TRUE(Call(row.method, IdAndValue(player.id, EncodableValue(row.value))).IsSuccess());
    EXPECT_EQ(player.engine->Arguments(row.call), std::vector<std::string>{row.argument});
  }
  for (const double bad : {0.0, -1.0}) {
    ExpectError(Call("setSpeed", IdAndValue(player.id, EncodableValue(bad))), "invalid_argument", "setSpeed");
  }
  ExpectError(Call("setVolume", IdAndValue(player.id, EncodableValue(std::nan("")))), "invalid_argument", "value");
  ExpectError(Call("setSpeed", IdAndValue(player.id, EncodableValue(std::numeric_limits<double>::infinity()))),
              "invalid_argument", "value");
  EXPECT_TRUE(Call("setLooping", IdAndValue(player.id, EncodableValue(true))).IsSuccess());
  EXPECT_TRUE(Call("setPreferredAudioLanguage", IdAndValue(player.id, EncodableValue("en"))).IsSuccess());
  EXPECT_TRUE(Call("setPreferredSubtitleLanguage", IdAndValue(player.id, EncodableValue("en"))).IsSuccess());
}

TEST_F(MethodTableTest, VideoLimits_TruncateAndSelectTheFittingTrack) {
  FakeScript script;
  script.media.videoTracks = {{"", "", "", {"H264", 2'500'000, 1280, 720}},
                              {"", "", "", {"H264", 5'000'000, 1920, 1080}}};
  script.media.selectedVideo = 1;
  engine->SetScript(script);
  Player player = CreateListening();
  OpenLoaded(player);
  ASSERT_TRUE(Call("setMaxResolution", IdAnd(player.id, {{"width", EncodableValue(1280.9)},
                                                         {"height", EncodableValue(720.2)}}))
                  .IsSuccess());
  EXPECT_EQ(player.engine->Arguments("VideoTracks.SelectedIndex set"), std::vector<std::string>{"0"});
  ASSERT_TRUE(Call("setMaxResolution", IdAnd(player.id, {{"width", EncodableValue(0.0)},
                                                         {"height", EncodableValue(0.0)}}))
                  .IsSuccess());
  ASSERT_TRUE(Call("setMaxBitRate", IdAndValue(player.id, EncodableValue(int64_t{3'000'000}))).IsSuccess());
  EXPECT_EQ(player.engine->Arguments("VideoTracks.SelectedIndex set"), (std::vector<std::string>{"0", "1", "0"}));
  ExpectError(Call("setMaxResolution",
                   IdAnd(player.id, {{"width", EncodableValue(5e9)}, {"height", EncodableValue(720.0)}})),
              "invalid_argument", "width");
}

TEST_F(MethodTableTest, WithoutAStoredTag_TheUsersLanguagesFromThePlatformChoose) {
  layer.languages = std::vector<std::string>{"FR"};
  FakeScript script;
  script.media.audioTracks = {{"", "", "en", {"AAC", 0, 2, 48000}}, {"", "", "fr", {"AAC", 0, 2, 48000}}};
  script.media.textTracks = {{"", "", "en", platform::TimedMetadataKind::Subtitle},
                             {"", "", "fr", platform::TimedMetadataKind::Subtitle}};
  engine->SetScript(script);
  Player player = CreateListening();
  OpenLoaded(player);
  EXPECT_EQ(player.engine->Arguments("AudioTracks.SelectedIndex set"), std::vector<std::string>{"1"});
  EXPECT_TRUE(player.engine->Called("TimedMetadataTracks.SetPresentationMode", "1,3"));
}

TEST_F(MethodTableTest, RefusesArgumentsOfTheWrongKind_NamingMethodAndKey) {
  Player player = CreateListening();
  struct Row {
    const char* method;
    EncodableValue arguments;
    const char* fragment;
  };
  const std::vector<Row> rows = {
      {"open", IdAnd(player.id, {}), "\"value\""},
      {"open", IdAndValue(player.id, EncodableValue(int32_t{1})), "\"value\" must be a string"},
      {"open", EncodableValue(player.id), "must be a map"},
      {"open", EncodableValue(EncodableMap{{EncodableValue("value"), EncodableValue("a")}}), "\"id\""},
      {"setVolume", IdAndValue(player.id, EncodableValue(int32_t{1})), "\"value\" must be a finite double"},
      {"setSpeed", IdAndValue(player.id, EncodableValue(int64_t{2})), "\"value\" must be a finite double"},
      {"setLooping", IdAndValue(player.id, EncodableValue(int32_t{1})), "\"value\" must be a bool"},
      {"setShowSubtitle", IdAndValue(player.id, EncodableValue("yes")), "\"value\" must be a bool"},
      {"setMaxResolution", IdAnd(player.id, {{"width", EncodableValue(int32_t{1920})},
                                             {"height", EncodableValue(1080.0)}}),
       "\"width\" must be a finite double"},
      {"setMaxBitRate", IdAndValue(player.id, EncodableValue(1.5)), "\"value\" must be an integer"},
      {"seekTo", IdAnd(player.id, {{"position", EncodableValue(1.0)}}), "\"position\" must be an integer"},
      {"overrideTrack", IdAnd(player.id, {{"groupId", EncodableValue(int64_t{0})},
                                          {"trackId", EncodableValue(int32_t{1})},
                                          {"enabled", EncodableValue(true)}}),
       "\"groupId\" must be a 32-bit integer"},
      {"overrideTrack", IdAnd(player.id, {{"groupId", EncodableValue(int32_t{0})},
                                          {"trackId", EncodableValue(int32_t{1})}}),
       "\"enabled\""},
      {"setPreferredAudioLanguage", IdAndValue(player.id, EncodableValue()), "\"value\" must be a string"},
      {"play", EncodableValue(1.0), "player id"},
      {"dispose", EncodableValue("1"), "player id"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.method);
    const MethodResponse response = Call(row.method, row.arguments);
    ExpectError(response, "invalid_argument", row.fragment);
    EXPECT_NE(response.errorMessage.find(row.method), std::string::npos) << response.Describe();
  }
  // The player is looked up before the other keys are read.
  ExpectError(Call("setLooping", IdAndValue(424242, EncodableValue(true))), "unknown_player", "424242");
}

TEST_F(MethodTableTest, EngineFailures_AreReportedWithTheirCode) {
  Player player = CreateListening();
  OpenLoaded(player);
  player.engine->Fail("Play", platform::kObjectClosed);
  ExpectError(Call("play", EncodableValue(player.id)), "engine_error", "0x80000013");
  player.engine->Succeed("Play");
  EXPECT_TRUE(Call("play", EncodableValue(player.id)).IsSuccess());
  EXPECT_TRUE(player.engine->Called("Play")) << "a failed play left the player unable to play";

  engine->FailCreate(platform::kOutOfMemory);
  ExpectError(Call("create"), "engine_error", "0x8007000E");
  engine->FailCreate(platform::kOk);
  EXPECT_TRUE(Call("create").IsSuccess());
}

}  // namespace
}  // namespace corvane::testing
