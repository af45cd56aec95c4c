// What the demo makes of the plugin's events, and the status line.
#include "player_view.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace corvane::play {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

EncodableValue Event(const char* name, EncodableMap payload = {}) {
  payload[EncodableValue("event")] = EncodableValue(name);
  return EncodableValue(payload);
}

EncodableMap Track(const char* title, const char* language) {
  return {{EncodableValue("title"), EncodableValue(title)},
          {EncodableValue("language"), EncodableValue(language)},
          {EncodableValue("format"), EncodableValue("AAC")}};
}

TEST(PlayerView, MediaInfoListsTracksByPositionNotByIdentifierText) {
  EncodableMap audio;
  for (int i = 0; i < 12; ++i) {
    char id[16];
    std::snprintf(id, sizeof id, "0.%d", i);
    audio[EncodableValue(id)] = Track(("Track " + std::to_string(i)).c_str(), "en");
  }
  EncodableMap text{{EncodableValue("2.3"), Track("French", "fr")}, {EncodableValue("2.1"), Track("English", "en")}};
  PlayerView view;
  EXPECT_EQ(ApplyEvent(&view, Event("mediaInfo", {{EncodableValue("audioTracks"), audio},
                                                  {EncodableValue("subtitleTracks"), text},
                                                  {EncodableValue("duration"), int64_t{20000}}})),
            EventKind::kMediaInfo);
  ASSERT_EQ(view.audioTracks.size(), 12u);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(view.audioTracks[i].position, i);  // 10 after 9, not after 1
  EXPECT_EQ(view.audioTracks[10].title, "Track 10");
  ASSERT_EQ(view.subtitleTracks.size(), 2u);
  EXPECT_EQ(view.subtitleTracks[0].position, 1);
  EXPECT_EQ(view.subtitleTracks[0].group, 2);
  EXPECT_EQ(view.durationMs, 20000);
  EXPECT_EQ(view.phase, Phase::kPaused);
}

TEST(PlayerView, TrackIdentifiersThatAreNotTwoNumbersAreSkipped) {
  EncodableMap audio{{EncodableValue("0.1"), Track("good", "en")},  {EncodableValue("0."), Track("a", "")},
                     {EncodableValue(".1"), Track("b", "")},        {EncodableValue("0.1x"), Track("c", "")},
                     {EncodableValue("0.-1"), Track("d", "")},      {EncodableValue("x.1"), Track("e", "")},
                     {EncodableValue(int32_t{1}), Track("f", "")},  {EncodableValue("0.2"), EncodableValue("no map")}};
  const std::vector<TrackInfo> tracks = TracksFromMap(EncodableValue(audio));
  ASSERT_EQ(tracks.size(), 1u);
  EXPECT_EQ(tracks[0].title, "good");
  EXPECT_TRUE(TracksFromMap(EncodableValue("not a map")).empty());
}

TEST(PlayerView, PreferredLanguageGuessesTheShownTrack) {
  std::vector<TrackInfo> tracks(3);
  tracks[0].language = "en";
  tracks[1].language = "fr-CA";
  tracks[2].language = "FR";
  EXPECT_EQ(GuessTrackForLanguage(tracks, "fr"), 2);     // exact, ignoring case
  EXPECT_EQ(GuessTrackForLanguage(tracks, "fr-FR"), 1);  // same primary language
  EXPECT_EQ(GuessTrackForLanguage(tracks, "de"), -1);
  EXPECT_EQ(GuessTrackForLanguage(tracks, ""), -1);
}

TEST(PlayerView, EventsUpdateWhatTheStatusShows) {
  PlayerView view;
  view.phase = Phase::kPlaying;
  ApplyEvent(&view, Event("position", {{EncodableValue("value"), int64_t{65200}}}));
  ApplyEvent(&view, Event("loading", {{EncodableValue("value"), true}}));
  ApplyEvent(&view, Event("videoSize", {{EncodableValue("width"), 1280.0}, {EncodableValue("height"), 720.0}}));
  EXPECT_EQ(view.positionMs, 65200);
  EXPECT_TRUE(view.buffering);
  EXPECT_EQ(view.videoWidth, 1280.0);
  EXPECT_NE(StatusLine(view).find("01:05.2 / 00:00.0  playing (buffering)"), std::string::npos) << StatusLine(view);
  // A value of the wrong kind is not taken.
  ApplyEvent(&view, Event("position", {{EncodableValue("value"), EncodableValue("soon")}}));
  EXPECT_EQ(view.positionMs, 65200);
}

TEST(PlayerView, PlayedTimeCountsPlayingNotLoopsOrSeeks) {
  PlayerView view;
  const auto at = [&](int64_t ms) { ApplyEvent(&view, Event("position", {{EncodableValue("value"), ms}})); };
  at(5000);  // the start position: nothing played yet
  EXPECT_EQ(view.playedMs, 0);
  at(5125);
  at(5250);
  at(6000);
  EXPECT_EQ(view.playedMs, 1000);
  at(0);  // looped to the start
  at(125);
  EXPECT_EQ(view.playedMs, 1125);
  at(8000);  // a seek forward
  at(8125);
  EXPECT_EQ(view.playedMs, 1250);
  view.speed = 4;  // faster playback reports larger steps
  at(11000);
  EXPECT_EQ(view.playedMs, 1250 + 2875);
}

TEST(PlayerView, FinishedEndsPlaybackUnlessLooping) {
  PlayerView view;
  view.phase = Phase::kPlaying;
  view.looping = true;
  EXPECT_EQ(ApplyEvent(&view, Event("finished")), EventKind::kFinished);
  EXPECT_EQ(view.phase, Phase::kPlaying);
  view.looping = false;
  ApplyEvent(&view, Event("finished"));
  EXPECT_EQ(view.phase, Phase::kFinished);
  EXPECT_EQ(view.finishedCount, 2);
}

TEST(PlayerView, ErrorIsKeptAndShown) {
  PlayerView view;
  EXPECT_EQ(ApplyEvent(&view, Event("error", {{EncodableValue("value"), EncodableValue("SourceNotSupported")}})),
            EventKind::kError);
  EXPECT_EQ(view.phase, Phase::kFailed);
  EXPECT_NE(StatusLine(view).find("failed"), std::string::npos);
  EXPECT_NE(StatusLine(view).find("ERROR: SourceNotSupported"), std::string::npos);
  PlayerView unnamed;
  ApplyEvent(&unnamed, Event("error"));
  EXPECT_EQ(unnamed.error, "Unknown");
}

TEST(PlayerView, StatusNamesTheChosenTracks) {
  PlayerView view;
  view.audioTracks = {TrackInfo{0, 0, "English", "en", "AAC"}, TrackInfo{0, 1, "", "fr", "AAC"}};
  view.subtitleTracks = {TrackInfo{2, 0, "English subtitles", "en", "subtitle"}};
  view.currentAudio = 1;
  view.currentSubtitle = 0;
  view.showSubtitles = true;
  view.volume = 0.8;
  view.speed = 1.5;
  const std::string line = StatusLine(view);
  EXPECT_NE(line.find("audio: track 1 (fr)"), std::string::npos) << line;  // untitled track
  EXPECT_NE(line.find("subtitles: English subtitles (en)"), std::string::npos) << line;
  EXPECT_NE(line.find("speed 1.50x  volume 80%"), std::string::npos) << line;
  view.showSubtitles = false;
  EXPECT_NE(StatusLine(view).find("subtitles: off"), std::string::npos);
  view.currentAudio = 7;  // stale index after another source: never read past the list
  EXPECT_NE(StatusLine(view).find("audio: auto"), std::string::npos);
}

TEST(FormatTime, ShowsTenthsAndHoursWhenNeeded) {
  EXPECT_EQ(FormatTime(0), "00:00.0");
  EXPECT_EQ(FormatTime(59999), "00:59.9");
  EXPECT_EQ(FormatTime(3723400), "1:02:03.4");
  EXPECT_EQ(FormatTime(-1500), "-00:01.5");
  EXPECT_EQ(FormatTime(INT64_MIN).substr(0, 1), "-");  // no overflow
}

}  // namespace
}  // namespace corvane::play
