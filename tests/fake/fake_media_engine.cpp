#include "fake/fake_media_engine.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "fake/fake_player_core.h"

namespace corvane::testing {
namespace {

using platform::hresult;
using platform::hresult_error;
using platform::TimeSpan;

std::string Printed(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return text;
}

const char* Printed(bool value) { return value ? "true" : "false"; }

// Fills rows [firstRow, height) of the surface's texture with one BGRA word.
void Paint(platform::VideoSurface& surface, uint32_t bgra, uint32_t firstRowOf4) {
  const auto texture = surface.Texture();
  if (!texture) throw hresult_error(platform::kObjectClosed, "the surface is closed");
  const platform::PixelView pixels = texture->Pixels();
  if (pixels.data == nullptr) throw hresult_error(platform::kFail, "the surface has no pixels");
  const uint32_t firstRow = pixels.height * firstRowOf4 / 4;
  uint8_t bytes[4];
  std::memcpy(bytes, &bgra, sizeof bytes);  // little-endian: B, G, R, A
  for (uint32_t y = firstRow; y < pixels.height; ++y) {
    uint8_t* row = pixels.data + static_cast<size_t>(y) * pixels.stride;
    for (uint32_t x = 0; x < pixels.width; ++x) std::memcpy(row + static_cast<size_t>(x) * 4, bytes, 4);
  }
}

class FakePlaybackSession final : public platform::MediaPlaybackSession {
  template <typename Get>
  auto Read(const char* name, Get get) const -> decltype(get(std::declval<FakePlayerCore&>())) {
    core_->Enter(name, "", false);
    std::lock_guard<std::mutex> lock(core_->mutex);
    return get(*core_);
  }

 public:
  explicit FakePlaybackSession(std::shared_ptr<FakePlayerCore> core) : core_(std::move(core)) {}

  TimeSpan Position() const override { return Read("Position get", [](FakePlayerCore& c) { return c.position; }); }
  void Position(TimeSpan value) override {
    core_->Enter("Position set", std::to_string(value.count()), true);
    bool complete = false;
    uint64_t generation = 0;
    {
      std::lock_guard<std::mutex> lock(core_->mutex);
      if (core_->closed || !core_->item) return;
      core_->position = value;
      complete = core_->script.completeSeeks;
      generation = core_->generation;
    }
    if (complete) core_->Queue(kSeekCompleted, {}, generation);
  }
  double PlaybackRate() const override { return Read("PlaybackRate get", [](FakePlayerCore& c) { return c.rate; }); }
  void PlaybackRate(double rate) override {
    core_->Enter("PlaybackRate set", Printed(rate), true);
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->rate = rate;
  }
  TimeSpan NaturalDuration() const override {
    return Read("NaturalDuration get", [](FakePlayerCore& c) { return c.duration; });
  }
  uint32_t NaturalVideoWidth() const override {
    return Read("NaturalVideoWidth get", [](FakePlayerCore& c) { return c.width; });
  }
  uint32_t NaturalVideoHeight() const override {
    return Read("NaturalVideoHeight get", [](FakePlayerCore& c) { return c.height; });
  }
  std::vector<platform::MediaTimeRange> GetBufferedRanges() const override {
    return Read("GetBufferedRanges", [](FakePlayerCore& c) { return c.buffered; });
  }

  void NaturalVideoSizeChanged(platform::SessionHandler handler) override {
    Subscribe(kNaturalVideoSizeChanged, std::move(handler));
  }
  void PositionChanged(platform::SessionHandler handler) override { Subscribe(kPositionChanged, std::move(handler)); }
  void SeekCompleted(platform::SessionHandler handler) override { Subscribe(kSeekCompleted, std::move(handler)); }
  void BufferingStarted(platform::SessionHandler handler) override {
    Subscribe(kBufferingStarted, std::move(handler));
  }
  void BufferingEnded(platform::SessionHandler handler) override { Subscribe(kBufferingEnded, std::move(handler)); }
  void BufferedRangesChanged(platform::SessionHandler handler) override {
    Subscribe(kBufferedRangesChanged, std::move(handler));
  }

 private:
  void Subscribe(const char* notification, platform::SessionHandler handler) {
    core_->Enter(std::string(notification) + " add", "", false);
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->sessionHandlers[notification].push_back(std::move(handler));
  }

  const std::shared_ptr<FakePlayerCore> core_;
};

class FakeCommandManager final : public platform::MediaPlaybackCommandManager {
 public:
  explicit FakeCommandManager(std::shared_ptr<FakePlayerCore> core) : core_(std::move(core)) {}
  bool IsEnabled() const override {
    core_->Enter("CommandManager.IsEnabled get", "", false);
    std::lock_guard<std::mutex> lock(core_->mutex);
    return core_->commandsEnabled;
  }
  void IsEnabled(bool enabled) override {
    core_->Enter("CommandManager.IsEnabled set", Printed(enabled), true);
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->commandsEnabled = enabled;
  }

 private:
  const std::shared_ptr<FakePlayerCore> core_;
};

}  // namespace

// ---------------------------------------------------------------- engine --

FakeMediaEngine::FakeMediaEngine() : dispatcher_(std::make_shared<FakeEventDispatcher>()) {}

FakeMediaEngine::~FakeMediaEngine() = default;

std::shared_ptr<platform::MediaPlayer> FakeMediaEngine::CreateMediaPlayer() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (platform::Failed(createFailure_)) throw hresult_error(createFailure_, "scripted CreateMediaPlayer failure");
  auto player = std::make_shared<FakeMediaPlayer>(dispatcher_, script_);
  players_.push_back(player);
  return player;
}

void FakeMediaEngine::SetScript(const FakeScript& script) {
  std::lock_guard<std::mutex> lock(mutex_);
  script_ = script;
}

void FakeMediaEngine::FailCreate(hresult code) {
  std::lock_guard<std::mutex> lock(mutex_);
  createFailure_ = code;
}

std::shared_ptr<FakeMediaPlayer> FakeMediaEngine::LastPlayer() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return players_.empty() ? nullptr : players_.back();
}

// ---------------------------------------------------------------- player --

FakeMediaPlayer::FakeMediaPlayer(std::shared_ptr<FakeEventDispatcher> dispatcher, const FakeScript& script)
    : core_(std::make_shared<FakePlayerCore>(std::move(dispatcher), script)),
      session_(std::make_shared<FakePlaybackSession>(core_)),
      commandManager_(std::make_shared<FakeCommandManager>(core_)) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->session = session_;
}

FakeMediaPlayer::~FakeMediaPlayer() {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->closed = true;
}

std::shared_ptr<platform::MediaPlaybackItem> FakeMediaPlayer::Source() const {
  core_->Enter("Source get", "", false);
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->item;
}

void FakeMediaPlayer::Source(std::shared_ptr<platform::MediaPlaybackItem> item) {
  core_->Enter("Source set", item && item->Source() ? item->Source()->Uri() : "null", true);
  OpenOutcome outcome;
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    if (core_->closed) return;
    ++core_->generation;
    core_->item = item;
    core_->position = TimeSpan(0);
    core_->duration = TimeSpan(0);
    core_->width = 0;
    core_->height = 0;
    core_->buffered.clear();
    outcome = core_->script.openOutcome;
    generation = core_->generation;
  }
  if (!item || outcome != OpenOutcome::Opens) return;
  // Opened later, on the engine thread, like a real load.
  core_->dispatcher->Post(core_.get(), [weak = std::weak_ptr<FakePlayerCore>(core_), generation] {
    if (auto core = weak.lock()) core->CompleteOpen(generation);
  });
}

void FakeMediaPlayer::Play() {
  core_->Enter("Play", "", true);
}

void FakeMediaPlayer::Pause() {
  core_->Enter("Pause", "", true);
}

double FakeMediaPlayer::Volume() const {
  core_->Enter("Volume get", "", false);
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->volume;
}

void FakeMediaPlayer::Volume(double volume) {
  core_->Enter("Volume set", Printed(volume), true);
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->volume = volume;
}

bool FakeMediaPlayer::RealTimePlayback() const {
  core_->Enter("RealTimePlayback get", "", false);
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->realTime;
}

void FakeMediaPlayer::RealTimePlayback(bool value) {
  core_->Enter("RealTimePlayback set", Printed(value), true);
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->realTime = value;
}

bool FakeMediaPlayer::IsVideoFrameServerEnabled() const {
  core_->Enter("IsVideoFrameServerEnabled get", "", false);
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->frameServer;
}

void FakeMediaPlayer::IsVideoFrameServerEnabled(bool enabled) {
  core_->Enter("IsVideoFrameServerEnabled set", Printed(enabled), true);
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->frameServer = enabled;
}

std::shared_ptr<platform::MediaPlaybackCommandManager> FakeMediaPlayer::CommandManager() {
  core_->Enter("CommandManager", "", false);
  return commandManager_;
}

void FakeMediaPlayer::CopyFrameToVideoSurface(platform::VideoSurface& surface) {
  core_->Enter("CopyFrameToVideoSurface", "", true);
  Paint(surface, 0xFFFF0000u, 0);  // opaque red
}

bool FakeMediaPlayer::RenderSubtitlesToSurface(platform::VideoSurface& surface) {
  core_->Enter("RenderSubtitlesToSurface", "", true);
  Paint(surface, 0xFFFFFFFFu, 3);  // an opaque white band, the cue
  return true;
}

void FakeMediaPlayer::Close() {
  core_->Enter("Close", "", true);
  std::chrono::milliseconds wait;
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->closed = true;
    wait = core_->script.closeWait;
  }
  // A handler of this player may be running on the engine thread right
  // now; Close returns once it has finished, or once the wait runs out.
  core_->dispatcher->WaitUntilOwnerIdle(core_.get(), wait);
}

std::shared_ptr<platform::MediaPlaybackSession> FakeMediaPlayer::PlaybackSession() const {
  core_->Enter("PlaybackSession", "", false);
  return session_;
}

namespace {
void AddPlayerHandler(FakePlayerCore& core, const char* notification, platform::PlayerHandler handler) {
  core.Enter(std::string(notification) + " add", "", false);
  std::lock_guard<std::mutex> lock(core.mutex);
  core.playerHandlers[notification].push_back(std::move(handler));
}
}  // namespace

void FakeMediaPlayer::MediaOpened(platform::PlayerHandler handler) {
  AddPlayerHandler(*core_, kMediaOpened, std::move(handler));
}
void FakeMediaPlayer::MediaEnded(platform::PlayerHandler handler) {
  AddPlayerHandler(*core_, kMediaEnded, std::move(handler));
}
void FakeMediaPlayer::VideoFrameAvailable(platform::PlayerHandler handler) {
  AddPlayerHandler(*core_, kVideoFrameAvailable, std::move(handler));
}
void FakeMediaPlayer::SubtitleFrameChanged(platform::PlayerHandler handler) {
  AddPlayerHandler(*core_, kSubtitleFrameChanged, std::move(handler));
}
void FakeMediaPlayer::MediaFailed(platform::FailedHandler handler) {
  core_->Enter(std::string(kMediaFailed) + " add", "", false);
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->failedHandlers.push_back(std::move(handler));
}

// ------------------------------------------------------------- scripting --

void FakeMediaPlayer::SetScript(const FakeScript& script) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->script = script;
}

FakeScript FakeMediaPlayer::Script() const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->script;
}

void FakeMediaPlayer::Fail(const std::string& operation, hresult code) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->failures[operation] = code;
}

void FakeMediaPlayer::Succeed(const std::string& operation) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->failures.erase(operation);
}

void FakeMediaPlayer::OnEnter(std::function<void(const std::string& operation)> hook) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->enterHook = std::move(hook);
}

bool FakeMediaPlayer::CompleteOpen() { return core_->CompleteOpen(std::nullopt); }

void FakeMediaPlayer::SetPosition(TimeSpan position) {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->position = position;
}

bool FakeMediaPlayer::Raise(const std::string& notification, const platform::MediaPlayerFailedEventArgs& failure) {
  uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    if (core_->closed) return false;
    generation = core_->generation;
  }
  return core_->Queue(notification, failure, generation);
}

// ------------------------------------------------------------ inspection --

std::vector<FakeCall> FakeMediaPlayer::Calls() const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->calls;
}

void FakeMediaPlayer::ClearCalls() {
  std::lock_guard<std::mutex> lock(core_->mutex);
  core_->calls.clear();
}

namespace {
bool Matches(const FakeCall& call, const std::string& name, const std::optional<std::string>& argument) {
  return call.name == name && (!argument || call.argument == *argument);
}
}  // namespace

bool FakeMediaPlayer::Called(const std::string& name, const std::optional<std::string>& argument) const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return std::any_of(core_->calls.begin(), core_->calls.end(),
                     [&](const FakeCall& call) { return Matches(call, name, argument); });
}

size_t FakeMediaPlayer::Count(const std::string& name) const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return static_cast<size_t>(std::count_if(core_->calls.begin(), core_->calls.end(),
                                           [&](const FakeCall& call) { return call.name == name; }));
}

std::vector<std::string> FakeMediaPlayer::Arguments(const std::string& name) const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  std::vector<std::string> arguments;
  for (const FakeCall& call : core_->calls) {
    if (call.name == name) arguments.push_back(call.argument);
  }
  return arguments;
}

bool FakeMediaPlayer::WaitForCall(const std::string& name, const std::optional<std::string>& argument,
                                  std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(core_->mutex);
  return core_->callsChanged.wait_for(lock, timeout, [&] {
    return std::any_of(core_->calls.begin(), core_->calls.end(),
                       [&](const FakeCall& call) { return Matches(call, name, argument); });
  });
}

size_t FakeMediaPlayer::HandlerCount(const std::string& notification) const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  if (notification == kMediaFailed) return core_->failedHandlers.size();
  if (auto found = core_->playerHandlers.find(notification); found != core_->playerHandlers.end()) {
    return found->second.size();
  }
  if (auto found = core_->sessionHandlers.find(notification); found != core_->sessionHandlers.end()) {
    return found->second.size();
  }
  return 0;
}

bool FakeMediaPlayer::IsClosed() const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return core_->closed;
}

}  // namespace corvane::testing
