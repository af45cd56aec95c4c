// A named channel on which Dart calls methods of the plugin.
#ifndef CORVANE_HOST_METHOD_CHANNEL_H_
#define CORVANE_HOST_METHOD_CHANNEL_H_

#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "host/binary_messenger.h"
#include "host/diagnostics.h"
#include "host/engine_method_result.h"
#include "host/handler_guard.h"
#include "host/method_call.h"
#include "host/method_codec.h"
#include "host/method_result.h"
#include "host/pending_reply.h"

namespace flutter {

template <typename T = EncodableValue>
using MethodCallHandler = std::function<void(const MethodCall<T>& call, std::unique_ptr<MethodResult<T>> result)>;

// Platform thread only. The channel object may be destroyed once its handler
// is installed: the handler lives in the messenger.
template <typename T = EncodableValue>
class MethodChannel {
 public:
  // `messenger` and `codec` are not owned and must outlive the handler.
  MethodChannel(BinaryMessenger* messenger, const std::string& name, const MethodCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}
  MethodChannel(const MethodChannel&) = delete;
  MethodChannel& operator=(const MethodChannel&) = delete;

  // Each decoded call reaches `handler` with a once-only result. An
  // undecodable message gets the not-implemented answer; a call whose
  // arguments value is missing or cut short never reaches the handler and
  // gets an error answer with code "invalid_argument" (null arguments would
  // read as "all players" to "dispose"). A handler that
  // throws has the exception written to standard error, and the call, if
  // still unanswered, gets an error answer with code "error" and the
  // exception's text. An empty handler removes the channel's handler.
  void SetMethodCallHandler(MethodCallHandler<T> handler) const {
    if (!handler) {
      messenger_->SetMessageHandler(name_, nullptr);
      return;
    }
    messenger_->SetMessageHandler(
        name_, [handler = std::move(handler), codec = codec_, name = name_](const uint8_t* message, size_t messageSize,
                                                                            BinaryReply reply) {
          auto pending = std::make_shared<PendingReply>(std::move(reply));
          internal::RunHandlerGuarded(name, *codec, *pending, [&] {
            auto result = std::make_unique<EngineMethodResult<T>>(pending, codec);
            auto decoded = codec->DecodeMethodCallChecked(message, messageSize);
            if (!decoded.call) {
              internal::WriteDiagnosticLine("Unable to construct method call from message on channel " + name);
              result->NotImplemented();
              return;
            }
            const std::string& method = decoded.call->method_name();
            if (!decoded.argumentsComplete) {
              internal::WriteDiagnosticLine("Malformed method call \"" + method + "\" on channel " + name +
                                            ": its arguments cannot be read");
              result->Error("invalid_argument",
                            "malformed message: the arguments of \"" + method + "\" are missing or cut short");
              return;
            }
            handler(*decoded.call, std::move(result));
          });
        });
  }

 private:
  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_METHOD_CHANNEL_H_
