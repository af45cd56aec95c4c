#include "player/media_info_event.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "host/standard_method_codec.h"
#include "player_logic/vector_track_lists.h"
#include "player_logic/wire_bytes.h"

namespace corvane::player {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using platform::AudioTrack;
using platform::TimedMetadataTrack;
using platform::TimeSpan;
using testing::Audio;
using testing::HugeTrackList;
using testing::OpenedItem;
using testing::Text;
using testing::VectorTextTrackList;
using testing::VectorTrackList;
using testing::WireBytes;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Kind = platform::TimedMetadataKind;
using Mode = platform::TimedMetadataTrackPresentationMode;

std::vector<uint8_t> Encoded(const EncodableMap& event) {
  const EncodableValue value(event);
  return *flutter::StandardMethodCodec::GetInstance().EncodeSuccessEnvelope(&value);
}

std::vector<std::string> KeysOf(const EncodableMap& map) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : map) keys.push_back(std::get<std::string>(key));
  return keys;
}

const EncodableMap& Entry(const EncodableMap& map, const char* key) {
  return std::get<EncodableMap>(map.at(EncodableValue(key)));
}

AudioTrack Aac(std::string language, std::string name, std::string label, uint32_t bitRate) {
  AudioTrack track = Audio(std::move(language), std::move(name), std::move(label));
  track.encoding = {"AAC", bitRate, 2, 48000};
  return track;
}

// The event as the media-opened pass builds it, without choosing tracks.
EncodableMap BuildMediaInfoEvent(const platform::MediaPlaybackItem& item, int64_t durationMs,
                                 const std::string& source) {
  return MediaInfoEvent(DescribeAudioTracks(*item.AudioTracks()),
                        DescribeAndPresentTextTracks(*item.TimedMetadataTracks(), -1), durationMs, source);
}

TEST(MediaInfoEvent, ReachesDartByteForByte_InCodecKeyOrder) {
  auto audio = std::make_shared<VectorTrackList<AudioTrack>>(std::vector<AudioTrack>{Aac("en", "", "Main", 128000)});
  auto text = std::make_shared<VectorTextTrackList>(std::vector<TimedMetadataTrack>{
      Text(Kind::Chapter, "en", "Chapters"), Text(Kind::Subtitle, "fr", "Français")});
  const auto item = OpenedItem(audio, text);

  const EncodableMap event = BuildMediaInfoEvent(*item, 1234, "asset://videos/clip one.mp4");

  const std::vector<uint8_t> expected = WireBytes::SuccessEnvelope()
                                            .Map(5)
                                            .String("audioTracks")
                                            .Map(1)
                                            .String("0.0")
                                            .Map(6)
                                            .String("bitRate").Int32(128000)
                                            .String("channels").Int32(2)
                                            .String("format").String("AAC")
                                            .String("language").String("en")
                                            .String("sampleRate").Int32(48000)
                                            .String("title").String("Main")
                                            .String("duration").Int64(1234)
                                            .String("event").String("mediaInfo")
                                            .String("source").String("asset://videos/clip one.mp4")
                                            .String("subtitleTracks")
                                            .Map(1)
                                            .String("2.1")
                                            .Map(3)
                                            .String("format").String("subtitle")
                                            .String("language").String("fr")
                                            .String("title").String("Français")
                                            .bytes();
  EXPECT_EQ(Encoded(event), expected);
}

TEST(DescribeAudioTracks, OrdersIdentifiersAsStrings_ForTwelveTracks) {
  VectorTrackList<AudioTrack> tracks(std::vector<AudioTrack>(12, Aac("en", "x", "", 1)));
  EXPECT_THAT(KeysOf(DescribeAudioTracks(tracks)),
              ElementsAre("0.0", "0.1", "0.10", "0.11", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9"));
}

TEST(DescribeAudioTracks, TitleIsNameThenLabel_AndEmptyWhenBothAre) {
  VectorTrackList<AudioTrack> tracks(
      {Aac("en", "Director", "Commentary", 1), Aac("de", "", "Deutsch", 1), Aac("", "", "", 1)});
  const EncodableMap entries = DescribeAudioTracks(tracks);
  EXPECT_EQ(Entry(entries, "0.0").at(EncodableValue("title")), EncodableValue("Director"));
  EXPECT_EQ(Entry(entries, "0.1").at(EncodableValue("title")), EncodableValue("Deutsch"));
  EXPECT_EQ(Entry(entries, "0.2").at(EncodableValue("title")), EncodableValue(""));
  EXPECT_EQ(Entry(entries, "0.2").at(EncodableValue("language")), EncodableValue(""));
}

TEST(DescribeAudioTracks, CountsTravelAs32BitIntegers_UnlessTooLargeForThem) {
  AudioTrack huge = Aac("en", "x", "", 3'000'000'000u);
  VectorTrackList<AudioTrack> tracks({Aac("en", "x", "", 0), huge});
  const EncodableMap entries = DescribeAudioTracks(tracks);
  EXPECT_EQ(Entry(entries, "0.0").at(EncodableValue("bitRate")), EncodableValue(int32_t{0}));
  EXPECT_EQ(Entry(entries, "0.0").at(EncodableValue("sampleRate")), EncodableValue(int32_t{48000}));
  // A negative bit rate would be a wrong number in Dart.
  EXPECT_EQ(Entry(entries, "0.1").at(EncodableValue("bitRate")), EncodableValue(int64_t{3'000'000'000}));
}

TEST(DescribeAndPresentTextTracks, ListsEligibleTracksOnly_KeepingEnginePositions) {
  VectorTextTrackList tracks({Text(Kind::Caption, "en", "", "CC"), Text(Kind::Chapter, "en"),
                              Text(Kind::ImageSubtitle, "en"), Text(Kind::Speech, "de", "Audio description"),
                              Text(Kind::Subtitle, "fr")});
  const EncodableMap entries = DescribeAndPresentTextTracks(tracks, -1);
  EXPECT_THAT(KeysOf(entries), ElementsAre("2.0", "2.3", "2.4"));
  EXPECT_EQ(Entry(entries, "2.0"),
            (EncodableMap{{EncodableValue("format"), EncodableValue("caption")},
                          {EncodableValue("language"), EncodableValue("en")},
                          {EncodableValue("title"), EncodableValue("CC")}}));
  EXPECT_EQ(Entry(entries, "2.3").at(EncodableValue("format")), EncodableValue("speech"));
  EXPECT_EQ(Entry(entries, "2.4").at(EncodableValue("format")), EncodableValue("subtitle"));
}

TEST(DescribeAndPresentTextTracks, SetsModesOfEligibleTracks_OnlyWhenATrackIsChosen) {
  const std::vector<TimedMetadataTrack> mix = {Text(Kind::Chapter, "en"), Text(Kind::Subtitle, "fr"),
                                               Text(Kind::Caption, "en")};
  VectorTextTrackList chosen(mix);
  DescribeAndPresentTextTracks(chosen, 2);
  EXPECT_THAT(chosen.modeChanges, ElementsAre(std::pair{1u, Mode::Disabled}, std::pair{2u, Mode::PlatformPresented}));

  VectorTextTrackList none(mix);
  DescribeAndPresentTextTracks(none, -1);
  EXPECT_THAT(none.modeChanges, IsEmpty());

  VectorTextTrackList chapterChosen(mix);
  DescribeAndPresentTextTracks(chapterChosen, 0);
  EXPECT_THAT(chapterChosen.modeChanges, ElementsAre(std::pair{1u, Mode::Disabled}, std::pair{2u, Mode::Disabled}));
}

TEST(DescribeAndPresentTextTracks, KeepsModesAlreadySet_WhenTheListFailsPartWay) {
  // The engine's list shrank after Size() was read: the pass ends with the
  // engine's error, and the mode it set before stays set.
  class Shrinking : public VectorTextTrackList {
   public:
    using VectorTextTrackList::VectorTextTrackList;
    uint32_t Size() const override { return 3; }
  };
  Shrinking tracks({Text(Kind::Subtitle, "fr")});
  EXPECT_THROW(DescribeAndPresentTextTracks(tracks, 0), platform::hresult_error);
  EXPECT_EQ(tracks.PresentationMode(0), Mode::PlatformPresented);
}

TEST(MediaInfoEvent, NeverOmitsTrackMaps_AndChangesNoSelection) {
  auto audio = std::make_shared<VectorTrackList<AudioTrack>>();
  auto text = std::make_shared<VectorTextTrackList>(std::vector<TimedMetadataTrack>{Text(Kind::Chapter, "en")});
  const auto item = OpenedItem(audio, text);

  const EncodableMap event = BuildMediaInfoEvent(*item, 0, "");

  EXPECT_THAT(KeysOf(event), ElementsAre("audioTracks", "duration", "event", "source", "subtitleTracks"));
  EXPECT_THAT(Entry(event, "audioTracks"), IsEmpty());
  EXPECT_THAT(Entry(event, "subtitleTracks"), IsEmpty());
  EXPECT_EQ(event.at(EncodableValue("duration")), EncodableValue(int64_t{0}));
  EXPECT_EQ(event.at(EncodableValue("source")), EncodableValue(""));
  EXPECT_THAT(audio->selections, IsEmpty());
  EXPECT_THAT(text->modeChanges, IsEmpty());
}

TEST(MediaInfoDurationMs, TruncatesTicksToMilliseconds_AndIsZeroInRealTime) {
  EXPECT_EQ(MediaInfoDurationMs(false, TimeSpan(12'345'678)), 1234);
  EXPECT_EQ(MediaInfoDurationMs(false, TimeSpan(9'999)), 0);
  EXPECT_EQ(MediaInfoDurationMs(true, platform::kLiveDuration), 0);
  EXPECT_EQ(MediaInfoDurationMs(true, TimeSpan(12'345'678)), 0);
  EXPECT_EQ(MediaInfoDurationMs(false, platform::kLiveDuration), INT64_MAX / 10000);
}

TEST(DescribeAudioTracks, StopsAtLastSixteenBitPosition_OnLongerLists) {
  HugeTrackList<AudioTrack> tracks(70'000, Aac("en", "x", "", 1));
  const EncodableMap entries = DescribeAudioTracks(tracks);
  EXPECT_EQ(entries.size(), size_t{kLastTrackPosition} + 1);
  EXPECT_EQ(entries.count(EncodableValue("0.32767")), 1u);
}

}  // namespace
}  // namespace corvane::player
