#include "platform/windows/media/player_core.h"

#include <chrono>
#include <utility>

#include "platform/debug_log.h"
#include "platform/windows/hstring.h"
#include "platform/windows/media/track_lists.h"
#include "platform/windows/winrt_check.h"
#include "platform/windows/winrt_string.h"

namespace corvane::platform::windows {
namespace {

using winrt::Check;
using winrt::ComRef;
using winrt::EventRegistration;
using winrt::MakeWeakEventDelegate;

// A source change waits this long for a handler of the old source.
constexpr auto kRaiseWait = std::chrono::seconds(2);
// A seek the runtime never confirms still completes after this.
constexpr auto kSeekWatchdog = std::chrono::seconds(5);

void DebugLine(const char* text) { DebugLogf("CorvanePlugin: %s\n", text); }

static_assert(static_cast<int32_t>(MediaPlayerError::SourceNotSupported) ==
              static_cast<int32_t>(winrt::MediaPlayerError::SourceNotSupported));

// Copied out while the runtime's arguments are valid: the raise comes later.
MediaPlayerFailedEventArgs ReadFailure(winrt::IMediaPlayerFailedEventArgs* args) {
  MediaPlayerFailedEventArgs failure;
  if (!args) return failure;
  winrt::MediaPlayerError error{};
  if (args->get_Error(&error) >= 0) failure.error = static_cast<MediaPlayerError>(error);
  winrt::HRESULT extended = kFail;
  if (args->get_ExtendedErrorCode(&extended) >= 0) failure.extendedErrorCode = extended;
  winrt::HString message;
  if (args->get_ErrorMessage(message.Receive()) >= 0) failure.errorMessage = winrt::ReadHString(message.get());
  return failure;
}

template <typename I>
ComRef<I> Optional(const ComRef<winrt::IMediaPlayer>& player) {
  ComRef<I> typed;
  player.As(&typed);
  return typed;
}

template <typename I, typename From>
ComRef<I> Required(const ComRef<From>& object, const char* what) {
  ComRef<I> typed;
  Check(object.As(&typed), what);
  return typed;
}

}  // namespace

std::shared_ptr<PlayerCore> PlayerCore::Create(std::shared_ptr<winrt::RuntimeActivation> activation) {
  Runtime runtime;
  runtime.player = winrt::ActivateAs<winrt::IMediaPlayer>(*activation, winrt::kRuntimeClassMediaPlayer);
  runtime.player3 = Required<winrt::IMediaPlayer3>(runtime.player, "MediaPlayer has no IMediaPlayer3");
  runtime.frameServer = Required<winrt::IMediaPlayer5>(runtime.player, "MediaPlayer has no frame server");
  runtime.source = Required<winrt::IMediaPlayerSource2>(runtime.player, "MediaPlayer has no IMediaPlayerSource2");
  runtime.subtitles = Optional<winrt::IMediaPlayer6>(runtime.player);
  Check(runtime.player3->get_PlaybackSession(runtime.session.Receive()), "MediaPlayer has no playback session");
  if (!runtime.session) throw hresult_error(kNoInterface, "MediaPlayer has no playback session");
  runtime.session.As(&runtime.ranges);
  // Opening a source must not start playback: the player decides when. A
  // runtime that keeps AutoPlay on still plays; it may only start early.
  if (Failed(runtime.player->put_AutoPlay(false))) DebugLine("Failed to turn AutoPlay off");

  auto core = std::make_shared<PlayerCore>(Key(), std::move(activation), std::move(runtime));
  core->ListenForFrames();
  core->Subscribe();
  return core;
}

PlayerCore::PlayerCore(Key, std::shared_ptr<winrt::RuntimeActivation> activation, Runtime runtime)
    : activation_(std::move(activation)),
      runtime_(std::move(runtime)),
      thread_(std::make_shared<EngineThread>("corvane-engine")) {}

PlayerCore::~PlayerCore() { Close(); }

void PlayerCore::ListenForFrames() {
  // The raise reads the source of the newest frame: a frame of a source
  // replaced since is dropped by the gate.
  thread_->SetSignalTask(
      [weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->Raise(PlayerEvent::VideoFrameAvailable, self->videoFrameSource_);
      },
      kVideoFrameSignal);
  thread_->SetSignalTask(
      [weak = weak_from_this()] {
        if (const auto self = weak.lock()) self->Raise(PlayerEvent::SubtitleFrameChanged, self->subtitleFrameSource_);
      },
      kSubtitleFrameSignal);
}

void PlayerCore::Subscribe() {
  const std::shared_ptr<PlayerCore> self = shared_from_this();
  using PlayerHandlerInterface = winrt::IMediaPlayerEventHandler;
  using SessionHandlerInterface = winrt::IMediaPlaybackSessionEventHandler;
  using Session = winrt::IMediaPlaybackSession;
  const Runtime& r = runtime_;
  // Dropped, and so removed, should a required one fail.
  std::vector<EventRegistration> added;
  // What the player cannot work without: every event it reports to Dart
  // (a source opening, failing and ending, seeks completing, positions,
  // buffering, the size) and the frames it serves. A refusal ends the
  // creation.
  const auto required = [&](const auto& source, auto add, auto remove, auto handler) {
    added.push_back(EventRegistration::Add(source, add, remove, handler));
  };
  // Without the others it only shows less (no subtitles, durations that
  // never grow): logged, and it goes on.
  const auto optional = [&](const char* event, const auto& source, auto add, auto remove, auto handler) {
    const hresult code = ToHresult([&] { added.push_back(EventRegistration::Add(source, add, remove, handler)); });
    if (Failed(code)) {
      DebugLogf("CorvanePlugin: Failed to subscribe to %s (0x%08X)\n", event, static_cast<unsigned>(code));
    }
  };

  required(r.player, &winrt::IMediaPlayer::add_MediaOpened, &winrt::IMediaPlayer::remove_MediaOpened,
           MakeWeakEventDelegate<PlayerHandlerInterface, &PlayerCore::OnMediaOpened>(self));
  required(r.player, &winrt::IMediaPlayer::add_MediaEnded, &winrt::IMediaPlayer::remove_MediaEnded,
           MakeWeakEventDelegate<PlayerHandlerInterface, &PlayerCore::OnMediaEnded>(self));
  required(r.player, &winrt::IMediaPlayer::add_MediaFailed, &winrt::IMediaPlayer::remove_MediaFailed,
           MakeWeakEventDelegate<winrt::IMediaPlayerFailedEventHandler, &PlayerCore::OnMediaFailed>(self));
  required(r.session, &Session::add_SeekCompleted, &Session::remove_SeekCompleted,
           MakeWeakEventDelegate<SessionHandlerInterface, &PlayerCore::OnSeekCompleted>(self));
  required(r.frameServer, &winrt::IMediaPlayer5::add_VideoFrameAvailable,
           &winrt::IMediaPlayer5::remove_VideoFrameAvailable,
           MakeWeakEventDelegate<PlayerHandlerInterface, &PlayerCore::OnVideoFrameAvailable>(self));
  required(r.session, &Session::add_NaturalVideoSizeChanged, &Session::remove_NaturalVideoSizeChanged,
           MakeWeakEventDelegate<SessionHandlerInterface, &PlayerCore::OnNaturalVideoSizeChanged>(self));
  required(r.session, &Session::add_PositionChanged, &Session::remove_PositionChanged,
           MakeWeakEventDelegate<SessionHandlerInterface, &PlayerCore::OnPositionChanged>(self));
  required(r.session, &Session::add_BufferingStarted, &Session::remove_BufferingStarted,
           MakeWeakEventDelegate<SessionHandlerInterface, &PlayerCore::OnBufferingStarted>(self));
  required(r.session, &Session::add_BufferingEnded, &Session::remove_BufferingEnded,
           MakeWeakEventDelegate<SessionHandlerInterface, &PlayerCore::OnBufferingEnded>(self));
  if (r.ranges) {  // Windows 10 1703 and later
    required(r.ranges, &winrt::IMediaPlaybackSession2::add_BufferedRangesChanged,
             &winrt::IMediaPlaybackSession2::remove_BufferedRangesChanged,
             MakeWeakEventDelegate<SessionHandlerInterface, &PlayerCore::OnBufferedRangesChanged>(self));
  }

  if (r.subtitles) {
    optional("SubtitleFrameChanged", r.subtitles, &winrt::IMediaPlayer6::add_SubtitleFrameChanged,
             &winrt::IMediaPlayer6::remove_SubtitleFrameChanged,
             MakeWeakEventDelegate<PlayerHandlerInterface, &PlayerCore::OnSubtitleFrameChanged>(self));
  }
  optional("NaturalDurationChanged", r.session, &Session::add_NaturalDurationChanged,
           &Session::remove_NaturalDurationChanged,
           MakeWeakEventDelegate<SessionHandlerInterface, &PlayerCore::OnNaturalDurationChanged>(self));
  std::lock_guard<std::mutex> lock(mutex_);
  registrations_ = std::move(added);
}

std::shared_ptr<MediaPlaybackItem> PlayerCore::Source() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return current_.item;
}

void PlayerCore::SetSource(std::shared_ptr<MediaPlaybackItem> item) {
  // The runtime's objects first: a URI it refuses changes nothing.
  Loaded next;
  ComRef<winrt::IMediaSource2> runtimeSource;
  if (item && item->Source()) {
    const winrt::HString uriText = winrt::MakeHString(item->Source()->Uri());
    ComRef<winrt::IUriRuntimeClass> uri;
    Check(winrt::FactoryOf<winrt::IUriRuntimeClassFactory>(*activation_, winrt::kRuntimeClassUri)
              ->CreateUri(uriText.get(), uri.Receive()),
          "the URI was refused");
    Check(winrt::FactoryOf<winrt::IMediaSourceStatics>(*activation_, winrt::kRuntimeClassMediaSource)
              ->CreateFromUri(uri.get(), runtimeSource.Receive()),
          "no media source for the URI");
    Check(winrt::FactoryOf<winrt::IMediaPlaybackItemFactory>(*activation_, winrt::kRuntimeClassMediaPlaybackItem)
              ->Create(runtimeSource.get(), next.runtimeItem.Receive()),
          "no playback item for the source");
    next.phase = Phase::kOpening;
  }
  ComRef<winrt::IMediaPlaybackSource> playable;
  if (next.runtimeItem) Check(next.runtimeItem.As(&playable), "the playback item is not playable");

  SourceNumber number = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gate_.IsClosed()) {
      // Clearing a closed player's source is what teardown paths do anyway.
      if (!item) return;
      throw hresult_error(kObjectClosed, "the player is closed");
    }
    next.number = number = gate_.Advance();
    next.item = std::move(item);
    // Completions owed for the old source are never raised.
    current_ = std::move(next);
    loaded_.store(current_.number);
  }
  // A handler of the old source may be running on the engine thread; once
  // this returns none may (unless we are that handler).
  if (!gate_.AwaitRaisesEnded(kRaiseWait)) DebugLine("A handler of the previous source is still running");
  const winrt::HRESULT put = runtime_.source->put_Source(playable.get());
  // Closed below: the source the player let go of, or the one it refused.
  ComRef<winrt::IMediaSource2> released;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (put >= 0) {
      released = std::exchange(held_, std::move(runtimeSource));
    } else {
      released = std::move(runtimeSource);
      // Nothing will open: seeks owed complete rather than wait.
      if (current_.number == number) current_.phase = Phase::kFailed;
    }
  }
  ComRef<winrt::IClosable> closable;
  if (released && released.As(&closable) >= 0) closable->Close();
  if (put < 0) throw hresult_error(put, "the player refused the source");
}

TimeSpan PlayerCore::Position() const {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (const auto shown = current_.seeks.ShownPosition()) return *shown;
  }
  winrt::TimeSpan position = 0;
  Check(runtime_.session->get_Position(&position), "reading the position failed");
  return TimeSpan(position);
}

void PlayerCore::SetPosition(TimeSpan position) {
  SourceNumber source = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (gate_.IsClosed()) return;
    current_.seeks.SetPosition(position);
    source = current_.number;
  }
  Post(&PlayerCore::PumpSeeksOnEngine, source);
}

TimeSpan PlayerCore::NaturalDuration() const {
  winrt::TimeSpan duration = 0;
  Check(runtime_.session->get_NaturalDuration(&duration), "reading the duration failed");
  return TimeSpan(duration);
}

void PlayerCore::Close() {
  std::vector<EventRegistration> registrations;
  ComRef<winrt::IMediaSource2> source;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!gate_.Close()) return;
    registrations = std::move(registrations_);
    source = std::move(held_);
    current_.item.reset();
    current_.runtimeItem = nullptr;
  }
  // The runtime stops calling once the tokens are gone, and what it had
  // under way finds the gate shut: no handler starts from now on.
  for (EventRegistration& registration : registrations) registration.Remove();
  // Closing the runtime's player may wait for its own threads, and the
  // caller may be the app's UI thread: that goes on on the engine thread,
  // which nothing waits for. The task holds what it closes, not the core.
  // The source goes last: by then the player holds it no longer, even one
  // it refused to let go of.
  thread_->Post([runtime = runtime_, source] {
    runtime.source->put_Source(nullptr);
    ComRef<winrt::IClosable> player;
    if (runtime.player.As(&player) >= 0) player->Close();
    ComRef<winrt::IClosable> closable;
    if (source && source.As(&closable) >= 0) closable->Close();
  });
  thread_->StopWithoutWaiting();
}

// ---- Raw events --------------------------------------------------------------

void PlayerCore::Post(void (PlayerCore::*task)(SourceNumber), SourceNumber source) {
  thread_->Post([weak = weak_from_this(), task, source] {
    if (const auto self = weak.lock()) ((*self).*task)(source);
  });
}

void PlayerCore::Relay(PlayerEvent event) {
  const SourceNumber source = loaded_.load();
  thread_->Post([weak = weak_from_this(), event, source] {
    if (const auto self = weak.lock()) self->Raise(event, source);
  });
}

void PlayerCore::OnMediaOpened(winrt::IMediaPlayer*, winrt::IInspectable*) {
  Post(&PlayerCore::OpenedOnEngine, loaded_.load());
}

void PlayerCore::OnMediaEnded(winrt::IMediaPlayer*, winrt::IInspectable*) { Relay(PlayerEvent::MediaEnded); }

void PlayerCore::OnMediaFailed(winrt::IMediaPlayer*, winrt::IMediaPlayerFailedEventArgs* args) {
  const SourceNumber source = loaded_.load();
  thread_->Post([weak = weak_from_this(), source, failure = ReadFailure(args)] {
    if (const auto self = weak.lock()) self->FailedOnEngine(source, failure);
  });
}

void PlayerCore::OnVideoFrameAvailable(winrt::IMediaPlayer*, winrt::IInspectable*) {
  videoFrameSource_.store(loaded_.load());
  thread_->Signal(kVideoFrameSignal);
}

void PlayerCore::OnSubtitleFrameChanged(winrt::IMediaPlayer*, winrt::IInspectable*) {
  subtitleFrameSource_.store(loaded_.load());
  thread_->Signal(kSubtitleFrameSignal);
}

void PlayerCore::OnNaturalVideoSizeChanged(winrt::IMediaPlaybackSession*, winrt::IInspectable*) {
  Relay(PlayerEvent::NaturalVideoSizeChanged);
}

void PlayerCore::OnPositionChanged(winrt::IMediaPlaybackSession*, winrt::IInspectable*) {
  Relay(PlayerEvent::PositionChanged);
}

void PlayerCore::OnSeekCompleted(winrt::IMediaPlaybackSession*, winrt::IInspectable*) {
  Post(&PlayerCore::SeekCompletedOnEngine, loaded_.load());
}

void PlayerCore::OnBufferingStarted(winrt::IMediaPlaybackSession*, winrt::IInspectable*) {
  Relay(PlayerEvent::BufferingStarted);
}

void PlayerCore::OnBufferingEnded(winrt::IMediaPlaybackSession*, winrt::IInspectable*) {
  Relay(PlayerEvent::BufferingEnded);
}

void PlayerCore::OnBufferedRangesChanged(winrt::IMediaPlaybackSession*, winrt::IInspectable*) {
  Relay(PlayerEvent::BufferedRangesChanged);
}

void PlayerCore::OnNaturalDurationChanged(winrt::IMediaPlaybackSession*, winrt::IInspectable*) {
  Post(&PlayerCore::DurationChangedOnEngine, loaded_.load());
}

// ---- Engine thread -------------------------------------------------------------

void PlayerCore::OpenedOnEngine(SourceNumber source) {
  // The facts are read before the raise, so the handler finds the tracks.
  ComRef<winrt::IMediaPlaybackItem> runtimeItem;
  std::shared_ptr<MediaPlaybackItem> item;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != current_.number || current_.phase != Phase::kOpening) return;
    runtimeItem = current_.runtimeItem;
    item = current_.item;
  }
  winrt::boolean canSeek = 0;
  winrt::TimeSpan duration = 0;
  const hresult read = ToHresult([&] {
    Check(runtime_.session->get_CanSeek(&canSeek), "reading whether the media can seek failed");
    Check(runtime_.session->get_NaturalDuration(&duration), "reading the duration failed");
    ComRef<winrt::IVectorViewOfAudioTrack> audio;
    ComRef<winrt::IVectorViewOfVideoTrack> video;
    ComRef<winrt::IVectorViewOfTimedMetadataTrack> text;
    Check(runtimeItem->get_AudioTracks(audio.Receive()), "reading the audio tracks failed");
    Check(runtimeItem->get_VideoTracks(video.Receive()), "reading the video tracks failed");
    Check(runtimeItem->get_TimedMetadataTracks(text.Receive()), "reading the text tracks failed");
    item->AttachTracks(audio ? WrapAudioTracks(std::move(audio)) : nullptr,
                       video ? WrapVideoTracks(std::move(video)) : nullptr,
                       text ? WrapTimedMetadataTracks(std::move(text)) : nullptr);
  });
  if (Failed(read)) {
    // An opened source whose facts cannot be read cannot be played.
    MediaPlayerFailedEventArgs failure;
    failure.extendedErrorCode = read;
    failure.errorMessage = "the opened media could not be read";
    FailedOnEngine(source, failure);
    return;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != current_.number) return;
    current_.phase = Phase::kOpened;
    current_.seekable = canSeek != 0;
    current_.duration = TimeSpan(duration);
  }
  Raise(PlayerEvent::MediaOpened, source);
  PumpSeeksOnEngine(source);
}

void PlayerCore::FailedOnEngine(SourceNumber source, const MediaPlayerFailedEventArgs& args) {
  int completions = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != current_.number) return;
    current_.phase = Phase::kFailed;
    completions = current_.seeks.Failed();
  }
  gate_.RaiseFailed(args, source);
  CompleteSeeksOnEngine(source, completions);
}

void PlayerCore::SeekCompletedOnEngine(SourceNumber source) {
  int completions = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != current_.number) return;
    // A completion with no seek of ours in flight (one the runtime raised
    // twice, or one the watchdog already answered) completes nothing.
    completions = current_.seeks.Confirmed(false);
    current_.seeks.Settled();
  }
  CompleteSeeksOnEngine(source, completions);
  PumpSeeksOnEngine(source);
}

void PlayerCore::DurationChangedOnEngine(SourceNumber source) {
  // Read once the source is open; OpenedOnEngine reads the first one.
  winrt::TimeSpan duration = 0;
  if (Failed(runtime_.session->get_NaturalDuration(&duration))) return;
  std::lock_guard<std::mutex> lock(mutex_);
  if (source != current_.number || current_.phase != Phase::kOpened) return;
  current_.duration = TimeSpan(duration);
}

void PlayerCore::CompleteSeeksOnEngine(SourceNumber source, int count) {
  if (count <= 0) return;
  for (int i = 0; i < count; ++i) Raise(PlayerEvent::SeekCompleted, source);
  Raise(PlayerEvent::PositionChanged, source);
}

void PlayerCore::PumpSeeksOnEngine(SourceNumber source) {
  // Media that could not seek when it opened may by now (a stream whose
  // index or seekable range came later): the runtime is asked each time.
  winrt::boolean canSeek = 0;
  const bool canSeekRead = Succeeded(runtime_.session->get_CanSeek(&canSeek));
  SeekLedger::Decision next;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != current_.number || gate_.IsClosed()) return;
    if (canSeekRead && current_.phase == Phase::kOpened) current_.seekable = canSeek != 0;
    SeekLedger::Media media;
    media.opening = current_.phase == Phase::kOpening;
    media.seekable = current_.phase == Phase::kOpened && current_.seekable;
    media.duration = current_.duration;
    next = current_.seeks.Next(media, false);
  }
  switch (next.step) {
    case SeekLedger::Step::kWait:
    case SeekLedger::Step::kNothing:
      return;
    case SeekLedger::Step::kCompleteAll:
      CompleteSeeksOnEngine(source, next.completions);
      return;
    case SeekLedger::Step::kSeek:
    case SeekLedger::Step::kSeekHere:
      break;
  }
  // This engine asks for no flushes of its own, so a seek here is always
  // to a target.
  uint64_t ticket = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (source != current_.number) return;
    ticket = current_.seeks.Sent(next.target, next.byUser);
  }
  if (Failed(runtime_.session->put_Position(next.target.count()))) {
    int completions = 0;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (source != current_.number) return;
      completions = current_.seeks.Refused();
    }
    CompleteSeeksOnEngine(source, completions);
    PumpSeeksOnEngine(source);
    return;
  }
  thread_->PostDelayed(kSeekWatchdog, [weak = weak_from_this(), source, ticket] {
    const auto self = weak.lock();
    if (!self) return;
    int completions = 0;
    {
      std::lock_guard<std::mutex> lock(self->mutex_);
      if (source != self->current_.number || !self->current_.seeks.WatchdogFinds(ticket)) return;
      completions = self->current_.seeks.Confirmed(false);
    }
    DebugLine("A seek was not confirmed in time; completing it");
    self->CompleteSeeksOnEngine(source, completions);
    self->PumpSeeksOnEngine(source);
  });
}

}  // namespace corvane::platform::windows
