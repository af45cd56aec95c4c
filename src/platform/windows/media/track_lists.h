// A playback item's track lists, as the player reads and selects them: each
// call is passed on to the runtime's list, and each track read is copied
// out into our plain track facts (UTF-8 strings, encoding numbers).
//
// Threads: any; the runtime's lists are agile.
#ifndef CORVANE_PLATFORM_WINDOWS_MEDIA_TRACK_LISTS_H_
#define CORVANE_PLATFORM_WINDOWS_MEDIA_TRACK_LISTS_H_

#include <memory>

#include "platform/media_engine.h"
#include "platform/windows/com_ref.h"
#include "platform/windows/winrt_media_abi.h"

namespace corvane::platform::windows {

// Each raises hresult_error when the list does not offer its selection
// interface (ISingleSelectMediaTrackList, IMediaPlaybackTimedMetadataTrackList).
std::shared_ptr<AudioTrackList> WrapAudioTracks(winrt::ComRef<winrt::IVectorViewOfAudioTrack> list);
std::shared_ptr<VideoTrackList> WrapVideoTracks(winrt::ComRef<winrt::IVectorViewOfVideoTrack> list);
std::shared_ptr<TimedMetadataTrackList> WrapTimedMetadataTracks(
    winrt::ComRef<winrt::IVectorViewOfTimedMetadataTrack> list);

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_MEDIA_TRACK_LISTS_H_
