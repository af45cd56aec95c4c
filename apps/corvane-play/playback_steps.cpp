#include "playback_steps.h"

namespace corvane::play {

bool StartPlayers(PluginSession& session, const Options& options, std::string* error) {
  for (int i = 0; i < options.players; ++i) {
    const int index = session.CreatePlayer(error);
    if (index < 0) return false;
    PlayerView& view = session.players()[index].view;
    std::vector<PluginCall> calls = SetupCalls(options, &view);
    const std::vector<PluginCall> open = OpenCalls(options, view);
    calls.insert(calls.end(), open.begin(), open.end());
    const embedder::MethodResponse response = session.SendAll(view.id, calls);
    if (!response.IsSuccess()) {
      *error = "player " + std::to_string(view.id) + " refused a call: " + response.Describe();
      return false;
    }
  }
  return true;
}

EventKind HandleEvent(PluginSession& session, const Options& options, size_t playerIndex,
                      const embedder::StreamEvent& event) {
  PlayerView& view = session.players()[playerIndex].view;
  switch (event.kind) {
    case embedder::StreamEvent::Kind::kEvent:
      break;
    case embedder::StreamEvent::Kind::kError:
      view.error = "stream error " + event.errorCode + ": " + event.errorMessage;
      view.phase = Phase::kFailed;
      return EventKind::kError;
    case embedder::StreamEvent::Kind::kEndOfStream:
      view.error = "the plugin ended the event stream";
      view.phase = Phase::kFailed;
      return EventKind::kError;
    case embedder::StreamEvent::Kind::kMalformed:
      view.error = "the plugin sent an unreadable event";
      view.phase = Phase::kFailed;
      return EventKind::kError;
  }
  const Phase before = view.phase;
  const EventKind kind = ApplyEvent(&view, event.value);
  if (kind == EventKind::kMediaInfo && before == Phase::kOpening) {
    const embedder::MethodResponse response = session.SendAll(view.id, LoadedCalls(options, &view));
    if (!response.IsSuccess()) {
      view.error = "the plugin refused to play: " + response.Describe();
      view.phase = Phase::kFailed;
      return EventKind::kError;
    }
  }
  return kind;
}

std::string ExplainPlayerError(const std::string& name) {
  if (name == "SourceNotSupported") {
    return "the source is missing, unreadable, or holds nothing that can be played (SourceNotSupported)";
  }
  if (name == "NetworkError") return "the source could not be fetched over the network (NetworkError)";
  if (name == "DecodingError") return "the media is damaged and could not be decoded (DecodingError)";
  if (name == "Aborted") return "opening the source was aborted (Aborted)";
  if (name == "Unknown") return "the media engine failed for an unknown reason (Unknown)";
  return name;
}

}  // namespace corvane::play
