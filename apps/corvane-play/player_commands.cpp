#include "player_commands.h"

#include <algorithm>
#include <cmath>

namespace corvane::play {

namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

// The speeds [ and ] step through.
constexpr double kSpeeds[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0};

EncodableValue Id(const PlayerView& view) { return EncodableValue(view.id); }

PluginCall WithValue(const char* method, const PlayerView& view, EncodableValue value) {
  return {method, EncodableValue(EncodableMap{{EncodableValue("id"), Id(view)}, {EncodableValue("value"), value}})};
}

PluginCall SeekCall(const PlayerView& view, int64_t positionMs) {
  return {"seekTo",
          EncodableValue(EncodableMap{{EncodableValue("id"), Id(view)}, {EncodableValue("position"), positionMs}})};
}

PluginCall OverrideCall(const PlayerView& view, const TrackInfo& track) {
  return {"overrideTrack", EncodableValue(EncodableMap{{EncodableValue("id"), Id(view)},
                                                       {EncodableValue("groupId"), int32_t{track.group}},
                                                       {EncodableValue("trackId"), int32_t{track.position}},
                                                       {EncodableValue("enabled"), true}})};
}

// The next index of a list of `size` after `current` (-1: none chosen yet).
int NextIndex(int current, size_t size) { return current < 0 ? 0 : (current + 1) % static_cast<int>(size); }

bool Loaded(const PlayerView& view) {
  return view.phase == Phase::kPaused || view.phase == Phase::kPlaying || view.phase == Phase::kFinished;
}

}  // namespace

std::vector<PluginCall> SetupCalls(const Options& options, PlayerView* view) {
  view->volume = options.volume;
  view->speed = options.speed;
  view->looping = options.loop;
  view->showSubtitles = options.showSubtitles;
  std::vector<PluginCall> calls = {
      WithValue("setVolume", *view, options.volume),
      WithValue("setSpeed", *view, options.speed),
      WithValue("setLooping", *view, options.loop),
      WithValue("setShowSubtitle", *view, options.showSubtitles),
  };
  if (options.audioLanguage) {
    view->preferredAudioLanguage = *options.audioLanguage;
    calls.push_back(WithValue("setPreferredAudioLanguage", *view, *options.audioLanguage));
  }
  if (options.subtitleLanguage) {
    view->preferredSubtitleLanguage = *options.subtitleLanguage;
    calls.push_back(WithValue("setPreferredSubtitleLanguage", *view, *options.subtitleLanguage));
  }
  return calls;
}

std::vector<PluginCall> OpenCalls(const Options& options, const PlayerView& view) {
  std::vector<PluginCall> calls = {WithValue("open", view, options.source)};
  if (options.startMs > 0) calls.push_back(SeekCall(view, options.startMs));
  return calls;
}

std::vector<PluginCall> LoadedCalls(const Options& options, PlayerView* view) {
  std::vector<PluginCall> calls;
  if (options.maxWidth && options.maxHeight) {
    calls.push_back({"setMaxResolution", EncodableValue(EncodableMap{
                                             {EncodableValue("id"), Id(*view)},
                                             {EncodableValue("width"), static_cast<double>(*options.maxWidth)},
                                             {EncodableValue("height"), static_cast<double>(*options.maxHeight)}})});
  }
  if (options.maxBitRate) calls.push_back(WithValue("setMaxBitRate", *view, *options.maxBitRate));
  calls.push_back({"play", Id(*view)});
  view->phase = Phase::kPlaying;
  return calls;
}

std::vector<PluginCall> KeyCalls(Key key, PlayerView* view) {
  std::vector<PluginCall> calls;
  switch (key) {
    case Key::kPlayPause:
      if (view->phase == Phase::kPlaying) {
        calls.push_back({"pause", Id(*view)});
        view->phase = Phase::kPaused;
      } else if (view->phase == Phase::kFinished) {
        // Playing at the end would end at once: start over.
        calls.push_back(SeekCall(*view, 0));
        calls.push_back({"play", Id(*view)});
        view->positionMs = 0;
        view->phase = Phase::kPlaying;
      } else if (view->phase == Phase::kPaused) {
        calls.push_back({"play", Id(*view)});
        view->phase = Phase::kPlaying;
      }
      break;
    case Key::kSeekBack:
    case Key::kSeekForward: {
      if (!Loaded(*view)) break;
      const int64_t step = key == Key::kSeekForward ? kSeekStepMs : -kSeekStepMs;
      int64_t target = std::max<int64_t>(0, view->positionMs + step);
      if (view->durationMs > 0) target = std::min(target, view->durationMs);
      calls.push_back(SeekCall(*view, target));
      if (view->phase == Phase::kFinished && target < view->durationMs) view->phase = Phase::kPaused;
      break;
    }
    case Key::kVolumeUp:
    case Key::kVolumeDown: {
      const double step = key == Key::kVolumeUp ? kVolumeStep : -kVolumeStep;
      // Round to the step so repeated presses land on 0 and 1 exactly.
      view->volume = std::clamp(std::round((view->volume + step) * 10) / 10, 0.0, 1.0);
      calls.push_back(WithValue("setVolume", *view, view->volume));
      break;
    }
    case Key::kSlower:
    case Key::kFaster: {
      const double* begin = std::begin(kSpeeds);
      const double* end = std::end(kSpeeds);
      double next = view->speed;
      if (key == Key::kFaster) {
        const double* above = std::upper_bound(begin, end, view->speed + 1e-9);
        next = above != end ? *above : *(end - 1);
      } else {
        const double* atOrAbove = std::lower_bound(begin, end, view->speed - 1e-9);
        next = atOrAbove != begin ? *(atOrAbove - 1) : *begin;
      }
      if (next == view->speed) break;
      view->speed = next;
      calls.push_back(WithValue("setSpeed", *view, next));
      break;
    }
    case Key::kSubtitles:
      view->showSubtitles = !view->showSubtitles;
      calls.push_back(WithValue("setShowSubtitle", *view, view->showSubtitles));
      break;
    case Key::kNextAudio:
      if (!Loaded(*view) || view->audioTracks.empty()) break;
      view->currentAudio = NextIndex(view->currentAudio, view->audioTracks.size());
      calls.push_back(OverrideCall(*view, view->audioTracks[view->currentAudio]));
      break;
    case Key::kNextSubtitle:
      if (!Loaded(*view) || view->subtitleTracks.empty()) break;
      view->currentSubtitle = NextIndex(view->currentSubtitle, view->subtitleTracks.size());
      if (!view->showSubtitles) {
        // Choosing a track to read means wanting to see it.
        view->showSubtitles = true;
        calls.push_back(WithValue("setShowSubtitle", *view, true));
      }
      calls.push_back(OverrideCall(*view, view->subtitleTracks[view->currentSubtitle]));
      break;
    case Key::kLooping:
      view->looping = !view->looping;
      calls.push_back(WithValue("setLooping", *view, view->looping));
      break;
  }
  return calls;
}

}  // namespace corvane::play
