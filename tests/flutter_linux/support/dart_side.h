// Dart's side of the plugin's channels over the fake flutter_linux engine,
// with our standard method codec: method calls with decoded answers, and
// event streams with decoded events. Shared by the flow tests and the
// Flutter Linux app stand-in. Every wait is bounded.
#ifndef CORVANE_TESTS_FLUTTER_LINUX_SUPPORT_DART_SIDE_H_
#define CORVANE_TESTS_FLUTTER_LINUX_SUPPORT_DART_SIDE_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "fake_flutter_linux/engine.h"
#include "host/encodable_value.h"

namespace corvane::testing {

struct Answer {
  enum class Kind { kSuccess, kError, kNotImplemented, kNoAnswer, kMalformed };
  Kind kind = Kind::kNoAnswer;
  flutter::EncodableValue value;  // the result, or the error's details
  std::string errorCode;

  bool IsSuccess() const { return kind == Kind::kSuccess; }
  // An integer under `key` of a map result, or -1.
  int64_t IntegerAt(const char* key) const;
};

// Calls `method` on `channel` and waits for the answer.
Answer Invoke(fake_flutter_linux::Engine& engine, const std::string& channel, const std::string& method,
              const flutter::EncodableValue& arguments = flutter::EncodableValue(),
              std::chrono::milliseconds timeout = std::chrono::seconds(5));

// One event: a map with "event" naming it.
struct Event {
  std::string name;
  flutter::EncodableMap payload;
  int64_t IntegerAt(const char* key) const;
};

// Dart's end of one player's event channel, receiving from construction on.
// Must not outlive its engine.
class EventStream {
 public:
  EventStream(fake_flutter_linux::Engine& engine, std::string channel);
  Answer Listen();
  // The next unread event named `name`, passing over others.
  std::optional<Event> WaitFor(const std::string& name, std::chrono::milliseconds timeout);
  // Names of every event received so far.
  std::vector<std::string> Names() const;

 private:
  struct Inbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<Event> events;  // guarded by mutex
  };
  fake_flutter_linux::Engine& engine_;
  std::string channel_;
  std::shared_ptr<Inbox> inbox_;
  size_t read_ = 0;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_FLUTTER_LINUX_SUPPORT_DART_SIDE_H_
