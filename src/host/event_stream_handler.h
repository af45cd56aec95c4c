// What an event channel calls when Dart starts or stops listening.
#ifndef CORVANE_HOST_EVENT_STREAM_HANDLER_H_
#define CORVANE_HOST_EVENT_STREAM_HANDLER_H_

#include <memory>
#include <string>
#include <utility>

#include "host/encodable_value.h"
#include "host/event_sink.h"

namespace flutter {

// The error a stream handler answers "listen" or "cancel" with.
template <typename T = EncodableValue>
struct StreamHandlerError {
  StreamHandlerError(std::string code, std::string message, std::unique_ptr<T> details)
      : error_code(std::move(code)), error_message(std::move(message)), error_details(std::move(details)) {}

  const std::string error_code;
  const std::string error_message;
  const std::unique_ptr<T> error_details;  // may be null
};

// Called on the platform thread. A returned error becomes the error answer
// to Dart's "listen" or "cancel"; null means success.
template <typename T = EncodableValue>
class StreamHandler {
 public:
  StreamHandler() = default;
  virtual ~StreamHandler() = default;
  StreamHandler(const StreamHandler&) = delete;
  StreamHandler& operator=(const StreamHandler&) = delete;

  // `arguments` may be null. The handler owns `events` from now on; a new
  // "listen" hands over a new sink.
  virtual std::unique_ptr<StreamHandlerError<T>> OnListen(const T* arguments,
                                                          std::unique_ptr<EventSink<T>>&& events) = 0;
  // `arguments` is null when the channel cancels an old stream itself,
  // before a repeated "listen".
  virtual std::unique_ptr<StreamHandlerError<T>> OnCancel(const T* arguments) = 0;
};

}  // namespace flutter

#endif  // CORVANE_HOST_EVENT_STREAM_HANDLER_H_
