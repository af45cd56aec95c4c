// The Dart side of the channels, in C++: method calls with decoded replies
// and event streams with decoded events, through an Engine and the
// standard method codec.
//
// Replies and events arrive on the engine's Dart thread. The blocking calls
// here wait on the caller's thread, which therefore must not be one of the
// engine's threads; every wait is bounded.
#ifndef CORVANE_EMBEDDER_DART_CLIENT_H_
#define CORVANE_EMBEDDER_DART_CLIENT_H_

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "embedder/engine.h"
#include "host/encodable_value.h"

namespace corvane::embedder {

constexpr std::chrono::milliseconds kDefaultReplyTimeout{5000};

// The plugin's answer to one method call.
struct MethodResponse {
  enum class Kind {
    kSuccess,         // `value` holds the result (null when none)
    kError,           // error code, message and details
    kNotImplemented,  // the empty answer
    kNoReply,         // none came: see `noReplyReason`
    kMalformed,       // bytes that are no reply envelope
  };
  Kind kind = Kind::kNoReply;
  flutter::EncodableValue value;
  std::string errorCode;
  std::string errorMessage;
  flutter::EncodableValue errorDetails;
  std::string noReplyReason;

  bool IsSuccess() const { return kind == Kind::kSuccess; }
  // A one-line account for test failure messages.
  std::string Describe() const;
};

// Decodes reply bytes of the standard method codec: empty is not-implemented.
MethodResponse DecodeMethodResponse(const std::vector<uint8_t>& bytes);

// Calls `method` on `channel` and waits for the answer, at most `timeout`.
MethodResponse InvokeMethod(Engine& engine, const std::string& channel, const std::string& method,
                            const flutter::EncodableValue& arguments = flutter::EncodableValue(),
                            std::chrono::milliseconds timeout = kDefaultReplyTimeout);
// Calls `method` on `channel`; `onResponse` runs once on the Dart thread,
// with kNoReply if the engine shuts down before an answer.
void InvokeMethodAsync(Engine& engine, const std::string& channel, const std::string& method,
                       const flutter::EncodableValue& arguments, std::function<void(const MethodResponse&)> onResponse);
// Sends raw bytes, for messages no codec would produce, and waits.
MethodResponse SendRawMessage(Engine& engine, const std::string& channel, std::vector<uint8_t> message,
                              std::chrono::milliseconds timeout = kDefaultReplyTimeout);

// One message of an event stream.
struct StreamEvent {
  enum class Kind {
    kEvent,        // `value` holds the event
    kError,        // error code, message and details
    kEndOfStream,  // the empty message
    kMalformed,    // bytes that are no envelope
  };
  Kind kind = Kind::kEvent;
  flutter::EncodableValue value;
  std::string errorCode;
  std::string errorMessage;
  flutter::EncodableValue errorDetails;

  // The string under "event" when the event is a map, else empty.
  std::string Name() const;
  // The entry under `key` when the event is a map, else null.
  const flutter::EncodableValue* Find(const std::string& key) const;
};

// Wakes a reader that waits on several event streams at once: every stream
// given the same signal raises it when an event arrives, so the reader
// sleeps until then instead of polling. Any thread.
class ArrivalSignal {
 public:
  void Raise();
  // Returns when raised since the last return, or after `timeout` (false).
  bool Wait(std::chrono::milliseconds timeout);

 private:
  std::mutex mutex_;
  std::condition_variable raisedCv_;
  bool raised_ = false;  // guarded by mutex_
};

// Dart's end of one event channel. It receives from construction, before
// "listen" is sent, so that events sent while the plugin handles "listen"
// are kept. Every event is kept in order; reading moves a cursor.
// Must not outlive its engine.
class EventStream {
 public:
  // `arrivals`, when given, is raised for every event received.
  EventStream(Engine& engine, std::string channel, std::shared_ptr<ArrivalSignal> arrivals = nullptr);
  ~EventStream();
  EventStream(const EventStream&) = delete;
  EventStream& operator=(const EventStream&) = delete;

  MethodResponse Listen(const flutter::EncodableValue& arguments = flutter::EncodableValue(),
                        std::chrono::milliseconds timeout = kDefaultReplyTimeout);
  MethodResponse Cancel(const flutter::EncodableValue& arguments = flutter::EncodableValue(),
                        std::chrono::milliseconds timeout = kDefaultReplyTimeout);

  // The next unread event, waiting at most `timeout`.
  std::optional<StreamEvent> WaitForEvent(std::chrono::milliseconds timeout);
  // The next unread event for which `match` holds; unread events before it
  // are passed over (they stay in History()).
  std::optional<StreamEvent> WaitForEvent(const std::function<bool(const StreamEvent&)>& match,
                                          std::chrono::milliseconds timeout);
  // The next unread event whose "event" entry is `name`.
  std::optional<StreamEvent> WaitForEventNamed(const std::string& name, std::chrono::milliseconds timeout);
  // Every event received so far, read or not.
  std::vector<StreamEvent> History() const;
  size_t UnreadCount() const;

 private:
  struct Inbox;
  Engine& engine_;
  std::string channel_;
  std::shared_ptr<Inbox> inbox_;
};

}  // namespace corvane::embedder

#endif  // CORVANE_EMBEDDER_DART_CLIENT_H_
