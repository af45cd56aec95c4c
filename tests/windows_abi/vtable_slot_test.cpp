// The vtable slot of every declared method, and the IID of every declared
// interface, against the tables of WINDOWS-ABI.md. A method in the wrong slot
// calls a different method with the wrong arguments on real Windows, and Wine
// has none of these classes, so nothing else would notice.
//
// How a slot is observed: a stand-in object whose first word points to an
// array of thunks, thunk N recording N, is called through the interface the
// way adapter code calls it (virtual dispatch reads the object's first word
// and calls entry N). The thunks take only the object pointer and ignore the
// method's other arguments. Calling a function through a pointer of another
// type is undefined in C++, but under both x64 calling conventions (System V
// and Windows) the object pointer travels in the first argument register,
// the caller owns the argument area, and every method here returns a 32-bit
// integer in the same register, so the thunk sees the right object whatever
// the declared arguments. That restricts this test to x64.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <optional>
#include <sstream>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "pinterface_iid.h"
#include "platform/windows/winrt_abi.h"
#include "platform/windows/winrt_media_abi.h"

static_assert(sizeof(void*) == 8, "the slot recorder relies on the x64 calling conventions");

namespace corvane::test {
namespace {

namespace winrt = platform::winrt;

struct SlotRecorder;
using Thunk = winrt::HRESULT(CORVANE_WINRT_CALL*)(SlotRecorder*);

// Layout stands in for an object with a vtable: the vtable pointer first.
struct SlotRecorder {
  const Thunk* vtable;
  int slot;
};

template <int N>
winrt::HRESULT CORVANE_WINRT_CALL RecordSlot(SlotRecorder* self) {
  self->slot = N;
  return 0;
}

constexpr int kSlotCount = 64;

template <int... N>
constexpr std::array<Thunk, sizeof...(N)> MakeThunks(std::integer_sequence<int, N...>) {
  return {&RecordSlot<N>...};
}
constexpr std::array<Thunk, kSlotCount> kThunks = MakeThunks(std::make_integer_sequence<int, kSlotCount>());

// UndefinedBehaviorSanitizer's vptr check (part of -fsanitize=undefined in
// GCC and clang) rightly finds no Interface object behind the stand-in.
#if defined(__GNUC__) || defined(__clang__)
#define CORVANE_NO_SANITIZE_VPTR __attribute__((no_sanitize("vptr")))
#else
#define CORVANE_NO_SANITIZE_VPTR
#endif

// Calls `method` on a recorder with zero-valued arguments and returns the
// slot that ran. The calling convention is left out of the member pointer
// type: x64 has one.
template <typename Interface, typename Result, typename... Args>
CORVANE_NO_SANITIZE_VPTR int SlotOf(Result (Interface::*method)(Args...)) {
  SlotRecorder recorder{nullptr, -1};
  // The vtable pointer is written as bytes: a byte store may alias anything,
  // including the compiler's read of the vtable pointer in the call below.
  // A plain store of a Thunk* does not, and GCC at -O2 was seen moving the
  // read above it.
  const Thunk* vtable = kThunks.data();
  std::memcpy(&recorder.vtable, &vtable, sizeof vtable);
  // Through a volatile pointer, so the compiler cannot reason about the
  // object behind it and must dispatch through its first word.
  Interface* volatile target = reinterpret_cast<Interface*>(&recorder);
  (target->*method)(std::remove_cv_t<std::remove_reference_t<Args>>{}...);
  return recorder.slot;
}

struct Probe {
  std::string method;
  int slot;
};
#define CORVANE_PROBE(Interface, Method) \
  Probe { #Method, SlotOf(&Interface::Method) }

// What the declarations say: name as in the fact table, IID, observed slots.
struct Declared {
  std::string name;
  std::optional<GUID> iid;
  std::vector<Probe> probes;
};

std::vector<Declared> DeclaredInterfaces() {
  using namespace winrt;
  return {
      {"IUnknown",
       std::nullopt,
       {// mingw's IUnknown adds a non-virtual QueryInterface template, so the
        // virtual one is picked by its parameter types.
        Probe{"QueryInterface", SlotOf<IUnknown, HRESULT, const GUID&, void**>(&IUnknown::QueryInterface)},
        CORVANE_PROBE(IUnknown, AddRef), CORVANE_PROBE(IUnknown, Release)}},
      {"IInspectable",
       std::nullopt,
       {CORVANE_PROBE(IInspectable, GetIids), CORVANE_PROBE(IInspectable, GetRuntimeClassName),
        CORVANE_PROBE(IInspectable, GetTrustLevel)}},
      {"IAsyncAction",
       IAsyncAction::kIid,
       {CORVANE_PROBE(IAsyncAction, put_Completed), CORVANE_PROBE(IAsyncAction, get_Completed),
        CORVANE_PROBE(IAsyncAction, GetResults)}},
      {"AsyncActionCompletedHandler",
       IAsyncActionCompletedHandler::kIid,
       {CORVANE_PROBE(IAsyncActionCompletedHandler, Invoke)}},
      {"IDispatcherQueue",
       IDispatcherQueue::kIid,
       {CORVANE_PROBE(IDispatcherQueue, CreateTimer), CORVANE_PROBE(IDispatcherQueue, TryEnqueue),
        CORVANE_PROBE(IDispatcherQueue, TryEnqueueWithPriority),
        CORVANE_PROBE(IDispatcherQueue, add_ShutdownStarting),
        CORVANE_PROBE(IDispatcherQueue, remove_ShutdownStarting),
        CORVANE_PROBE(IDispatcherQueue, add_ShutdownCompleted),
        CORVANE_PROBE(IDispatcherQueue, remove_ShutdownCompleted)}},
      {"IDispatcherQueueStatics",
       IDispatcherQueueStatics::kIid,
       {CORVANE_PROBE(IDispatcherQueueStatics, GetForCurrentThread)}},
      {"IDispatcherQueueController",
       IDispatcherQueueController::kIid,
       {CORVANE_PROBE(IDispatcherQueueController, get_DispatcherQueue),
        CORVANE_PROBE(IDispatcherQueueController, ShutdownQueueAsync)}},
      {"DispatcherQueueHandler", IDispatcherQueueHandler::kIid, {CORVANE_PROBE(IDispatcherQueueHandler, Invoke)}},
      {"TypedEventHandler_DispatcherQueue_IInspectable",
       IDispatcherQueueShutdownCompletedHandler::kIid,
       {CORVANE_PROBE(IDispatcherQueueShutdownCompletedHandler, Invoke)}},
      {"IGlobalizationPreferencesStatics",
       IGlobalizationPreferencesStatics::kIid,
       {CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Calendars),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Clocks),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Currencies),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_Languages),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_HomeGeographicRegion),
        CORVANE_PROBE(IGlobalizationPreferencesStatics, get_WeekStartsOn)}},
      {"IClosable", IClosable::kIid, {CORVANE_PROBE(IClosable, Close)}},
      {"IDirect3DSurface", IDirect3DSurface::kIid, {CORVANE_PROBE(IDirect3DSurface, get_Description)}},
      {"IVectorView_HSTRING",
       IVectorViewOfHString::kIid,
       {CORVANE_PROBE(IVectorViewOfHString, GetAt), CORVANE_PROBE(IVectorViewOfHString, get_Size),
        CORVANE_PROBE(IVectorViewOfHString, IndexOf), CORVANE_PROBE(IVectorViewOfHString, GetMany)}},
      // The media engine (winrt_media_abi.h).
      {"IMediaPlayer",
       IMediaPlayer::kIid,
       {CORVANE_PROBE(IMediaPlayer, get_AutoPlay), CORVANE_PROBE(IMediaPlayer, put_AutoPlay),
        CORVANE_PROBE(IMediaPlayer, get_NaturalDuration), CORVANE_PROBE(IMediaPlayer, get_Position),
        CORVANE_PROBE(IMediaPlayer, put_Position), CORVANE_PROBE(IMediaPlayer, get_BufferingProgress),
        CORVANE_PROBE(IMediaPlayer, get_CurrentState), CORVANE_PROBE(IMediaPlayer, get_CanSeek),
        CORVANE_PROBE(IMediaPlayer, get_CanPause), CORVANE_PROBE(IMediaPlayer, get_IsLoopingEnabled),
        CORVANE_PROBE(IMediaPlayer, put_IsLoopingEnabled), CORVANE_PROBE(IMediaPlayer, get_IsProtected),
        CORVANE_PROBE(IMediaPlayer, get_IsMuted), CORVANE_PROBE(IMediaPlayer, put_IsMuted),
        CORVANE_PROBE(IMediaPlayer, get_PlaybackRate), CORVANE_PROBE(IMediaPlayer, put_PlaybackRate),
        CORVANE_PROBE(IMediaPlayer, get_Volume), CORVANE_PROBE(IMediaPlayer, put_Volume),
        CORVANE_PROBE(IMediaPlayer, get_PlaybackMediaMarkers), CORVANE_PROBE(IMediaPlayer, add_MediaOpened),
        CORVANE_PROBE(IMediaPlayer, remove_MediaOpened), CORVANE_PROBE(IMediaPlayer, add_MediaEnded),
        CORVANE_PROBE(IMediaPlayer, remove_MediaEnded), CORVANE_PROBE(IMediaPlayer, add_MediaFailed),
        CORVANE_PROBE(IMediaPlayer, remove_MediaFailed), CORVANE_PROBE(IMediaPlayer, add_CurrentStateChanged),
        CORVANE_PROBE(IMediaPlayer, remove_CurrentStateChanged),
        CORVANE_PROBE(IMediaPlayer, add_PlaybackMediaMarkerReached),
        CORVANE_PROBE(IMediaPlayer, remove_PlaybackMediaMarkerReached),
        CORVANE_PROBE(IMediaPlayer, add_MediaPlayerRateChanged),
        CORVANE_PROBE(IMediaPlayer, remove_MediaPlayerRateChanged), CORVANE_PROBE(IMediaPlayer, add_VolumeChanged),
        CORVANE_PROBE(IMediaPlayer, remove_VolumeChanged), CORVANE_PROBE(IMediaPlayer, add_SeekCompleted),
        CORVANE_PROBE(IMediaPlayer, remove_SeekCompleted), CORVANE_PROBE(IMediaPlayer, add_BufferingStarted),
        CORVANE_PROBE(IMediaPlayer, remove_BufferingStarted), CORVANE_PROBE(IMediaPlayer, add_BufferingEnded),
        CORVANE_PROBE(IMediaPlayer, remove_BufferingEnded), CORVANE_PROBE(IMediaPlayer, Play),
        CORVANE_PROBE(IMediaPlayer, Pause), CORVANE_PROBE(IMediaPlayer, SetUriSource)}},
      {"IMediaPlayer3",
       IMediaPlayer3::kIid,
       {CORVANE_PROBE(IMediaPlayer3, add_IsMutedChanged), CORVANE_PROBE(IMediaPlayer3, remove_IsMutedChanged),
        CORVANE_PROBE(IMediaPlayer3, add_SourceChanged), CORVANE_PROBE(IMediaPlayer3, remove_SourceChanged),
        CORVANE_PROBE(IMediaPlayer3, get_AudioBalance), CORVANE_PROBE(IMediaPlayer3, put_AudioBalance),
        CORVANE_PROBE(IMediaPlayer3, get_RealTimePlayback), CORVANE_PROBE(IMediaPlayer3, put_RealTimePlayback),
        CORVANE_PROBE(IMediaPlayer3, get_StereoscopicVideoRenderMode),
        CORVANE_PROBE(IMediaPlayer3, put_StereoscopicVideoRenderMode), CORVANE_PROBE(IMediaPlayer3, get_BreakManager),
        CORVANE_PROBE(IMediaPlayer3, get_CommandManager), CORVANE_PROBE(IMediaPlayer3, get_AudioDevice),
        CORVANE_PROBE(IMediaPlayer3, put_AudioDevice), CORVANE_PROBE(IMediaPlayer3, get_TimelineController),
        CORVANE_PROBE(IMediaPlayer3, put_TimelineController),
        CORVANE_PROBE(IMediaPlayer3, get_TimelineControllerPositionOffset),
        CORVANE_PROBE(IMediaPlayer3, put_TimelineControllerPositionOffset),
        CORVANE_PROBE(IMediaPlayer3, get_PlaybackSession), CORVANE_PROBE(IMediaPlayer3, StepForwardOneFrame),
        CORVANE_PROBE(IMediaPlayer3, StepBackwardOneFrame), CORVANE_PROBE(IMediaPlayer3, GetAsCastingSource)}},
      {"IMediaPlayer5",
       IMediaPlayer5::kIid,
       {CORVANE_PROBE(IMediaPlayer5, add_VideoFrameAvailable),
        CORVANE_PROBE(IMediaPlayer5, remove_VideoFrameAvailable),
        CORVANE_PROBE(IMediaPlayer5, get_IsVideoFrameServerEnabled),
        CORVANE_PROBE(IMediaPlayer5, put_IsVideoFrameServerEnabled),
        CORVANE_PROBE(IMediaPlayer5, CopyFrameToVideoSurface),
        CORVANE_PROBE(IMediaPlayer5, CopyFrameToVideoSurfaceWithTargetRectangle),
        CORVANE_PROBE(IMediaPlayer5, CopyFrameToStereoscopicVideoSurfaces)}},
      {"IMediaPlayer6",
       IMediaPlayer6::kIid,
       {CORVANE_PROBE(IMediaPlayer6, add_SubtitleFrameChanged),
        CORVANE_PROBE(IMediaPlayer6, remove_SubtitleFrameChanged),
        CORVANE_PROBE(IMediaPlayer6, RenderSubtitlesToSurface),
        CORVANE_PROBE(IMediaPlayer6, RenderSubtitlesToSurfaceWithTargetRectangle)}},
      {"IMediaPlayerSource2",
       IMediaPlayerSource2::kIid,
       {CORVANE_PROBE(IMediaPlayerSource2, get_Source), CORVANE_PROBE(IMediaPlayerSource2, put_Source)}},
      {"IMediaPlayerFailedEventArgs",
       IMediaPlayerFailedEventArgs::kIid,
       {CORVANE_PROBE(IMediaPlayerFailedEventArgs, get_Error),
        CORVANE_PROBE(IMediaPlayerFailedEventArgs, get_ExtendedErrorCode),
        CORVANE_PROBE(IMediaPlayerFailedEventArgs, get_ErrorMessage)}},
      {"IMediaPlaybackSession",
       IMediaPlaybackSession::kIid,
       {CORVANE_PROBE(IMediaPlaybackSession, add_PlaybackStateChanged),
        CORVANE_PROBE(IMediaPlaybackSession, remove_PlaybackStateChanged),
        CORVANE_PROBE(IMediaPlaybackSession, add_PlaybackRateChanged),
        CORVANE_PROBE(IMediaPlaybackSession, remove_PlaybackRateChanged),
        CORVANE_PROBE(IMediaPlaybackSession, add_SeekCompleted),
        CORVANE_PROBE(IMediaPlaybackSession, remove_SeekCompleted),
        CORVANE_PROBE(IMediaPlaybackSession, add_BufferingStarted),
        CORVANE_PROBE(IMediaPlaybackSession, remove_BufferingStarted),
        CORVANE_PROBE(IMediaPlaybackSession, add_BufferingEnded),
        CORVANE_PROBE(IMediaPlaybackSession, remove_BufferingEnded),
        CORVANE_PROBE(IMediaPlaybackSession, add_BufferingProgressChanged),
        CORVANE_PROBE(IMediaPlaybackSession, remove_BufferingProgressChanged),
        CORVANE_PROBE(IMediaPlaybackSession, add_DownloadProgressChanged),
        CORVANE_PROBE(IMediaPlaybackSession, remove_DownloadProgressChanged),
        CORVANE_PROBE(IMediaPlaybackSession, add_NaturalDurationChanged),
        CORVANE_PROBE(IMediaPlaybackSession, remove_NaturalDurationChanged),
        CORVANE_PROBE(IMediaPlaybackSession, add_PositionChanged),
        CORVANE_PROBE(IMediaPlaybackSession, remove_PositionChanged),
        CORVANE_PROBE(IMediaPlaybackSession, add_NaturalVideoSizeChanged),
        CORVANE_PROBE(IMediaPlaybackSession, remove_NaturalVideoSizeChanged),
        CORVANE_PROBE(IMediaPlaybackSession, get_MediaPlayer),
        CORVANE_PROBE(IMediaPlaybackSession, get_NaturalDuration), CORVANE_PROBE(IMediaPlaybackSession, get_Position),
        CORVANE_PROBE(IMediaPlaybackSession, put_Position), CORVANE_PROBE(IMediaPlaybackSession, get_PlaybackState),
        CORVANE_PROBE(IMediaPlaybackSession, get_CanSeek), CORVANE_PROBE(IMediaPlaybackSession, get_CanPause),
        CORVANE_PROBE(IMediaPlaybackSession, get_IsProtected), CORVANE_PROBE(IMediaPlaybackSession, get_PlaybackRate),
        CORVANE_PROBE(IMediaPlaybackSession, put_PlaybackRate),
        CORVANE_PROBE(IMediaPlaybackSession, get_BufferingProgress),
        CORVANE_PROBE(IMediaPlaybackSession, get_DownloadProgress),
        CORVANE_PROBE(IMediaPlaybackSession, get_NaturalVideoHeight),
        CORVANE_PROBE(IMediaPlaybackSession, get_NaturalVideoWidth),
        CORVANE_PROBE(IMediaPlaybackSession, get_NormalizedSourceRect),
        CORVANE_PROBE(IMediaPlaybackSession, put_NormalizedSourceRect),
        CORVANE_PROBE(IMediaPlaybackSession, get_StereoscopicVideoPackingMode),
        CORVANE_PROBE(IMediaPlaybackSession, put_StereoscopicVideoPackingMode)}},
      {"IMediaPlaybackSession2",
       IMediaPlaybackSession2::kIid,
       {CORVANE_PROBE(IMediaPlaybackSession2, add_BufferedRangesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, remove_BufferedRangesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, add_PlayedRangesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, remove_PlayedRangesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, add_SeekableRangesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, remove_SeekableRangesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, add_SupportedPlaybackRatesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, remove_SupportedPlaybackRatesChanged),
        CORVANE_PROBE(IMediaPlaybackSession2, get_SphericalVideoProjection),
        CORVANE_PROBE(IMediaPlaybackSession2, get_IsMirroring),
        CORVANE_PROBE(IMediaPlaybackSession2, put_IsMirroring),
        CORVANE_PROBE(IMediaPlaybackSession2, GetBufferedRanges),
        CORVANE_PROBE(IMediaPlaybackSession2, GetPlayedRanges),
        CORVANE_PROBE(IMediaPlaybackSession2, GetSeekableRanges),
        CORVANE_PROBE(IMediaPlaybackSession2, IsSupportedPlaybackRateRange)}},
      {"IMediaPlaybackCommandManager",
       IMediaPlaybackCommandManager::kIid,
       {CORVANE_PROBE(IMediaPlaybackCommandManager, get_IsEnabled),
        CORVANE_PROBE(IMediaPlaybackCommandManager, put_IsEnabled)}},
      {"IMediaPlaybackItem",
       IMediaPlaybackItem::kIid,
       {CORVANE_PROBE(IMediaPlaybackItem, add_AudioTracksChanged),
        CORVANE_PROBE(IMediaPlaybackItem, remove_AudioTracksChanged),
        CORVANE_PROBE(IMediaPlaybackItem, add_VideoTracksChanged),
        CORVANE_PROBE(IMediaPlaybackItem, remove_VideoTracksChanged),
        CORVANE_PROBE(IMediaPlaybackItem, add_TimedMetadataTracksChanged),
        CORVANE_PROBE(IMediaPlaybackItem, remove_TimedMetadataTracksChanged),
        CORVANE_PROBE(IMediaPlaybackItem, get_Source), CORVANE_PROBE(IMediaPlaybackItem, get_AudioTracks),
        CORVANE_PROBE(IMediaPlaybackItem, get_VideoTracks),
        CORVANE_PROBE(IMediaPlaybackItem, get_TimedMetadataTracks)}},
      {"IMediaPlaybackItemFactory",
       IMediaPlaybackItemFactory::kIid,
       {CORVANE_PROBE(IMediaPlaybackItemFactory, Create)}},
      {"IMediaPlaybackSource", IMediaPlaybackSource::kIid, {}},
      {"ISingleSelectMediaTrackList",
       ISingleSelectMediaTrackList::kIid,
       {CORVANE_PROBE(ISingleSelectMediaTrackList, add_SelectedIndexChanged),
        CORVANE_PROBE(ISingleSelectMediaTrackList, remove_SelectedIndexChanged),
        CORVANE_PROBE(ISingleSelectMediaTrackList, put_SelectedIndex),
        CORVANE_PROBE(ISingleSelectMediaTrackList, get_SelectedIndex)}},
      {"IMediaPlaybackTimedMetadataTrackList",
       IMediaPlaybackTimedMetadataTrackList::kIid,
       {CORVANE_PROBE(IMediaPlaybackTimedMetadataTrackList, add_PresentationModeChanged),
        CORVANE_PROBE(IMediaPlaybackTimedMetadataTrackList, remove_PresentationModeChanged),
        CORVANE_PROBE(IMediaPlaybackTimedMetadataTrackList, GetPresentationMode),
        CORVANE_PROBE(IMediaPlaybackTimedMetadataTrackList, SetPresentationMode)}},
      {"IMediaSourceStatics",
       IMediaSourceStatics::kIid,
       {CORVANE_PROBE(IMediaSourceStatics, CreateFromAdaptiveMediaSource),
        CORVANE_PROBE(IMediaSourceStatics, CreateFromMediaStreamSource),
        CORVANE_PROBE(IMediaSourceStatics, CreateFromMseStreamSource),
        CORVANE_PROBE(IMediaSourceStatics, CreateFromIMediaSource),
        CORVANE_PROBE(IMediaSourceStatics, CreateFromStorageFile),
        CORVANE_PROBE(IMediaSourceStatics, CreateFromStream),
        CORVANE_PROBE(IMediaSourceStatics, CreateFromStreamReference),
        CORVANE_PROBE(IMediaSourceStatics, CreateFromUri)}},
      {"IMediaSource2",
       IMediaSource2::kIid,
       {CORVANE_PROBE(IMediaSource2, add_OpenOperationCompleted),
        CORVANE_PROBE(IMediaSource2, remove_OpenOperationCompleted),
        CORVANE_PROBE(IMediaSource2, get_CustomProperties), CORVANE_PROBE(IMediaSource2, get_Duration),
        CORVANE_PROBE(IMediaSource2, get_IsOpen), CORVANE_PROBE(IMediaSource2, get_ExternalTimedTextSources),
        CORVANE_PROBE(IMediaSource2, get_ExternalTimedMetadataTracks)}},
      {"IUriRuntimeClassFactory",
       IUriRuntimeClassFactory::kIid,
       {CORVANE_PROBE(IUriRuntimeClassFactory, CreateUri),
        CORVANE_PROBE(IUriRuntimeClassFactory, CreateWithRelativeUri)}},
      {"IUriRuntimeClass",
       IUriRuntimeClass::kIid,
       {CORVANE_PROBE(IUriRuntimeClass, get_AbsoluteUri), CORVANE_PROBE(IUriRuntimeClass, get_DisplayUri),
        CORVANE_PROBE(IUriRuntimeClass, get_Domain), CORVANE_PROBE(IUriRuntimeClass, get_Extension),
        CORVANE_PROBE(IUriRuntimeClass, get_Fragment), CORVANE_PROBE(IUriRuntimeClass, get_Host),
        CORVANE_PROBE(IUriRuntimeClass, get_Password), CORVANE_PROBE(IUriRuntimeClass, get_Path),
        CORVANE_PROBE(IUriRuntimeClass, get_Query), CORVANE_PROBE(IUriRuntimeClass, get_QueryParsed),
        CORVANE_PROBE(IUriRuntimeClass, get_RawUri), CORVANE_PROBE(IUriRuntimeClass, get_SchemeName),
        CORVANE_PROBE(IUriRuntimeClass, get_UserName), CORVANE_PROBE(IUriRuntimeClass, get_Port),
        CORVANE_PROBE(IUriRuntimeClass, get_Suspicious), CORVANE_PROBE(IUriRuntimeClass, Equals),
        CORVANE_PROBE(IUriRuntimeClass, CombineUri)}},
      {"IMediaTrack",
       IMediaTrack::kIid,
       {CORVANE_PROBE(IMediaTrack, get_Id), CORVANE_PROBE(IMediaTrack, get_Language),
        CORVANE_PROBE(IMediaTrack, get_TrackKind), CORVANE_PROBE(IMediaTrack, put_Label),
        CORVANE_PROBE(IMediaTrack, get_Label)}},
      {"IAudioTrack",
       IAudioTrack::kIid,
       {CORVANE_PROBE(IAudioTrack, add_OpenFailed), CORVANE_PROBE(IAudioTrack, remove_OpenFailed),
        CORVANE_PROBE(IAudioTrack, GetEncodingProperties), CORVANE_PROBE(IAudioTrack, get_PlaybackItem),
        CORVANE_PROBE(IAudioTrack, get_Name), CORVANE_PROBE(IAudioTrack, get_SupportInfo)}},
      {"IVideoTrack",
       IVideoTrack::kIid,
       {CORVANE_PROBE(IVideoTrack, add_OpenFailed), CORVANE_PROBE(IVideoTrack, remove_OpenFailed),
        CORVANE_PROBE(IVideoTrack, GetEncodingProperties), CORVANE_PROBE(IVideoTrack, get_PlaybackItem),
        CORVANE_PROBE(IVideoTrack, get_Name), CORVANE_PROBE(IVideoTrack, get_SupportInfo)}},
      {"ITimedMetadataTrack",
       ITimedMetadataTrack::kIid,
       {CORVANE_PROBE(ITimedMetadataTrack, add_CueEntered), CORVANE_PROBE(ITimedMetadataTrack, remove_CueEntered),
        CORVANE_PROBE(ITimedMetadataTrack, add_CueExited), CORVANE_PROBE(ITimedMetadataTrack, remove_CueExited),
        CORVANE_PROBE(ITimedMetadataTrack, add_TrackFailed), CORVANE_PROBE(ITimedMetadataTrack, remove_TrackFailed),
        CORVANE_PROBE(ITimedMetadataTrack, get_Cues), CORVANE_PROBE(ITimedMetadataTrack, get_ActiveCues),
        CORVANE_PROBE(ITimedMetadataTrack, get_TimedMetadataKind),
        CORVANE_PROBE(ITimedMetadataTrack, get_DispatchType), CORVANE_PROBE(ITimedMetadataTrack, AddCue),
        CORVANE_PROBE(ITimedMetadataTrack, RemoveCue)}},
      {"ITimedMetadataTrack2",
       ITimedMetadataTrack2::kIid,
       {CORVANE_PROBE(ITimedMetadataTrack2, get_PlaybackItem), CORVANE_PROBE(ITimedMetadataTrack2, get_Name)}},
      {"IMediaEncodingProperties",
       IMediaEncodingProperties::kIid,
       {CORVANE_PROBE(IMediaEncodingProperties, get_Properties), CORVANE_PROBE(IMediaEncodingProperties, get_Type),
        CORVANE_PROBE(IMediaEncodingProperties, put_Subtype), CORVANE_PROBE(IMediaEncodingProperties, get_Subtype)}},
      {"IAudioEncodingProperties",
       IAudioEncodingProperties::kIid,
       {CORVANE_PROBE(IAudioEncodingProperties, put_Bitrate), CORVANE_PROBE(IAudioEncodingProperties, get_Bitrate),
        CORVANE_PROBE(IAudioEncodingProperties, put_ChannelCount),
        CORVANE_PROBE(IAudioEncodingProperties, get_ChannelCount),
        CORVANE_PROBE(IAudioEncodingProperties, put_SampleRate),
        CORVANE_PROBE(IAudioEncodingProperties, get_SampleRate),
        CORVANE_PROBE(IAudioEncodingProperties, put_BitsPerSample),
        CORVANE_PROBE(IAudioEncodingProperties, get_BitsPerSample)}},
      {"IVideoEncodingProperties",
       IVideoEncodingProperties::kIid,
       {CORVANE_PROBE(IVideoEncodingProperties, put_Bitrate), CORVANE_PROBE(IVideoEncodingProperties, get_Bitrate),
        CORVANE_PROBE(IVideoEncodingProperties, put_Width), CORVANE_PROBE(IVideoEncodingProperties, get_Width),
        CORVANE_PROBE(IVideoEncodingProperties, put_Height), CORVANE_PROBE(IVideoEncodingProperties, get_Height),
        CORVANE_PROBE(IVideoEncodingProperties, get_FrameRate),
        CORVANE_PROBE(IVideoEncodingProperties, get_PixelAspectRatio)}},
      {"IMediaRatio",
       IMediaRatio::kIid,
       {CORVANE_PROBE(IMediaRatio, put_Numerator), CORVANE_PROBE(IMediaRatio, get_Numerator),
        CORVANE_PROBE(IMediaRatio, put_Denominator), CORVANE_PROBE(IMediaRatio, get_Denominator)}},
      {"TypedEventHandler_MediaPlayer_IInspectable",
       IMediaPlayerEventHandler::kIid,
       {CORVANE_PROBE(IMediaPlayerEventHandler, Invoke)}},
      {"TypedEventHandler_MediaPlayer_MediaPlayerFailedEventArgs",
       IMediaPlayerFailedEventHandler::kIid,
       {CORVANE_PROBE(IMediaPlayerFailedEventHandler, Invoke)}},
      {"TypedEventHandler_MediaPlaybackSession_IInspectable",
       IMediaPlaybackSessionEventHandler::kIid,
       {CORVANE_PROBE(IMediaPlaybackSessionEventHandler, Invoke)}},
      {"TypedEventHandler_MediaPlaybackItem_IVectorChangedEventArgs",
       IMediaPlaybackItemTracksChangedHandler::kIid,
       {CORVANE_PROBE(IMediaPlaybackItemTracksChangedHandler, Invoke)}},
      {"TypedEventHandler_ISingleSelectMediaTrackList_IInspectable",
       ISingleSelectMediaTrackListEventHandler::kIid,
       {CORVANE_PROBE(ISingleSelectMediaTrackListEventHandler, Invoke)}},
      {"TypedEventHandler_TimedMetadataTrack_MediaCueEventArgs",
       ITimedMetadataTrackCueEventHandler::kIid,
       {CORVANE_PROBE(ITimedMetadataTrackCueEventHandler, Invoke)}},
      {"IVectorView_AudioTrack",
       IVectorViewOfAudioTrack::kIid,
       {CORVANE_PROBE(IVectorViewOfAudioTrack, GetAt), CORVANE_PROBE(IVectorViewOfAudioTrack, get_Size),
        CORVANE_PROBE(IVectorViewOfAudioTrack, IndexOf), CORVANE_PROBE(IVectorViewOfAudioTrack, GetMany)}},
      {"IVectorView_VideoTrack",
       IVectorViewOfVideoTrack::kIid,
       {CORVANE_PROBE(IVectorViewOfVideoTrack, GetAt), CORVANE_PROBE(IVectorViewOfVideoTrack, get_Size),
        CORVANE_PROBE(IVectorViewOfVideoTrack, IndexOf), CORVANE_PROBE(IVectorViewOfVideoTrack, GetMany)}},
      {"IVectorView_TimedMetadataTrack",
       IVectorViewOfTimedMetadataTrack::kIid,
       {CORVANE_PROBE(IVectorViewOfTimedMetadataTrack, GetAt),
        CORVANE_PROBE(IVectorViewOfTimedMetadataTrack, get_Size),
        CORVANE_PROBE(IVectorViewOfTimedMetadataTrack, IndexOf),
        CORVANE_PROBE(IVectorViewOfTimedMetadataTrack, GetMany)}},
      {"IVectorView_MediaTimeRange",
       IVectorViewOfMediaTimeRange::kIid,
       {CORVANE_PROBE(IVectorViewOfMediaTimeRange, GetAt), CORVANE_PROBE(IVectorViewOfMediaTimeRange, get_Size),
        CORVANE_PROBE(IVectorViewOfMediaTimeRange, IndexOf), CORVANE_PROBE(IVectorViewOfMediaTimeRange, GetMany)}},
      {"IVectorChangedEventArgs", IVectorChangedEventArgs::kIid, {}},
      {"IMediaCueEventArgs", IMediaCueEventArgs::kIid, {}},
  };
}

// Transcribed from WINDOWS-ABI.md: table A for the interfaces, "Other facts"
// for the delegates (Invoke at slot 3) and IVectorView<T>, section B for the
// parameterised IIDs. Slots 0 to 5 are IUnknown's and IInspectable's.
struct FactRow {
  const char* name;
  const char* iid;  // empty for IUnknown and IInspectable, which come from the SDK
  int first_slot;
  const char* methods;  // in vtable order from first_slot
};

const FactRow kFacts[] = {
    {"IUnknown", "", 0, "QueryInterface, AddRef, Release"},
    {"IInspectable", "", 3, "GetIids, GetRuntimeClassName, GetTrustLevel"},
    {"IAsyncAction", "5a648006-843a-4da9-865b-9d26e5dfad7b", 6, "put_Completed, get_Completed, GetResults"},
    {"AsyncActionCompletedHandler", "a4ed5c81-76c9-40bd-8be6-b1d90fb20ae7", 3, "Invoke"},
    {"IDispatcherQueue", "603e88e4-a338-4ffe-a457-a5cfb9ceb899", 6,
     "CreateTimer, TryEnqueue, TryEnqueueWithPriority, add_ShutdownStarting, remove_ShutdownStarting, "
     "add_ShutdownCompleted, remove_ShutdownCompleted"},
    {"IDispatcherQueueStatics", "a96d83d7-9371-4517-9245-d0824ac12c74", 6, "GetForCurrentThread"},
    {"IDispatcherQueueController", "22f34e66-50db-4e36-a98d-61c01b384d20", 6,
     "get_DispatcherQueue, ShutdownQueueAsync"},
    {"DispatcherQueueHandler", "dfa2dc9c-1a2d-4917-98f2-939af1d6e0c8", 3, "Invoke"},
    {"TypedEventHandler_DispatcherQueue_IInspectable", "fe79f855-2f40-5b88-a0c3-4c042a05dd05", 3, "Invoke"},
    {"IGlobalizationPreferencesStatics", "01bf4326-ed37-4e96-b0e9-c1340d1ea158", 6,
     "get_Calendars, get_Clocks, get_Currencies, get_Languages, get_HomeGeographicRegion, get_WeekStartsOn"},
    {"IClosable", "30d5a829-7fa4-4026-83bb-d75bae4ea99e", 6, "Close"},
    {"IDirect3DSurface", "0bf4a146-13c1-4694-bee3-7abf15eaf586", 6, "get_Description"},
    {"IVectorView_HSTRING", "2f13c006-a03a-5f69-b090-75a43e33423e", 6, "GetAt, get_Size, IndexOf, GetMany"},
    // The media engine. The delegates are section B's instantiations, the
    // vector views too, with MediaTimeRange's IID from "More parameterised
    // IIDs".
    {"IMediaPlayer", "381a83cb-6fff-499b-8d64-2885dfc1249e", 6,
     "get_AutoPlay, put_AutoPlay, get_NaturalDuration, get_Position, put_Position, get_BufferingProgress, "
     "get_CurrentState, get_CanSeek, get_CanPause, get_IsLoopingEnabled, put_IsLoopingEnabled, get_IsProtected, "
     "get_IsMuted, put_IsMuted, get_PlaybackRate, put_PlaybackRate, get_Volume, put_Volume, get_PlaybackMediaMarkers, "
     "add_MediaOpened, remove_MediaOpened, add_MediaEnded, remove_MediaEnded, add_MediaFailed, remove_MediaFailed, "
     "add_CurrentStateChanged, remove_CurrentStateChanged, add_PlaybackMediaMarkerReached, "
     "remove_PlaybackMediaMarkerReached, add_MediaPlayerRateChanged, remove_MediaPlayerRateChanged, add_VolumeChanged, "
     "remove_VolumeChanged, add_SeekCompleted, remove_SeekCompleted, add_BufferingStarted, remove_BufferingStarted, "
     "add_BufferingEnded, remove_BufferingEnded, Play, Pause, SetUriSource"},
    {"IMediaPlayer3", "ee0660da-031b-4feb-bd9b-92e0a0a8d299", 6,
     "add_IsMutedChanged, remove_IsMutedChanged, add_SourceChanged, remove_SourceChanged, get_AudioBalance, "
     "put_AudioBalance, get_RealTimePlayback, put_RealTimePlayback, get_StereoscopicVideoRenderMode, "
     "put_StereoscopicVideoRenderMode, get_BreakManager, get_CommandManager, get_AudioDevice, put_AudioDevice, "
     "get_TimelineController, put_TimelineController, get_TimelineControllerPositionOffset, "
     "put_TimelineControllerPositionOffset, get_PlaybackSession, StepForwardOneFrame, StepBackwardOneFrame, "
     "GetAsCastingSource"},
    {"IMediaPlayer5", "cfe537fd-f86a-4446-bf4d-c8e792b7b4b3", 6,
     "add_VideoFrameAvailable, remove_VideoFrameAvailable, get_IsVideoFrameServerEnabled, "
     "put_IsVideoFrameServerEnabled, CopyFrameToVideoSurface, CopyFrameToVideoSurfaceWithTargetRectangle, "
     "CopyFrameToStereoscopicVideoSurfaces"},
    {"IMediaPlayer6", "e0caa086-ae65-414c-b010-8bc55f00e692", 6,
     "add_SubtitleFrameChanged, remove_SubtitleFrameChanged, RenderSubtitlesToSurface, "
     "RenderSubtitlesToSurfaceWithTargetRectangle"},
    {"IMediaPlayerSource2", "82449b9f-7322-4c0b-b03b-3e69a48260c5", 6, "get_Source, put_Source"},
    {"IMediaPlayerFailedEventArgs", "2744e9b9-a7e3-4f16-bac4-7914ebc08301", 6,
     "get_Error, get_ExtendedErrorCode, get_ErrorMessage"},
    {"IMediaPlaybackSession", "c32b683d-0407-41ba-8946-8b345a5a5435", 6,
     "add_PlaybackStateChanged, remove_PlaybackStateChanged, add_PlaybackRateChanged, remove_PlaybackRateChanged, "
     "add_SeekCompleted, remove_SeekCompleted, add_BufferingStarted, remove_BufferingStarted, add_BufferingEnded, "
     "remove_BufferingEnded, add_BufferingProgressChanged, remove_BufferingProgressChanged, "
     "add_DownloadProgressChanged, remove_DownloadProgressChanged, add_NaturalDurationChanged, "
     "remove_NaturalDurationChanged, add_PositionChanged, remove_PositionChanged, add_NaturalVideoSizeChanged, "
     "remove_NaturalVideoSizeChanged, get_MediaPlayer, get_NaturalDuration, get_Position, put_Position, "
     "get_PlaybackState, get_CanSeek, get_CanPause, get_IsProtected, get_PlaybackRate, put_PlaybackRate, "
     "get_BufferingProgress, get_DownloadProgress, get_NaturalVideoHeight, get_NaturalVideoWidth, "
     "get_NormalizedSourceRect, put_NormalizedSourceRect, get_StereoscopicVideoPackingMode, "
     "put_StereoscopicVideoPackingMode"},
    {"IMediaPlaybackSession2", "f8ba7c79-1fc8-4097-ad70-c0fa18cc0050", 6,
     "add_BufferedRangesChanged, remove_BufferedRangesChanged, add_PlayedRangesChanged, remove_PlayedRangesChanged, "
     "add_SeekableRangesChanged, remove_SeekableRangesChanged, add_SupportedPlaybackRatesChanged, "
     "remove_SupportedPlaybackRatesChanged, get_SphericalVideoProjection, get_IsMirroring, put_IsMirroring, "
     "GetBufferedRanges, GetPlayedRanges, GetSeekableRanges, IsSupportedPlaybackRateRange"},
    // A prefix of its row: nothing later in the vtable is declared.
    {"IMediaPlaybackCommandManager", "5acee5a6-5cb6-4a5a-8521-cc86b1c1ed37", 6, "get_IsEnabled, put_IsEnabled"},
    {"IMediaPlaybackItem", "047097d2-e4af-48ab-b283-6929e674ece2", 6,
     "add_AudioTracksChanged, remove_AudioTracksChanged, add_VideoTracksChanged, remove_VideoTracksChanged, "
     "add_TimedMetadataTracksChanged, remove_TimedMetadataTracksChanged, get_Source, get_AudioTracks, get_VideoTracks, "
     "get_TimedMetadataTracks"},
    {"IMediaPlaybackItemFactory", "7133fce1-1769-4ff9-a7c1-38d2c4d42360", 6, "Create"},
    {"IMediaPlaybackSource", "ef9dc2bc-9317-4696-b051-2bad643177b5", 6, ""},
    {"ISingleSelectMediaTrackList", "77206f1f-c34f-494f-8077-2bad9ff4ecf1", 6,
     "add_SelectedIndexChanged, remove_SelectedIndexChanged, put_SelectedIndex, get_SelectedIndex"},
    {"IMediaPlaybackTimedMetadataTrackList", "72b41319-bbfb-46a3-9372-9c9c744b9438", 6,
     "add_PresentationModeChanged, remove_PresentationModeChanged, GetPresentationMode, SetPresentationMode"},
    {"IMediaSourceStatics", "f77d6fa4-4652-410e-b1d8-e9a5e245a45c", 6,
     "CreateFromAdaptiveMediaSource, CreateFromMediaStreamSource, CreateFromMseStreamSource, CreateFromIMediaSource, "
     "CreateFromStorageFile, CreateFromStream, CreateFromStreamReference, CreateFromUri"},
    {"IMediaSource2", "2eb61048-655f-4c37-b813-b4e45dfa0abe", 6,
     "add_OpenOperationCompleted, remove_OpenOperationCompleted, get_CustomProperties, get_Duration, get_IsOpen, "
     "get_ExternalTimedTextSources, get_ExternalTimedMetadataTracks"},
    {"IUriRuntimeClassFactory", "44a9796f-723e-4fdf-a218-033e75b0c084", 6, "CreateUri, CreateWithRelativeUri"},
    {"IUriRuntimeClass", "9e365e57-48b2-4160-956f-c7385120bbfc", 6,
     "get_AbsoluteUri, get_DisplayUri, get_Domain, get_Extension, get_Fragment, get_Host, get_Password, get_Path, "
     "get_Query, get_QueryParsed, get_RawUri, get_SchemeName, get_UserName, get_Port, get_Suspicious, Equals, "
     "CombineUri"},
    {"IMediaTrack", "03e1fafc-c931-491a-b46b-c10ee8c256b7", 6,
     "get_Id, get_Language, get_TrackKind, put_Label, get_Label"},
    {"IAudioTrack", "f23b6e77-3ef7-40de-b943-068b1321701d", 6,
     "add_OpenFailed, remove_OpenFailed, GetEncodingProperties, get_PlaybackItem, get_Name, get_SupportInfo"},
    {"IVideoTrack", "99f3b7f3-e298-4396-bb6a-a51be6a2a20a", 6,
     "add_OpenFailed, remove_OpenFailed, GetEncodingProperties, get_PlaybackItem, get_Name, get_SupportInfo"},
    {"ITimedMetadataTrack", "9e6aed9e-f67a-49a9-b330-cf03b0e9cf07", 6,
     "add_CueEntered, remove_CueEntered, add_CueExited, remove_CueExited, add_TrackFailed, remove_TrackFailed, "
     "get_Cues, get_ActiveCues, get_TimedMetadataKind, get_DispatchType, AddCue, RemoveCue"},
    {"ITimedMetadataTrack2", "21b4b648-9f9d-40ba-a8f3-1a92753aef0b", 6, "get_PlaybackItem, get_Name"},
    {"IMediaEncodingProperties", "b4002af6-acd4-4e5a-a24b-5d7498a8b8c4", 6,
     "get_Properties, get_Type, put_Subtype, get_Subtype"},
    {"IAudioEncodingProperties", "62bc7a16-005c-4b3b-8a0b-0a090e9687f3", 6,
     "put_Bitrate, get_Bitrate, put_ChannelCount, get_ChannelCount, put_SampleRate, get_SampleRate, put_BitsPerSample, "
     "get_BitsPerSample"},
    {"IVideoEncodingProperties", "76ee6c9a-37c2-4f2a-880a-1282bbb4373d", 6,
     "put_Bitrate, get_Bitrate, put_Width, get_Width, put_Height, get_Height, get_FrameRate, get_PixelAspectRatio"},
    {"IMediaRatio", "d2d0fee5-8929-401d-ac78-7d357e378163", 6,
     "put_Numerator, get_Numerator, put_Denominator, get_Denominator"},
    {"TypedEventHandler_MediaPlayer_IInspectable", "f1a6a51e-d078-5c40-ba3f-348870ba5c87", 3, "Invoke"},
    {"TypedEventHandler_MediaPlayer_MediaPlayerFailedEventArgs", "362c45a7-3a0a-5e27-99ce-cff6d1b770e1", 3, "Invoke"},
    {"TypedEventHandler_MediaPlaybackSession_IInspectable", "7c70f38d-2aa1-5522-a6d6-34b52b988ae7", 3, "Invoke"},
    {"TypedEventHandler_MediaPlaybackItem_IVectorChangedEventArgs", "2dd51918-4525-5be5-a6c1-409bc72863a6", 3,
     "Invoke"},
    {"TypedEventHandler_ISingleSelectMediaTrackList_IInspectable", "21eb6e39-728a-56a9-8dce-062ba4c81bf5", 3, "Invoke"},
    {"TypedEventHandler_TimedMetadataTrack_MediaCueEventArgs", "4aac9411-c355-5c95-8c78-5a0f5ca1a54d", 3, "Invoke"},
    {"IVectorView_AudioTrack", "e71ffa4a-14a7-5068-891c-6e717af8bf8d", 6, "GetAt, get_Size, IndexOf, GetMany"},
    {"IVectorView_VideoTrack", "200c6224-0b43-54fb-995f-fd8688bf24de", 6, "GetAt, get_Size, IndexOf, GetMany"},
    {"IVectorView_TimedMetadataTrack", "0313ae7a-2803-5d45-b5a1-a0fc5cd55e7c", 6, "GetAt, get_Size, IndexOf, GetMany"},
    {"IVectorView_MediaTimeRange", "2628205b-a57a-5179-92e6-9b6e13cb8d0d", 6, "GetAt, get_Size, IndexOf, GetMany"},
    // IID only: the table gives no methods for these, and none are declared.
    {"IVectorChangedEventArgs", "575933df-34fe-4480-af15-07691f3d5d9b", 6, ""},
    {"IMediaCueEventArgs", "d12f47f7-5fa4-4e68-9fe5-32160dcee57e", 6, ""},
};

void PrintTo(const FactRow& row, std::ostream* out) { *out << row.name; }

std::vector<std::string> SplitNames(const std::string& list) {
  std::vector<std::string> names;
  std::istringstream in(list);
  std::string name;
  while (std::getline(in, name, ',')) names.push_back(name.substr(name.find_first_not_of(' ')));
  return names;
}

class VtableSlotTest : public ::testing::TestWithParam<FactRow> {
 protected:
  static const Declared* Find(const std::string& name) {
    static const std::vector<Declared> declared = DeclaredInterfaces();
    for (const Declared& entry : declared) {
      if (entry.name == name) return &entry;
    }
    return nullptr;
  }
};

TEST_P(VtableSlotTest, DeclaredIidAndSlots_MatchTheFactTable) {
  const FactRow& fact = GetParam();
  const Declared* declared = Find(fact.name);
  ASSERT_NE(nullptr, declared) << "no declaration probed for " << fact.name;

  if (declared->iid) {
    EXPECT_EQ(fact.iid, FormatGuid(*declared->iid));
  }

  // Every method of the row is declared, each at its slot. (An extra method
  // declared in between shows up as the following ones moving.)
  const std::vector<std::string> expected = SplitNames(fact.methods);
  ASSERT_EQ(expected.size(), declared->probes.size()) << "methods probed for " << fact.name;
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(expected[i], declared->probes[i].method) << "probe order";
    EXPECT_EQ(fact.first_slot + static_cast<int>(i), declared->probes[i].slot) << fact.name << "::" << expected[i];
  }
}

INSTANTIATE_TEST_SUITE_P(TableA, VtableSlotTest, ::testing::ValuesIn(kFacts),
                         [](const ::testing::TestParamInfo<FactRow>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::test
