// One fake Flutter engine (fake_flutter_host.h) seen from Dart: method calls
// encoded with the standard method codec, answers decoded, and the platform
// thread (the caller's) pumped while waiting: its window messages, which
// carry the plugin's queued tasks, and the engine's deferred work.
#ifndef CORVANE_TESTS_WINDOWS_DLL_HOST_SESSION_H_
#define CORVANE_TESTS_WINDOWS_DLL_HOST_SESSION_H_

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fake_flutter_host.h"
#include "host/encodable_value.h"

namespace corvane::windows_test {

inline constexpr std::chrono::milliseconds kReplyTimeout{5000};

struct MethodReply {
  enum class Kind {
    kNoHandler,       // nothing handles the channel
    kNoReply,         // no answer within the timeout
    kSuccess,         // `value` holds the result (null when none)
    kError,           // code, message, and details in `value`
    kNotImplemented,  // the empty answer
    kMalformed,       // bytes that are no answer envelope
  };
  Kind kind = Kind::kNoReply;
  flutter::EncodableValue value;
  std::string errorCode;
  std::string errorMessage;

  // One line for failure messages.
  std::string Describe() const;
};

using RegisterWithRegistrar = void (*)(FlutterDesktopPluginRegistrarRef registrar);

class HostSession {
 public:
  HostSession();
  // Shuts the engine down (destroying the registrar first if still alive).
  ~HostSession();
  HostSession(const HostSession&) = delete;
  HostSession& operator=(const HostSession&) = delete;

  FakeFlutterHost* host() const { return host_.get(); }
  FlutterDesktopPluginRegistrarRef registrar() const { return FakeFlutterHostRegistrar(host_.get()); }

  MethodReply Call(const std::string& channel, const std::string& method,
                   const flutter::EncodableValue& arguments = flutter::EncodableValue(),
                   std::chrono::milliseconds timeout = kReplyTimeout);

  // Pumps the platform thread until `done` holds or `timeout` has passed;
  // returns done().
  bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

 private:
  struct ReplySlot;
  static void Receive(const uint8_t* data, size_t size, void* user_data);

  // Kept until the engine is gone: an answer may come after a timeout.
  std::vector<std::shared_ptr<ReplySlot>> replies_;
  std::unique_ptr<FakeFlutterHost, void (*)(FakeFlutterHost*)> host_;
};

}  // namespace corvane::windows_test

#endif  // CORVANE_TESTS_WINDOWS_DLL_HOST_SESSION_H_
