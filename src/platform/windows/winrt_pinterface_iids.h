// IIDs of the instantiated generic interfaces and delegates the adapters use.
//
// A generic instantiation has no IID of its own in any header we can include:
// the runtime derives it from the instantiation's type signature (SHA-1 over a
// fixed namespace GUID and the signature text). The values below were computed
// that way and checked against a second source; tests/windows_abi recomputes
// every one of them from its signature, because a wrong IID only shows up on
// real Windows, as E_NOINTERFACE, and Wine cannot catch it.
//
// Names spell the instantiation: kTypedEventHandler_MediaPlayer_IInspectable
// is TypedEventHandler<MediaPlayer, IInspectable>.
#ifndef CORVANE_PLATFORM_WINDOWS_WINRT_PINTERFACE_IIDS_H_
#define CORVANE_PLATFORM_WINDOWS_WINRT_PINTERFACE_IIDS_H_

#include "platform/windows/winrt_base.h"

namespace corvane::platform::winrt::pinterface {

// Event handlers.
inline constexpr GUID kTypedEventHandler_MediaPlayer_IInspectable = ParseGuid("f1a6a51e-d078-5c40-ba3f-348870ba5c87");
inline constexpr GUID kTypedEventHandler_MediaPlayer_MediaPlayerFailedEventArgs =
    ParseGuid("362c45a7-3a0a-5e27-99ce-cff6d1b770e1");
inline constexpr GUID kTypedEventHandler_MediaPlaybackSession_IInspectable =
    ParseGuid("7c70f38d-2aa1-5522-a6d6-34b52b988ae7");
inline constexpr GUID kTypedEventHandler_MediaPlaybackItem_IVectorChangedEventArgs =
    ParseGuid("2dd51918-4525-5be5-a6c1-409bc72863a6");
inline constexpr GUID kTypedEventHandler_ISingleSelectMediaTrackList_IInspectable =
    ParseGuid("21eb6e39-728a-56a9-8dce-062ba4c81bf5");
inline constexpr GUID kTypedEventHandler_TimedMetadataTrack_MediaCueEventArgs =
    ParseGuid("4aac9411-c355-5c95-8c78-5a0f5ca1a54d");
inline constexpr GUID kTypedEventHandler_DispatcherQueue_IInspectable =
    ParseGuid("fe79f855-2f40-5b88-a0c3-4c042a05dd05");
inline constexpr GUID kTypedEventHandler_IInspectable_IInspectable = ParseGuid("c7e65ce2-fad5-5e3b-9c58-186ca8c1dd57");

// Collections. Audio and video track lists share an element interface
// (IMediaTrack) but not an IID: the runtime class is part of the signature.
inline constexpr GUID kIVectorView_AudioTrack = ParseGuid("e71ffa4a-14a7-5068-891c-6e717af8bf8d");
inline constexpr GUID kIVectorView_VideoTrack = ParseGuid("200c6224-0b43-54fb-995f-fd8688bf24de");
inline constexpr GUID kIVectorView_TimedMetadataTrack = ParseGuid("0313ae7a-2803-5d45-b5a1-a0fc5cd55e7c");
inline constexpr GUID kIVectorView_HSTRING = ParseGuid("2f13c006-a03a-5f69-b090-75a43e33423e");
inline constexpr GUID kIVectorView_MediaTimeRange = ParseGuid("2628205b-a57a-5179-92e6-9b6e13cb8d0d");
inline constexpr GUID kIIterable_MediaTimeRange = ParseGuid("268204e2-9d52-5e7b-a54b-869c63defc8e");
inline constexpr GUID kIIterator_MediaTimeRange = ParseGuid("29b8d190-5e46-5873-afc0-8f2f40fbe8fd");

}  // namespace corvane::platform::winrt::pinterface

#endif  // CORVANE_PLATFORM_WINDOWS_WINRT_PINTERFACE_IIDS_H_
