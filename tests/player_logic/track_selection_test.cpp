#include "player/track_selection.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>

#include "player_logic/vector_track_lists.h"

namespace corvane::player {
namespace {

using platform::AudioTrack;
using platform::TimedMetadataTrack;
using platform::VideoTrack;
using testing::Audio;
using testing::AudioLanguages;
using testing::HugeTrackList;
using testing::OpenedItem;
using testing::Text;
using testing::VectorTextTrackList;
using testing::VectorTrackList;
using testing::Video;
using ::testing::ElementsAre;
using Kind = platform::TimedMetadataKind;
using Mode = platform::TimedMetadataTrackPresentationMode;

// ---------------------------------------------------------------- tags

TEST(SplitLanguageTag, KeepsEverySubtag_IncludingEmptyOnes) {
  EXPECT_THAT(SplitLanguageTag(""), ElementsAre(""));
  EXPECT_THAT(SplitLanguageTag("en"), ElementsAre("en"));
  EXPECT_THAT(SplitLanguageTag("en-"), ElementsAre("en", ""));
  EXPECT_THAT(SplitLanguageTag("en--US"), ElementsAre("en", "", "US"));
  EXPECT_THAT(SplitLanguageTag("-"), ElementsAre("", ""));
  EXPECT_THAT(SplitLanguageTag("en-Latn-US-x"), ElementsAre("en", "Latn", "US", "x"));
}

TEST(PickCandidate, PrefersFewestSubtags_ThenLowestPosition) {
  EXPECT_EQ(PickCandidate({}), -1);
  EXPECT_EQ(PickCandidate({{7, {"en", "US", "x", "y"}}}), 7);
  EXPECT_EQ(PickCandidate({{1, {"en", "GB"}}, {4, {"en"}}, {9, {"en"}}}), 4);
}

// ---------------------------------------------------------------- audio

struct AudioRow {
  const char* name;
  const char* tag;
  std::vector<AudioTrack> tracks;
  int16_t expected;
};
void PrintTo(const AudioRow& row, std::ostream* os) { *os << row.name; }

class ChooseAudioTrackTable : public ::testing::TestWithParam<AudioRow> {};

TEST_P(ChooseAudioTrackTable, ChoosesExpectedPosition) {
  const VectorTrackList<AudioTrack> tracks(GetParam().tracks);
  EXPECT_EQ(ChooseAudioTrack(tracks, GetParam().tag), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Languages, ChooseAudioTrackTable,
    ::testing::Values(
        AudioRow{"RegionMatch", "en-US", AudioLanguages({"fr", "en-GB", "en-US"}), 2},
        AudioRow{"FewestSubtagsAmongPrimary", "en-US", AudioLanguages({"fr", "en-GB", "en"}), 2},
        AudioRow{"EarlierAmongEquallyLong", "en-US", AudioLanguages({"fr", "en-US-x-a", "en-US-x-b"}), 1},
        AudioRow{"TwoSubtagMatchBeatsShorterOneSubtagMatch", "en-US", AudioLanguages({"en", "en-US-x"}), 1},
        AudioRow{"ThreeSubtagsChooseAtOnce_FourthIgnored", "en-Latn-US-a",
                 AudioLanguages({"en-Latn", "en-Latn-US-b", "en-Latn-US-a"}), 1},
        AudioRow{"NoCandidateFallsBackToFirst", "de", AudioLanguages({"fr", "en"}), 0},
        AudioRow{"CaseCounts", "EN", AudioLanguages({"fr", "en"}), 0},
        AudioRow{"EmptyTagMatchesUnknownLanguage", "", AudioLanguages({"fr", ""}), 1},
        AudioRow{"TrailingDashMatchesEmptySecondSubtag", "en-", AudioLanguages({"fr", "en-US", "en-"}), 2},
        AudioRow{"TrailingDashFallsBackToShortestPrimary", "en-", AudioLanguages({"en-US", "en"}), 1},
        AudioRow{"DoubleDashComparesThirdSubtag", "en--US", AudioLanguages({"en-US", "en--US"}), 1},
        AudioRow{"NoTracks", "en", {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- text

struct TextRow {
  const char* name;
  const char* tag;
  std::vector<TimedMetadataTrack> tracks;
  int16_t expected;
};
void PrintTo(const TextRow& row, std::ostream* os) { *os << row.name; }

class ChooseTextTrackTable : public ::testing::TestWithParam<TextRow> {};

TEST_P(ChooseTextTrackTable, ChoosesExpectedPosition) {
  const VectorTextTrackList tracks(GetParam().tracks);
  EXPECT_EQ(ChooseTextTrack(tracks, GetParam().tag), GetParam().expected);
}

const std::vector<TimedMetadataTrack> kChapterFrenchEnglish = {
    Text(Kind::Chapter, "en"), Text(Kind::Subtitle, "fr"), Text(Kind::Caption, "en")};

INSTANTIATE_TEST_SUITE_P(
    Languages, ChooseTextTrackTable,
    ::testing::Values(
        TextRow{"ExactTagSkipsChapter", "en", kChapterFrenchEnglish, 2},
        TextRow{"UnknownTagFallsBackToFirstEligible", "es", kChapterFrenchEnglish, 1},
        TextRow{"OnlyChapterGivesNone", "en", {Text(Kind::Chapter, "en")}, -1},
        TextRow{"WholeTagOnly", "en", {Text(Kind::Subtitle, "fr"), Text(Kind::Subtitle, "en-US")}, 0},
        TextRow{"CaseCounts", "en-us", {Text(Kind::Subtitle, "fr"), Text(Kind::Subtitle, "en-US")}, 0},
        TextRow{"SpeechIsEligible", "en", {Text(Kind::Chapter, "en"), Text(Kind::Speech, "en")}, 1},
        TextRow{"OtherKindsNeverChosen", "en",
                {Text(Kind::ImageSubtitle, "en"), Text(Kind::Description, "en"), Text(Kind::Data, "en"),
                 Text(Kind::Custom, "en"), Text(Kind::Caption, "fr")},
                4},
        TextRow{"NoTracks", "en", {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TimedMetadataKindName, NamesTheKindsSentToDart_AndUnknownOtherwise) {
  EXPECT_STREQ(TimedMetadataKindName(Kind::Caption), "caption");
  EXPECT_STREQ(TimedMetadataKindName(Kind::Subtitle), "subtitle");
  EXPECT_STREQ(TimedMetadataKindName(Kind::Speech), "speech");
  EXPECT_STREQ(TimedMetadataKindName(Kind::ImageSubtitle), "unknown");
  EXPECT_STREQ(TimedMetadataKindName(static_cast<Kind>(42)), "unknown");
}

// ---------------------------------------------------------------- video

struct VideoRow {
  const char* name;
  VideoLimits limits;
  std::vector<VideoTrack> tracks;
  int16_t expected;
};
void PrintTo(const VideoRow& row, std::ostream* os) { *os << row.name; }

class ChooseVideoTrackTable : public ::testing::TestWithParam<VideoRow> {};

TEST_P(ChooseVideoTrackTable, ChoosesExpectedPosition) {
  const VectorTrackList<VideoTrack> tracks(GetParam().tracks);
  EXPECT_EQ(ChooseVideoTrack(tracks, GetParam().limits), GetParam().expected);
}

const std::vector<VideoTrack> kHdThenFullHd = {Video(1280, 720, 2'500'000), Video(1920, 1080, 5'000'000)};
const std::vector<VideoTrack> kFullHdThenHd = {Video(1920, 1080, 5'000'000), Video(1280, 720, 2'500'000)};

VideoLimits Size(uint16_t width, uint16_t height) { return VideoLimits{width, height, 0}; }
VideoLimits BitRate(uint32_t bitRate) { return VideoLimits{0, 0, bitRate}; }

INSTANTIATE_TEST_SUITE_P(
    Limits, ChooseVideoTrackTable,
    ::testing::Values(
        VideoRow{"NoLimitsLargestPicture", {}, kHdThenFullHd, 1},
        VideoRow{"HeightLimit", Size(0, 720), kHdThenFullHd, 0},
        VideoRow{"HeightLimitIsInclusive", Size(0, 1080), kHdThenFullHd, 1},
        VideoRow{"NothingFitsSmallestPicture", Size(640, 0), kFullHdThenHd, 1},
        VideoRow{"BitRateOnlyHighestWithin", BitRate(3'000'000), kFullHdThenHd, 1},
        VideoRow{"BitRateOnlyNothingFitsLowestKnown", BitRate(1'000'000), kFullHdThenHd, 1},
        VideoRow{"BitRateOnlyUnknownRateNeverChosen", BitRate(1'000'000),
                 {Video(640, 360, 0), Video(1920, 1080, 5'000'000)}, 1},
        VideoRow{"BitRateOnlyAllUnknownFirstTrack", BitRate(1'000'000), {Video(640, 360, 0), Video(1280, 720, 0)}, 0},
        VideoRow{"SizeAndBitRateLimitsRankByArea", VideoLimits{0, 1080, 3'000'000},
                 {Video(640, 360, 1'000'000), Video(1280, 720, 2'500'000), Video(1920, 1080, 5'000'000)}, 1},
        VideoRow{"SameSizeEarlierWins", {}, {Video(1280, 720, 1'000'000), Video(1280, 720, 4'000'000)}, 0},
        VideoRow{"UnknownBitRatePassesBitRateLimit", VideoLimits{0, 720, 1'000'000},
                 {Video(1920, 1080, 500'000), Video(1280, 720, 0), Video(640, 360, 400'000)}, 1},
        VideoRow{"HugeFrameStillTheLargest", {}, {Video(1920, 1080, 0), Video(65536, 65536, 0)}, 1},
        VideoRow{"NoTracks", {}, {}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- presentation

TEST(PresentTextTrack, PresentsChosenEligibleTrack_DisablesOtherEligible_LeavesOthersAlone) {
  VectorTextTrackList tracks({Text(Kind::Chapter, "en"), Text(Kind::Subtitle, "fr"), Text(Kind::Caption, "en"),
                              Text(Kind::Speech, "de")});
  PresentTextTrack(tracks, 2);
  EXPECT_THAT(tracks.modeChanges,
              ElementsAre(std::pair{1u, Mode::Disabled}, std::pair{2u, Mode::PlatformPresented},
                          std::pair{3u, Mode::Disabled}));
  EXPECT_EQ(tracks.PresentationMode(0), Mode::Hidden);
}

TEST(PresentTextTrack, DisablesEveryEligibleTrack_WhenChoiceIsNoneOrNotEligible) {
  for (int16_t n : {int16_t{-1}, int16_t{0}, int16_t{9}}) {
    SCOPED_TRACE(n);
    VectorTextTrackList tracks({Text(Kind::Chapter, "en"), Text(Kind::Subtitle, "fr"), Text(Kind::Caption, "en")});
    PresentTextTrack(tracks, n);
    EXPECT_THAT(tracks.modeChanges, ElementsAre(std::pair{1u, Mode::Disabled}, std::pair{2u, Mode::Disabled}));
    EXPECT_EQ(tracks.PresentationMode(0), Mode::Hidden);
  }
}

// ---------------------------------------------------------------- preferences

struct PreferenceRow {
  const char* name;
  TrackGroup group;
  const char* storedTag;
  std::vector<std::string> systemLanguages;
  int16_t expected;
};
void PrintTo(const PreferenceRow& row, std::ostream* os) { *os << row.name; }

class ChooseTrackTable : public ::testing::TestWithParam<PreferenceRow> {};

TEST_P(ChooseTrackTable, ChoosesExpectedPosition) {
  auto audio = std::make_shared<VectorTrackList<AudioTrack>>(AudioLanguages({"de", "en-US", "en", "fr-FR", "Ä"}));
  auto text = std::make_shared<VectorTextTrackList>(std::vector<TimedMetadataTrack>{
      Text(Kind::Chapter, "en"), Text(Kind::Subtitle, "fr"), Text(Kind::Caption, "en-us")});
  const auto item = OpenedItem(audio, text);
  const PreferenceRow& row = GetParam();
  EXPECT_EQ(ChooseTrack(row.group, *item, row.storedTag, row.systemLanguages), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Preferences, ChooseTrackTable,
    ::testing::Values(
        PreferenceRow{"StoredTagUsedAsStored", TrackGroup::Audio, "EN", {"en"}, 0},
        PreferenceRow{"StoredTagBeatsSystem", TrackGroup::Audio, "fr-FR", {"en-US"}, 3},
        PreferenceRow{"SystemLanguageLowerCased", TrackGroup::Audio, "", {"EN-US"}, 2},
        PreferenceRow{"FirstSystemLanguageDecides", TrackGroup::Audio, "", {"es-ES", "en"}, 0},
        PreferenceRow{"SystemOrderKept", TrackGroup::Audio, "", {"FR-fr", "en"}, 3},
        PreferenceRow{"OnlyAsciiLowerCased", TrackGroup::Audio, "", {"Ä"}, 4},
        PreferenceRow{"NoStoredTagNoSystemLanguage", TrackGroup::Audio, "", {}, -1},
        PreferenceRow{"TextSystemLanguageLowerCased", TrackGroup::Text, "", {"EN-US"}, 2},
        PreferenceRow{"TextStoredTagUsedAsStored", TrackGroup::Text, "EN-US", {"en-us"}, 1},
        PreferenceRow{"TextNoStoredTagNoSystemLanguage", TrackGroup::Text, "", {}, -1},
        PreferenceRow{"VideoIsNotChosenHere", TrackGroup::Video, "en", {"en"}, -1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ApplyTrackChoice, SelectsOnlyAChosenTrackThatIsNotAlreadySelected) {
  VectorTrackList<AudioTrack> tracks(AudioLanguages({"fr", "en"}));
  ApplyTrackChoice(tracks, -1);
  ApplyTrackChoice(tracks, 1);
  ApplyTrackChoice(tracks, 1);
  EXPECT_THAT(tracks.selections, ElementsAre(1));
}

// ---------------------------------------------------------------- long lists

TEST(TrackWalks, StopAtLastSixteenBitPosition_OnLongerLists) {
  HugeTrackList<AudioTrack> audio(70'000, Audio("fr"));
  EXPECT_EQ(ChooseAudioTrack(audio, "de"), 0);
  EXPECT_EQ(audio.reads, uint64_t{kLastTrackPosition} + 1);

  HugeTrackList<VideoTrack> video(70'000, Video(640, 360, 1'000'000));
  EXPECT_EQ(ChooseVideoTrack(video, {}), 0);
  EXPECT_EQ(video.reads, uint64_t{kLastTrackPosition} + 1);
}

TEST(TrackWalks, RaiseBoundsError_WhenTheListShrinksBelowItsSize) {
  // A list whose GetAt fails is reported, not skipped.
  class Vanishing : public VectorTrackList<AudioTrack> {
   public:
    using VectorTrackList::VectorTrackList;
    uint32_t Size() const override { return 3; }
  };
  const Vanishing tracks(AudioLanguages({"fr"}));
  try {
    ChooseAudioTrack(tracks, "en");
    FAIL() << "expected hresult_error";
  } catch (const platform::hresult_error& error) {
    EXPECT_EQ(error.code(), platform::kBoundsError);
  }
}

}  // namespace
}  // namespace corvane::player
