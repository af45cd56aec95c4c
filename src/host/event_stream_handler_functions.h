// A StreamHandler made of two function objects.
#ifndef CORVANE_HOST_EVENT_STREAM_HANDLER_FUNCTIONS_H_
#define CORVANE_HOST_EVENT_STREAM_HANDLER_FUNCTIONS_H_

#include <functional>
#include <memory>
#include <utility>

#include "host/event_stream_handler.h"

namespace flutter {

template <typename T = EncodableValue>
using StreamHandlerListen =
    std::function<std::unique_ptr<StreamHandlerError<T>>(const T* arguments, std::unique_ptr<EventSink<T>>&& events)>;

template <typename T = EncodableValue>
using StreamHandlerCancel = std::function<std::unique_ptr<StreamHandlerError<T>>(const T* arguments)>;

// Either function may be empty; the missing one answers with an error
// ("error", "No OnListen handler set" or "No OnCancel handler set").
template <typename T = EncodableValue>
class StreamHandlerFunctions : public StreamHandler<T> {
 public:
  StreamHandlerFunctions(StreamHandlerListen<T> onListen, StreamHandlerCancel<T> onCancel)
      : onListen_(std::move(onListen)), onCancel_(std::move(onCancel)) {}

  std::unique_ptr<StreamHandlerError<T>> OnListen(const T* arguments,
                                                  std::unique_ptr<EventSink<T>>&& events) override {
    if (onListen_) return onListen_(arguments, std::move(events));
    return std::make_unique<StreamHandlerError<T>>("error", "No OnListen handler set", nullptr);
  }

  std::unique_ptr<StreamHandlerError<T>> OnCancel(const T* arguments) override {
    if (onCancel_) return onCancel_(arguments);
    return std::make_unique<StreamHandlerError<T>>("error", "No OnCancel handler set", nullptr);
  }

 private:
  StreamHandlerListen<T> onListen_;
  StreamHandlerCancel<T> onCancel_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_EVENT_STREAM_HANDLER_FUNCTIONS_H_
