#include "plugin_session.h"

#include <thread>

namespace corvane::play {

namespace {

using embedder::MethodResponse;
using flutter::EncodableMap;
using flutter::EncodableValue;

constexpr auto kReplyTimeout = std::chrono::seconds(10);
constexpr auto kFetchTimeout = std::chrono::seconds(2);

bool ReadId(const EncodableMap& map, const char* key, int64_t* out) {
  auto it = map.find(EncodableValue(key));
  if (it == map.end()) return false;
  if (const auto* v = std::get_if<int64_t>(&it->second)) {
    *out = *v;
    return true;
  }
  if (const auto* v = std::get_if<int32_t>(&it->second)) {
    *out = *v;
    return true;
  }
  return false;
}

BgraImage ToImage(const embedder::TextureFrame& frame) {
  BgraImage image;
  image.width = static_cast<int>(frame.width);
  image.height = static_cast<int>(frame.height);
  image.pixels = frame.bgra;
  return image;
}

}  // namespace

std::string EventChannelName(int64_t playerId) { return std::string(kPluginChannel) + "/" + std::to_string(playerId); }

const char* ResponseKindName(MethodResponse::Kind kind) {
  switch (kind) {
    case MethodResponse::Kind::kSuccess: return "success";
    case MethodResponse::Kind::kError: return "error";
    case MethodResponse::Kind::kNotImplemented: return "notImplemented";
    case MethodResponse::Kind::kNoReply: return "noReply";
    case MethodResponse::Kind::kMalformed: return "malformed";
  }
  return "unknown";
}

std::unique_ptr<PluginSession> PluginSession::Start(const std::string& pluginPath, bool withView,
                                                    std::string* error) {
  embedder::EngineOptions options;
  options.withView = withView;
  // Only a window shows every frame; headless, pixels are read for
  // snapshots alone (they fetch), so frames are not copied at display rate.
  options.copyDisplayedFrames = withView;
  std::unique_ptr<embedder::Engine> engine = embedder::Engine::Start(options);
  if (!engine) {
    *error = "cannot start the host engine";
    return nullptr;
  }
  const std::string loadError = engine->LoadPlugin(pluginPath);
  if (!loadError.empty()) {
    *error = loadError;
    engine->Shutdown();
    return nullptr;
  }
  return std::unique_ptr<PluginSession>(new PluginSession(std::move(engine)));
}

PluginSession::PluginSession(std::unique_ptr<embedder::Engine> engine) : engine_(std::move(engine)) {}

PluginSession::~PluginSession() {
  // As an app closing its players: cancel each stream, dispose the player,
  // and drop the Dart ends before the engine they point into goes.
  for (Player& player : players_) {
    if (player.events) {
      const MethodResponse cancelled = player.events->Cancel(EncodableValue(), kReplyTimeout);
      if (observer_) observer_(player.view.id, {"cancel", EncodableValue()}, cancelled);
    }
    Send(player.view.id, {"dispose", EncodableValue(player.view.id)});
    player.events.reset();
  }
  engine_->Shutdown();
}

MethodResponse PluginSession::Send(int64_t playerId, const PluginCall& call) {
  MethodResponse response = embedder::InvokeMethod(*engine_, kPluginChannel, call.method, call.arguments, kReplyTimeout);
  if (observer_) observer_(playerId, call, response);
  return response;
}

MethodResponse PluginSession::SendAll(int64_t playerId, const std::vector<PluginCall>& calls) {
  MethodResponse last;
  last.kind = MethodResponse::Kind::kSuccess;
  for (const PluginCall& call : calls) {
    last = Send(playerId, call);
    if (!last.IsSuccess()) break;
  }
  return last;
}

int PluginSession::CreatePlayer(std::string* error) {
  const MethodResponse created = Send(-1, {"create", EncodableValue()});
  const auto* ids = std::get_if<EncodableMap>(&created.value);
  Player player;
  if (!created.IsSuccess() || ids == nullptr || !ReadId(*ids, "id", &player.view.id) ||
      !ReadId(*ids, "subId", &player.view.subtitleTextureId)) {
    *error = "the plugin did not create a player: " + created.Describe();
    return -1;
  }
  // The stream receives from its construction on, so nothing the plugin
  // sends while it handles "listen" is lost.
  player.events = std::make_unique<embedder::EventStream>(*engine_, EventChannelName(player.view.id), arrivals_);
  const MethodResponse listened = player.events->Listen(EncodableValue(), kReplyTimeout);
  if (observer_) observer_(player.view.id, {"listen", EncodableValue()}, listened);
  if (!listened.IsSuccess()) {
    *error = "cannot listen to " + EventChannelName(player.view.id) + ": " + listened.Describe();
    Send(player.view.id, {"dispose", EncodableValue(player.view.id)});
    return -1;
  }
  players_.push_back(std::move(player));
  return static_cast<int>(players_.size() - 1);
}

std::optional<PluginSession::Arrival> PluginSession::NextEvent(std::chrono::milliseconds timeout) {
  if (players_.empty()) {
    std::this_thread::sleep_for(timeout);
    return std::nullopt;
  }
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (true) {
    for (size_t n = 0; n < players_.size(); ++n) {
      const size_t index = (nextToPoll_ + n) % players_.size();
      if (auto event = players_[index].events->WaitForEvent(std::chrono::milliseconds(0))) {
        nextToPoll_ = index + 1;
        return Arrival{index, std::move(*event)};
      }
    }
    // Asleep until any player's next event, or the deadline.
    const auto now = std::chrono::steady_clock::now();
    if (now >= deadline) return std::nullopt;
    arrivals_->Wait(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now) +
                    std::chrono::milliseconds(1));
  }
}

BgraImage PluginSession::Picture(const Player& player, bool fetchNow) {
  const auto frameOf = [&](int64_t textureId) {
    return fetchNow ? engine_->FetchTexture(textureId, kFetchTimeout) : engine_->LatestFrame(textureId);
  };
  std::shared_ptr<const embedder::TextureFrame> video = frameOf(player.view.id);
  if (!video || !video->HasPixels()) return {};
  BgraImage picture = ToImage(*video);
  if (player.view.showSubtitles) {
    std::shared_ptr<const embedder::TextureFrame> subtitle = frameOf(player.view.subtitleTextureId);
    if (subtitle && subtitle->HasPixels()) BlendSubtitleOver(&picture, ToImage(*subtitle));
  }
  return picture;
}

}  // namespace corvane::play
