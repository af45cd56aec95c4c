#include "fake_runtime.h"

#include <string_view>

#include "platform/thread_apartment.h"

namespace corvane::platform::winrt::fakes {
namespace {

std::atomic<int> alive{0};
std::atomic<int64_t> last_token{0};

std::mutex outside_mutex;
std::vector<std::string> outside_calls;  // guarded by outside_mutex

}  // namespace

int FakeObjectsAlive() { return alive.load(); }

std::vector<std::string> CallsOutsideAnApartment() {
  std::lock_guard lock(outside_mutex);
  return outside_calls;
}

namespace fake_detail {
void CountObject(int change) { alive.fetch_add(change); }
void CheckApartment(const char* method) {
  if (InThreadApartment()) return;
  std::lock_guard lock(outside_mutex);
  outside_calls.emplace_back(method);
}
int64_t NextEventToken() { return last_token.fetch_add(1) + 1; }
}  // namespace fake_detail

// ---- FakeTimedMetadataTrackList ---------------------------------------------

FakeTimedMetadataTrackList::FakeTimedMetadataTrackList(const std::vector<FakeTimedMetadataTrackFacts>& tracks) {
  SetTracks(tracks);
}

void FakeTimedMetadataTrackList::SetTracks(const std::vector<FakeTimedMetadataTrackFacts>& tracks) {
  std::vector<ComRef<ITimedMetadataTrack>> made;
  for (const FakeTimedMetadataTrackFacts& facts : tracks) made.emplace_back(MakeFake<FakeTimedMetadataTrack>(facts));
  std::lock_guard lock(mutex_);
  items_ = std::move(made);
  modes_.assign(items_.size(), TimedMetadataTrackPresentationMode::Disabled);
}

HRESULT FakeTimedMetadataTrackList::GetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode* value) {
  std::lock_guard lock(mutex_);
  if (index >= modes_.size()) return kBoundsError;
  return fake_detail::Hand(modes_[index], value);
}

HRESULT FakeTimedMetadataTrackList::SetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode value) {
  Record("SetPresentationMode");
  std::lock_guard lock(mutex_);
  modes_set_.emplace_back(index, value);
  if (index >= modes_.size()) return kBoundsError;
  modes_[index] = value;
  return kOk;
}

TimedMetadataTrackPresentationMode FakeTimedMetadataTrackList::PresentationMode(uint32_t index) const {
  std::lock_guard lock(mutex_);
  return modes_.at(index);
}

std::vector<FakeTimedMetadataTrackList::ModeSet> FakeTimedMetadataTrackList::PresentationModesSet() const {
  std::lock_guard lock(mutex_);
  return modes_set_;
}

// ---- FakeMediaPlaybackItem --------------------------------------------------

FakeMediaPlaybackItem::FakeMediaPlaybackItem(ComRef<IMediaSource2> source, const FakeTracks& tracks)
    : source_(std::move(source)),
      audio_(MakeFake<FakeAudioTrackList>(tracks.audio)),
      video_(MakeFake<FakeVideoTrackList>(tracks.video)),
      timed_metadata_(MakeFake<FakeTimedMetadataTrackList>(tracks.timedMetadata)) {}

HRESULT FakeMediaPlaybackItem::get_Source(IMediaSource2** value) { return fake_detail::HandObject(source_, value); }
HRESULT
FakeMediaPlaybackItem::get_AudioTracks(IVectorViewOfAudioTrack** value) {
  Record("get_AudioTracks");
  return fake_detail::HandObject(audio_, value);
}
HRESULT
FakeMediaPlaybackItem::get_VideoTracks(IVectorViewOfVideoTrack** value) {
  Record("get_VideoTracks");
  return fake_detail::HandObject(video_, value);
}
HRESULT FakeMediaPlaybackItem::get_TimedMetadataTracks(IVectorViewOfTimedMetadataTrack** value) {
  Record("get_TimedMetadataTracks");
  return fake_detail::HandObject(timed_metadata_, value);
}

void FakeMediaPlaybackItem::SetTracks(const FakeTracks& tracks) {
  audio_->SetTracks(tracks.audio);
  video_->SetTracks(tracks.video);
  timed_metadata_->SetTracks(tracks.timedMetadata);
}

// ---- FakeCommandManager -----------------------------------------------------

HRESULT FakeCommandManager::get_IsEnabled(boolean* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::HandBool(enabled_, value);
}
HRESULT FakeCommandManager::put_IsEnabled(boolean value) {
  Record("put_IsEnabled");
  std::lock_guard lock(mutex_);
  enabled_ = value != 0;
  return kOk;
}
bool FakeCommandManager::IsEnabled() const {
  std::lock_guard lock(mutex_);
  return enabled_;
}

// ---- FakeMediaPlaybackSession -----------------------------------------------

HRESULT FakeMediaPlaybackSession::get_NaturalDuration(TimeSpan* value) {
  if (const HRESULT refused = Record("get_NaturalDuration"); refused < 0) return refused;
  std::lock_guard lock(mutex_);
  return fake_detail::Hand(natural_duration_, value);
}
HRESULT FakeMediaPlaybackSession::get_Position(TimeSpan* value) {
  if (const HRESULT refused = Record("get_Position"); refused < 0) return refused;
  std::lock_guard lock(mutex_);
  return fake_detail::Hand(position_, value);
}
HRESULT FakeMediaPlaybackSession::put_Position(TimeSpan value) {
  Record("put_Position");
  std::lock_guard lock(mutex_);
  position_ = value;
  positions_set_.push_back(value);
  return kOk;
}
HRESULT FakeMediaPlaybackSession::get_PlaybackState(MediaPlaybackState* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::Hand(state_, value);
}
HRESULT FakeMediaPlaybackSession::get_CanSeek(boolean* value) {
  if (const HRESULT refused = Record("get_CanSeek"); refused < 0) return refused;
  std::lock_guard lock(mutex_);
  return fake_detail::HandBool(can_seek_, value);
}
HRESULT FakeMediaPlaybackSession::get_PlaybackRate(double* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::Hand(rate_, value);
}
HRESULT FakeMediaPlaybackSession::put_PlaybackRate(double value) {
  Record("put_PlaybackRate");
  std::lock_guard lock(mutex_);
  rate_ = value;
  rates_set_.push_back(value);
  return kOk;
}
HRESULT FakeMediaPlaybackSession::get_NaturalVideoHeight(uint32_t* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::Hand(natural_height_, value);
}
HRESULT FakeMediaPlaybackSession::get_NaturalVideoWidth(uint32_t* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::Hand(natural_width_, value);
}
HRESULT FakeMediaPlaybackSession::GetBufferedRanges(IVectorViewOfMediaTimeRange** value) {
  std::vector<MediaTimeRange> ranges;
  {
    std::lock_guard lock(mutex_);
    ranges = buffered_;
  }
  return fake_detail::HandObject(MakeFake<FakeTimeRangeView>(std::move(ranges)), value);
}

HRESULT FakeMediaPlaybackSession::add_NaturalVideoSizeChanged(IMediaPlaybackSessionEventHandler* handler,
                                                              EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_NaturalVideoSizeChanged"); refused < 0) return refused;
  return natural_video_size_changed_.Add(handler, token);
}
HRESULT FakeMediaPlaybackSession::remove_NaturalVideoSizeChanged(EventRegistrationToken token) {
  return natural_video_size_changed_.Remove(token);
}
HRESULT FakeMediaPlaybackSession::add_PositionChanged(IMediaPlaybackSessionEventHandler* handler,
                                                      EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_PositionChanged"); refused < 0) return refused;
  return position_changed_.Add(handler, token);
}
HRESULT
FakeMediaPlaybackSession::remove_PositionChanged(EventRegistrationToken token) {
  return position_changed_.Remove(token);
}
HRESULT FakeMediaPlaybackSession::add_SeekCompleted(IMediaPlaybackSessionEventHandler* handler,
                                                    EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_SeekCompleted"); refused < 0) return refused;
  return seek_completed_.Add(handler, token);
}
HRESULT
FakeMediaPlaybackSession::remove_SeekCompleted(EventRegistrationToken token) { return seek_completed_.Remove(token); }
HRESULT FakeMediaPlaybackSession::add_BufferingStarted(IMediaPlaybackSessionEventHandler* handler,
                                                       EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_BufferingStarted"); refused < 0) return refused;
  return buffering_started_.Add(handler, token);
}
HRESULT FakeMediaPlaybackSession::remove_BufferingStarted(EventRegistrationToken token) {
  return buffering_started_.Remove(token);
}
HRESULT FakeMediaPlaybackSession::add_BufferingEnded(IMediaPlaybackSessionEventHandler* handler,
                                                     EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_BufferingEnded"); refused < 0) return refused;
  return buffering_ended_.Add(handler, token);
}
HRESULT
FakeMediaPlaybackSession::remove_BufferingEnded(EventRegistrationToken token) { return buffering_ended_.Remove(token); }
HRESULT FakeMediaPlaybackSession::add_BufferedRangesChanged(IMediaPlaybackSessionEventHandler* handler,
                                                            EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_BufferedRangesChanged"); refused < 0) return refused;
  return buffered_ranges_changed_.Add(handler, token);
}
HRESULT FakeMediaPlaybackSession::remove_BufferedRangesChanged(EventRegistrationToken token) {
  return buffered_ranges_changed_.Remove(token);
}
HRESULT FakeMediaPlaybackSession::add_NaturalDurationChanged(IMediaPlaybackSessionEventHandler* handler,
                                                             EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_NaturalDurationChanged"); refused < 0) return refused;
  return natural_duration_changed_.Add(handler, token);
}
HRESULT FakeMediaPlaybackSession::remove_NaturalDurationChanged(EventRegistrationToken token) {
  return natural_duration_changed_.Remove(token);
}

void FakeMediaPlaybackSession::SetPosition(TimeSpan position) {
  std::lock_guard lock(mutex_);
  position_ = position;
}
void FakeMediaPlaybackSession::SetNaturalDuration(TimeSpan duration) {
  std::lock_guard lock(mutex_);
  natural_duration_ = duration;
}
void FakeMediaPlaybackSession::SetNaturalVideoSize(uint32_t width, uint32_t height) {
  std::lock_guard lock(mutex_);
  natural_width_ = width;
  natural_height_ = height;
}
void FakeMediaPlaybackSession::SetCanSeek(bool can_seek) {
  std::lock_guard lock(mutex_);
  can_seek_ = can_seek;
}
void FakeMediaPlaybackSession::SetPlaybackState(MediaPlaybackState state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}
void FakeMediaPlaybackSession::SetBufferedRanges(std::vector<MediaTimeRange> ranges) {
  std::lock_guard lock(mutex_);
  buffered_ = std::move(ranges);
}
TimeSpan FakeMediaPlaybackSession::Position() const {
  std::lock_guard lock(mutex_);
  return position_;
}
double FakeMediaPlaybackSession::PlaybackRate() const {
  std::lock_guard lock(mutex_);
  return rate_;
}
std::vector<TimeSpan> FakeMediaPlaybackSession::PositionsSet() const {
  std::lock_guard lock(mutex_);
  return positions_set_;
}
std::vector<double> FakeMediaPlaybackSession::PlaybackRatesSet() const {
  std::lock_guard lock(mutex_);
  return rates_set_;
}

// ---- FakeMediaPlayer --------------------------------------------------------

FakeMediaPlayer::FakeMediaPlayer(FakePlayerOptions options)
    : options_(options),
      session_(MakeFake<FakeMediaPlaybackSession>()),
      command_manager_(MakeFake<FakeCommandManager>()) {
  for (const std::string& method : options_.failingCalls) {
    FailCall(method, kFail);
    session_->FailCall(method, kFail);
  }
}

bool FakeMediaPlayer::Refuses(const GUID& iid) const {
  return !options_.mediaPlayer6 && SameGuid(iid, IMediaPlayer6::kIid);
}

HRESULT FakeMediaPlayer::get_AutoPlay(boolean* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::HandBool(auto_play_, value);
}
HRESULT FakeMediaPlayer::put_AutoPlay(boolean value) {
  if (const HRESULT refused = Record("put_AutoPlay"); refused < 0) return refused;
  std::lock_guard lock(mutex_);
  auto_play_ = value != 0;
  return kOk;
}
HRESULT FakeMediaPlayer::get_Volume(double* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::Hand(volume_, value);
}
HRESULT FakeMediaPlayer::put_Volume(double value) {
  Record("put_Volume");
  std::lock_guard lock(mutex_);
  volume_ = value;
  return kOk;
}
HRESULT FakeMediaPlayer::add_MediaOpened(IMediaPlayerEventHandler* handler, EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_MediaOpened"); refused < 0) return refused;
  return media_opened_.Add(handler, token);
}
HRESULT FakeMediaPlayer::remove_MediaOpened(EventRegistrationToken token) { return media_opened_.Remove(token); }
HRESULT FakeMediaPlayer::add_MediaEnded(IMediaPlayerEventHandler* handler, EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_MediaEnded"); refused < 0) return refused;
  return media_ended_.Add(handler, token);
}
HRESULT FakeMediaPlayer::remove_MediaEnded(EventRegistrationToken token) { return media_ended_.Remove(token); }
HRESULT
FakeMediaPlayer::add_MediaFailed(IMediaPlayerFailedEventHandler* handler, EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_MediaFailed"); refused < 0) return refused;
  return media_failed_.Add(handler, token);
}
HRESULT FakeMediaPlayer::remove_MediaFailed(EventRegistrationToken token) { return media_failed_.Remove(token); }
HRESULT FakeMediaPlayer::Play() {
  Record("Play");
  return kOk;
}
HRESULT FakeMediaPlayer::Pause() {
  Record("Pause");
  return kOk;
}

HRESULT FakeMediaPlayer::get_RealTimePlayback(boolean* value) {
  if (!options_.realTimePlayback) return kNotImplemented;
  std::lock_guard lock(mutex_);
  return fake_detail::HandBool(real_time_, value);
}
HRESULT FakeMediaPlayer::put_RealTimePlayback(boolean value) {
  Record("put_RealTimePlayback");
  if (!options_.realTimePlayback) return kNotImplemented;
  std::lock_guard lock(mutex_);
  real_time_ = value != 0;
  return kOk;
}
HRESULT
FakeMediaPlayer::get_CommandManager(IMediaPlaybackCommandManager** value) {
  return fake_detail::HandObject(command_manager_, value);
}
HRESULT FakeMediaPlayer::get_PlaybackSession(IMediaPlaybackSession** value) {
  return fake_detail::HandObject(session_, value);
}

HRESULT
FakeMediaPlayer::add_VideoFrameAvailable(IMediaPlayerEventHandler* handler, EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_VideoFrameAvailable"); refused < 0) return refused;
  return video_frame_available_.Add(handler, token);
}
HRESULT
FakeMediaPlayer::remove_VideoFrameAvailable(EventRegistrationToken token) {
  return video_frame_available_.Remove(token);
}
HRESULT FakeMediaPlayer::get_IsVideoFrameServerEnabled(boolean* value) {
  std::lock_guard lock(mutex_);
  return fake_detail::HandBool(frame_server_, value);
}
HRESULT FakeMediaPlayer::put_IsVideoFrameServerEnabled(boolean value) {
  Record("put_IsVideoFrameServerEnabled");
  std::lock_guard lock(mutex_);
  frame_server_ = value != 0;
  return kOk;
}
HRESULT
FakeMediaPlayer::CopyFrameToVideoSurface(IDirect3DSurface* destination) {
  Record("CopyFrameToVideoSurface");
  std::lock_guard lock(mutex_);
  frame_copies_.push_back(destination);
  return kOk;
}

HRESULT
FakeMediaPlayer::add_SubtitleFrameChanged(IMediaPlayerEventHandler* handler, EventRegistrationToken* token) {
  if (const HRESULT refused = Record("add_SubtitleFrameChanged"); refused < 0) return refused;
  return subtitle_frame_changed_.Add(handler, token);
}
HRESULT
FakeMediaPlayer::remove_SubtitleFrameChanged(EventRegistrationToken token) {
  return subtitle_frame_changed_.Remove(token);
}
HRESULT FakeMediaPlayer::RenderSubtitlesToSurface(IDirect3DSurface* destination, boolean* result) {
  Record("RenderSubtitlesToSurface");
  std::lock_guard lock(mutex_);
  subtitle_renders_.push_back(destination);
  return fake_detail::HandBool(subtitles_drawn_, result);
}

HRESULT FakeMediaPlayer::get_Source(IMediaPlaybackSource** value) {
  std::lock_guard lock(mutex_);
  return fake_detail::HandObject(source_, value);
}
HRESULT FakeMediaPlayer::put_Source(IMediaPlaybackSource* value) {
  Record("put_Source");
  ComRef<IMediaPlaybackSource> previous = RetainCom(value);  // the old one is released outside the lock
  std::lock_guard lock(mutex_);
  if (source_answer_ < 0) return source_answer_;
  std::swap(source_, previous);
  return kOk;
}
void FakeMediaPlayer::SetSourceAnswer(HRESULT answer) {
  std::lock_guard lock(mutex_);
  source_answer_ = answer;
}
HRESULT FakeMediaPlayer::Close() {
  Record("Close");
  return kOk;
}

HRESULT FakeMediaPlayer::RaiseMediaOpened() {
  return media_opened_.Raise(static_cast<IMediaPlayer*>(this), static_cast<IInspectable*>(nullptr));
}
HRESULT FakeMediaPlayer::RaiseMediaEnded() {
  return media_ended_.Raise(static_cast<IMediaPlayer*>(this), static_cast<IInspectable*>(nullptr));
}
HRESULT FakeMediaPlayer::RaiseMediaFailed(MediaPlayerError error, HRESULT extended, std::string message) {
  const ComRef<FakeMediaPlayerFailedEventArgs> args =
      MakeFake<FakeMediaPlayerFailedEventArgs>(error, extended, std::move(message));
  return media_failed_.Raise(static_cast<IMediaPlayer*>(this), static_cast<IMediaPlayerFailedEventArgs*>(args.get()));
}
HRESULT FakeMediaPlayer::RaiseVideoFrameAvailable() {
  return video_frame_available_.Raise(static_cast<IMediaPlayer*>(this), static_cast<IInspectable*>(nullptr));
}
HRESULT FakeMediaPlayer::RaiseSubtitleFrameChanged() {
  return subtitle_frame_changed_.Raise(static_cast<IMediaPlayer*>(this), static_cast<IInspectable*>(nullptr));
}

void FakeMediaPlayer::SetSubtitlesDrawn(bool drawn) {
  std::lock_guard lock(mutex_);
  subtitles_drawn_ = drawn;
}
bool FakeMediaPlayer::AutoPlay() const {
  std::lock_guard lock(mutex_);
  return auto_play_;
}
double FakeMediaPlayer::Volume() const {
  std::lock_guard lock(mutex_);
  return volume_;
}
bool FakeMediaPlayer::RealTimePlayback() const {
  std::lock_guard lock(mutex_);
  return real_time_;
}
bool FakeMediaPlayer::FrameServerEnabled() const {
  std::lock_guard lock(mutex_);
  return frame_server_;
}
ComRef<IMediaPlaybackSource> FakeMediaPlayer::Source() const {
  std::lock_guard lock(mutex_);
  return source_;
}
std::vector<IDirect3DSurface*> FakeMediaPlayer::FrameCopies() const {
  std::lock_guard lock(mutex_);
  return frame_copies_;
}
std::vector<IDirect3DSurface*> FakeMediaPlayer::SubtitleRenders() const {
  std::lock_guard lock(mutex_);
  return subtitle_renders_;
}

// ---- FakeRuntime ------------------------------------------------------------

struct FakeRuntime::Made {
  mutable std::mutex mutex;
  FakePlayerOptions player_options;
  FakeTracks item_tracks;
  std::vector<ComRef<FakeMediaPlayer>> players;
  std::vector<ComRef<FakeMediaSource>> sources;
  std::vector<ComRef<FakeMediaPlaybackItem>> items;
};

namespace {

using Made = FakeRuntime::Made;

class FakeUriFactory final : public FakeObject<FakeUriFactory, IUriRuntimeClassFactory> {
 public:
  HRESULT CORVANE_WINRT_CALL CreateUri(HSTRING uri, IUriRuntimeClass** instance) override {
    if (!instance) return kNullPointer;
    return ToHresult([&] { fake_detail::HandObject(MakeFake<FakeUri>(ReadHString(uri)), instance); });
  }
};

class FakeMediaSourceStatics final : public FakeObject<FakeMediaSourceStatics, IMediaSourceStatics> {
 public:
  explicit FakeMediaSourceStatics(std::shared_ptr<Made> made) : made_(std::move(made)) {}
  HRESULT CORVANE_WINRT_CALL CreateFromUri(IUriRuntimeClass* uri, IMediaSource2** result) override {
    if (!uri || !result) return kNullPointer;
    HSTRING text = nullptr;
    const HRESULT code = uri->get_AbsoluteUri(&text);
    if (code < 0) return code;
    const HString owned = AdoptHString(text);
    return ToHresult([&] {
      const ComRef<FakeMediaSource> source = MakeFake<FakeMediaSource>(ReadHString(owned.get()));
      {
        std::lock_guard lock(made_->mutex);
        made_->sources.push_back(source);
      }
      fake_detail::HandObject(source, result);
    });
  }

 private:
  const std::shared_ptr<Made> made_;
};

class FakeMediaPlaybackItemFactory final : public FakeObject<FakeMediaPlaybackItemFactory, IMediaPlaybackItemFactory> {
 public:
  explicit FakeMediaPlaybackItemFactory(std::shared_ptr<Made> made) : made_(std::move(made)) {}
  HRESULT CORVANE_WINRT_CALL Create(IMediaSource2* source, IMediaPlaybackItem** value) override {
    if (!source || !value) return kNullPointer;
    return ToHresult([&] {
      std::lock_guard lock(made_->mutex);
      const ComRef<FakeMediaPlaybackItem> item = MakeFake<FakeMediaPlaybackItem>(RetainCom(source), made_->item_tracks);
      made_->items.push_back(item);
      fake_detail::HandObject(item, value);
    });
  }

 private:
  const std::shared_ptr<Made> made_;
};

template <typename T>
T* Detached(ComRef<T> object) {
  return object.Detach();
}

}  // namespace

FakeRuntime::FakeRuntime() : made_(std::make_shared<Made>()) {}
FakeRuntime::~FakeRuntime() = default;

HRESULT FakeRuntime::ActivateInstance(const wchar_t* className, IInspectable** instance) {
  if (!className || !instance) return kNullPointer;
  *instance = nullptr;
  if (std::wstring_view(className) != kRuntimeClassMediaPlayer) return kClassNotRegistered;
  return ToHresult([&] {
    std::lock_guard lock(made_->mutex);
    if (!made_->player_options.registered) throw hresult_error(kClassNotRegistered);
    ComRef<FakeMediaPlayer> player = MakeFake<FakeMediaPlayer>(made_->player_options);
    made_->players.push_back(player);
    *instance = static_cast<IMediaPlayer*>(player.Detach());
  });
}

HRESULT FakeRuntime::GetActivationFactory(const wchar_t* className, const GUID& iid, void** factory) {
  if (!className || !factory) return kNullPointer;
  *factory = nullptr;
  const std::wstring_view name(className);
  if (name == kRuntimeClassUri) {
    if (!SameGuid(iid, IUriRuntimeClassFactory::kIid)) return kNoInterface;
    *factory = static_cast<IUriRuntimeClassFactory*>(Detached(MakeFake<FakeUriFactory>()));
  } else if (name == kRuntimeClassMediaSource) {
    if (!SameGuid(iid, IMediaSourceStatics::kIid)) return kNoInterface;
    *factory = static_cast<IMediaSourceStatics*>(Detached(MakeFake<FakeMediaSourceStatics>(made_)));
  } else if (name == kRuntimeClassMediaPlaybackItem) {
    if (!SameGuid(iid, IMediaPlaybackItemFactory::kIid)) return kNoInterface;
    *factory = static_cast<IMediaPlaybackItemFactory*>(Detached(MakeFake<FakeMediaPlaybackItemFactory>(made_)));
  } else if (name == kRuntimeClassMediaPlayer) {
    std::lock_guard lock(made_->mutex);
    // The player is made by its default constructor only; it has no factory
    // interface the adapter asks for.
    return made_->player_options.registered ? kNoInterface : kClassNotRegistered;
  } else {
    return kClassNotRegistered;
  }
  return kOk;
}

void FakeRuntime::SetPlayerOptions(FakePlayerOptions options) {
  std::lock_guard lock(made_->mutex);
  made_->player_options = options;
}
void FakeRuntime::SetItemTracks(FakeTracks tracks) {
  std::lock_guard lock(made_->mutex);
  made_->item_tracks = std::move(tracks);
}
std::vector<ComRef<FakeMediaPlayer>> FakeRuntime::Players() const {
  std::lock_guard lock(made_->mutex);
  return made_->players;
}
std::vector<ComRef<FakeMediaSource>> FakeRuntime::Sources() const {
  std::lock_guard lock(made_->mutex);
  return made_->sources;
}
std::vector<ComRef<FakeMediaPlaybackItem>> FakeRuntime::Items() const {
  std::lock_guard lock(made_->mutex);
  return made_->items;
}
ComRef<FakeMediaPlayer> FakeRuntime::LastPlayer() const {
  std::lock_guard lock(made_->mutex);
  return made_->players.empty() ? nullptr : made_->players.back();
}
ComRef<FakeMediaPlaybackItem> FakeRuntime::LastItem() const {
  std::lock_guard lock(made_->mutex);
  return made_->items.empty() ? nullptr : made_->items.back();
}

}  // namespace corvane::platform::winrt::fakes
