#include "platform/windows/media/windows_media_player.h"

#include <utility>
#include <vector>

#include "platform/surface_device.h"
#include "platform/windows/media/player_core.h"
#include "platform/windows/winrt_check.h"

namespace corvane::platform::windows {
namespace {

using winrt::Check;
using winrt::ComRef;

void Subscribe(PlayerCore& core, PlayerEvent event, std::function<hresult()> handler) {
  core.Gate().Subscribe(static_cast<size_t>(event), std::move(handler));
}

// The runtime surface behind one of ours: the Direct3D surface device's.
winrt::IDirect3DSurface* RuntimeSurface(VideoSurface& surface) {
  auto* native = static_cast<winrt::IDirect3DSurface*>(surface.NativeSurface());
  if (!native) throw hresult_error(kInvalidArgument, "the surface has no Direct3D surface");
  return native;
}

class WindowsCommandManager final : public MediaPlaybackCommandManager {
 public:
  explicit WindowsCommandManager(ComRef<winrt::IMediaPlaybackCommandManager> manager) : manager_(std::move(manager)) {}
  bool IsEnabled() const override {
    winrt::boolean enabled = 0;
    Check(manager_->get_IsEnabled(&enabled), "reading the command manager failed");
    return enabled != 0;
  }
  void IsEnabled(bool enabled) override {
    Check(manager_->put_IsEnabled(enabled ? 1 : 0), "setting the command manager failed");
  }

 private:
  const ComRef<winrt::IMediaPlaybackCommandManager> manager_;
};

class WindowsPlaybackSession final : public MediaPlaybackSession,
                                     public std::enable_shared_from_this<WindowsPlaybackSession> {
 public:
  explicit WindowsPlaybackSession(std::shared_ptr<PlayerCore> core)
      : core_(std::move(core)), session_(core_->Interfaces().session), ranges_(core_->Interfaces().ranges) {}

  TimeSpan Position() const override { return core_->Position(); }
  void Position(TimeSpan value) override { core_->SetPosition(value); }
  double PlaybackRate() const override {
    double rate = 1.0;
    Check(session_->get_PlaybackRate(&rate), "reading the playback rate failed");
    return rate;
  }
  void PlaybackRate(double rate) override { Check(session_->put_PlaybackRate(rate), "setting the rate failed"); }
  TimeSpan NaturalDuration() const override { return core_->NaturalDuration(); }
  uint32_t NaturalVideoWidth() const override {
    uint32_t width = 0;
    Check(session_->get_NaturalVideoWidth(&width), "reading the video width failed");
    return width;
  }
  uint32_t NaturalVideoHeight() const override {
    uint32_t height = 0;
    Check(session_->get_NaturalVideoHeight(&height), "reading the video height failed");
    return height;
  }
  std::vector<MediaTimeRange> GetBufferedRanges() const override {
    std::vector<MediaTimeRange> ranges;
    if (!ranges_) return ranges;  // before Windows 10 1703: nothing known
    ComRef<winrt::IVectorViewOfMediaTimeRange> view;
    Check(ranges_->GetBufferedRanges(view.Receive()), "reading the buffered ranges failed");
    uint32_t size = 0;
    if (view) Check(view->get_Size(&size), "reading the buffered ranges failed");
    for (uint32_t i = 0; i < size; ++i) {
      winrt::MediaTimeRange range{};
      Check(view->GetAt(i, &range), "reading a buffered range failed");
      ranges.push_back(MediaTimeRange{TimeSpan(range.Start), TimeSpan(range.End)});
    }
    return ranges;
  }

  void NaturalVideoSizeChanged(SessionHandler handler) override {
    Add(PlayerEvent::NaturalVideoSizeChanged, std::move(handler));
  }
  void PositionChanged(SessionHandler handler) override { Add(PlayerEvent::PositionChanged, std::move(handler)); }
  void SeekCompleted(SessionHandler handler) override { Add(PlayerEvent::SeekCompleted, std::move(handler)); }
  void BufferingStarted(SessionHandler handler) override { Add(PlayerEvent::BufferingStarted, std::move(handler)); }
  void BufferingEnded(SessionHandler handler) override { Add(PlayerEvent::BufferingEnded, std::move(handler)); }
  void BufferedRangesChanged(SessionHandler handler) override {
    Add(PlayerEvent::BufferedRangesChanged, std::move(handler));
  }

 private:
  // The session is the handlers' sender; held weakly, as the handlers live
  // in the core that the session holds.
  void Add(PlayerEvent event, SessionHandler handler) {
    Subscribe(*core_, event, [handler = std::move(handler), weak = weak_from_this()] {
      return handler(std::shared_ptr<MediaPlaybackSession>(weak.lock()));
    });
  }

  const std::shared_ptr<PlayerCore> core_;
  const ComRef<winrt::IMediaPlaybackSession> session_;
  const ComRef<winrt::IMediaPlaybackSession2> ranges_;
};

class WindowsMediaPlayer final : public MediaPlayer {
 public:
  explicit WindowsMediaPlayer(std::shared_ptr<PlayerCore> core)
      : core_(std::move(core)),
        runtime_(core_->Interfaces()),
        session_(std::make_shared<WindowsPlaybackSession>(core_)) {}
  ~WindowsMediaPlayer() override { core_->Close(); }

  std::shared_ptr<MediaPlaybackItem> Source() const override { return core_->Source(); }
  void Source(std::shared_ptr<MediaPlaybackItem> item) override { core_->SetSource(std::move(item)); }

  void Play() override { Check(runtime_.player->Play(), "Play failed"); }
  void Pause() override { Check(runtime_.player->Pause(), "Pause failed"); }
  double Volume() const override {
    double volume = 0;
    Check(runtime_.player->get_Volume(&volume), "reading the volume failed");
    return volume;
  }
  void Volume(double volume) override { Check(runtime_.player->put_Volume(volume), "setting the volume failed"); }
  // Older systems answer E_NOTIMPL; the player guards both.
  bool RealTimePlayback() const override {
    winrt::boolean value = 0;
    Check(runtime_.player3->get_RealTimePlayback(&value), "RealTimePlayback cannot be read");
    return value != 0;
  }
  void RealTimePlayback(bool value) override {
    Check(runtime_.player3->put_RealTimePlayback(value ? 1 : 0), "RealTimePlayback cannot be set");
  }
  bool IsVideoFrameServerEnabled() const override {
    winrt::boolean enabled = 0;
    Check(runtime_.frameServer->get_IsVideoFrameServerEnabled(&enabled), "reading the frame server mode failed");
    return enabled != 0;
  }
  void IsVideoFrameServerEnabled(bool enabled) override {
    Check(runtime_.frameServer->put_IsVideoFrameServerEnabled(enabled ? 1 : 0), "setting the frame server failed");
  }
  std::shared_ptr<MediaPlaybackCommandManager> CommandManager() override {
    ComRef<winrt::IMediaPlaybackCommandManager> manager;
    Check(runtime_.player3->get_CommandManager(manager.Receive()), "no command manager");
    if (!manager) throw hresult_error(kNoInterface, "no command manager");
    return std::make_shared<WindowsCommandManager>(std::move(manager));
  }

  void CopyFrameToVideoSurface(VideoSurface& surface) override {
    Check(runtime_.frameServer->CopyFrameToVideoSurface(RuntimeSurface(surface)), "copying the frame failed");
  }
  bool RenderSubtitlesToSurface(VideoSurface& surface) override {
    if (!runtime_.subtitles) throw hresult_error(kNoInterface, "subtitle surfaces need Windows 10 1709");
    winrt::boolean drawn = 0;
    Check(runtime_.subtitles->RenderSubtitlesToSurface(RuntimeSurface(surface), &drawn), "rendering subtitles failed");
    return drawn != 0;
  }

  void Close() override { core_->Close(); }
  std::shared_ptr<MediaPlaybackSession> PlaybackSession() const override { return session_; }

  void MediaOpened(PlayerHandler handler) override { Subscribe(*core_, PlayerEvent::MediaOpened, std::move(handler)); }
  void MediaFailed(FailedHandler handler) override { core_->Gate().SubscribeFailed(std::move(handler)); }
  void MediaEnded(PlayerHandler handler) override { Subscribe(*core_, PlayerEvent::MediaEnded, std::move(handler)); }
  void VideoFrameAvailable(PlayerHandler handler) override {
    Subscribe(*core_, PlayerEvent::VideoFrameAvailable, std::move(handler));
  }
  void SubtitleFrameChanged(PlayerHandler handler) override {
    Subscribe(*core_, PlayerEvent::SubtitleFrameChanged, std::move(handler));
  }

 private:
  const std::shared_ptr<PlayerCore> core_;
  const PlayerCore::Runtime& runtime_;  // lives in core_
  const std::shared_ptr<WindowsPlaybackSession> session_;
};

class WindowsMediaEngine final : public MediaEngine {
 public:
  explicit WindowsMediaEngine(std::shared_ptr<winrt::RuntimeActivation> activation)
      : activation_(std::move(activation)) {}
  std::shared_ptr<MediaPlayer> CreateMediaPlayer() override { return CreateWindowsMediaPlayer(activation_); }

 private:
  const std::shared_ptr<winrt::RuntimeActivation> activation_;
};

}  // namespace

std::shared_ptr<MediaEngine> CreateWindowsMediaEngine(std::shared_ptr<winrt::RuntimeActivation> activation) {
  return std::make_shared<WindowsMediaEngine>(std::move(activation));
}

std::shared_ptr<MediaPlayer> CreateWindowsMediaPlayer(std::shared_ptr<winrt::RuntimeActivation> activation) {
  return std::make_shared<WindowsMediaPlayer>(PlayerCore::Create(std::move(activation)));
}

}  // namespace corvane::platform::windows
