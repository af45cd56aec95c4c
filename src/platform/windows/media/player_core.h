// The state behind one Windows media player: the runtime's MediaPlayer and
// its session, the source it plays, and the portable engine core that keeps
// the promises of media_engine.h, which the runtime does not make by itself.
//
// The runtime raises its events on its own threads, possibly while a call of
// ours into it is still running, possibly for a source already replaced, and
// possibly after Close. Each raw event is therefore only tagged with the
// source loaded when it arrived and posted to the player's engine thread;
// there the notification gate raises it if that source is still the
// current one and the player open. Positions set go through the seek
// ledger, so each is answered by exactly one SeekCompleted, whatever the
// runtime merges, drops or delays.
//
// A burst of frames does not queue a copy per frame: a frame only signals
// the engine thread, and the raise takes the runtime's newest frame, so at
// most one copy per surface waits, behind every command and completion.
//
// Threads: commands on the platform thread and from handlers; raw events on
// runtime threads; raises, seeks and the teardown after Close on the engine
// thread; the redraw worker draws subtitles too. Every thread of ours that
// calls the runtime is in an apartment (thread_apartment.h): the platform
// thread in the host's single-threaded one, the engine thread and the
// redraw worker in the multithreaded one. Objects cross between them: the
// player and its session (Runtime, read once at creation on the platform
// thread), each source's MediaSource and MediaPlaybackItem (made on the
// platform thread, read and closed on the engine thread) and the track lists
// (read on the engine thread at opening, selected in on the platform
// thread). All of these are classes the runtime marks agile, so a pointer
// read on one thread is called on another as it is. The arguments of an
// event are read on the runtime's thread that raised it and not kept.
#ifndef CORVANE_PLATFORM_WINDOWS_MEDIA_PLAYER_CORE_H_
#define CORVANE_PLATFORM_WINDOWS_MEDIA_PLAYER_CORE_H_

#include <atomic>
#include <cstddef>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/engine_core/engine_thread.h"
#include "platform/engine_core/notification_gate.h"
#include "platform/engine_core/seek_ledger.h"
#include "platform/media_engine.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/event_subscription.h"
#include "platform/windows/runtime_activation.h"
#include "platform/windows/winrt_media_abi.h"

namespace corvane::platform::windows {

class PlayerCore : public std::enable_shared_from_this<PlayerCore> {
 public:
  // The runtime interfaces of one activated MediaPlayer. The newer ones are
  // null where the system lacks them.
  struct Runtime {
    winrt::ComRef<winrt::IMediaPlayer> player;
    winrt::ComRef<winrt::IMediaPlayer3> player3;
    winrt::ComRef<winrt::IMediaPlayer5> frameServer;
    winrt::ComRef<winrt::IMediaPlayer6> subtitles;  // Windows 10 1709 and later
    winrt::ComRef<winrt::IMediaPlayerSource2> source;
    winrt::ComRef<winrt::IMediaPlaybackSession> session;
    winrt::ComRef<winrt::IMediaPlaybackSession2> ranges;  // Windows 10 1703 and later
  };

  // Activates a MediaPlayer and subscribes to its events. Raises
  // hresult_error with the activation's code, or E_NOINTERFACE where a
  // required interface is missing.
  static std::shared_ptr<PlayerCore> Create(std::shared_ptr<winrt::RuntimeActivation> activation);
  // Through Create only (the key is private): subscribing needs the shared
  // owner.
  struct Key {
   private:
    friend class PlayerCore;
    Key() = default;
  };
  PlayerCore(Key, std::shared_ptr<winrt::RuntimeActivation> activation, Runtime runtime);
  ~PlayerCore();
  PlayerCore(const PlayerCore&) = delete;
  PlayerCore& operator=(const PlayerCore&) = delete;

  const Runtime& Interfaces() const { return runtime_; }
  NotificationGate& Gate() { return gate_; }

  // --- Commands. ---
  std::shared_ptr<MediaPlaybackItem> Source() const;
  // Builds the runtime's Uri, MediaSource and MediaPlaybackItem for `item`
  // (raising hresult_error, with nothing changed, for a URI the runtime
  // refuses) and loads them. A MediaSource is closed only once the runtime's
  // player no longer holds it: the previous one when the player took the
  // new source (or null), the new one when it refused it, in which case the
  // player keeps the previous one, the new source counts as failed and the
  // refusal is raised.
  void SetSource(std::shared_ptr<MediaPlaybackItem> item);
  TimeSpan Position() const;
  void SetPosition(TimeSpan position);
  TimeSpan NaturalDuration() const;
  // Removes every subscription and stops the engine thread, which closes
  // the source and the player; waits for nothing. Once it returns no
  // handler starts.
  void Close();

  // --- Raw events: runtime threads, through the delegates. ---
  void OnMediaOpened(winrt::IMediaPlayer* sender, winrt::IInspectable* args);
  void OnMediaEnded(winrt::IMediaPlayer* sender, winrt::IInspectable* args);
  void OnMediaFailed(winrt::IMediaPlayer* sender, winrt::IMediaPlayerFailedEventArgs* args);
  void OnVideoFrameAvailable(winrt::IMediaPlayer* sender, winrt::IInspectable* args);
  void OnSubtitleFrameChanged(winrt::IMediaPlayer* sender, winrt::IInspectable* args);
  void OnNaturalVideoSizeChanged(winrt::IMediaPlaybackSession* sender, winrt::IInspectable* args);
  void OnPositionChanged(winrt::IMediaPlaybackSession* sender, winrt::IInspectable* args);
  void OnSeekCompleted(winrt::IMediaPlaybackSession* sender, winrt::IInspectable* args);
  void OnBufferingStarted(winrt::IMediaPlaybackSession* sender, winrt::IInspectable* args);
  void OnBufferingEnded(winrt::IMediaPlaybackSession* sender, winrt::IInspectable* args);
  void OnBufferedRangesChanged(winrt::IMediaPlaybackSession* sender, winrt::IInspectable* args);
  void OnNaturalDurationChanged(winrt::IMediaPlaybackSession* sender, winrt::IInspectable* args);

 private:
  enum class Phase { kIdle, kOpening, kOpened, kFailed };

  // What belongs to one source; replaced as a whole when the source is.
  struct Loaded {
    SourceNumber number = 0;
    std::shared_ptr<MediaPlaybackItem> item;
    winrt::ComRef<winrt::IMediaPlaybackItem> runtimeItem;
    Phase phase = Phase::kIdle;
    // As the runtime said at opening; the duration follows its
    // NaturalDurationChanged (0 while unknown), and whether it can seek is
    // asked again whenever a seek is decided.
    bool seekable = false;
    TimeSpan duration{0};
    SeekLedger seeks;
  };

  // The engine thread's signals, one per kind of frame.
  static constexpr size_t kVideoFrameSignal = 0;
  static constexpr size_t kSubtitleFrameSignal = 1;

  void ListenForFrames();
  void Subscribe();

  // Runtime threads: posts the raise of `event` for the source loaded now.
  void Relay(PlayerEvent event);
  void Post(void (PlayerCore::*task)(SourceNumber), SourceNumber source);

  // Engine thread.
  void OpenedOnEngine(SourceNumber source);
  void FailedOnEngine(SourceNumber source, const MediaPlayerFailedEventArgs& args);
  void SeekCompletedOnEngine(SourceNumber source);
  void DurationChangedOnEngine(SourceNumber source);
  void PumpSeeksOnEngine(SourceNumber source);
  void CompleteSeeksOnEngine(SourceNumber source, int count);
  void Raise(PlayerEvent event, SourceNumber source) { gate_.Raise(static_cast<size_t>(event), source); }

  const std::shared_ptr<winrt::RuntimeActivation> activation_;
  const Runtime runtime_;
  NotificationGate gate_{static_cast<size_t>(PlayerEvent::kCount)};
  const std::shared_ptr<EngineThread> thread_;
  // The source put into the runtime player last: what a raw event is
  // tagged with. Written by SetSource, read on runtime threads.
  std::atomic<SourceNumber> loaded_{0};
  // The source of the newest frame and subtitle frame the runtime offered:
  // written on runtime threads before the signal, read by its raise.
  std::atomic<SourceNumber> videoFrameSource_{0};
  std::atomic<SourceNumber> subtitleFrameSource_{0};

  mutable std::mutex mutex_;
  // Guarded by mutex_:
  Loaded current_;
  // The MediaSource the runtime's player holds, as far as its answers tell:
  // closed once the player lets go of it.
  winrt::ComRef<winrt::IMediaSource2> held_;
  std::vector<winrt::EventRegistration> registrations_;
};

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_MEDIA_PLAYER_CORE_H_
