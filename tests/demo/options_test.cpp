// The command line: what it accepts, and that every bad value is refused
// with a message rather than turned into a surprising setting.
#include "options.h"

#include <gtest/gtest.h>

namespace corvane::play {
namespace {

ParseResult Parse(std::vector<std::string> args) { return ParseOptions(args, "/build/libcorvane_plugin.so"); }

TEST(Options, AcceptsEveryOptionInBothSpellings) {
  const ParseResult r = Parse({"--audio-lang", "fr", "--subtitle-lang=en-US", "--subtitles", "--loop", "--speed=1.5",
                               "--volume", "0.25", "--start", "3000", "--duration=2000", "--max-resolution",
                               "1280x720", "--max-bitrate=800000", "--players", "3", "--headless", "clip.mkv"});
  ASSERT_EQ(r.error, "");
  const Options& o = r.options;
  EXPECT_EQ(o.source, "clip.mkv");
  EXPECT_EQ(o.audioLanguage.value_or("?"), "fr");
  EXPECT_EQ(o.subtitleLanguage.value_or("?"), "en-US");
  EXPECT_TRUE(o.showSubtitles);
  EXPECT_TRUE(o.loop);
  EXPECT_DOUBLE_EQ(o.speed, 1.5);
  EXPECT_DOUBLE_EQ(o.volume, 0.25);
  EXPECT_EQ(o.startMs, 3000);
  EXPECT_EQ(o.durationMs.value_or(-1), 2000);
  EXPECT_EQ(o.maxWidth.value_or(0), 1280u);
  EXPECT_EQ(o.maxHeight.value_or(0), 720u);
  EXPECT_EQ(o.maxBitRate.value_or(0), 800000);
  EXPECT_EQ(o.players, 3);
  EXPECT_TRUE(o.headless);
  EXPECT_EQ(o.pluginPath, "/build/libcorvane_plugin.so");
}

TEST(Options, SnapshotsRepeatKeepOrderAndMayHaveColonsInTheFileName) {
  const ParseResult r = Parse({"--snapshot", "5000:late.png", "--snapshot=250:dir/a:b.png", "asset://videos/a.mp4"});
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.options.snapshots.size(), 2u);
  EXPECT_EQ(r.options.snapshots[0].atMs, 5000);
  EXPECT_EQ(r.options.snapshots[0].file, "late.png");
  EXPECT_EQ(r.options.snapshots[1].atMs, 250);
  EXPECT_EQ(r.options.snapshots[1].file, "dir/a:b.png");
  EXPECT_EQ(r.options.source, "asset://videos/a.mp4");
}

TEST(Options, ScriptedPressesTakeKnownKeyNames) {
  const ParseResult r = Parse({"--press", "1500:t", "--press=0:space,right,[", "a.mp4"});
  ASSERT_EQ(r.error, "");
  ASSERT_EQ(r.options.presses.size(), 2u);
  EXPECT_EQ(r.options.presses[0].atMs, 1500);
  EXPECT_EQ(r.options.presses[0].keys, std::vector<std::string>{"t"});
  EXPECT_EQ(r.options.presses[1].keys, (std::vector<std::string>{"space", "right", "["}));
  for (const char* bad : {"1500:x", "1500:", "1500:t,,s", "1500:t,", "t"}) {
    EXPECT_NE(Parse({"--press", bad, "a.mp4"}).error, "") << bad;
  }
}

TEST(Options, DoubleDashLetsASourceStartWithADash) {
  const ParseResult r = Parse({"--loop", "--", "-odd name.mp4"});
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.options.source, "-odd name.mp4");
}

struct BadRow {
  const char* name;
  std::vector<std::string> args;
  const char* errorPart;
};

class OptionsRefuse : public ::testing::TestWithParam<BadRow> {};

TEST_P(OptionsRefuse, WithAMessage) {
  const ParseResult r = Parse(GetParam().args);
  EXPECT_NE(r.error.find(GetParam().errorPart), std::string::npos) << "error was: " << r.error;
}

INSTANTIATE_TEST_SUITE_P(
    Rows, OptionsRefuse,
    ::testing::Values(BadRow{"NoSource", {"--loop"}, "no source"},
                      BadRow{"TwoSources", {"a.mp4", "b.mp4"}, "more than one source"},
                      BadRow{"UnknownOption", {"--colour", "red", "a.mp4"}, "unknown option --colour"},
                      BadRow{"MissingValue", {"a.mp4", "--speed"}, "--speed needs a value"},
                      BadRow{"SpeedZero", {"--speed", "0", "a.mp4"}, "bad value for --speed"},
                      BadRow{"SpeedNotANumber", {"--speed", "fast", "a.mp4"}, "bad value for --speed"},
                      BadRow{"SpeedTrailingText", {"--speed", "1.5x", "a.mp4"}, "bad value for --speed"},
                      BadRow{"SpeedInfinite", {"--speed", "inf", "a.mp4"}, "bad value for --speed"},
                      BadRow{"VolumeAboveOne", {"--volume", "1.5", "a.mp4"}, "bad value for --volume"},
                      BadRow{"StartNegative", {"--start", "-5", "a.mp4"}, "bad value for --start"},
                      BadRow{"StartFraction", {"--start", "2.5", "a.mp4"}, "bad value for --start"},
                      BadRow{"DurationZero", {"--duration=0", "a.mp4"}, "bad value for --duration"},
                      BadRow{"ResolutionWithoutHeight", {"--max-resolution", "1920", "a.mp4"}, "--max-resolution"},
                      BadRow{"ResolutionZeroWidth", {"--max-resolution", "0x720", "a.mp4"}, "--max-resolution"},
                      BadRow{"ResolutionOverflow", {"--max-resolution", "99999999999x720", "a.mp4"},
                             "--max-resolution"},
                      BadRow{"BitRateBeyond32Bits", {"--max-bitrate", "4294967296", "a.mp4"}, "--max-bitrate"},
                      BadRow{"PlayersZero", {"--players", "0", "a.mp4"}, "--players"},
                      BadRow{"PlayersTooMany", {"--players", "17", "a.mp4"}, "--players"},
                      BadRow{"SnapshotWithoutFile", {"--snapshot", "2000:", "a.mp4"}, "--snapshot"},
                      BadRow{"SnapshotWithoutTime", {"--snapshot", "shot.png", "a.mp4"}, "--snapshot"},
                      BadRow{"SnapshotNegativeTime", {"--snapshot", "-1:shot.png", "a.mp4"}, "--snapshot"}),
    [](const ::testing::TestParamInfo<BadRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::play
