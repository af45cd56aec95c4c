#include "platform/gst/support/media_info.h"

#include <gtest/gtest.h>

#include "engine_support/gst_values.h"

namespace corvane::platform::gst {
namespace {

using corvane::testing::CapsFrom;
using corvane::testing::TagsFrom;

class MediaInfoTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { corvane::testing::EnsureGstInitialised(); }
};

struct CodecRow {
  const char* label;
  const char* caps;
  const char* expected;
};

TEST_F(MediaInfoTest, CodecName_NamesEachKnownStreamType) {
  const CodecRow rows[] = {
      {"aac_mpeg4", "audio/mpeg, mpegversion=(int)4, stream-format=(string)raw", "AAC"},
      {"aac_mpeg2", "audio/mpeg, mpegversion=(int)2", "AAC"},
      {"mp3", "audio/mpeg, mpegversion=(int)1, layer=(int)3", "MP3"},
      {"mp3_without_layer", "audio/mpeg, mpegversion=(int)1", "MP3"},
      {"mp2", "audio/mpeg, mpegversion=(int)1, layer=(int)2", "MP2"},
      {"opus", "audio/x-opus, channel-mapping-family=(int)0", "OPUS"},
      {"ac3", "audio/x-ac3", "AC3"},
      {"pcm", "audio/x-raw, format=(string)S16LE, rate=(int)48000, channels=(int)2", "PCM"},
      {"h264", "video/x-h264, stream-format=(string)avc, alignment=(string)au", "H264"},
      {"vp9", "video/x-vp9", "VP9"},
      {"mpeg2_video", "video/mpeg, mpegversion=(int)2, systemstream=(boolean)false", "MPEG2"},
      {"mpeg4_part2", "video/mpeg, mpegversion=(int)4, systemstream=(boolean)false", "MPEG4"},
      {"vc1", "video/x-wmv, wmvversion=(int)3, format=(string)WVC1", "VC1"},
      {"raw_video_by_format", "video/x-raw, format=(string)NV12, width=(int)2, height=(int)2", "NV12"},
      {"srt_in_container", "text/x-raw, format=(string)utf8", "TEXT"},
      {"srt_file", "application/x-subtitle", "SRT"},
      {"ssa", "application/x-ssa", "SSA"},
      {"webvtt", "application/x-subtitle-vtt", "WEBVTT"},
      {"pgs", "subpicture/x-pgs", "PGS"},
  };
  for (const CodecRow& row : rows) {
    auto caps = CapsFrom(row.caps);
    ASSERT_NE(caps, nullptr) << row.label;
    EXPECT_EQ(CodecNameFromCaps(caps.get()), row.expected) << row.label;
  }
}

TEST_F(MediaInfoTest, CodecName_IsEmpty_WhenTheCapsSayNothingUsable) {
  const CodecRow rows[] = {
      {"unknown_type", "application/x-something-new", ""},
      {"mpeg_audio_without_version", "audio/mpeg", ""},
      {"mpeg_system_stream", "video/mpeg, mpegversion=(int)2, systemstream=(boolean)true", ""},
      {"mpeg_audio_odd_layer", "audio/mpeg, mpegversion=(int)1, layer=(int)7", ""},
      {"empty_caps", "EMPTY", ""},
  };
  for (const CodecRow& row : rows) {
    auto caps = CapsFrom(row.caps);
    ASSERT_NE(caps, nullptr) << row.label;
    EXPECT_EQ(CodecNameFromCaps(caps.get()), row.expected) << row.label;
  }
  EXPECT_EQ(CodecNameFromCaps(nullptr), "");
}

struct LanguageRow {
  const char* label;
  const char* code;
  const char* expected;
};

TEST_F(MediaInfoTest, LanguageTag_NormalisesContainerCodes) {
  const LanguageRow rows[] = {
      {"iso639_2_english", "eng", "en"},
      {"iso639_2b_french", "fre", "fr"},
      {"iso639_2t_french", "fra", "fr"},
      {"already_two_letters", "ja", "ja"},
      {"upper_case_code", "ENG", "en"},
      {"underscore_region", "en_US", "en-US"},
      {"hyphen_region", "en-US", "en-US"},
      {"lower_case_region", "pt-br", "pt-BR"},
      {"three_letter_with_region", "spa_MX", "es-MX"},
      {"numeric_region", "es-419", "es-419"},
      {"script_subtag", "zh-hant-tw", "zh-Hant-TW"},
      {"locale_with_codeset", "pt_BR.UTF-8", "pt-BR"},
      {"locale_with_modifier", "sr_RS@latin", "sr-RS"},
      {"no_two_letter_equivalent", "haw", "haw"},
  };
  for (const LanguageRow& row : rows) EXPECT_EQ(LanguageTagFromCode(row.code), row.expected) << row.label;
}

TEST_F(MediaInfoTest, LanguageTag_IsEmpty_ForCodesThatNameNoLanguage) {
  const LanguageRow rows[] = {
      {"empty", "", ""},
      {"undetermined", "und", ""},
      {"undetermined_upper", "UND", ""},
      {"multiple", "mul", ""},
      {"no_linguistic_content", "zxx", ""},
      {"unknown_three_letters", "qqx", ""},
      {"unknown_two_letters", "qq", ""},
      {"a_language_name", "English", ""},
      {"single_letter", "e", ""},
      {"digits", "123", ""},
      {"only_a_separator", "-", ""},
      {"region_without_language", "_US", ""},
  };
  for (const LanguageRow& row : rows) EXPECT_EQ(LanguageTagFromCode(row.code), row.expected) << row.label;
}

TEST_F(MediaInfoTest, LanguageTag_DropsAMalformedTail_KeepingTheLanguage) {
  EXPECT_EQ(LanguageTagFromCode("en-U$"), "en");
  EXPECT_EQ(LanguageTagFromCode("en--US"), "en");
  EXPECT_EQ(LanguageTagFromCode("de-CH-toolongsubtag"), "de-CH");
}

TEST_F(MediaInfoTest, AudioTrack_TakesTitleLanguageAndNumbers_FromTagsAndCaps) {
  auto caps = CapsFrom("audio/mpeg, mpegversion=(int)4, rate=(int)44100, channels=(int)1");
  auto tags = TagsFrom(
      "taglist, title=(string)\"Fran\xC3\xA7" "ais\", language-code=(string)fre, bitrate=(uint)128000, "
      "nominal-bitrate=(uint)96000");
  ASSERT_NE(tags, nullptr);
  const AudioTrack track = AudioTrackFromStream(caps.get(), tags.get());
  EXPECT_EQ(track.Name(), "Fran\xC3\xA7" "ais");
  EXPECT_EQ(track.Label(), "");
  EXPECT_EQ(track.Language(), "fr");
  EXPECT_EQ(track.encoding.Subtype(), "AAC");
  EXPECT_EQ(track.encoding.Bitrate(), 128000u);
  EXPECT_EQ(track.encoding.ChannelCount(), 1u);
  EXPECT_EQ(track.encoding.SampleRate(), 44100u);
}

TEST_F(MediaInfoTest, AudioTrack_BitRate_FallsBackToNominal_ThenZero) {
  auto caps = CapsFrom("audio/x-opus, rate=(int)48000, channels=(int)2");
  auto nominalOnly = TagsFrom("taglist, nominal-bitrate=(uint)64000");
  auto zeroBitrate = TagsFrom("taglist, bitrate=(uint)0, nominal-bitrate=(uint)32000");
  auto neither = TagsFrom("taglist, title=(string)x");
  EXPECT_EQ(AudioTrackFromStream(caps.get(), nominalOnly.get()).encoding.bitrate, 64000u);
  EXPECT_EQ(AudioTrackFromStream(caps.get(), zeroBitrate.get()).encoding.bitrate, 32000u);
  EXPECT_EQ(AudioTrackFromStream(caps.get(), neither.get()).encoding.bitrate, 0u);
}

TEST_F(MediaInfoTest, AudioTrack_TakesTheFirstTitle_WhenTheTagHoldsSeveral) {
  // A merged tag list can hold several titles; the stream's title is the
  // first, not the comma-joined merge.
  auto tags = TagsFrom("taglist, title=(string){ \"Commentary\", \"Director\" }");
  ASSERT_NE(tags, nullptr);
  EXPECT_EQ(AudioTrackFromStream(nullptr, tags.get()).Name(), "Commentary");
}

TEST_F(MediaInfoTest, Tracks_AreEmpty_WhenCapsAndTagsAreMissing) {
  const AudioTrack audio = AudioTrackFromStream(nullptr, nullptr);
  EXPECT_EQ(audio.Name(), "");
  EXPECT_EQ(audio.Language(), "");
  EXPECT_EQ(audio.encoding.subtype, "");
  EXPECT_EQ(audio.encoding.channelCount, 0u);
  EXPECT_EQ(audio.encoding.sampleRate, 0u);
  const VideoTrack video = VideoTrackFromStream(nullptr, nullptr);
  EXPECT_EQ(video.encoding.width, 0u);
  EXPECT_EQ(video.encoding.height, 0u);
  const TimedMetadataTrack text = TextTrackFromStream(nullptr, nullptr);
  EXPECT_EQ(text.Name(), "");
  EXPECT_EQ(text.TimedMetadataKind(), TimedMetadataKind::Subtitle);
}

TEST_F(MediaInfoTest, AudioTrack_ReportsZero_ForUnfixedOrNegativeNumbers) {
  auto caps = CapsFrom("audio/x-raw, rate=(int)[ 8000, 96000 ], channels=(int)-2");
  const AudioTrack track = AudioTrackFromStream(caps.get(), nullptr);
  EXPECT_EQ(track.encoding.sampleRate, 0u);
  EXPECT_EQ(track.encoding.channelCount, 0u);
}

TEST_F(MediaInfoTest, VideoTrack_ReportsCodedSize_NotTheDisplaySize) {
  auto caps = CapsFrom(
      "video/x-h264, width=(int)360, height=(int)240, pixel-aspect-ratio=(fraction)16/9, "
      "framerate=(fraction)25/1");
  auto tags = TagsFrom("taglist, language-code=(string)en_GB, bitrate=(uint)500000");
  const VideoTrack track = VideoTrackFromStream(caps.get(), tags.get());
  EXPECT_EQ(track.encoding.Width(), 360u);
  EXPECT_EQ(track.encoding.Height(), 240u);
  EXPECT_EQ(track.encoding.Subtype(), "H264");
  EXPECT_EQ(track.encoding.Bitrate(), 500000u);
  EXPECT_EQ(track.Language(), "en-GB");
}

TEST_F(MediaInfoTest, TextTrack_IsASubtitle_WithTitleAndLanguage) {
  auto caps = CapsFrom("text/x-raw, format=(string)utf8");
  auto tags = TagsFrom("taglist, title=(string)\"English SDH\", language-code=(string)eng");
  const TimedMetadataTrack track = TextTrackFromStream(caps.get(), tags.get());
  EXPECT_EQ(track.Name(), "English SDH");
  EXPECT_EQ(track.Language(), "en");
  EXPECT_EQ(track.TimedMetadataKind(), TimedMetadataKind::Subtitle);
}

TEST_F(MediaInfoTest, BitmapSubtitles_AreToldFromTextOnes) {
  const struct {
    const char* label;
    const char* caps;
    bool bitmap;
  } rows[] = {
      {"pgs", "subpicture/x-pgs", true},
      {"dvd", "subpicture/x-dvd", true},
      {"utf8_text", "text/x-raw, format=(string)utf8", false},
      {"ssa", "application/x-ssa", false},
      {"empty", "EMPTY", false},
  };
  for (const auto& row : rows) {
    auto caps = CapsFrom(row.caps);
    EXPECT_EQ(IsBitmapSubtitleCaps(caps.get()), row.bitmap) << row.label;
  }
  EXPECT_FALSE(IsBitmapSubtitleCaps(nullptr));
}

}  // namespace
}  // namespace corvane::platform::gst
