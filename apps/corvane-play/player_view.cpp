#include "player_view.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>

namespace corvane::play {

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr int64_t kLargestPlayedStepMs = 2000;

const EncodableValue* Find(const EncodableMap& map, const char* key) {
  auto it = map.find(EncodableValue(key));
  return it == map.end() ? nullptr : &it->second;
}

std::string StringOr(const EncodableMap& map, const char* key, const std::string& fallback = {}) {
  const EncodableValue* value = Find(map, key);
  const auto* text = value != nullptr ? std::get_if<std::string>(value) : nullptr;
  return text != nullptr ? *text : fallback;
}

// The plugin sends 64-bit integers; a 32-bit one is accepted as well.
bool IntegerOf(const EncodableMap& map, const char* key, int64_t* out) {
  const EncodableValue* value = Find(map, key);
  if (value == nullptr) return false;
  if (const auto* v = std::get_if<int64_t>(value)) {
    *out = *v;
    return true;
  }
  if (const auto* v = std::get_if<int32_t>(value)) {
    *out = *v;
    return true;
  }
  return false;
}

bool DoubleOf(const EncodableMap& map, const char* key, double* out) {
  const EncodableValue* value = Find(map, key);
  const auto* v = value != nullptr ? std::get_if<double>(value) : nullptr;
  if (v == nullptr) return false;
  *out = *v;
  return true;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string PrimaryLanguage(const std::string& tag) { return Lower(tag.substr(0, tag.find('-'))); }

std::string Describe(const TrackInfo& track) {
  std::string text = track.title.empty() ? "track " + std::to_string(track.position) : track.title;
  if (!track.language.empty()) text += " (" + track.language + ")";
  return text;
}

const char* PhaseName(Phase phase) {
  switch (phase) {
    case Phase::kOpening: return "opening";
    case Phase::kPaused: return "paused";
    case Phase::kPlaying: return "playing";
    case Phase::kFinished: return "finished";
    case Phase::kFailed: return "failed";
  }
  return "?";
}

}  // namespace

bool ParseTrackId(const std::string& id, int* group, int* position) {
  const size_t dot = id.find('.');
  if (dot == std::string::npos || dot == 0 || dot + 1 == id.size()) return false;
  const char* begin = id.data();
  const char* end = id.data() + id.size();
  auto first = std::from_chars(begin, begin + dot, *group);
  auto second = std::from_chars(begin + dot + 1, end, *position);
  return first.ec == std::errc() && first.ptr == begin + dot && second.ec == std::errc() && second.ptr == end &&
         *position >= 0;
}

std::vector<TrackInfo> TracksFromMap(const EncodableValue& tracks) {
  std::vector<TrackInfo> list;
  const auto* map = std::get_if<EncodableMap>(&tracks);
  if (map == nullptr) return list;
  for (const auto& [key, entry] : *map) {
    const auto* id = std::get_if<std::string>(&key);
    const auto* fields = std::get_if<EncodableMap>(&entry);
    TrackInfo track;
    if (id == nullptr || fields == nullptr || !ParseTrackId(*id, &track.group, &track.position)) continue;
    track.title = StringOr(*fields, "title");
    track.language = StringOr(*fields, "language");
    track.format = StringOr(*fields, "format");
    list.push_back(track);
  }
  std::sort(list.begin(), list.end(),
            [](const TrackInfo& a, const TrackInfo& b) { return a.position < b.position; });
  return list;
}

int GuessTrackForLanguage(const std::vector<TrackInfo>& tracks, const std::string& preferred) {
  if (preferred.empty()) return -1;
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (Lower(tracks[i].language) == Lower(preferred)) return static_cast<int>(i);
  }
  for (size_t i = 0; i < tracks.size(); ++i) {
    if (!tracks[i].language.empty() && PrimaryLanguage(tracks[i].language) == PrimaryLanguage(preferred)) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

EventKind ApplyEvent(PlayerView* view, const EncodableValue& event) {
  const auto* map = std::get_if<EncodableMap>(&event);
  if (map == nullptr) return EventKind::kOther;
  const std::string name = StringOr(*map, "event");
  if (name == "mediaInfo") {
    IntegerOf(*map, "duration", &view->durationMs);
    if (const EncodableValue* audio = Find(*map, "audioTracks")) view->audioTracks = TracksFromMap(*audio);
    if (const EncodableValue* text = Find(*map, "subtitleTracks")) view->subtitleTracks = TracksFromMap(*text);
    view->currentAudio = GuessTrackForLanguage(view->audioTracks, view->preferredAudioLanguage);
    view->currentSubtitle = GuessTrackForLanguage(view->subtitleTracks, view->preferredSubtitleLanguage);
    if (view->phase == Phase::kOpening) view->phase = Phase::kPaused;
    view->error.clear();
    return EventKind::kMediaInfo;
  }
  if (name == "position") {
    int64_t value = 0;
    if (!IntegerOf(*map, "value", &value)) return EventKind::kPosition;
    if (view->positionKnown) {
      // Reports come a few times a second; a larger step forward is a seek.
      const int64_t step = value - view->positionMs;
      const double largestStep = kLargestPlayedStepMs * std::max(1.0, view->speed);
      if (step > 0 && step <= largestStep) view->playedMs += step;
    }
    view->positionMs = value;
    view->positionKnown = true;
    return EventKind::kPosition;
  }
  if (name == "buffer") {
    IntegerOf(*map, "end", &view->bufferedEndMs);
    return EventKind::kBuffer;
  }
  if (name == "loading") {
    const EncodableValue* value = Find(*map, "value");
    if (const auto* flag = value != nullptr ? std::get_if<bool>(value) : nullptr) view->buffering = *flag;
    return EventKind::kLoading;
  }
  if (name == "seekEnd") return EventKind::kSeekEnd;
  if (name == "videoSize") {
    DoubleOf(*map, "width", &view->videoWidth);
    DoubleOf(*map, "height", &view->videoHeight);
    return EventKind::kVideoSize;
  }
  if (name == "finished") {
    ++view->finishedCount;
    // Looping plays on, and the plugin reports every pass.
    if (!view->looping) view->phase = Phase::kFinished;
    view->buffering = false;
    return EventKind::kFinished;
  }
  if (name == "error") {
    view->error = StringOr(*map, "value", "Unknown");
    view->phase = Phase::kFailed;
    view->buffering = false;
    return EventKind::kError;
  }
  return EventKind::kOther;
}

std::string FormatTime(int64_t ms) {
  const bool negative = ms < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(ms) : static_cast<uint64_t>(ms);
  const uint64_t tenths = magnitude / 100 % 10;
  const uint64_t seconds = magnitude / 1000 % 60;
  const uint64_t minutes = magnitude / 60000 % 60;
  const uint64_t hours = magnitude / 3600000;
  char buffer[48];
  if (hours > 0) {
    std::snprintf(buffer, sizeof buffer, "%s%llu:%02llu:%02llu.%llu", negative ? "-" : "",
                  static_cast<unsigned long long>(hours), static_cast<unsigned long long>(minutes),
                  static_cast<unsigned long long>(seconds), static_cast<unsigned long long>(tenths));
  } else {
    std::snprintf(buffer, sizeof buffer, "%s%02llu:%02llu.%llu", negative ? "-" : "",
                  static_cast<unsigned long long>(minutes), static_cast<unsigned long long>(seconds),
                  static_cast<unsigned long long>(tenths));
  }
  return buffer;
}

std::string StatusLine(const PlayerView& view) {
  std::string line = FormatTime(view.positionMs) + " / " + FormatTime(view.durationMs) + "  " + PhaseName(view.phase);
  if (view.buffering) line += " (buffering)";
  char numbers[64];
  std::snprintf(numbers, sizeof numbers, "  speed %.2fx  volume %d%%", view.speed,
                static_cast<int>(view.volume * 100 + 0.5));
  line += numbers;

  line += "  audio: ";
  if (view.currentAudio >= 0 && view.currentAudio < static_cast<int>(view.audioTracks.size())) {
    line += Describe(view.audioTracks[view.currentAudio]);
  } else {
    line += view.audioTracks.empty() ? "none" : "auto";
  }
  line += "  subtitles: ";
  if (!view.showSubtitles) {
    line += "off";
  } else if (view.currentSubtitle >= 0 && view.currentSubtitle < static_cast<int>(view.subtitleTracks.size())) {
    line += Describe(view.subtitleTracks[view.currentSubtitle]);
  } else {
    line += view.subtitleTracks.empty() ? "none" : "auto";
  }
  if (view.looping) line += "  loop";
  if (!view.error.empty()) line += "  ERROR: " + view.error;
  return line;
}

}  // namespace corvane::play
