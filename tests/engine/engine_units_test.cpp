// The engine's pure pieces, from plain values: the subtitle cue timeline,
// display sizes from caps, and HLS master playlists.
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "platform/gst/adaptive_variants.h"
#include "platform/gst/text_sink.h"
#include "platform/gst/video_sink.h"

namespace corvane::platform::gst {
namespace {

constexpr GstClockTime kMs = GST_MSECOND;

platform::gst::SubtitleCue Cue(const char* text) { return platform::gst::SubtitleCue{text, false}; }

TEST(CueStore, CueIsActive_FromStartUntilStartPlusDuration) {
  CueStore store;
  store.Add(500 * kMs, 1000 * kMs, Cue("Hello"));
  EXPECT_TRUE(store.ActiveIds(499 * kMs).empty());
  EXPECT_EQ(store.ActiveIds(500 * kMs).size(), 1u);
  EXPECT_EQ(store.ActiveIds(1499 * kMs).size(), 1u);
  EXPECT_TRUE(store.ActiveIds(1500 * kMs).empty()) << "the end is exclusive";
}

TEST(CueStore, OverlappingCues_AreActiveTogether_InArrivalOrder) {
  CueStore store;
  store.Add(0, 2000 * kMs, Cue("top"));
  store.Add(1000 * kMs, 2000 * kMs, Cue("bottom"));
  const auto cues = store.ActiveCues(1500 * kMs);
  ASSERT_EQ(cues.size(), 2u);
  EXPECT_EQ(cues[0].text, "top");
  EXPECT_EQ(cues[1].text, "bottom");
}

TEST(CueStore, CueWithoutDuration_EndsAtNextCueOrGap) {
  CueStore store;
  store.Add(0, GST_CLOCK_TIME_NONE, Cue("first"));
  EXPECT_EQ(store.ActiveIds(10'000 * kMs).size(), 1u) << "open-ended until something follows";
  store.Add(3000 * kMs, GST_CLOCK_TIME_NONE, Cue("second"));
  EXPECT_EQ(store.ActiveCues(2999 * kMs).at(0).text, "first");
  EXPECT_EQ(store.ActiveCues(3000 * kMs).at(0).text, "second");
  store.Gap(4000 * kMs);
  EXPECT_TRUE(store.ActiveIds(4000 * kMs).empty());
}

TEST(CueStore, SameCueArrivingTwice_IsKeptOnce) {
  CueStore store;
  store.Add(500 * kMs, 1000 * kMs, Cue("Hello"));
  store.Add(500 * kMs, 1000 * kMs, Cue("Hello"));
  EXPECT_EQ(store.ActiveIds(600 * kMs).size(), 1u);
}

TEST(CueStore, NextChange_IsTheNearestStartOrEndAhead) {
  CueStore store;
  store.Add(500 * kMs, 1000 * kMs, Cue("a"));
  store.Add(2000 * kMs, 1000 * kMs, Cue("b"));
  EXPECT_EQ(store.NextChange(0), 500 * kMs);
  EXPECT_EQ(store.NextChange(700 * kMs), 1500 * kMs);
  EXPECT_EQ(store.NextChange(1600 * kMs), 2000 * kMs);
  EXPECT_EQ(store.NextChange(3000 * kMs), GST_CLOCK_TIME_NONE);
}

TEST(CueStore, KeepsABoundedNumberOfCues) {
  CueStore store;
  for (int i = 0; i < 1000; ++i) store.Add(static_cast<GstClockTime>(i) * kMs, kMs, Cue("x"));
  EXPECT_TRUE(store.ActiveIds(0).empty()) << "the oldest cues were dropped";
  EXPECT_EQ(store.ActiveIds(999 * kMs).size(), 1u);
}

struct SizeRow {
  const char* name;
  const char* caps;
  uint32_t width, height;
  const char* orientationTag = nullptr;
};

class DisplaySizeTable : public ::testing::TestWithParam<SizeRow> {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
};

TEST_P(DisplaySizeTable, AppliesPixelAspectRatioToWidth) {
  const auto caps = AdoptMini(gst_caps_from_string(GetParam().caps));
  const DisplaySize size = DisplaySizeFromCaps(caps.get(), OrientationFromTag(GetParam().orientationTag));
  EXPECT_EQ(size.width, GetParam().width);
  EXPECT_EQ(size.height, GetParam().height);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, DisplaySizeTable,
    ::testing::Values(
        SizeRow{"Square", "video/x-raw,format=I420,width=320,height=240,framerate=25/1,pixel-aspect-ratio=1/1", 320,
                240},
        SizeRow{"Anamorphic", "video/x-raw,format=I420,width=360,height=240,framerate=25/1,pixel-aspect-ratio=4/3",
                480, 240},
        SizeRow{"Rounded", "video/x-raw,format=NV12,width=720,height=576,framerate=25/1,pixel-aspect-ratio=16/15",
                768, 576},
        SizeRow{"AnamorphicTurned",
                "video/x-raw,format=I420,width=360,height=240,framerate=25/1,pixel-aspect-ratio=4/3", 240, 480,
                "rotate-270"},
        SizeRow{"Mirrored", "video/x-raw,format=I420,width=320,height=240,framerate=25/1", 320, 240,
                "flip-rotate-0"},
        SizeRow{"UnknownOrientation", "video/x-raw,format=I420,width=320,height=240,framerate=25/1", 320, 240,
                "rotate-45"},
        SizeRow{"NotVideo", "audio/x-raw,format=S16LE,rate=48000,channels=2,layout=interleaved", 0, 0}),
    [](const ::testing::TestParamInfo<SizeRow>& info) { return info.param.name; });

TEST(HlsMasterPlaylist, ListsVariants_WithBandwidthResolutionAndCodecs) {
  const auto variants = ParseHlsMasterPlaylist(
      "#EXTM3U\r\n#EXT-X-VERSION:3\r\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=400400,RESOLUTION=320x180,CODECS=\"avc1.64000c,mp4a.40.2\"\r\nv0.m3u8\r\n"
      "#EXT-X-STREAM-INF:CODECS=\"avc1.64001e,mp4a.40.2\",RESOLUTION=640x360,BANDWIDTH=950400\r\nv1.m3u8\r\n");
  ASSERT_EQ(variants.size(), 2u);
  EXPECT_EQ(variants[0].bandwidth, 400400u);
  EXPECT_EQ(variants[0].width, 320u);
  EXPECT_EQ(variants[0].height, 180u);
  EXPECT_EQ(variants[0].codecs, "avc1.64000c,mp4a.40.2") << "commas inside quotes belong to the value";
  EXPECT_EQ(variants[1].bandwidth, 950400u) << "attributes in any order";
  EXPECT_EQ(variants[1].width, 640u);
}

TEST(HlsMasterPlaylist, IgnoresMediaPlaylistsAndBrokenEntries) {
  EXPECT_TRUE(ParseHlsMasterPlaylist("#EXTM3U\n#EXTINF:1.0,\nseg0.ts\n").empty());
  EXPECT_TRUE(ParseHlsMasterPlaylist("not a playlist\n#EXT-X-STREAM-INF:BANDWIDTH=1\n").empty());
  EXPECT_TRUE(ParseHlsMasterPlaylist("").empty());
  const auto variants = ParseHlsMasterPlaylist(
      "#EXTM3U\n#EXT-X-STREAM-INF:RESOLUTION=1x1\na.m3u8\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=99999999999999,RESOLUTION=10x\nb.m3u8\n"
      "#EXT-X-STREAM-INF:BANDWIDTH=5000,RESOLUTION=garbage\nc.m3u8\n");
  ASSERT_EQ(variants.size(), 1u) << "no or overflowing bandwidth: left out";
  EXPECT_EQ(variants[0].bandwidth, 5000u);
  EXPECT_EQ(variants[0].width, 0u);
}

TEST(HlsMasterPlaylist, VideoCodecFromCodecsAttribute) {
  EXPECT_EQ(VideoCodecFromHlsCodecs("avc1.64001e,mp4a.40.2"), "H264");
  EXPECT_EQ(VideoCodecFromHlsCodecs("mp4a.40.2, hvc1.1.6.L93.B0"), "H265");
  EXPECT_EQ(VideoCodecFromHlsCodecs("mp4a.40.2"), "");
}

}  // namespace
}  // namespace corvane::platform::gst
