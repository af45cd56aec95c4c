// Fakes of the Windows Runtime media objects the media engine adapter drives:
// MediaPlayer with its session and command manager, Uri, MediaSource,
// MediaPlaybackItem, the track lists and tracks, and a Direct3D surface.
// They are handed out by FakeRuntime, the tests' RuntimeActivation, and
// build natively (against the stand-in base types) and with mingw-w64,
// where they run under Wine, which has none of the real classes.
//
// Every fake derives from the generated stubs (abi_stubs.h), so a method no
// fake overrides answers E_NOTIMPL. What the adapter sets is recorded for the
// test to read; what the system would report is set by the test. Events keep
// their handlers by token; the Raise functions call them on the calling
// thread, as the system calls them on its own.
//
// Threads: the adapter calls the fakes from its threads while a test raises
// events from others. Each fake guards its state with its own mutex and
// never holds it while calling a handler or the during-call hook. The
// runtime wants every caller in an apartment: each recorded call from a
// thread that joined none is noted (CallsOutsideAnApartment).
#ifndef CORVANE_TESTS_WINDOWS_ENGINE_FAKE_RUNTIME_H_
#define CORVANE_TESTS_WINDOWS_ENGINE_FAKE_RUNTIME_H_

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

#include "abi_stubs.h"
#include "platform/hresult.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/runtime_activation.h"
#include "platform/windows/winrt_abi.h"
#include "platform/windows/winrt_base.h"
#include "platform/windows/winrt_media_abi.h"
#include "platform/windows/winrt_string.h"

namespace corvane::platform::winrt::fakes {

// REGDB_E_CLASSNOTREG: what activation answers for a class the system lacks.
inline constexpr HRESULT kClassNotRegistered = static_cast<HRESULT>(0x80040154);

// Fake objects made and not yet destroyed by their last Release, across the
// process: zero once a test has let go of everything is the leak check.
int FakeObjectsAlive();

// The recorded calls, by ABI name, that came from a thread in no apartment
// of its own (thread_apartment.h), across the process and in order.
std::vector<std::string> CallsOutsideAnApartment();

namespace fake_detail {
void CountObject(int change);
// Notes `method` when the calling thread is in no apartment.
void CheckApartment(const char* method);
// Tokens are unique across every event of every fake, so a token removed
// from the wrong event is never taken for one of its own.
int64_t NextEventToken();

template <typename T>
HRESULT Hand(T value, T* out) {
  if (!out) return kNullPointer;
  *out = value;
  return kOk;
}
inline HRESULT HandBool(bool value, boolean* out) { return Hand(static_cast<boolean>(value ? 1 : 0), out); }
inline HRESULT HandString(const std::string& text, HSTRING* out) {
  if (!out) return kNullPointer;
  return ToHresult([&] { *out = MakeHString(text).Detach(); });
}
template <typename I, typename T>
HRESULT HandObject(const ComRef<T>& object, I** out) {
  if (!out) return kNullPointer;
  *out = RetainCom<I>(object.get()).Detach();
  return kOk;
}
}  // namespace fake_detail

// A COM object implementing `Interfaces` (each names its IID as kIid) on top
// of their stubs. Derived is the final class; it may define
// `bool Refuses(const GUID&) const` to leave an interface out, as an older
// system does. IUnknown (and, on Windows, IInspectable) answer with the
// first interface. Made by MakeFake, destroyed by the last Release.
template <typename Derived, typename... Interfaces>
class FakeObject : public stubs::StubOf<Interfaces>::type... {
  using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

 public:
  FakeObject(const FakeObject&) = delete;
  FakeObject& operator=(const FakeObject&) = delete;

  HRESULT CORVANE_WINRT_CALL QueryInterface(const GUID& iid, void** object) override {
    if (!object) return kNullPointer;
    *object = nullptr;
    if (SameGuid(iid, IidOfUnknown()) || IsInspectable(iid)) {
      *object = static_cast<IInspectable*>(static_cast<First*>(this));
    } else if (!static_cast<const Derived*>(this)->Refuses(iid)) {
      (void)((SameGuid(iid, Interfaces::kIid) ? (*object = static_cast<Interfaces*>(this), true) : false) || ...);
    }
    if (!*object) return kNoInterface;
    AddRef();
    return kOk;
  }
  ULONG CORVANE_WINRT_CALL AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG CORVANE_WINRT_CALL Release() override {
    const ULONG remaining = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (remaining == 0) {
      static_assert(std::is_final_v<Derived>, "a fake must be final: it is deleted as Derived");
      delete static_cast<Derived*>(this);
    }
    return remaining;
  }
  HRESULT CORVANE_WINRT_CALL GetIids(ULONG*, GUID**) override { return kNotImplemented; }
  HRESULT CORVANE_WINRT_CALL GetRuntimeClassName(HSTRING*) override { return kNotImplemented; }
  HRESULT CORVANE_WINRT_CALL GetTrustLevel(TrustLevel*) override { return kNotImplemented; }

  bool Refuses(const GUID&) const { return false; }

  // Runs at the start of every recorded method, with its ABI name, on the
  // adapter's thread: a test raises an event from inside the adapter's call.
  // The hook must not hold a reference to this object: that would be a cycle.
  void SetDuringCall(std::function<void(const char* method)> hook) {
    std::lock_guard lock(mutex_);
    during_call_ = std::move(hook);
  }
  // From now on the recorded method `method` answers `code`, as a system
  // refusing the call would.
  void FailCall(const std::string& method, HRESULT code) {
    std::lock_guard lock(mutex_);
    failing_[method] = code;
  }
  // The recorded methods called so far, in order, by ABI name.
  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  int CallCount(std::string_view method) const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(std::count(calls_.begin(), calls_.end(), method));
  }

 protected:
  FakeObject() { fake_detail::CountObject(1); }
  ~FakeObject() { fake_detail::CountObject(-1); }

  // Returns what the call answers: kOk, or the failure FailCall set.
  HRESULT Record(const char* method) {
    fake_detail::CheckApartment(method);
    std::function<void(const char*)> hook;
    HRESULT answer = kOk;
    {
      std::lock_guard lock(mutex_);
      calls_.emplace_back(method);
      hook = during_call_;
      if (const auto failing = failing_.find(method); failing != failing_.end()) answer = failing->second;
    }
    if (hook) hook(method);
    return answer;
  }

  // Guards the derived fake's state as well as the call record.
  mutable std::mutex mutex_;

 private:
  static bool IsInspectable(const GUID& iid) {
#ifdef _WIN32
    return SameGuid(iid, __uuidof(IInspectable));
#else
    // Our headers carry no IID for IInspectable off Windows, and nothing
    // here asks for it: activation hands the object out as IInspectable.
    (void)iid;
    return false;
#endif
  }

  std::atomic<ULONG> references_{1};
  std::vector<std::string> calls_;
  std::function<void(const char*)> during_call_;
  std::map<std::string, HRESULT, std::less<>> failing_;
};

template <typename T, typename... Args>
ComRef<T> MakeFake(Args&&... args) {
  return AdoptCom(new T(std::forward<Args>(args)...));
}

// One event of a fake: handlers by token, and how often the adapter added
// and removed one. Removing an unknown token succeeds, as the system's does.
template <typename Handler>
class FakeEvent {
 public:
  HRESULT Add(Handler* handler, EventRegistrationToken* token) {
    if (!handler || !token) return kNullPointer;
    std::lock_guard lock(mutex_);
    ++adds_;
    token->value = fake_detail::NextEventToken();
    handlers_.emplace(token->value, RetainCom(handler));
    return kOk;
  }
  HRESULT Remove(EventRegistrationToken token) {
    ComRef<Handler> removed;  // released outside the lock
    std::lock_guard lock(mutex_);
    ++removes_;
    if (auto found = handlers_.find(token.value); found != handlers_.end()) {
      removed = std::move(found->second);
      handlers_.erase(found);
    }
    return kOk;
  }
  // Calls every handler in the order added; the first failure is returned.
  template <typename Sender, typename Args>
  HRESULT Raise(Sender sender, Args args) const {
    std::vector<ComRef<Handler>> handlers;
    {
      std::lock_guard lock(mutex_);
      for (const auto& entry : handlers_) handlers.push_back(entry.second);
    }
    HRESULT result = kOk;
    for (const ComRef<Handler>& handler : handlers) {
      const HRESULT code = handler->Invoke(sender, args);
      if (code < 0 && result >= 0) result = code;
    }
    return result;
  }

  int Adds() const {
    std::lock_guard lock(mutex_);
    return adds_;
  }
  int Removes() const {
    std::lock_guard lock(mutex_);
    return removes_;
  }
  size_t Listeners() const {
    std::lock_guard lock(mutex_);
    return handlers_.size();
  }

 private:
  mutable std::mutex mutex_;
  std::map<int64_t, ComRef<Handler>> handlers_;
  int adds_ = 0;
  int removes_ = 0;
};

// ---- Collections ------------------------------------------------------------

namespace fake_detail {
template <typename View>
struct VectorElement;
template <typename Element, const GUID& kIid>
struct VectorElement<IVectorView<Element, kIid>> {
  using type = Element;
};

inline bool SameElement(const MediaTimeRange& a, const MediaTimeRange& b) {
  return a.Start == b.Start && a.End == b.End;
}
template <typename I>
bool SameElement(const ComRef<I>& a, I* b) {
  return a.get() == b;
}
inline MediaTimeRange HandElement(const MediaTimeRange& range) { return range; }
template <typename I>
I* HandElement(const ComRef<I>& object) {
  return RetainCom(object.get()).Detach();
}
}  // namespace fake_detail

// An IVectorView holding values (MediaTimeRange) or objects (kept as ComRef,
// handed out with a reference of the caller's). The derived list fills it.
template <typename Derived, typename View, typename... Extra>
class FakeVectorView : public FakeObject<Derived, View, Extra...> {
 public:
  using Element = typename fake_detail::VectorElement<View>::type;
  using Stored = std::conditional_t<std::is_pointer_v<Element>, ComRef<std::remove_pointer_t<Element>>, Element>;

  HRESULT CORVANE_WINRT_CALL GetAt(uint32_t index, Element* item) override {
    if (!item) return kNullPointer;
    std::lock_guard lock(this->mutex_);
    if (index >= items_.size()) return kBoundsError;
    *item = fake_detail::HandElement(items_[index]);
    return kOk;
  }
  HRESULT CORVANE_WINRT_CALL get_Size(uint32_t* size) override {
    std::lock_guard lock(this->mutex_);
    return fake_detail::Hand(static_cast<uint32_t>(items_.size()), size);
  }
  HRESULT CORVANE_WINRT_CALL IndexOf(Element value, uint32_t* index, boolean* found) override {
    if (!index || !found) return kNullPointer;
    std::lock_guard lock(this->mutex_);
    *index = 0;
    *found = 0;
    for (uint32_t i = 0; i < items_.size(); ++i) {
      if (fake_detail::SameElement(items_[i], value)) {
        *index = i;
        *found = 1;
        break;
      }
    }
    return kOk;
  }
  HRESULT CORVANE_WINRT_CALL GetMany(uint32_t start_index, uint32_t capacity, Element* items,
                                     uint32_t* actual) override {
    if (!actual || (capacity > 0 && !items)) return kNullPointer;
    std::lock_guard lock(this->mutex_);
    if (start_index > items_.size()) return kBoundsError;
    *actual = std::min(capacity, static_cast<uint32_t>(items_.size()) - start_index);
    for (uint32_t i = 0; i < *actual; ++i) items[i] = fake_detail::HandElement(items_[start_index + i]);
    return kOk;
  }

 protected:
  std::vector<Stored> items_;  // guarded by mutex_
};

// What GetBufferedRanges hands out: a snapshot, as the system's is.
class FakeTimeRangeView final : public FakeVectorView<FakeTimeRangeView, IVectorViewOfMediaTimeRange> {
 public:
  explicit FakeTimeRangeView(std::vector<MediaTimeRange> ranges) { items_ = std::move(ranges); }
};

// ---- Tracks -----------------------------------------------------------------

struct FakeAudioTrackFacts {
  std::string id, language, label, name, subtype;
  uint32_t bitrate = 0, channels = 0, sampleRate = 0;
};
struct FakeVideoTrackFacts {
  std::string id, language, label, name, subtype;
  uint32_t bitrate = 0, width = 0, height = 0;
};
struct FakeTimedMetadataTrackFacts {
  std::string id, language, label, name;
  TimedMetadataKind kind = TimedMetadataKind::Subtitle;
};
// The tracks of one playback item.
struct FakeTracks {
  std::vector<FakeAudioTrackFacts> audio;
  std::vector<FakeVideoTrackFacts> video;
  std::vector<FakeTimedMetadataTrackFacts> timedMetadata;
};

class FakeAudioEncodingProperties final
    : public FakeObject<FakeAudioEncodingProperties, IAudioEncodingProperties, IMediaEncodingProperties> {
 public:
  explicit FakeAudioEncodingProperties(FakeAudioTrackFacts facts) : facts_(std::move(facts)) {}
  HRESULT CORVANE_WINRT_CALL get_Bitrate(uint32_t* value) override { return fake_detail::Hand(facts_.bitrate, value); }
  HRESULT CORVANE_WINRT_CALL get_ChannelCount(uint32_t* value) override {
    return fake_detail::Hand(facts_.channels, value);
  }
  HRESULT CORVANE_WINRT_CALL get_SampleRate(uint32_t* value) override {
    return fake_detail::Hand(facts_.sampleRate, value);
  }
  HRESULT CORVANE_WINRT_CALL get_Type(HSTRING* value) override { return fake_detail::HandString("Audio", value); }
  HRESULT CORVANE_WINRT_CALL get_Subtype(HSTRING* value) override {
    return fake_detail::HandString(facts_.subtype, value);
  }

 private:
  const FakeAudioTrackFacts facts_;
};

class FakeVideoEncodingProperties final
    : public FakeObject<FakeVideoEncodingProperties, IVideoEncodingProperties, IMediaEncodingProperties> {
 public:
  explicit FakeVideoEncodingProperties(FakeVideoTrackFacts facts) : facts_(std::move(facts)) {}
  HRESULT CORVANE_WINRT_CALL get_Bitrate(uint32_t* value) override { return fake_detail::Hand(facts_.bitrate, value); }
  HRESULT CORVANE_WINRT_CALL get_Width(uint32_t* value) override { return fake_detail::Hand(facts_.width, value); }
  HRESULT CORVANE_WINRT_CALL get_Height(uint32_t* value) override { return fake_detail::Hand(facts_.height, value); }
  HRESULT CORVANE_WINRT_CALL get_Type(HSTRING* value) override { return fake_detail::HandString("Video", value); }
  HRESULT CORVANE_WINRT_CALL get_Subtype(HSTRING* value) override {
    return fake_detail::HandString(facts_.subtype, value);
  }

 private:
  const FakeVideoTrackFacts facts_;
};

// IMediaTrack for each kind of track. Only the label can change (put_Label).
template <typename Derived, typename Facts, MediaTrackKind kKind, typename... Interfaces>
class FakeMediaTrack : public FakeObject<Derived, Interfaces...> {
 public:
  explicit FakeMediaTrack(Facts facts) : facts_(std::move(facts)) {}

  HRESULT CORVANE_WINRT_CALL get_Id(HSTRING* value) override { return fake_detail::HandString(facts_.id, value); }
  HRESULT CORVANE_WINRT_CALL get_Language(HSTRING* value) override {
    return fake_detail::HandString(facts_.language, value);
  }
  HRESULT CORVANE_WINRT_CALL get_TrackKind(MediaTrackKind* value) override { return fake_detail::Hand(kKind, value); }
  HRESULT CORVANE_WINRT_CALL put_Label(HSTRING value) override {
    this->Record("put_Label");
    std::lock_guard lock(this->mutex_);
    return ToHresult([&] { facts_.label = ReadHString(value); });
  }
  HRESULT CORVANE_WINRT_CALL get_Label(HSTRING* value) override {
    std::lock_guard lock(this->mutex_);
    return fake_detail::HandString(facts_.label, value);
  }
  HRESULT CORVANE_WINRT_CALL get_Name(HSTRING* value) override { return fake_detail::HandString(facts_.name, value); }

 protected:
  Facts facts_;  // label guarded by mutex_, the rest constant
};

class FakeAudioTrack final
    : public FakeMediaTrack<FakeAudioTrack, FakeAudioTrackFacts, MediaTrackKind::Audio, IMediaTrack, IAudioTrack> {
 public:
  using Facts = FakeAudioTrackFacts;
  using FakeMediaTrack::FakeMediaTrack;
  HRESULT CORVANE_WINRT_CALL GetEncodingProperties(IAudioEncodingProperties** value) override {
    return fake_detail::HandObject(MakeFake<FakeAudioEncodingProperties>(facts_), value);
  }
};

class FakeVideoTrack final
    : public FakeMediaTrack<FakeVideoTrack, FakeVideoTrackFacts, MediaTrackKind::Video, IMediaTrack, IVideoTrack> {
 public:
  using Facts = FakeVideoTrackFacts;
  using FakeMediaTrack::FakeMediaTrack;
  HRESULT CORVANE_WINRT_CALL GetEncodingProperties(IVideoEncodingProperties** value) override {
    return fake_detail::HandObject(MakeFake<FakeVideoEncodingProperties>(facts_), value);
  }
};

// The system's metadata lists TimedMetadataTrack with ITimedMetadataTrack as
// its default interface and says no more; the fake also answers IMediaTrack
// by QI (language and label), which the adapter must not rely on without
// checking the QI's result: if the system refuses it, those stay unknown.
class FakeTimedMetadataTrack final
    : public FakeMediaTrack<FakeTimedMetadataTrack, FakeTimedMetadataTrackFacts, MediaTrackKind::TimedMetadata,
                            ITimedMetadataTrack, ITimedMetadataTrack2, IMediaTrack> {
 public:
  using Facts = FakeTimedMetadataTrackFacts;
  using FakeMediaTrack::FakeMediaTrack;
  HRESULT CORVANE_WINRT_CALL get_TimedMetadataKind(TimedMetadataKind* value) override {
    return fake_detail::Hand(facts_.kind, value);
  }
};

// The audio or video track list of an item: a vector view of IMediaTrack
// with a selection. SetTracks selects the first track, or none (-1).
template <typename View, typename Track>
class FakeSelectableTrackList final
    : public FakeVectorView<FakeSelectableTrackList<View, Track>, View, ISingleSelectMediaTrackList> {
 public:
  explicit FakeSelectableTrackList(const std::vector<typename Track::Facts>& tracks) { SetTracks(tracks); }

  void SetTracks(const std::vector<typename Track::Facts>& tracks) {
    std::vector<ComRef<IMediaTrack>> made;
    for (const auto& facts : tracks) made.emplace_back(MakeFake<Track>(facts));
    std::lock_guard lock(this->mutex_);
    this->items_ = std::move(made);
    selected_ = this->items_.empty() ? -1 : 0;
  }

  // Out of range (not -1 and not an index) fails with E_BOUNDS, still
  // recorded.
  HRESULT CORVANE_WINRT_CALL put_SelectedIndex(int32_t value) override {
    this->Record("put_SelectedIndex");
    std::lock_guard lock(this->mutex_);
    indices_set_.push_back(value);
    if (value < -1 || value >= static_cast<int32_t>(this->items_.size())) return kBoundsError;
    selected_ = value;
    return kOk;
  }
  HRESULT CORVANE_WINRT_CALL get_SelectedIndex(int32_t* value) override {
    std::lock_guard lock(this->mutex_);
    return fake_detail::Hand(selected_, value);
  }

  // As the system selects on its own, unrecorded.
  void SetSelectedIndex(int32_t index) {
    std::lock_guard lock(this->mutex_);
    selected_ = index;
  }
  int32_t SelectedIndex() const {
    std::lock_guard lock(this->mutex_);
    return selected_;
  }
  std::vector<int32_t> SelectedIndicesSet() const {
    std::lock_guard lock(this->mutex_);
    return indices_set_;
  }

 private:
  int32_t selected_ = -1;
  std::vector<int32_t> indices_set_;
};

using FakeAudioTrackList = FakeSelectableTrackList<IVectorViewOfAudioTrack, FakeAudioTrack>;
using FakeVideoTrackList = FakeSelectableTrackList<IVectorViewOfVideoTrack, FakeVideoTrack>;

// The timed metadata tracks of an item, each with its presentation mode
// (Disabled until set).
class FakeTimedMetadataTrackList final
    : public FakeVectorView<FakeTimedMetadataTrackList, IVectorViewOfTimedMetadataTrack,
                            IMediaPlaybackTimedMetadataTrackList> {
 public:
  using ModeSet = std::pair<uint32_t, TimedMetadataTrackPresentationMode>;

  explicit FakeTimedMetadataTrackList(const std::vector<FakeTimedMetadataTrackFacts>& tracks);
  void SetTracks(const std::vector<FakeTimedMetadataTrackFacts>& tracks);

  HRESULT CORVANE_WINRT_CALL GetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode* value) override;
  // Recorded, then E_BOUNDS for an index past the end.
  HRESULT CORVANE_WINRT_CALL SetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode value) override;

  TimedMetadataTrackPresentationMode PresentationMode(uint32_t index) const;
  std::vector<ModeSet> PresentationModesSet() const;

 private:
  std::vector<TimedMetadataTrackPresentationMode> modes_;
  std::vector<ModeSet> modes_set_;
};

// ---- Uri, MediaSource, MediaPlaybackItem ------------------------------------

class FakeUri final : public FakeObject<FakeUri, IUriRuntimeClass> {
 public:
  explicit FakeUri(std::string text) : text_(std::move(text)) {}
  HRESULT CORVANE_WINRT_CALL get_AbsoluteUri(HSTRING* value) override { return fake_detail::HandString(text_, value); }
  HRESULT CORVANE_WINRT_CALL get_RawUri(HSTRING* value) override { return fake_detail::HandString(text_, value); }
  const std::string& Text() const { return text_; }

 private:
  const std::string text_;
};

// Close is recorded (CallCount("Close")).
class FakeMediaSource final : public FakeObject<FakeMediaSource, IMediaSource2, IMediaPlaybackSource, IClosable> {
 public:
  explicit FakeMediaSource(std::string uri) : uri_(std::move(uri)) {}
  HRESULT CORVANE_WINRT_CALL Close() override {
    Record("Close");
    return kOk;
  }
  const std::string& Uri() const { return uri_; }

 private:
  const std::string uri_;
};

// Its three track-list getters are recorded.
class FakeMediaPlaybackItem final : public FakeObject<FakeMediaPlaybackItem, IMediaPlaybackItem, IMediaPlaybackSource> {
 public:
  FakeMediaPlaybackItem(ComRef<IMediaSource2> source, const FakeTracks& tracks);

  HRESULT CORVANE_WINRT_CALL get_Source(IMediaSource2** value) override;
  HRESULT CORVANE_WINRT_CALL get_AudioTracks(IVectorViewOfAudioTrack** value) override;
  HRESULT CORVANE_WINRT_CALL get_VideoTracks(IVectorViewOfVideoTrack** value) override;
  HRESULT CORVANE_WINRT_CALL get_TimedMetadataTracks(IVectorViewOfTimedMetadataTrack** value) override;

  // Replaces the contents of the item's lists (the list objects stay), as
  // the system fills them while the source opens.
  void SetTracks(const FakeTracks& tracks);

  IMediaSource2* Source() const { return source_.get(); }
  const ComRef<FakeAudioTrackList>& AudioTracks() const { return audio_; }
  const ComRef<FakeVideoTrackList>& VideoTracks() const { return video_; }
  const ComRef<FakeTimedMetadataTrackList>& TimedMetadataTracks() const { return timed_metadata_; }

 private:
  // All constant after construction.
  const ComRef<IMediaSource2> source_;
  const ComRef<FakeAudioTrackList> audio_;
  const ComRef<FakeVideoTrackList> video_;
  const ComRef<FakeTimedMetadataTrackList> timed_metadata_;
};

// ---- MediaPlayer and its parts ----------------------------------------------

class FakeMediaPlayerFailedEventArgs final
    : public FakeObject<FakeMediaPlayerFailedEventArgs, IMediaPlayerFailedEventArgs> {
 public:
  FakeMediaPlayerFailedEventArgs(MediaPlayerError error, HRESULT extended, std::string message)
      : error_(error), extended_(extended), message_(std::move(message)) {}
  HRESULT CORVANE_WINRT_CALL get_Error(MediaPlayerError* value) override { return fake_detail::Hand(error_, value); }
  HRESULT CORVANE_WINRT_CALL get_ExtendedErrorCode(HRESULT* value) override {
    return fake_detail::Hand(extended_, value);
  }
  HRESULT CORVANE_WINRT_CALL get_ErrorMessage(HSTRING* value) override {
    return fake_detail::HandString(message_, value);
  }

 private:
  const MediaPlayerError error_;
  const HRESULT extended_;
  const std::string message_;
};

// put_IsEnabled is recorded.
class FakeCommandManager final : public FakeObject<FakeCommandManager, IMediaPlaybackCommandManager> {
 public:
  HRESULT CORVANE_WINRT_CALL get_IsEnabled(boolean* value) override;
  HRESULT CORVANE_WINRT_CALL put_IsEnabled(boolean value) override;
  bool IsEnabled() const;

 private:
  bool enabled_ = true;
};

// The session's reads answer what the test set; put_Position and
// put_PlaybackRate change what the getters answer. Recorded: put_Position,
// put_PlaybackRate, get_Position, get_NaturalDuration, get_CanSeek and every
// add_X. Events are raised with this session as sender and null arguments.
class FakeMediaPlaybackSession final
    : public FakeObject<FakeMediaPlaybackSession, IMediaPlaybackSession, IMediaPlaybackSession2> {
 public:
  HRESULT CORVANE_WINRT_CALL get_NaturalDuration(TimeSpan* value) override;
  HRESULT CORVANE_WINRT_CALL get_Position(TimeSpan* value) override;
  HRESULT CORVANE_WINRT_CALL put_Position(TimeSpan value) override;
  HRESULT CORVANE_WINRT_CALL get_PlaybackState(MediaPlaybackState* value) override;
  HRESULT CORVANE_WINRT_CALL get_CanSeek(boolean* value) override;
  HRESULT CORVANE_WINRT_CALL get_PlaybackRate(double* value) override;
  HRESULT CORVANE_WINRT_CALL put_PlaybackRate(double value) override;
  HRESULT CORVANE_WINRT_CALL get_NaturalVideoHeight(uint32_t* value) override;
  HRESULT CORVANE_WINRT_CALL get_NaturalVideoWidth(uint32_t* value) override;
  HRESULT CORVANE_WINRT_CALL GetBufferedRanges(IVectorViewOfMediaTimeRange** value) override;
  HRESULT CORVANE_WINRT_CALL add_NaturalVideoSizeChanged(IMediaPlaybackSessionEventHandler* handler,
                                                         EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_NaturalVideoSizeChanged(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_PositionChanged(IMediaPlaybackSessionEventHandler* handler,
                                                 EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_PositionChanged(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_SeekCompleted(IMediaPlaybackSessionEventHandler* handler,
                                               EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_SeekCompleted(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_BufferingStarted(IMediaPlaybackSessionEventHandler* handler,
                                                  EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_BufferingStarted(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_BufferingEnded(IMediaPlaybackSessionEventHandler* handler,
                                                EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_BufferingEnded(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_BufferedRangesChanged(IMediaPlaybackSessionEventHandler* handler,
                                                       EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_BufferedRangesChanged(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_NaturalDurationChanged(IMediaPlaybackSessionEventHandler* handler,
                                                        EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_NaturalDurationChanged(EventRegistrationToken token) override;

  // What the system would report.
  void SetPosition(TimeSpan position);
  void SetNaturalDuration(TimeSpan duration);
  void SetNaturalVideoSize(uint32_t width, uint32_t height);
  void SetCanSeek(bool can_seek);
  void SetPlaybackState(MediaPlaybackState state);
  void SetBufferedRanges(std::vector<MediaTimeRange> ranges);

  // What the adapter set.
  TimeSpan Position() const;
  double PlaybackRate() const;
  std::vector<TimeSpan> PositionsSet() const;
  std::vector<double> PlaybackRatesSet() const;

  HRESULT RaiseNaturalVideoSizeChanged() { return Raise(natural_video_size_changed_); }
  HRESULT RaisePositionChanged() { return Raise(position_changed_); }
  HRESULT RaiseSeekCompleted() { return Raise(seek_completed_); }
  HRESULT RaiseBufferingStarted() { return Raise(buffering_started_); }
  HRESULT RaiseBufferingEnded() { return Raise(buffering_ended_); }
  HRESULT RaiseBufferedRangesChanged() { return Raise(buffered_ranges_changed_); }
  HRESULT RaiseNaturalDurationChanged() { return Raise(natural_duration_changed_); }

  using Event = FakeEvent<IMediaPlaybackSessionEventHandler>;
  const Event& NaturalVideoSizeChangedEvent() const { return natural_video_size_changed_; }
  const Event& PositionChangedEvent() const { return position_changed_; }
  const Event& SeekCompletedEvent() const { return seek_completed_; }
  const Event& BufferingStartedEvent() const { return buffering_started_; }
  const Event& BufferingEndedEvent() const { return buffering_ended_; }
  const Event& BufferedRangesChangedEvent() const { return buffered_ranges_changed_; }
  const Event& NaturalDurationChangedEvent() const { return natural_duration_changed_; }

 private:
  HRESULT Raise(const Event& event) {
    return event.Raise(static_cast<IMediaPlaybackSession*>(this), static_cast<IInspectable*>(nullptr));
  }

  // Guarded by mutex_.
  TimeSpan position_ = 0;
  TimeSpan natural_duration_ = 0;
  uint32_t natural_width_ = 0;
  uint32_t natural_height_ = 0;
  bool can_seek_ = false;
  MediaPlaybackState state_ = MediaPlaybackState::None;
  double rate_ = 1.0;
  std::vector<MediaTimeRange> buffered_;
  std::vector<TimeSpan> positions_set_;
  std::vector<double> rates_set_;

  Event natural_video_size_changed_, position_changed_, seek_completed_, buffering_started_, buffering_ended_,
      buffered_ranges_changed_, natural_duration_changed_;
};

// How the player the runtime activates next behaves: every feature present
// is Windows 10 1709 and later.
struct FakePlayerOptions {
  // false: activation answers REGDB_E_CLASSNOTREG, as under Wine and on
  // Windows N without the Media Feature Pack.
  bool registered = true;
  // false: QI for IMediaPlayer6 fails (before 1709: no subtitles in
  // frame-server mode).
  bool mediaPlayer6 = true;
  // false: put_RealTimePlayback answers E_NOTIMPL (still recorded).
  bool realTimePlayback = true;
  // Recorded calls of the player and its session that answer E_FAIL.
  std::vector<std::string> failingCalls;
};

// Recorded: put_AutoPlay, put_Volume, Play, Pause, put_RealTimePlayback,
// put_IsVideoFrameServerEnabled, put_Source, Close, CopyFrameToVideoSurface,
// RenderSubtitlesToSurface and every add_X (CallCount, Calls, SetDuringCall,
// FailCall).
class FakeMediaPlayer final : public FakeObject<FakeMediaPlayer, IMediaPlayer, IMediaPlayer3, IMediaPlayer5,
                                                IMediaPlayer6, IMediaPlayerSource2, IClosable> {
 public:
  explicit FakeMediaPlayer(FakePlayerOptions options = {});
  bool Refuses(const GUID& iid) const;

  // IMediaPlayer
  HRESULT CORVANE_WINRT_CALL get_AutoPlay(boolean* value) override;
  HRESULT CORVANE_WINRT_CALL put_AutoPlay(boolean value) override;
  HRESULT CORVANE_WINRT_CALL get_Volume(double* value) override;
  HRESULT CORVANE_WINRT_CALL put_Volume(double value) override;
  HRESULT CORVANE_WINRT_CALL add_MediaOpened(IMediaPlayerEventHandler* handler, EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_MediaOpened(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_MediaEnded(IMediaPlayerEventHandler* handler, EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_MediaEnded(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL add_MediaFailed(IMediaPlayerFailedEventHandler* handler,
                                             EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_MediaFailed(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL Play() override;
  HRESULT CORVANE_WINRT_CALL Pause() override;
  // IMediaPlayer3
  HRESULT CORVANE_WINRT_CALL get_RealTimePlayback(boolean* value) override;
  HRESULT CORVANE_WINRT_CALL put_RealTimePlayback(boolean value) override;
  HRESULT CORVANE_WINRT_CALL get_CommandManager(IMediaPlaybackCommandManager** value) override;
  HRESULT CORVANE_WINRT_CALL get_PlaybackSession(IMediaPlaybackSession** value) override;
  // IMediaPlayer5
  HRESULT CORVANE_WINRT_CALL add_VideoFrameAvailable(IMediaPlayerEventHandler* handler,
                                                     EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_VideoFrameAvailable(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL get_IsVideoFrameServerEnabled(boolean* value) override;
  HRESULT CORVANE_WINRT_CALL put_IsVideoFrameServerEnabled(boolean value) override;
  HRESULT CORVANE_WINRT_CALL CopyFrameToVideoSurface(IDirect3DSurface* destination) override;
  // IMediaPlayer6
  HRESULT CORVANE_WINRT_CALL add_SubtitleFrameChanged(IMediaPlayerEventHandler* handler,
                                                      EventRegistrationToken* token) override;
  HRESULT CORVANE_WINRT_CALL remove_SubtitleFrameChanged(EventRegistrationToken token) override;
  HRESULT CORVANE_WINRT_CALL RenderSubtitlesToSurface(IDirect3DSurface* destination, boolean* result) override;
  // IMediaPlayerSource2
  HRESULT CORVANE_WINRT_CALL get_Source(IMediaPlaybackSource** value) override;
  HRESULT CORVANE_WINRT_CALL put_Source(IMediaPlaybackSource* value) override;
  // IClosable
  HRESULT CORVANE_WINRT_CALL Close() override;

  // Each calls the event's handlers on this thread, sender this player as
  // IMediaPlayer*, and returns the first failure (S_OK with no handler).
  HRESULT RaiseMediaOpened();
  HRESULT RaiseMediaEnded();
  HRESULT RaiseMediaFailed(MediaPlayerError error, HRESULT extended, std::string message);
  HRESULT RaiseVideoFrameAvailable();
  HRESULT RaiseSubtitleFrameChanged();

  using Event = FakeEvent<IMediaPlayerEventHandler>;
  const Event& MediaOpenedEvent() const { return media_opened_; }
  const Event& MediaEndedEvent() const { return media_ended_; }
  const FakeEvent<IMediaPlayerFailedEventHandler>& MediaFailedEvent() const { return media_failed_; }
  const Event& VideoFrameAvailableEvent() const { return video_frame_available_; }
  const Event& SubtitleFrameChangedEvent() const { return subtitle_frame_changed_; }

  // What RenderSubtitlesToSurface answers in `result` (initially false).
  void SetSubtitlesDrawn(bool drawn);
  // What put_Source answers from now on (a failure keeps the old source).
  void SetSourceAnswer(HRESULT answer);

  const ComRef<FakeMediaPlaybackSession>& Session() const { return session_; }
  const ComRef<FakeCommandManager>& CommandManager() const { return command_manager_; }
  bool AutoPlay() const;
  double Volume() const;
  bool RealTimePlayback() const;
  bool FrameServerEnabled() const;
  ComRef<IMediaPlaybackSource> Source() const;
  // The surfaces passed, in order (compared by address only).
  std::vector<IDirect3DSurface*> FrameCopies() const;
  std::vector<IDirect3DSurface*> SubtitleRenders() const;

 private:
  const FakePlayerOptions options_;
  const ComRef<FakeMediaPlaybackSession> session_;
  const ComRef<FakeCommandManager> command_manager_;

  // Guarded by mutex_. AutoPlay and Volume start as the system's do.
  bool auto_play_ = true;
  double volume_ = 1.0;
  bool real_time_ = false;
  bool frame_server_ = false;
  bool subtitles_drawn_ = false;
  HRESULT source_answer_ = kOk;
  ComRef<IMediaPlaybackSource> source_;
  std::vector<IDirect3DSurface*> frame_copies_;
  std::vector<IDirect3DSurface*> subtitle_renders_;

  Event media_opened_, media_ended_, video_frame_available_, subtitle_frame_changed_;
  FakeEvent<IMediaPlayerFailedEventHandler> media_failed_;
};

// A surface to copy frames into; Close is recorded.
class FakeDirect3DSurface final : public FakeObject<FakeDirect3DSurface, IDirect3DSurface, IClosable> {
 public:
  HRESULT CORVANE_WINRT_CALL Close() override {
    Record("Close");
    return kOk;
  }
};

// ---- Activation -------------------------------------------------------------

// Hands out the fakes by class name: MediaPlayer by ActivateInstance; Uri,
// MediaSource and MediaPlaybackItem through their factories (with the IIDs
// the adapter asks for: IUriRuntimeClassFactory, IMediaSourceStatics,
// IMediaPlaybackItemFactory). Any other class is REGDB_E_CLASSNOTREG, any
// other factory IID E_NOINTERFACE. Everything it makes is kept for the test
// to look at (and stays alive until the runtime is destroyed).
class FakeRuntime final : public RuntimeActivation {
 public:
  struct Made;

  FakeRuntime();
  ~FakeRuntime() override;

  HRESULT ActivateInstance(const wchar_t* className, IInspectable** instance) override;
  HRESULT GetActivationFactory(const wchar_t* className, const GUID& iid, void** factory) override;

  // For players activated afterwards.
  void SetPlayerOptions(FakePlayerOptions options);
  // The tracks every playback item made afterwards starts with.
  void SetItemTracks(FakeTracks tracks);

  std::vector<ComRef<FakeMediaPlayer>> Players() const;
  std::vector<ComRef<FakeMediaSource>> Sources() const;
  std::vector<ComRef<FakeMediaPlaybackItem>> Items() const;
  // The last one made, or null.
  ComRef<FakeMediaPlayer> LastPlayer() const;
  ComRef<FakeMediaPlaybackItem> LastItem() const;

 private:
  // Shared with the factories handed out, which may outlive the runtime.
  const std::shared_ptr<Made> made_;
};

}  // namespace corvane::platform::winrt::fakes

#endif  // CORVANE_TESTS_WINDOWS_ENGINE_FAKE_RUNTIME_H_
