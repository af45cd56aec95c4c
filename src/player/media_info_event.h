// The "mediaInfo" event: what Dart learns about a source once it has opened.
//
// {"event": "mediaInfo",
//  "audioTracks":    {"0.<position>": audio entry, ...}   every audio track
//  "subtitleTracks": {"2.<position>": text entry, ...}    caption, subtitle
//                                                          and speech tracks
//  "duration": 64-bit milliseconds (0 for real-time playback),
//  "source":   the source string exactly as Dart passed it to "open"}
//
// Audio entry: "title" (Name, else Label), "language" (as the engine gives
// it), "format" (codec subtype), "bitRate", "channels", "sampleRate".
// Text entry: "title" (Name, else Label), "language", "format" (the kind's
// name: "caption", "subtitle" or "speech"). Positions count every track of
// the engine's list, so text identifiers can have gaps. Maps keep the
// codec's key order, so "0.10" reaches Dart before "0.2".
//
// The controller's load-completion pass (platform thread) interleaves the
// choice of tracks with their description, in this order:
//
//   auto item = mediaPlayer->Source();
//   auto audio = item->AudioTracks();
//   ApplyTrackChoice(*audio, ChooseTrack(TrackGroup::Audio, *item, preferredAudioLanguage, languages));
//   // log the audio track count: audio->Size()
//   flutter::EncodableMap audioTracks = DescribeAudioTracks(*audio);
//   auto text = item->TimedMetadataTracks();
//   const int16_t n = ChooseTrack(TrackGroup::Text, *item, preferredSubtitleLanguage, languages);
//   // log the text track count: text->Size() (every kind)
//   flutter::EncodableMap subtitleTracks = DescribeAndPresentTextTracks(*text, n);
//   if (!eventSink) return;  // the selections above stay in force
//   eventSink->Success(flutter::EncodableValue(MediaInfoEvent(
//       std::move(audioTracks), std::move(subtitleTracks),
//       MediaInfoDurationMs(GetRealTimePlayback(), session->NaturalDuration()), source)));
//
// Engine calls that fail raise hresult_error and end the pass; what was
// selected before stays selected.
#ifndef CORVANE_PLAYER_MEDIA_INFO_EVENT_H_
#define CORVANE_PLAYER_MEDIA_INFO_EVENT_H_

#include <cstdint>
#include <string>

#include "host/encodable_value.h"
#include "platform/media_engine.h"
#include "player/track_selection.h"

namespace corvane::player {

// "<group>.<position>", e.g. "0.11" or "2.1".
std::string TrackIdentifier(TrackGroup group, int16_t position);

// Identifier to audio entry, for every audio track.
flutter::EncodableMap DescribeAudioTracks(const AudioTrackList& tracks);

// Identifier to text entry, for every eligible text track. When `choice` is
// 0 or more, each eligible track is also set PlatformPresented (the chosen
// one) or Disabled (the others) as it is listed; with -1 the presentation
// modes stay as they are.
flutter::EncodableMap DescribeAndPresentTextTracks(TimedMetadataTrackList& tracks, int16_t choice);

// 0 for real-time playback, else the natural duration in whole milliseconds
// (truncated toward zero).
int64_t MediaInfoDurationMs(bool realTimePlayback, platform::TimeSpan naturalDuration);

// The event map from described tracks.
flutter::EncodableMap MediaInfoEvent(flutter::EncodableMap audioTracks, flutter::EncodableMap subtitleTracks,
                                     int64_t durationMs, const std::string& source);

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_MEDIA_INFO_EVENT_H_
