// The events a player sends to Dart on its event channel, other than
// "mediaInfo" (media_info_event.h).
//
// Each is one map with the event's name under "event" and its payload in
// keys of its own, sent as a success event. The value kinds are part of the
// contract with Dart: times are 64-bit integers in milliseconds even when
// small, sizes are doubles holding whole pixel counts.
#ifndef CORVANE_PLAYER_PLAYER_EVENTS_H_
#define CORVANE_PLAYER_PLAYER_EVENTS_H_

#include <cstdint>

#include "host/encodable_value.h"
#include "platform/media_engine.h"

namespace corvane::player {

// {"event": "position", "value": positionMs}
flutter::EncodableMap PositionEvent(int64_t positionMs);

// {"event": "buffer", "start": startMs, "end": endMs}; "start" is the
// playback position, not the start of the buffered range.
flutter::EncodableMap BufferEvent(int64_t startMs, int64_t endMs);

// {"event": "loading", "value": buffering}
flutter::EncodableMap LoadingEvent(bool buffering);

// {"event": "seekEnd"}
flutter::EncodableMap SeekEndEvent();

// {"event": "videoSize", "width": width, "height": height}
flutter::EncodableMap VideoSizeEvent(uint32_t width, uint32_t height);

// {"event": "finished"}
flutter::EncodableMap FinishedEvent();

// "Aborted", "NetworkError", "DecodingError", "SourceNotSupported";
// "Unknown" for Unknown and any value outside the enumeration.
const char* MediaPlayerErrorName(platform::MediaPlayerError error);

// {"event": "error", "value": MediaPlayerErrorName(error)}. The engine's
// message text and extended code stay out of it.
flutter::EncodableMap ErrorEvent(platform::MediaPlayerError error);

}  // namespace corvane::player

#endif  // CORVANE_PLAYER_PLAYER_EVENTS_H_
