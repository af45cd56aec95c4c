// Windows Runtime interfaces of the media engine (Windows.Media.Playback,
// Windows.Media.Core, Windows.Media.MediaProperties, Windows.Foundation.Uri),
// declared at the ABI for the adapter that drives a MediaPlayer in
// frame-server mode.
//
// mingw-w64 10 ships none of them, and its windows.media.h holds unrelated
// interfaces only, so they are declared here under the rules at the top of
// winrt_abi.h: ABI names, vtable order, every slot up to the last one in the
// fact table, overloads as distinct names, `requires` interfaces reached by
// QueryInterface. Where an interface stops before the end of its table row,
// its comment says so and the slot test lists the same prefix.
//
// Slots the adapter never calls still have to be there, but their argument
// types do not have to be exact. Where the fact table gives no type for an
// argument, an object of an undeclared class travels as IInspectable* (or
// IInspectable** when handed back), and an event handler whose instantiation
// has no checked IID travels as IUnknown*, so none of our handler types fits
// it by mistake. Enums whose values are not among the checked facts are
// declared without enumerators.
//
// Nothing here can be exercised under Wine, which has none of these classes
// (activation fails with REGDB_E_CLASSNOTREG); tests/windows_abi checks the
// slots and IIDs against the fact table.
#ifndef CORVANE_PLATFORM_WINDOWS_WINRT_MEDIA_ABI_H_
#define CORVANE_PLATFORM_WINDOWS_WINRT_MEDIA_ABI_H_

#include <cstdint>

#include "platform/windows/winrt_abi.h"
#include "platform/windows/winrt_base.h"
#include "platform/windows/winrt_pinterface_iids.h"

namespace corvane::platform::winrt {

// ---- Runtime classes --------------------------------------------------------
// MediaPlayer is activated with its default constructor (RoActivateInstance);
// the other three are made through their activation factories
// (IMediaPlaybackItemFactory, IMediaSourceStatics, IUriRuntimeClassFactory).

inline constexpr wchar_t kRuntimeClassMediaPlayer[] = L"Windows.Media.Playback.MediaPlayer";
inline constexpr wchar_t kRuntimeClassMediaPlaybackItem[] = L"Windows.Media.Playback.MediaPlaybackItem";
inline constexpr wchar_t kRuntimeClassMediaSource[] = L"Windows.Media.Core.MediaSource";
inline constexpr wchar_t kRuntimeClassUri[] = L"Windows.Foundation.Uri";

// ---- Values passed by value -------------------------------------------------

// Windows.Foundation.TimeSpan: a signed count of 100-nanosecond units. At the
// ABI it is a single INT64 passed by value, which is how it is declared.
using TimeSpan = int64_t;

// Windows.Foundation.Rect: four floats, passed by value (on x64 that means
// through a hidden pointer, which GCC and MSVC both do for a 16-byte struct).
// The fact table gives the size and kind of its fields but not their order,
// so they are not named: nothing here builds one yet.
struct Rect {
  float fields[4];
};
static_assert(sizeof(Rect) == 16, "Rect is four floats");

// Windows.Media.MediaTimeRange, in 100-ns units.
struct MediaTimeRange {
  TimeSpan Start;
  TimeSpan End;
};
static_assert(sizeof(MediaTimeRange) == 16, "MediaTimeRange is two INT64 with no padding");

// ---- Enums ------------------------------------------------------------------

// Windows.Media.Core.MediaTrackKind (IMediaTrack::get_TrackKind).
enum class MediaTrackKind : int32_t {
  Audio = 0,
  Video = 1,
  TimedMetadata = 2,
};

// Windows.Media.Core.TimedMetadataKind. ImageSubtitle and Speech arrived with
// the 1703 contract; older systems never report them.
enum class TimedMetadataKind : int32_t {
  Caption = 0,
  Chapter = 1,
  Custom = 2,
  Data = 3,
  Description = 4,
  Subtitle = 5,
  ImageSubtitle = 6,
  Speech = 7,
};

// Windows.Media.Playback.TimedMetadataTrackPresentationMode. In frame-server
// mode SubtitleFrameChanged fires only while a track is PlatformPresented.
enum class TimedMetadataTrackPresentationMode : int32_t {
  Disabled = 0,
  Hidden = 1,
  ApplicationPresented = 2,
  PlatformPresented = 3,
};

// Windows.Media.Playback.MediaPlayerError (IMediaPlayerFailedEventArgs).
enum class MediaPlayerError : int32_t {
  Unknown = 0,
  Aborted = 1,
  NetworkError = 2,
  DecodingError = 3,
  SourceNotSupported = 4,
};

// Windows.Media.Playback.MediaPlaybackState. There is no stopped or ended
// state: the end of the media is the MediaEnded event.
enum class MediaPlaybackState : int32_t {
  None = 0,
  Opening = 1,
  Buffering = 2,
  Playing = 3,
  Paused = 4,
};

// Windows.Media.Core.MediaSourceState (read through IMediaSource3, which is
// not declared here).
enum class MediaSourceState : int32_t {
  Initial = 0,
  Opening = 1,
  Opened = 2,
  Failed = 3,
  Closed = 4,
};

// Windows.Media.Playback.MediaPlayerState (deprecated IMediaPlayer members),
// StereoscopicVideoPackingMode and StereoscopicVideoRenderMode: nothing here
// reads them, and their values are not among our checked facts.
enum class MediaPlayerState : int32_t {};
enum class StereoscopicVideoPackingMode : int32_t {};
enum class StereoscopicVideoRenderMode : int32_t {};

// ---- Interfaces named before they are declared ------------------------------

struct IMediaPlayer;
struct IMediaPlayerFailedEventArgs;
struct IMediaPlaybackSession;
struct IMediaPlaybackItem;
struct IMediaPlaybackSource;
struct IMediaSource2;
struct IMediaTrack;
struct ISingleSelectMediaTrackList;
struct ITimedMetadataTrack;
struct IUriRuntimeClass;
struct IAudioEncodingProperties;
struct IVideoEncodingProperties;
struct IMediaRatio;

// ---- Event arguments known by IID only --------------------------------------

// Windows.Foundation.Collections.IVectorChangedEventArgs, the argument of a
// playback item's track-list changes. Its methods are not in our fact table,
// so none are declared: on a change the adapter reads the whole list again.
// It exists as a type so the handler below names the argument the IID was
// computed for.
struct IVectorChangedEventArgs : IInspectable {
  static constexpr GUID kIid = ParseGuid("575933df-34fe-4480-af15-07691f3d5d9b");
};

// Default interface of Windows.Media.Core.MediaCueEventArgs. Only its IID is
// among our checked facts; no methods are declared, so the cue an event
// names cannot be read from it.
struct IMediaCueEventArgs : IInspectable {
  static constexpr GUID kIid = ParseGuid("d12f47f7-5fa4-4e68-9fe5-32160dcee57e");
};

// ---- Event handlers ---------------------------------------------------------
// Each alias is one TypedEventHandler instantiation, shared by every event
// with that sender and argument type; the sender is the default interface of
// the sending class, as the IID's signature says.

// MediaOpened, MediaEnded, CurrentStateChanged, VolumeChanged and the other
// MediaPlayer events with no arguments, VideoFrameAvailable and
// SubtitleFrameChanged.
using IMediaPlayerEventHandler =
    ITypedEventHandler<IMediaPlayer*, IInspectable*, pinterface::kTypedEventHandler_MediaPlayer_IInspectable>;
// MediaFailed.
using IMediaPlayerFailedEventHandler =
    ITypedEventHandler<IMediaPlayer*, IMediaPlayerFailedEventArgs*,
                       pinterface::kTypedEventHandler_MediaPlayer_MediaPlayerFailedEventArgs>;
// Every MediaPlaybackSession event, the buffered, played and seekable range
// changes included.
using IMediaPlaybackSessionEventHandler =
    ITypedEventHandler<IMediaPlaybackSession*, IInspectable*,
                       pinterface::kTypedEventHandler_MediaPlaybackSession_IInspectable>;
// AudioTracksChanged, VideoTracksChanged, TimedMetadataTracksChanged.
using IMediaPlaybackItemTracksChangedHandler =
    ITypedEventHandler<IMediaPlaybackItem*, IVectorChangedEventArgs*,
                       pinterface::kTypedEventHandler_MediaPlaybackItem_IVectorChangedEventArgs>;
// SelectedIndexChanged of the audio and video track lists.
using ISingleSelectMediaTrackListEventHandler =
    ITypedEventHandler<ISingleSelectMediaTrackList*, IInspectable*,
                       pinterface::kTypedEventHandler_ISingleSelectMediaTrackList_IInspectable>;
// CueEntered, CueExited.
using ITimedMetadataTrackCueEventHandler =
    ITypedEventHandler<ITimedMetadataTrack*, IMediaCueEventArgs*,
                       pinterface::kTypedEventHandler_TimedMetadataTrack_MediaCueEventArgs>;

// ---- Collections ------------------------------------------------------------
// The audio and video track lists both hold IMediaTrack* (the default
// interface of AudioTrack and VideoTrack) but have distinct IIDs. The lists
// also implement ISingleSelectMediaTrackList (audio, video) and
// IMediaPlaybackTimedMetadataTrackList (timed metadata), reached by QI.

using IVectorViewOfAudioTrack = IVectorView<IMediaTrack*, pinterface::kIVectorView_AudioTrack>;
using IVectorViewOfVideoTrack = IVectorView<IMediaTrack*, pinterface::kIVectorView_VideoTrack>;
using IVectorViewOfTimedMetadataTrack = IVectorView<ITimedMetadataTrack*, pinterface::kIVectorView_TimedMetadataTrack>;
// IndexOf takes the 16-byte struct by value (a hidden pointer on x64).
using IVectorViewOfMediaTimeRange = IVectorView<MediaTimeRange, pinterface::kIVectorView_MediaTimeRange>;

// ---- Windows.Foundation.Uri -------------------------------------------------

struct IUriRuntimeClass : IInspectable {
  static constexpr GUID kIid = ParseGuid("9e365e57-48b2-4160-956f-c7385120bbfc");
  virtual HRESULT CORVANE_WINRT_CALL get_AbsoluteUri(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_DisplayUri(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Domain(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Extension(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Fragment(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Host(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Password(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Path(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Query(HSTRING* value) = 0;
  // A WwwFormUrlDecoder.
  virtual HRESULT CORVANE_WINRT_CALL get_QueryParsed(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_RawUri(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_SchemeName(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_UserName(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Port(int32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Suspicious(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL Equals(IUriRuntimeClass* other, boolean* equal) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CombineUri(HSTRING relativeUri, IUriRuntimeClass** combined) = 0;
};

// Activation factory of Windows.Foundation.Uri.
struct IUriRuntimeClassFactory : IInspectable {
  static constexpr GUID kIid = ParseGuid("44a9796f-723e-4fdf-a218-033e75b0c084");
  virtual HRESULT CORVANE_WINRT_CALL CreateUri(HSTRING uri, IUriRuntimeClass** instance) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateWithRelativeUri(HSTRING baseUri, HSTRING relativeUri,
                                                           IUriRuntimeClass** instance) = 0;
};

// ---- Windows.Media.MediaProperties ------------------------------------------
// Every setter here precedes its getter in the vtable.

struct IMediaRatio : IInspectable {
  static constexpr GUID kIid = ParseGuid("d2d0fee5-8929-401d-ac78-7d357e378163");
  virtual HRESULT CORVANE_WINRT_CALL put_Numerator(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Numerator(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Denominator(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Denominator(uint32_t* value) = 0;
};

// What audio and video encoding properties have in common, reached by QI.
struct IMediaEncodingProperties : IInspectable {
  static constexpr GUID kIid = ParseGuid("b4002af6-acd4-4e5a-a24b-5d7498a8b8c4");
  // A MediaPropertySet.
  virtual HRESULT CORVANE_WINRT_CALL get_Properties(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Type(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Subtype(HSTRING value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Subtype(HSTRING* value) = 0;
};

// Bitrate in bits per second, sample rate in hertz.
struct IAudioEncodingProperties : IInspectable {
  static constexpr GUID kIid = ParseGuid("62bc7a16-005c-4b3b-8a0b-0a090e9687f3");
  virtual HRESULT CORVANE_WINRT_CALL put_Bitrate(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Bitrate(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_ChannelCount(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_ChannelCount(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_SampleRate(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_SampleRate(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_BitsPerSample(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_BitsPerSample(uint32_t* value) = 0;
};

// Bitrate in bits per second, size in pixels. FrameRate and
// PixelAspectRatio are read-only and hand back ratio objects.
struct IVideoEncodingProperties : IInspectable {
  static constexpr GUID kIid = ParseGuid("76ee6c9a-37c2-4f2a-880a-1282bbb4373d");
  virtual HRESULT CORVANE_WINRT_CALL put_Bitrate(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Bitrate(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Width(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Width(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Height(uint32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Height(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_FrameRate(IMediaRatio** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_PixelAspectRatio(IMediaRatio** value) = 0;
};

// ---- Windows.Media.Core: tracks ---------------------------------------------

// Default interface of AudioTrack and VideoTrack; IAudioTrack and
// IVideoTrack are reached by QI.
struct IMediaTrack : IInspectable {
  static constexpr GUID kIid = ParseGuid("03e1fafc-c931-491a-b46b-c10ee8c256b7");
  virtual HRESULT CORVANE_WINRT_CALL get_Id(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Language(HSTRING* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_TrackKind(MediaTrackKind* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Label(HSTRING value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Label(HSTRING* value) = 0;
};

struct IAudioTrack : IInspectable {
  static constexpr GUID kIid = ParseGuid("f23b6e77-3ef7-40de-b943-068b1321701d");
  // TypedEventHandler<AudioTrack, AudioTrackOpenFailedEventArgs>: no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL add_OpenFailed(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_OpenFailed(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetEncodingProperties(IAudioEncodingProperties** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackItem(IMediaPlaybackItem** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Name(HSTRING* value) = 0;
  // An AudioTrackSupportInfo.
  virtual HRESULT CORVANE_WINRT_CALL get_SupportInfo(IInspectable** value) = 0;
};

struct IVideoTrack : IInspectable {
  static constexpr GUID kIid = ParseGuid("99f3b7f3-e298-4396-bb6a-a51be6a2a20a");
  // TypedEventHandler<VideoTrack, VideoTrackOpenFailedEventArgs>: no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL add_OpenFailed(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_OpenFailed(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetEncodingProperties(IVideoEncodingProperties** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackItem(IMediaPlaybackItem** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Name(HSTRING* value) = 0;
  // A VideoTrackSupportInfo.
  virtual HRESULT CORVANE_WINRT_CALL get_SupportInfo(IInspectable** value) = 0;
};

// Default interface of TimedMetadataTrack (subtitles, captions, chapters).
struct ITimedMetadataTrack : IInspectable {
  static constexpr GUID kIid = ParseGuid("9e6aed9e-f67a-49a9-b330-cf03b0e9cf07");
  virtual HRESULT CORVANE_WINRT_CALL add_CueEntered(ITimedMetadataTrackCueEventHandler* handler,
                                                    EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_CueEntered(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_CueExited(ITimedMetadataTrackCueEventHandler* handler,
                                                   EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_CueExited(EventRegistrationToken token) = 0;
  // TypedEventHandler<TimedMetadataTrack, TimedMetadataTrackFailedEventArgs>:
  // no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL add_TrackFailed(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_TrackFailed(EventRegistrationToken token) = 0;
  // Vector views of IMediaCue, an instantiation with no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL get_Cues(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_ActiveCues(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_TimedMetadataKind(TimedMetadataKind* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_DispatchType(HSTRING* value) = 0;
  // The cue is an IMediaCue, not declared here.
  virtual HRESULT CORVANE_WINRT_CALL AddCue(IInspectable* cue) = 0;
  virtual HRESULT CORVANE_WINRT_CALL RemoveCue(IInspectable* cue) = 0;
};

// Reached by QI from a timed metadata track (1703 contract).
struct ITimedMetadataTrack2 : IInspectable {
  static constexpr GUID kIid = ParseGuid("21b4b648-9f9d-40ba-a8f3-1a92753aef0b");
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackItem(IMediaPlaybackItem** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Name(HSTRING* value) = 0;
};

// ---- Windows.Media.Core: MediaSource ----------------------------------------

// Default interface of MediaSource. The source also implements IClosable
// and IMediaPlaybackSource, both reached by QI.
struct IMediaSource2 : IInspectable {
  static constexpr GUID kIid = ParseGuid("2eb61048-655f-4c37-b813-b4e45dfa0abe");
  // TypedEventHandler<MediaSource, MediaSourceOpenOperationCompletedEventArgs>:
  // no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL add_OpenOperationCompleted(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_OpenOperationCompleted(EventRegistrationToken token) = 0;
  // A ValueSet.
  virtual HRESULT CORVANE_WINRT_CALL get_CustomProperties(IInspectable** value) = 0;
  // An IReference<TimeSpan>, an instantiation with no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL get_Duration(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_IsOpen(boolean* value) = 0;
  // Collections of TimedTextSource and TimedMetadataTrack (to add side-loaded
  // subtitles); their instantiations have no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL get_ExternalTimedTextSources(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_ExternalTimedMetadataTracks(IInspectable** value) = 0;
};

// Statics of MediaSource. Only CreateFromUri is used; the other sources
// (adaptive, stream, MSE, storage file, IMediaSource) travel as IInspectable*.
struct IMediaSourceStatics : IInspectable {
  static constexpr GUID kIid = ParseGuid("f77d6fa4-4652-410e-b1d8-e9a5e245a45c");
  virtual HRESULT CORVANE_WINRT_CALL CreateFromAdaptiveMediaSource(IInspectable* mediaSource,
                                                                   IMediaSource2** result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateFromMediaStreamSource(IInspectable* mediaSource, IMediaSource2** result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateFromMseStreamSource(IInspectable* mediaSource, IMediaSource2** result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateFromIMediaSource(IInspectable* mediaSource, IMediaSource2** result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateFromStorageFile(IInspectable* file, IMediaSource2** result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateFromStream(IInspectable* stream, HSTRING contentType,
                                                      IMediaSource2** result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateFromStreamReference(IInspectable* stream, HSTRING contentType,
                                                               IMediaSource2** result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CreateFromUri(IUriRuntimeClass* uri, IMediaSource2** result) = 0;
};

// ---- Windows.Media.Playback: item and track lists ---------------------------

// Marker: what IMediaPlayerSource2::put_Source accepts. MediaSource and
// MediaPlaybackItem both implement it; reach it by QI.
struct IMediaPlaybackSource : IInspectable {
  static constexpr GUID kIid = ParseGuid("ef9dc2bc-9317-4696-b051-2bad643177b5");
};

// Default interface of MediaPlaybackItem. Its track lists fill in while the
// source opens; the *TracksChanged events say when.
struct IMediaPlaybackItem : IInspectable {
  static constexpr GUID kIid = ParseGuid("047097d2-e4af-48ab-b283-6929e674ece2");
  virtual HRESULT CORVANE_WINRT_CALL add_AudioTracksChanged(IMediaPlaybackItemTracksChangedHandler* handler,
                                                            EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_AudioTracksChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_VideoTracksChanged(IMediaPlaybackItemTracksChangedHandler* handler,
                                                            EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_VideoTracksChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_TimedMetadataTracksChanged(IMediaPlaybackItemTracksChangedHandler* handler,
                                                                    EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_TimedMetadataTracksChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Source(IMediaSource2** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_AudioTracks(IVectorViewOfAudioTrack** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_VideoTracks(IVectorViewOfVideoTrack** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_TimedMetadataTracks(IVectorViewOfTimedMetadataTrack** value) = 0;
};

// Activation factory of MediaPlaybackItem.
struct IMediaPlaybackItemFactory : IInspectable {
  static constexpr GUID kIid = ParseGuid("7133fce1-1769-4ff9-a7c1-38d2c4d42360");
  virtual HRESULT CORVANE_WINRT_CALL Create(IMediaSource2* source, IMediaPlaybackItem** value) = 0;
};

// Selection in the audio and video track lists (QI from the vector view).
// The setter precedes the getter.
struct ISingleSelectMediaTrackList : IInspectable {
  static constexpr GUID kIid = ParseGuid("77206f1f-c34f-494f-8077-2bad9ff4ecf1");
  virtual HRESULT CORVANE_WINRT_CALL add_SelectedIndexChanged(ISingleSelectMediaTrackListEventHandler* handler,
                                                              EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_SelectedIndexChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_SelectedIndex(int32_t value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_SelectedIndex(int32_t* value) = 0;
};

// Presentation mode of each timed metadata track, by index into the list
// (QI from the vector view).
struct IMediaPlaybackTimedMetadataTrackList : IInspectable {
  static constexpr GUID kIid = ParseGuid("72b41319-bbfb-46a3-9372-9c9c744b9438");
  // TypedEventHandler<MediaPlaybackTimedMetadataTrackList,
  // TimedMetadataPresentationModeChangedEventArgs>: no checked IID.
  virtual HRESULT CORVANE_WINRT_CALL add_PresentationModeChanged(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_PresentationModeChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL SetPresentationMode(uint32_t index, TimedMetadataTrackPresentationMode value) = 0;
};

// ---- Windows.Media.Playback: MediaPlayer and its session --------------------

// The argument of MediaFailed.
struct IMediaPlayerFailedEventArgs : IInspectable {
  static constexpr GUID kIid = ParseGuid("2744e9b9-a7e3-4f16-bac4-7914ebc08301");
  virtual HRESULT CORVANE_WINRT_CALL get_Error(MediaPlayerError* value) = 0;
  // The underlying failure, often more telling than Error.
  virtual HRESULT CORVANE_WINRT_CALL get_ExtendedErrorCode(HRESULT* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_ErrorMessage(HSTRING* value) = 0;
};

struct IMediaPlaybackCommandManager;

// Default interface of MediaPlayer. Many members are deprecated in favour of
// the playback session and IMediaPlayerSource2, but all of them keep their
// slots: Play, Pause and SetUriSource sit at 45, 46 and 47. MediaOpened,
// MediaEnded and MediaFailed have no session equivalent, so the adapter
// listens to them here.
struct IMediaPlayer : IInspectable {
  static constexpr GUID kIid = ParseGuid("381a83cb-6fff-499b-8d64-2885dfc1249e");
  virtual HRESULT CORVANE_WINRT_CALL get_AutoPlay(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_AutoPlay(boolean value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_NaturalDuration(TimeSpan* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Position(TimeSpan* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Position(TimeSpan value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_BufferingProgress(double* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_CurrentState(MediaPlayerState* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_CanSeek(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_CanPause(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_IsLoopingEnabled(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_IsLoopingEnabled(boolean value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_IsProtected(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_IsMuted(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_IsMuted(boolean value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackRate(double* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_PlaybackRate(double value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Volume(double* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Volume(double value) = 0;
  // A PlaybackMediaMarkerSequence.
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackMediaMarkers(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_MediaOpened(IMediaPlayerEventHandler* handler,
                                                     EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_MediaOpened(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_MediaEnded(IMediaPlayerEventHandler* handler,
                                                    EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_MediaEnded(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_MediaFailed(IMediaPlayerFailedEventHandler* handler,
                                                     EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_MediaFailed(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_CurrentStateChanged(IMediaPlayerEventHandler* handler,
                                                             EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_CurrentStateChanged(EventRegistrationToken token) = 0;
  // TypedEventHandler<MediaPlayer, PlaybackMediaMarkerReachedEventArgs>: no
  // checked IID.
  virtual HRESULT CORVANE_WINRT_CALL add_PlaybackMediaMarkerReached(IUnknown* handler,
                                                                    EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_PlaybackMediaMarkerReached(EventRegistrationToken token) = 0;
  // TypedEventHandler<MediaPlayer, MediaPlayerRateChangedEventArgs>: no
  // checked IID.
  virtual HRESULT CORVANE_WINRT_CALL add_MediaPlayerRateChanged(IUnknown* handler, EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_MediaPlayerRateChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_VolumeChanged(IMediaPlayerEventHandler* handler,
                                                       EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_VolumeChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_SeekCompleted(IMediaPlayerEventHandler* handler,
                                                       EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_SeekCompleted(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_BufferingStarted(IMediaPlayerEventHandler* handler,
                                                          EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_BufferingStarted(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_BufferingEnded(IMediaPlayerEventHandler* handler,
                                                        EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_BufferingEnded(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL Play() = 0;
  virtual HRESULT CORVANE_WINRT_CALL Pause() = 0;
  virtual HRESULT CORVANE_WINRT_CALL SetUriSource(IUriRuntimeClass* value) = 0;
};

// The source slot of a MediaPlayer (QI from IMediaPlayer).
struct IMediaPlayerSource2 : IInspectable {
  static constexpr GUID kIid = ParseGuid("82449b9f-7322-4c0b-b03b-3e69a48260c5");
  virtual HRESULT CORVANE_WINRT_CALL get_Source(IMediaPlaybackSource** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Source(IMediaPlaybackSource* value) = 0;
};

// The system media transport controls' view of a player. Declared as far as
// put_IsEnabled only: the adapter turns the manager off and calls nothing
// later in the vtable (behaviours and the *Received events), so the slot test
// lists the same two-method prefix of the table row.
struct IMediaPlaybackCommandManager : IInspectable {
  static constexpr GUID kIid = ParseGuid("5acee5a6-5cb6-4a5a-8521-cc86b1c1ed37");
  virtual HRESULT CORVANE_WINRT_CALL get_IsEnabled(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_IsEnabled(boolean value) = 0;
};

// QI from IMediaPlayer (1607 contract). get_CommandManager is slot 17 and
// get_PlaybackSession slot 24.
struct IMediaPlayer3 : IInspectable {
  static constexpr GUID kIid = ParseGuid("ee0660da-031b-4feb-bd9b-92e0a0a8d299");
  virtual HRESULT CORVANE_WINRT_CALL add_IsMutedChanged(IMediaPlayerEventHandler* handler,
                                                        EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_IsMutedChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_SourceChanged(IMediaPlayerEventHandler* handler,
                                                       EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_SourceChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_AudioBalance(double* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_AudioBalance(double value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_RealTimePlayback(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_RealTimePlayback(boolean value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_StereoscopicVideoRenderMode(StereoscopicVideoRenderMode* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_StereoscopicVideoRenderMode(StereoscopicVideoRenderMode value) = 0;
  // A MediaBreakManager.
  virtual HRESULT CORVANE_WINRT_CALL get_BreakManager(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_CommandManager(IMediaPlaybackCommandManager** value) = 0;
  // A DeviceInformation.
  virtual HRESULT CORVANE_WINRT_CALL get_AudioDevice(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_AudioDevice(IInspectable* value) = 0;
  // A MediaTimelineController.
  virtual HRESULT CORVANE_WINRT_CALL get_TimelineController(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_TimelineController(IInspectable* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_TimelineControllerPositionOffset(TimeSpan* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_TimelineControllerPositionOffset(TimeSpan value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackSession(IMediaPlaybackSession** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL StepForwardOneFrame() = 0;
  virtual HRESULT CORVANE_WINRT_CALL StepBackwardOneFrame() = 0;
  // A CastingSource.
  virtual HRESULT CORVANE_WINRT_CALL GetAsCastingSource(IInspectable** value) = 0;
};

// Frame-server mode (1703 contract): with IsVideoFrameServerEnabled set, the
// player renders nowhere itself, raises VideoFrameAvailable per frame, and
// the frame is copied into a surface of ours.
struct IMediaPlayer5 : IInspectable {
  static constexpr GUID kIid = ParseGuid("cfe537fd-f86a-4446-bf4d-c8e792b7b4b3");
  virtual HRESULT CORVANE_WINRT_CALL add_VideoFrameAvailable(IMediaPlayerEventHandler* handler,
                                                             EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_VideoFrameAvailable(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_IsVideoFrameServerEnabled(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_IsVideoFrameServerEnabled(boolean value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CopyFrameToVideoSurface(IDirect3DSurface* destination) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CopyFrameToVideoSurfaceWithTargetRectangle(IDirect3DSurface* destination,
                                                                                Rect targetRectangle) = 0;
  virtual HRESULT CORVANE_WINRT_CALL CopyFrameToStereoscopicVideoSurfaces(IDirect3DSurface* destinationLeftEye,
                                                                          IDirect3DSurface* destinationRightEye) = 0;
};

// Subtitles in frame-server mode (1709 contract). SubtitleFrameChanged fires
// only while frame-server mode is on and at least one timed metadata track
// is PlatformPresented; `result` says whether anything was drawn.
struct IMediaPlayer6 : IInspectable {
  static constexpr GUID kIid = ParseGuid("e0caa086-ae65-414c-b010-8bc55f00e692");
  virtual HRESULT CORVANE_WINRT_CALL add_SubtitleFrameChanged(IMediaPlayerEventHandler* handler,
                                                              EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_SubtitleFrameChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL RenderSubtitlesToSurface(IDirect3DSurface* destination, boolean* result) = 0;
  virtual HRESULT CORVANE_WINRT_CALL RenderSubtitlesToSurfaceWithTargetRectangle(IDirect3DSurface* destination,
                                                                                 Rect targetRectangle,
                                                                                 boolean* result) = 0;
};

// Default interface of MediaPlaybackSession (IMediaPlayer3::get_PlaybackSession).
// Every event takes IMediaPlaybackSessionEventHandler.
struct IMediaPlaybackSession : IInspectable {
  static constexpr GUID kIid = ParseGuid("c32b683d-0407-41ba-8946-8b345a5a5435");
  virtual HRESULT CORVANE_WINRT_CALL add_PlaybackStateChanged(IMediaPlaybackSessionEventHandler* handler,
                                                              EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_PlaybackStateChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_PlaybackRateChanged(IMediaPlaybackSessionEventHandler* handler,
                                                             EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_PlaybackRateChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_SeekCompleted(IMediaPlaybackSessionEventHandler* handler,
                                                       EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_SeekCompleted(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_BufferingStarted(IMediaPlaybackSessionEventHandler* handler,
                                                          EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_BufferingStarted(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_BufferingEnded(IMediaPlaybackSessionEventHandler* handler,
                                                        EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_BufferingEnded(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_BufferingProgressChanged(IMediaPlaybackSessionEventHandler* handler,
                                                                  EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_BufferingProgressChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_DownloadProgressChanged(IMediaPlaybackSessionEventHandler* handler,
                                                                 EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_DownloadProgressChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_NaturalDurationChanged(IMediaPlaybackSessionEventHandler* handler,
                                                                EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_NaturalDurationChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_PositionChanged(IMediaPlaybackSessionEventHandler* handler,
                                                         EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_PositionChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_NaturalVideoSizeChanged(IMediaPlaybackSessionEventHandler* handler,
                                                                 EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_NaturalVideoSizeChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_MediaPlayer(IMediaPlayer** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_NaturalDuration(TimeSpan* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_Position(TimeSpan* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_Position(TimeSpan value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackState(MediaPlaybackState* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_CanSeek(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_CanPause(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_IsProtected(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_PlaybackRate(double* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_PlaybackRate(double value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_BufferingProgress(double* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_DownloadProgress(double* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_NaturalVideoHeight(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_NaturalVideoWidth(uint32_t* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_NormalizedSourceRect(Rect* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_NormalizedSourceRect(Rect value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_StereoscopicVideoPackingMode(StereoscopicVideoPackingMode* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_StereoscopicVideoPackingMode(StereoscopicVideoPackingMode value) = 0;
};

// QI from the session (1703 contract): buffered, played and seekable ranges.
struct IMediaPlaybackSession2 : IInspectable {
  static constexpr GUID kIid = ParseGuid("f8ba7c79-1fc8-4097-ad70-c0fa18cc0050");
  virtual HRESULT CORVANE_WINRT_CALL add_BufferedRangesChanged(IMediaPlaybackSessionEventHandler* handler,
                                                               EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_BufferedRangesChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_PlayedRangesChanged(IMediaPlaybackSessionEventHandler* handler,
                                                             EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_PlayedRangesChanged(EventRegistrationToken token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL add_SeekableRangesChanged(IMediaPlaybackSessionEventHandler* handler,
                                                               EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_SeekableRangesChanged(EventRegistrationToken token) = 0;
  // Its handler type is not among our checked facts (it is not a range
  // event), so it is typed as IUnknown.
  virtual HRESULT CORVANE_WINRT_CALL add_SupportedPlaybackRatesChanged(IUnknown* handler,
                                                                       EventRegistrationToken* token) = 0;
  virtual HRESULT CORVANE_WINRT_CALL remove_SupportedPlaybackRatesChanged(EventRegistrationToken token) = 0;
  // A MediaPlaybackSphericalVideoProjection.
  virtual HRESULT CORVANE_WINRT_CALL get_SphericalVideoProjection(IInspectable** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL get_IsMirroring(boolean* value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL put_IsMirroring(boolean value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetBufferedRanges(IVectorViewOfMediaTimeRange** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetPlayedRanges(IVectorViewOfMediaTimeRange** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetSeekableRanges(IVectorViewOfMediaTimeRange** value) = 0;
  virtual HRESULT CORVANE_WINRT_CALL IsSupportedPlaybackRateRange(double rate1, double rate2, boolean* value) = 0;
};

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_WINRT_MEDIA_ABI_H_
