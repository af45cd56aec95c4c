#include "platform/gst/gst_media_engine.h"

#include <gst/gst.h>

#include <mutex>

#include "platform/gst/gst_engine_options.h"
#include "platform/gst/gst_handles.h"
#include "platform/gst/player_core.h"

namespace corvane::platform {
namespace gst {
namespace {

class GstPlaybackSession final : public MediaPlaybackSession,
                                 public std::enable_shared_from_this<GstPlaybackSession> {
 public:
  explicit GstPlaybackSession(std::shared_ptr<PlayerCore> core) : core_(std::move(core)) {}

  TimeSpan Position() const override { return core_->Position(); }
  void Position(TimeSpan value) override { core_->Seek(value); }
  double PlaybackRate() const override { return core_->Rate(); }
  void PlaybackRate(double rate) override { core_->SetRate(rate); }
  TimeSpan NaturalDuration() const override { return core_->Duration(); }
  uint32_t NaturalVideoWidth() const override { return core_->NaturalSize().width; }
  uint32_t NaturalVideoHeight() const override { return core_->NaturalSize().height; }
  std::vector<MediaTimeRange> GetBufferedRanges() const override { return core_->BufferedRanges(); }

  void NaturalVideoSizeChanged(SessionHandler handler) override {
    Subscribe(PlayerEvent::NaturalVideoSizeChanged, std::move(handler));
  }
  void PositionChanged(SessionHandler handler) override { Subscribe(PlayerEvent::PositionChanged, std::move(handler)); }
  void SeekCompleted(SessionHandler handler) override { Subscribe(PlayerEvent::SeekCompleted, std::move(handler)); }
  void BufferingStarted(SessionHandler handler) override {
    Subscribe(PlayerEvent::BufferingStarted, std::move(handler));
  }
  void BufferingEnded(SessionHandler handler) override { Subscribe(PlayerEvent::BufferingEnded, std::move(handler)); }
  void BufferedRangesChanged(SessionHandler handler) override {
    Subscribe(PlayerEvent::BufferedRangesChanged, std::move(handler));
  }

 private:
  // The core keeps the handler; it reaches the session through a weak
  // reference, as the session owns the core.
  void Subscribe(PlayerEvent event, SessionHandler handler) {
    std::weak_ptr<GstPlaybackSession> weak = weak_from_this();
    core_->Subscribe(event, [weak, handler = std::move(handler)]() -> hresult {
      auto session = weak.lock();
      if (!session) return kOk;
      return handler(session);
    });
  }

  const std::shared_ptr<PlayerCore> core_;
};

class GstCommandManager final : public MediaPlaybackCommandManager {
 public:
  // There are no system media controls on this platform; the flag is kept.
  bool IsEnabled() const override {
    std::lock_guard<std::mutex> lock(mutex_);
    return enabled_;
  }
  void IsEnabled(bool enabled) override {
    std::lock_guard<std::mutex> lock(mutex_);
    enabled_ = enabled;
  }

 private:
  mutable std::mutex mutex_;
  bool enabled_ = true;
};

class GstMediaPlayer final : public MediaPlayer {
 public:
  explicit GstMediaPlayer(std::shared_ptr<PlayerCore> core)
      : core_(std::move(core)), session_(std::make_shared<GstPlaybackSession>(core_)) {}
  ~GstMediaPlayer() override { core_->Close(); }

  std::shared_ptr<MediaPlaybackItem> Source() const override { return core_->Source(); }
  void Source(std::shared_ptr<MediaPlaybackItem> item) override { core_->SetSource(std::move(item)); }
  void Play() override { core_->Play(); }
  void Pause() override { core_->Pause(); }
  double Volume() const override { return core_->Volume(); }
  void Volume(double volume) override { core_->SetVolume(volume); }
  bool RealTimePlayback() const override { return core_->RealTimePlayback(); }
  void RealTimePlayback(bool value) override { core_->SetRealTimePlayback(value); }
  bool IsVideoFrameServerEnabled() const override { return core_->FrameServerEnabled(); }
  void IsVideoFrameServerEnabled(bool enabled) override { core_->SetFrameServerEnabled(enabled); }
  std::shared_ptr<MediaPlaybackCommandManager> CommandManager() override { return commands_; }
  void CopyFrameToVideoSurface(VideoSurface& surface) override { core_->CopyFrameTo(surface); }
  bool RenderSubtitlesToSurface(VideoSurface& surface) override { return core_->RenderSubtitlesTo(surface); }
  void Close() override { core_->Close(); }
  std::shared_ptr<MediaPlaybackSession> PlaybackSession() const override { return session_; }

  void MediaOpened(PlayerHandler handler) override { core_->Subscribe(PlayerEvent::MediaOpened, std::move(handler)); }
  void MediaFailed(FailedHandler handler) override { core_->SubscribeFailed(std::move(handler)); }
  void MediaEnded(PlayerHandler handler) override { core_->Subscribe(PlayerEvent::MediaEnded, std::move(handler)); }
  void VideoFrameAvailable(PlayerHandler handler) override {
    core_->Subscribe(PlayerEvent::VideoFrameAvailable, std::move(handler));
  }
  void SubtitleFrameChanged(PlayerHandler handler) override {
    core_->Subscribe(PlayerEvent::SubtitleFrameChanged, std::move(handler));
  }

 private:
  const std::shared_ptr<PlayerCore> core_;
  const std::shared_ptr<GstPlaybackSession> session_;
  const std::shared_ptr<GstCommandManager> commands_ = std::make_shared<GstCommandManager>();
};

class GstMediaEngine final : public MediaEngine {
 public:
  explicit GstMediaEngine(const EngineOptions& options) : options_(options) {}
  std::shared_ptr<MediaPlayer> CreateMediaPlayer() override {
    return std::make_shared<GstMediaPlayer>(PlayerCore::Create(options_));
  }

 private:
  const EngineOptions options_;
};

void InitializeGstreamerOnce() {
  static std::once_flag once;
  static bool initialized = false;
  static std::string failure;
  std::call_once(once, [] {
    GError* rawError = nullptr;
    initialized = gst_init_check(nullptr, nullptr, &rawError);
    ErrorPtr error(rawError);  // Adopt
    if (!initialized) failure = error ? error->message : "unknown reason";
  });
  if (!initialized) throw hresult_error(kFail, "GStreamer cannot be initialised: " + failure);
}

}  // namespace

std::shared_ptr<MediaEngine> CreateGstMediaEngine(const EngineOptions& options) {
  InitializeGstreamerOnce();
  return std::make_shared<GstMediaEngine>(options);
}

}  // namespace gst

std::shared_ptr<MediaEngine> CreateGstMediaEngine() { return gst::CreateGstMediaEngine(gst::EngineOptions{}); }

}  // namespace corvane::platform
