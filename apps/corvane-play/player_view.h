// What the demo player knows about one of its players, learnt from the
// plugin's events and from the commands it sent, and the status line that
// shows it.
#ifndef CORVANE_APPS_PLAY_PLAYER_VIEW_H_
#define CORVANE_APPS_PLAY_PLAYER_VIEW_H_

#include <cstdint>
#include <string>
#include <vector>

#include "host/encodable_value.h"

namespace corvane::play {

// One entry of "mediaInfo"'s "audioTracks" or "subtitleTracks".
struct TrackInfo {
  int group = 0;     // 0 audio, 2 text: what "overrideTrack" wants as "groupId"
  int position = 0;  // the engine's position: "overrideTrack"'s "trackId"
  std::string title;
  std::string language;
  std::string format;
};

enum class Phase {
  kOpening,   // waiting for "mediaInfo"
  kPaused,    // loaded, not playing
  kPlaying,
  kFinished,  // reached the end and not looping
  kFailed,    // the plugin sent "error"
};

struct PlayerView {
  int64_t id = -1;
  int64_t subtitleTextureId = -1;
  Phase phase = Phase::kOpening;

  // From events.
  int64_t positionMs = 0;
  // Media time played since the first position report, summed over the
  // reports: a loop back to the start or a seek does not count, so
  // --duration means "this much playing" whatever the position does.
  int64_t playedMs = 0;
  bool positionKnown = false;
  int64_t durationMs = 0;
  int64_t bufferedEndMs = 0;
  bool buffering = false;
  double videoWidth = 0, videoHeight = 0;
  std::vector<TrackInfo> audioTracks;     // by position, not by identifier text
  std::vector<TrackInfo> subtitleTracks;  // by position
  int finishedCount = 0;
  std::string error;  // the last "error" event's name, or a failed reply

  // What the demo asked the plugin for.
  double volume = 1.0;
  double speed = 1.0;
  bool looping = false;
  bool showSubtitles = false;
  // Indexes into the track vectors; -1: left to the plugin's preference.
  int currentAudio = -1;
  int currentSubtitle = -1;
  std::string preferredAudioLanguage, preferredSubtitleLanguage;
};

// What an event meant, for whoever drives the player.
enum class EventKind { kMediaInfo, kPosition, kBuffer, kLoading, kSeekEnd, kVideoSize, kFinished, kError, kOther };

// Updates `view` from one event map. Values of the wrong kind are ignored
// rather than trusted: the plugin is the thing under test here.
EventKind ApplyEvent(PlayerView* view, const flutter::EncodableValue& event);

// Parses a "%d.%d" track identifier; false for anything else.
bool ParseTrackId(const std::string& id, int* group, int* position);

// The track list of a "mediaInfo" map entry, ordered by position (so
// "0.10" comes after "0.9", unlike the map's own order).
std::vector<TrackInfo> TracksFromMap(const flutter::EncodableValue& tracks);

// The index of the track the plugin most likely picked for `preferred`:
// same language ignoring case, else same primary language; -1 if none.
int GuessTrackForLanguage(const std::vector<TrackInfo>& tracks, const std::string& preferred);

// "01:05.2" for 65200 ms; hours are shown when needed ("1:02:03.0").
std::string FormatTime(int64_t ms);

// One line: position / duration, phase, buffering, speed, volume, audio and
// subtitle tracks, looping, and the last error if any.
std::string StatusLine(const PlayerView& view);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_PLAYER_VIEW_H_
