#include "headless_runner.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <optional>

#include "json_lines.h"
#include "key_map.h"
#include "playback_steps.h"

namespace corvane::play {

namespace {

using embedder::MethodResponse;
using embedder::StreamEvent;

// With nothing at all from the plugin for this long, the run gives up
// rather than hang: a playing player reports its position several times a
// second.
constexpr auto kStallLimit = std::chrono::seconds(30);
// How long a due snapshot waits, over the position reports that follow,
// for a picture in the texture.
constexpr auto kSnapshotPictureWait = std::chrono::seconds(1);

void PrintLine(std::ostream& out, const std::string& line) {
  out << line << '\n';
  out.flush();  // lines are read as they come, by people and by tests
}

std::string ReplyLine(int64_t playerId, const PluginCall& call, const MethodResponse& response) {
  std::string line = "{\"type\":\"reply\",\"player\":" + std::to_string(playerId) +
                     ",\"method\":" + JsonString(call.method) +
                     ",\"reply\":" + JsonString(ResponseKindName(response.kind));
  switch (response.kind) {
    case MethodResponse::Kind::kSuccess:
      line += ",\"result\":" + ToJson(response.value);
      break;
    case MethodResponse::Kind::kError:
      line += ",\"code\":" + JsonString(response.errorCode) + ",\"message\":" + JsonString(response.errorMessage) +
              ",\"details\":" + ToJson(response.errorDetails);
      break;
    case MethodResponse::Kind::kNoReply:
      line += ",\"reason\":" + JsonString(response.noReplyReason);
      break;
    default:
      break;
  }
  return line + "}";
}

std::string EventLine(int64_t playerId, const StreamEvent& event) {
  const std::string player = std::to_string(playerId);
  switch (event.kind) {
    case StreamEvent::Kind::kEvent:
      return "{\"type\":\"event\",\"player\":" + player + ",\"event\":" + ToJson(event.value) + "}";
    case StreamEvent::Kind::kError:
      return "{\"type\":\"streamError\",\"player\":" + player + ",\"code\":" + JsonString(event.errorCode) +
             ",\"message\":" + JsonString(event.errorMessage) + ",\"details\":" + ToJson(event.errorDetails) + "}";
    case StreamEvent::Kind::kEndOfStream:
      return "{\"type\":\"endOfStream\",\"player\":" + player + "}";
    case StreamEvent::Kind::kMalformed:
      return "{\"type\":\"malformedEvent\",\"player\":" + player + "}";
  }
  return "{}";
}

struct PlayerRun {
  bool done = false;
  bool failed = false;
};

class HeadlessRun {
 public:
  HeadlessRun(const Options& options, PluginSession& session, std::ostream& out, std::ostream& err)
      : options_(options), session_(session), out_(out), err_(err) {
    std::vector<SnapshotRequest> sorted = options.snapshots;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const SnapshotRequest& a, const SnapshotRequest& b) { return a.atMs < b.atMs; });
    pendingSnapshots_.assign(sorted.begin(), sorted.end());
    std::vector<KeyPressRequest> presses = options.presses;
    std::stable_sort(presses.begin(), presses.end(),
                     [](const KeyPressRequest& a, const KeyPressRequest& b) { return a.atMs < b.atMs; });
    pendingPresses_.assign(presses.begin(), presses.end());
  }

  int Run() {
    std::string error;
    if (!StartPlayers(session_, options_, &error)) {
      err_ << "corvane-play: " << error << '\n';
      return kExitPlaybackFailed;
    }
    runs_.assign(session_.players().size(), PlayerRun{});

    auto lastHeard = std::chrono::steady_clock::now();
    while (!AllDone()) {
      auto arrival = session_.NextEvent(std::chrono::milliseconds(200));
      if (!arrival) {
        if (std::chrono::steady_clock::now() - lastHeard > kStallLimit) {
          err_ << "corvane-play: nothing from the plugin for " << kStallLimit.count() << " s; giving up\n";
          return kExitStalled;
        }
        continue;
      }
      lastHeard = std::chrono::steady_clock::now();
      OnArrival(arrival->player, arrival->event);
    }
    return Outcome();
  }

 private:
  bool AllDone() const {
    return std::all_of(runs_.begin(), runs_.end(), [](const PlayerRun& run) { return run.done; });
  }

  void OnArrival(size_t index, const StreamEvent& event) {
    const PlayerView& view = session_.players()[index].view;
    PrintLine(out_, EventLine(view.id, event));
    PlayerRun& run = runs_[index];
    if (run.done) return;  // late events after --duration are still printed
    const EventKind kind = HandleEvent(session_, options_, index, event);
    switch (kind) {
      case EventKind::kError:
        err_ << "corvane-play: cannot play '" << options_.source << "': " << ExplainPlayerError(view.error) << '\n';
        run.done = run.failed = true;
        break;
      case EventKind::kFinished:
        if (!options_.loop) run.done = true;
        break;
      case EventKind::kPosition:
        if (index == 0) {
          PressDueKeys(view);
          TakeDueSnapshots(view);
        }
        if (options_.durationMs && view.playedMs >= *options_.durationMs) run.done = true;
        break;
      default:
        break;
    }
  }

  // Scripted presses act as in the window: on every player, in order.
  void PressDueKeys(const PlayerView& first) {
    while (!pendingPresses_.empty() && pendingPresses_.front().atMs <= first.positionMs) {
      const KeyPressRequest request = pendingPresses_.front();
      pendingPresses_.pop_front();
      for (const std::string& name : request.keys) {
        const std::optional<Key> key = KeyFromName(name);
        if (!key) continue;  // names were checked when parsing
        for (PluginSession::Player& player : session_.players()) {
          session_.SendAll(player.view.id, KeyCalls(*key, &player.view));
        }
      }
    }
  }

  // Snapshots come from the first player, at the first position report at
  // or past the requested time whose picture is in the texture (what a user
  // sees then), waiting up to a second of reports for one; the line says
  // which position that was.
  void TakeDueSnapshots(const PlayerView& view) {
    const auto now = std::chrono::steady_clock::now();
    while (!pendingSnapshots_.empty() && pendingSnapshots_.front().atMs <= view.positionMs) {
      const SnapshotRequest request = pendingSnapshots_.front();
      const BgraImage picture = session_.Picture(session_.players()[0], /*fetchNow=*/true);
      if (!picture.Valid()) {
        if (!snapshotDueSince_) snapshotDueSince_ = now;
        if (now - *snapshotDueSince_ < kSnapshotPictureWait) return;  // the next report tries again
      }
      pendingSnapshots_.pop_front();
      snapshotDueSince_.reset();
      std::string problem = picture.Valid() ? WritePng(picture, request.file) : "no video picture yet";
      std::string line = "{\"type\":\"snapshot\",\"player\":" + std::to_string(view.id) +
                         ",\"requestedMs\":" + std::to_string(request.atMs) +
                         ",\"positionMs\":" + std::to_string(view.positionMs) + ",\"file\":" + JsonString(request.file);
      if (problem.empty()) {
        line += ",\"width\":" + std::to_string(picture.width) + ",\"height\":" + std::to_string(picture.height) +
                ",\"subtitles\":" + (view.showSubtitles ? "true" : "false") + "}";
      } else {
        line += ",\"error\":" + JsonString(problem) + "}";
        err_ << "corvane-play: snapshot at " << request.atMs << " ms: " << problem << '\n';
        snapshotFailed_ = true;
      }
      PrintLine(out_, line);
    }
  }

  int Outcome() {
    for (const SnapshotRequest& request : pendingSnapshots_) {
      err_ << "corvane-play: playback stopped before " << request.atMs << " ms; no snapshot " << request.file << '\n';
      PrintLine(out_, "{\"type\":\"snapshot\",\"requestedMs\":" + std::to_string(request.atMs) +
                          ",\"file\":" + JsonString(request.file) + ",\"error\":\"not reached\"}");
      snapshotFailed_ = true;
    }
    const bool anyFailed = std::any_of(runs_.begin(), runs_.end(), [](const PlayerRun& run) { return run.failed; });
    return anyFailed || snapshotFailed_ ? kExitPlaybackFailed : kExitOk;
  }

  const Options& options_;
  PluginSession& session_;
  std::ostream& out_;
  std::ostream& err_;
  std::vector<PlayerRun> runs_;
  std::deque<SnapshotRequest> pendingSnapshots_;
  // When the first pending snapshot fell due without a picture to take.
  std::optional<std::chrono::steady_clock::time_point> snapshotDueSince_;
  std::deque<KeyPressRequest> pendingPresses_;
  bool snapshotFailed_ = false;
};

}  // namespace

int RunHeadless(const Options& options, std::unique_ptr<PluginSession> session, std::ostream& out,
                std::ostream& err) {
  session->SetReplyObserver([&out](int64_t playerId, const PluginCall& call, const MethodResponse& response) {
    PrintLine(out, ReplyLine(playerId, call, response));
  });
  const int code = HeadlessRun(options, *session, out, err).Run();
  session.reset();  // disposes the players; their replies are printed too
  PrintLine(out, std::string("{\"type\":\"exit\",\"code\":") + std::to_string(code) + "}");
  return code;
}

}  // namespace corvane::play
