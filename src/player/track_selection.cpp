#include "player/track_selection.h"

#include <limits>
#include <utility>

namespace corvane::player {
namespace {

using platform::TimedMetadataTrackPresentationMode;

using Candidates = std::map<int16_t, std::vector<std::string>>;

// Subtag `index` of both lists exists and agrees.
bool SubtagAgrees(const std::vector<std::string>& a, const std::vector<std::string>& b, size_t index) {
  return a.size() > index && b.size() > index && a[index] == b[index];
}

std::string AsciiLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Runs `choose` with the stored tag, or with each system language in turn
// until one gives a track.
template <typename Choose>
int16_t ChooseByPreference(const std::string& storedTag, const std::vector<std::string>& systemLanguages,
                           Choose choose) {
  if (!storedTag.empty()) return choose(storedTag);
  for (const std::string& language : systemLanguages) {
    const int16_t choice = choose(AsciiLower(language));
    if (choice >= 0) return choice;
  }
  return -1;
}

}  // namespace

std::vector<std::string> SplitLanguageTag(const std::string& tag) {
  std::vector<std::string> subtags;
  size_t start = 0;
  for (size_t dash = tag.find('-'); dash != std::string::npos; dash = tag.find('-', start)) {
    subtags.push_back(tag.substr(start, dash - start));
    start = dash + 1;
  }
  subtags.push_back(tag.substr(start));
  return subtags;
}

int16_t PickCandidate(const Candidates& candidates) {
  int16_t best = -1;
  size_t fewest = std::numeric_limits<size_t>::max();
  // The map walks positions upward, so a strict comparison keeps the
  // lowest position among equally short tags.
  for (const auto& [position, subtags] : candidates) {
    if (subtags.size() < fewest) {
      fewest = subtags.size();
      best = position;
    }
  }
  return best;
}

int16_t ChooseAudioTrack(const AudioTrackList& tracks, const std::string& tag) {
  const std::vector<std::string> wanted = SplitLanguageTag(tag);
  Candidates primary;    // first subtag agrees
  Candidates secondary;  // first two subtags agree
  for (int32_t i = 0; WithinWalk(i, tracks.Size()); ++i) {
    std::vector<std::string> offered = SplitLanguageTag(tracks.GetAt(static_cast<uint32_t>(i)).Language());
    if (offered[0] != wanted[0]) continue;
    const auto position = static_cast<int16_t>(i);
    if (SubtagAgrees(offered, wanted, 1)) {
      // Subtags after the third never matter.
      if (SubtagAgrees(offered, wanted, 2)) return position;
      secondary.emplace(position, offered);
    }
    primary.emplace(position, std::move(offered));
  }
  int16_t choice = PickCandidate(secondary);
  if (choice < 0) choice = PickCandidate(primary);
  if (choice < 0 && tracks.Size() > 0) choice = 0;
  return choice;
}

bool IsTextTrackKind(TimedMetadataKind kind) {
  return kind == TimedMetadataKind::Caption || kind == TimedMetadataKind::Subtitle ||
         kind == TimedMetadataKind::Speech;
}

const char* TimedMetadataKindName(TimedMetadataKind kind) {
  switch (kind) {
    case TimedMetadataKind::Caption:
      return "caption";
    case TimedMetadataKind::Chapter:
      return "chapter";
    case TimedMetadataKind::Custom:
      return "custom";
    case TimedMetadataKind::Data:
      return "data";
    case TimedMetadataKind::Description:
      return "description";
    case TimedMetadataKind::Subtitle:
      return "subtitle";
    case TimedMetadataKind::Speech:
      return "speech";
    default:
      return "unknown";
  }
}

int16_t ChooseTextTrack(const TimedMetadataTrackList& tracks, const std::string& tag) {
  int16_t first = -1;
  for (int32_t i = 0; WithinWalk(i, tracks.Size()); ++i) {
    const platform::TimedMetadataTrack track = tracks.GetAt(static_cast<uint32_t>(i));
    if (!IsTextTrackKind(track.TimedMetadataKind())) continue;
    const auto position = static_cast<int16_t>(i);
    if (first < 0) first = position;
    if (track.Language() == tag) return position;
  }
  return first;
}

int16_t ChooseVideoTrack(const VideoTrackList& tracks, const VideoLimits& limits) {
  const uint32_t maxWidth = limits.maxWidth;
  const uint32_t maxHeight = limits.maxHeight;
  const uint32_t maxBitRate = limits.maxBitRate;
  const bool bitRateOnly = maxWidth == 0 && maxHeight == 0 && maxBitRate != 0;

  // Areas are 64-bit: a 32-bit product would wrap for huge frames and rank
  // them below tiny ones.
  int16_t best = -1;
  uint64_t bestArea = 0;
  uint32_t bestBitRate = 0;
  int16_t fallback = -1;
  uint64_t smallestArea = std::numeric_limits<uint64_t>::max();
  uint32_t smallestBitRate = std::numeric_limits<uint32_t>::max();

  for (int32_t i = 0; WithinWalk(i, tracks.Size()); ++i) {
    const platform::VideoEncodingProperties properties =
        tracks.GetAt(static_cast<uint32_t>(i)).GetEncodingProperties();
    const uint32_t bitRate = properties.Bitrate();
    const uint32_t width = properties.Width();
    const uint32_t height = properties.Height();
    const uint64_t area = uint64_t{width} * height;
    const auto position = static_cast<int16_t>(i);

    const bool fits = (maxWidth == 0 || width == 0 || width <= maxWidth) &&
                      (maxHeight == 0 || height == 0 || height <= maxHeight) &&
                      (maxBitRate == 0 || bitRate == 0 || bitRate <= maxBitRate);
    if (fits) {
      if (bitRateOnly) {
        if (bitRate != 0 && bitRate > bestBitRate) {
          bestBitRate = bitRate;
          best = position;
        }
      } else if (area > bestArea) {
        bestArea = area;
        best = position;
      }
    }
    if (best < 0) {
      if (bitRateOnly) {
        if (bitRate != 0 && bitRate < smallestBitRate) {
          smallestBitRate = bitRate;
          fallback = position;
        }
      } else if (area < smallestArea) {
        smallestArea = area;
        fallback = position;
      }
    }
  }

  int16_t choice = best >= 0 ? best : fallback;
  if (choice < 0 && tracks.Size() > 0) choice = 0;
  return choice;
}

void PresentTextTrack(TimedMetadataTrackList& tracks, int16_t n) {
  for (int32_t p = 0; WithinWalk(p, tracks.Size()); ++p) {
    const auto position = static_cast<uint32_t>(p);
    if (!IsTextTrackKind(tracks.GetAt(position).TimedMetadataKind())) continue;
    tracks.SetPresentationMode(position, p == n ? TimedMetadataTrackPresentationMode::PlatformPresented
                                                : TimedMetadataTrackPresentationMode::Disabled);
  }
}

int16_t ChooseTrack(TrackGroup group, const MediaPlaybackItem& item, const std::string& storedTag,
                    const std::vector<std::string>& systemLanguages) {
  switch (group) {
    case TrackGroup::Audio: {
      const std::shared_ptr<AudioTrackList> tracks = item.AudioTracks();
      if (!tracks) return -1;
      return ChooseByPreference(storedTag, systemLanguages,
                                [&](const std::string& tag) { return ChooseAudioTrack(*tracks, tag); });
    }
    case TrackGroup::Text: {
      const std::shared_ptr<TimedMetadataTrackList> tracks = item.TimedMetadataTracks();
      if (!tracks) return -1;
      return ChooseByPreference(storedTag, systemLanguages,
                                [&](const std::string& tag) { return ChooseTextTrack(*tracks, tag); });
    }
    case TrackGroup::Video:
      break;
  }
  return -1;
}

}  // namespace corvane::player
