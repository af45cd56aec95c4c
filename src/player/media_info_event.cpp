#include "player/media_info_event.h"

#include <cstdint>
#include <limits>
#include <utility>

namespace corvane::player {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;
using platform::TimedMetadataTrackPresentationMode;

// Dart reads the engine's unsigned counts as 32-bit integers. A count past
// the signed 32-bit range would arrive negative, so it travels as a 64-bit
// integer instead; Dart's int reads both alike.
EncodableValue EngineCount(uint32_t count) {
  if (count <= static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
    return EncodableValue(static_cast<int32_t>(count));
  }
  return EncodableValue(static_cast<int64_t>(count));
}

const std::string& TitleOf(const std::string& name, const std::string& label) {
  return name.empty() ? label : name;
}

EncodableMap AudioEntry(const platform::AudioTrack& track) {
  const platform::AudioEncodingProperties properties = track.GetEncodingProperties();
  return EncodableMap{
      {EncodableValue("title"), EncodableValue(TitleOf(track.Name(), track.Label()))},
      {EncodableValue("language"), EncodableValue(track.Language())},
      {EncodableValue("format"), EncodableValue(properties.Subtype())},
      {EncodableValue("bitRate"), EngineCount(properties.Bitrate())},
      {EncodableValue("channels"), EngineCount(properties.ChannelCount())},
      {EncodableValue("sampleRate"), EngineCount(properties.SampleRate())},
  };
}

EncodableMap TextEntry(const platform::TimedMetadataTrack& track) {
  return EncodableMap{
      {EncodableValue("title"), EncodableValue(TitleOf(track.Name(), track.Label()))},
      {EncodableValue("language"), EncodableValue(track.Language())},
      {EncodableValue("format"), EncodableValue(TimedMetadataKindName(track.TimedMetadataKind()))},
  };
}

}  // namespace

std::string TrackIdentifier(TrackGroup group, int16_t position) {
  return std::to_string(static_cast<int>(group)) + "." + std::to_string(position);
}

EncodableMap DescribeAudioTracks(const AudioTrackList& tracks) {
  EncodableMap entries;
  for (int32_t i = 0; WithinWalk(i, tracks.Size()); ++i) {
    entries.emplace(EncodableValue(TrackIdentifier(TrackGroup::Audio, static_cast<int16_t>(i))),
                    AudioEntry(tracks.GetAt(static_cast<uint32_t>(i))));
  }
  return entries;
}

EncodableMap DescribeAndPresentTextTracks(TimedMetadataTrackList& tracks, int16_t choice) {
  EncodableMap entries;
  for (int32_t p = 0; WithinWalk(p, tracks.Size()); ++p) {
    const auto position = static_cast<uint32_t>(p);
    const platform::TimedMetadataTrack track = tracks.GetAt(position);
    if (!IsTextTrackKind(track.TimedMetadataKind())) continue;
    if (choice >= 0) {
      tracks.SetPresentationMode(position, p == choice ? TimedMetadataTrackPresentationMode::PlatformPresented
                                                       : TimedMetadataTrackPresentationMode::Disabled);
    }
    entries.emplace(EncodableValue(TrackIdentifier(TrackGroup::Text, static_cast<int16_t>(p))), TextEntry(track));
  }
  return entries;
}

int64_t MediaInfoDurationMs(bool realTimePlayback, platform::TimeSpan naturalDuration) {
  if (realTimePlayback) return 0;
  return naturalDuration.count() / 10000;
}

EncodableMap MediaInfoEvent(EncodableMap audioTracks, EncodableMap subtitleTracks, int64_t durationMs,
                            const std::string& source) {
  return EncodableMap{
      {EncodableValue("event"), EncodableValue("mediaInfo")},
      {EncodableValue("audioTracks"), EncodableValue(std::move(audioTracks))},
      {EncodableValue("subtitleTracks"), EncodableValue(std::move(subtitleTracks))},
      {EncodableValue("duration"), EncodableValue(durationMs)},
      {EncodableValue("source"), EncodableValue(source)},
  };
}

}  // namespace corvane::player
