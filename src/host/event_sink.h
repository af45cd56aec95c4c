// Where a stream handler sends the events of one listened-to stream.
#ifndef CORVANE_HOST_EVENT_SINK_H_
#define CORVANE_HOST_EVENT_SINK_H_

#include <string>

#include "host/encodable_value.h"

namespace flutter {

// Platform thread only; producers on other threads post to it first.
template <typename T = EncodableValue>
class EventSink {
 public:
  EventSink() = default;
  virtual ~EventSink() = default;
  EventSink(const EventSink&) = delete;
  EventSink& operator=(const EventSink&) = delete;

  void Success(const T& event) { SuccessInternal(&event); }
  void Success() { SuccessInternal(nullptr); }
  void Error(const std::string& errorCode, const std::string& errorMessage, const T& errorDetails) {
    ErrorInternal(errorCode, errorMessage, &errorDetails);
  }
  void Error(const std::string& errorCode, const std::string& errorMessage = "") {
    ErrorInternal(errorCode, errorMessage, nullptr);
  }
  void EndOfStream() { EndOfStreamInternal(); }

 protected:
  // `event` and `errorDetails` are null when there is no value.
  virtual void SuccessInternal(const T* event) = 0;
  virtual void ErrorInternal(const std::string& errorCode, const std::string& errorMessage, const T* errorDetails) = 0;
  virtual void EndOfStreamInternal() = 0;
};

}  // namespace flutter

#endif  // CORVANE_HOST_EVENT_SINK_H_
