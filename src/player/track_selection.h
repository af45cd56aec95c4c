// Which audio, video and text track a player uses.
//
// Pure functions over the engine's track lists, so that the controller only
// decides *when* to choose and these decide *what*. Nothing here keeps state
// or sends events, so any thread may call them; the controller does so on
// the platform thread. Every engine call that fails raises hresult_error,
// which is left to the caller.
//
// Track positions are signed 16-bit: the zero-based position of a track in
// its engine list, -1 for none. Every walk over a list re-reads Size() before
// each step (the engine's list is live) and stops at the last position a
// signed 16-bit value can name, so an absurdly long list still ends.
//
// Language tags are compared as byte strings, case-sensitively and without
// normalisation; only languages taken from the system list are lower-cased
// (ASCII letters only) before use.
#ifndef CORVANE_PLAYER_TRACK_SELECTION_H_
#define CORVANE_PLAYER_TRACK_SELECTION_H_

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/media_engine.h"

namespace corvane::player {

using platform::AudioTrackList;
using platform::MediaPlaybackItem;
using platform::TimedMetadataKind;
using platform::TimedMetadataTrackList;
using platform::VideoTrackList;

// Dart's "groupId" of "overrideTrack" and the first number of a track
// identifier in "mediaInfo".
enum class TrackGroup { Audio = 0, Video = 1, Text = 2 };

// The largest position a walk visits.
inline constexpr int16_t kLastTrackPosition = INT16_MAX;

// True while a walk may visit `position` of a list that now holds `size`
// tracks. Walks count in 32 bits so that stopping at kLastTrackPosition
// cannot wrap.
inline bool WithinWalk(int32_t position, uint32_t size) {
  return position >= 0 && position <= kLastTrackPosition && static_cast<uint32_t>(position) < size;
}

// Splits at every '-', keeping empty subtags: "" -> {""}, "en-" -> {"en", ""},
// "en--US" -> {"en", "", "US"}. Never empty.
std::vector<std::string> SplitLanguageTag(const std::string& tag);

// The candidate with the fewest subtags, the lowest position among equals;
// -1 when there is none.
int16_t PickCandidate(const std::map<int16_t, std::vector<std::string>>& candidates);

// The audio track whose language agrees best with `tag`: all of the first
// three subtags at once, else the shortest tag among those agreeing in the
// first two, else among those agreeing in the first one. Falls back to 0
// when the list has any track, -1 when it is empty.
int16_t ChooseAudioTrack(const AudioTrackList& tracks, const std::string& tag);

// Caption, subtitle and speech tracks are the only text tracks a player
// describes, chooses or presents.
bool IsTextTrackKind(TimedMetadataKind kind);

// "caption", "chapter", "custom", "data", "description", "subtitle",
// "speech"; "unknown" for anything else (ImageSubtitle included).
const char* TimedMetadataKindName(TimedMetadataKind kind);

// The first eligible text track whose whole language tag equals `tag`,
// else the first eligible track, else -1.
int16_t ChooseTextTrack(const TimedMetadataTrackList& tracks, const std::string& tag);

// Zero means no limit.
struct VideoLimits {
  uint16_t maxWidth = 0, maxHeight = 0;
  uint32_t maxBitRate = 0;
};

// The largest picture among the tracks within the limits (limits are
// inclusive; a track value of 0 passes its limit). With only a bit-rate
// limit, the highest known bit rate within it instead. When nothing fits,
// the smallest picture (or lowest known bit rate); failing that, 0 when the
// list has any track, else -1. Earlier tracks win ties.
int16_t ChooseVideoTrack(const VideoTrackList& tracks, const VideoLimits& limits);

// Selects `choice` when it names a track (0 or more) and is not already the
// selected one; a choice of -1 leaves the engine's selection alone.
template <typename Track>
void ApplyTrackChoice(platform::MediaTrackList<Track>& tracks, int16_t choice) {
  if (choice >= 0 && choice != tracks.SelectedIndex()) tracks.SelectedIndex(choice);
}

// Presents eligible track `n` on the platform and disables every other
// eligible track. With n = -1 (or a position naming no eligible track)
// every eligible track is disabled. Other tracks keep their modes.
void PresentTextTrack(TimedMetadataTrackList& tracks, int16_t n);

// The track for the Audio or Text group of `item` (Video gives -1): the
// stored tag when it is not empty, used exactly as stored; otherwise each
// system language in order, ASCII-lower-cased, until one yields a track.
// -1 when nothing does (no tracks, or no stored tag and no system language).
int16_t ChooseTrack(TrackGroup group, const MediaPlaybackItem& item, const std::string& storedTag,
                    const std::vector<std::string>& systemLanguages);

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_TRACK_SELECTION_H_
