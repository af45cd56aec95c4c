#include "player/player_events.h"


namespace corvane::player {
namespace {

using flutter::EncodableMap;
using flutter::EncodableValue;

EncodableMap Event(const char* name) { return EncodableMap{{EncodableValue("event"), EncodableValue(name)}}; }

}  // namespace

EncodableMap PositionEvent(int64_t positionMs) {
  EncodableMap event = Event("position");
  event[EncodableValue("value")] = EncodableValue(positionMs);
  return event;
}

EncodableMap BufferEvent(int64_t startMs, int64_t endMs) {
  EncodableMap event = Event("buffer");
  event[EncodableValue("start")] = EncodableValue(startMs);
  event[EncodableValue("end")] = EncodableValue(endMs);
  return event;
}

EncodableMap LoadingEvent(bool buffering) {
  EncodableMap event = Event("loading");
  event[EncodableValue("value")] = EncodableValue(buffering);
  return event;
}

EncodableMap SeekEndEvent() { return Event("seekEnd"); }

EncodableMap VideoSizeEvent(uint32_t width, uint32_t height) {
  EncodableMap event = Event("videoSize");
  event[EncodableValue("width")] = EncodableValue(static_cast<double>(width));
  event[EncodableValue("height")] = EncodableValue(static_cast<double>(height));
  return event;
}

EncodableMap FinishedEvent() { return Event("finished"); }

const char* MediaPlayerErrorName(platform::MediaPlayerError error) {
  switch (error) {
    case platform::MediaPlayerError::Aborted:
      return "Aborted";
    case platform::MediaPlayerError::NetworkError:
      return "NetworkError";
    case platform::MediaPlayerError::DecodingError:
      return "DecodingError";
    case platform::MediaPlayerError::SourceNotSupported:
      return "SourceNotSupported";
    case platform::MediaPlayerError::Unknown:
      break;
  }
  return "Unknown";
}

EncodableMap ErrorEvent(platform::MediaPlayerError error) {
  EncodableMap event = Event("error");
  event[EncodableValue("value")] = EncodableValue(MediaPlayerErrorName(error));
  return event;
}

}  // namespace corvane::player
