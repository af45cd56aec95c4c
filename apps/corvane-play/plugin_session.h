// The demo player's side of the plugin: one host engine with the plugin
// loaded into it, the players created over "CorvanePlugin", and their event
// streams. Everything goes through the channels and the standard codec, as
// in a Flutter app; the only other thing used is the engine's texture fetch,
// which is what Flutter's renderer does.
//
// Threads: a PluginSession is used from one thread, the program's main
// thread, which is none of the engine's own. Replies and events are
// received on the engine's Dart thread and waited for here, each wait
// bounded.
#ifndef CORVANE_APPS_PLAY_PLUGIN_SESSION_H_
#define CORVANE_APPS_PLAY_PLUGIN_SESSION_H_

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "compositor.h"
#include "embedder/dart_client.h"
#include "embedder/engine.h"
#include "player_commands.h"
#include "player_view.h"

namespace corvane::play {

constexpr char kPluginChannel[] = "CorvanePlugin";

// The event channel of a player: "CorvanePlugin/<id>".
std::string EventChannelName(int64_t playerId);

class PluginSession {
 public:
  // Told about every call and its answer; `playerId` is -1 for "create".
  using ReplyObserver =
      std::function<void(int64_t playerId, const PluginCall& call, const embedder::MethodResponse& response)>;

  struct Player {
    PlayerView view;
    std::unique_ptr<embedder::EventStream> events;
  };

  // Starts an engine and loads the plugin into it. Null, with `error` set
  // to a readable reason, when either fails.
  static std::unique_ptr<PluginSession> Start(const std::string& pluginPath, bool withView, std::string* error);
  // Disposes the players, then shuts the engine down.
  ~PluginSession();
  PluginSession(const PluginSession&) = delete;
  PluginSession& operator=(const PluginSession&) = delete;

  void SetReplyObserver(ReplyObserver observer) { observer_ = std::move(observer); }

  // Sends one call on "CorvanePlugin" and waits for the answer.
  embedder::MethodResponse Send(int64_t playerId, const PluginCall& call);
  // Sends calls in order; stops at the first answer that is not a success
  // and returns it (else the last one).
  embedder::MethodResponse SendAll(int64_t playerId, const std::vector<PluginCall>& calls);

  // "create", then "listen" on the new player's event channel. Returns the
  // player's index, or -1 with `error` set.
  int CreatePlayer(std::string* error);
  std::vector<Player>& players() { return players_; }

  struct Arrival {
    size_t player;  // index into players()
    embedder::StreamEvent event;
  };
  // The next event of any player, taking the players in turn so a busy one
  // does not starve the others; waits at most `timeout`.
  std::optional<Arrival> NextEvent(std::chrono::milliseconds timeout);

  // The player's picture as Flutter would show it: the video texture with
  // the subtitle texture over it while subtitles are shown. `fetchNow`
  // makes the engine fetch both textures now (bounded wait) instead of
  // using the latest fetch. Empty when there is no video picture yet.
  BgraImage Picture(const Player& player, bool fetchNow);

  embedder::Engine& engine() { return *engine_; }

 private:
  explicit PluginSession(std::unique_ptr<embedder::Engine> engine);

  std::unique_ptr<embedder::Engine> engine_;
  std::vector<Player> players_;
  ReplyObserver observer_;
  size_t nextToPoll_ = 0;
  // Raised by every player's event stream.
  const std::shared_ptr<embedder::ArrivalSignal> arrivals_ = std::make_shared<embedder::ArrivalSignal>();
};

// Reply kinds in words, for JSON lines and messages.
const char* ResponseKindName(embedder::MethodResponse::Kind kind);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_PLUGIN_SESSION_H_
