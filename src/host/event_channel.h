// A named channel over which the plugin streams events to Dart.
#ifndef CORVANE_HOST_EVENT_CHANNEL_H_
#define CORVANE_HOST_EVENT_CHANNEL_H_

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include "host/binary_messenger.h"
#include "host/diagnostics.h"
#include "host/event_sink.h"
#include "host/event_stream_handler.h"
#include "host/handler_guard.h"
#include "host/method_codec.h"
#include "host/pending_reply.h"

namespace flutter {

// Runs the "listen"/"cancel" protocol of one event stream:
//
//   state      "listen"                                 "cancel"
//   idle       OnListen(new sink) -> listening          error reply "No active stream to cancel"
//   listening  OnCancel(null), OnListen(new sink)       OnCancel(arguments) -> idle
//
// Any other method gets the empty answer. Platform thread only. The channel
// object may be destroyed once its handler is installed.
template <typename T = EncodableValue>
class EventChannel {
 public:
  // Sends events of one stream. It never checks whether the stream is still
  // listened to; the stream handler drops it on cancel.
  class EventSinkImplementation : public EventSink<T> {
   public:
    EventSinkImplementation(const BinaryMessenger* messenger, const std::string& name, const MethodCodec<T>* codec)
        : messenger_(messenger), name_(name), codec_(codec) {}

   private:
    void SuccessInternal(const T* event) override { SendEnvelope(codec_->EncodeSuccessEnvelope(event).get()); }
    void ErrorInternal(const std::string& errorCode, const std::string& errorMessage, const T* errorDetails) override {
      SendEnvelope(codec_->EncodeErrorEnvelope(errorCode, errorMessage, errorDetails).get());
    }
    void EndOfStreamInternal() override { messenger_->Send(name_, nullptr, 0); }

    void SendEnvelope(const std::vector<uint8_t>* envelope) {
      messenger_->Send(name_, envelope->data(), envelope->size());
    }

    const BinaryMessenger* messenger_;  // not owned
    const std::string name_;
    const MethodCodec<T>* codec_;  // not owned
  };

  // `messenger` and `codec` are not owned and must outlive the handler.
  EventChannel(BinaryMessenger* messenger, const std::string& name, const MethodCodec<T>* codec)
      : messenger_(messenger), name_(name), codec_(codec) {}
  EventChannel(const EventChannel&) = delete;
  EventChannel& operator=(const EventChannel&) = delete;

  // Null removes the channel's handler. A stream handler that throws has the
  // exception written to standard error; the message, if unanswered, gets
  // an error answer with code "error" and the exception's text.
  void SetStreamHandler(std::unique_ptr<StreamHandler<T>>&& handler) {
    if (!handler) {
      messenger_->SetMessageHandler(name_, nullptr);
      return;
    }
    auto stream = std::make_shared<StreamState>();
    stream->handler = std::move(handler);
    stream->codec = codec_;
    stream->name = name_;
    stream->messenger = messenger_;
    messenger_->SetMessageHandler(name_, [stream](const uint8_t* message, size_t messageSize, BinaryReply reply) {
      PendingReply pending(std::move(reply));
      internal::RunHandlerGuarded(stream->name, *stream->codec, pending,
                                  [&] { HandleMessage(*stream, message, messageSize, pending); });
    });
  }

 private:
  // Shared by every copy of the installed message handler.
  struct StreamState {
    std::unique_ptr<StreamHandler<T>> handler;
    const MethodCodec<T>* codec = nullptr;
    std::string name;
    const BinaryMessenger* messenger = nullptr;
    bool listenActive = false;
  };

  static void HandleMessage(StreamState& stream, const uint8_t* message, size_t messageSize, PendingReply& reply) {
    const MethodCodec<T>& codec = *stream.codec;
    std::unique_ptr<MethodCall<T>> call = codec.DecodeMethodCall(message, messageSize);
    if (!call) {
      internal::WriteDiagnosticLine("Unable to construct method call from message on channel: " + stream.name);
      reply.Send(nullptr);
      return;
    }
    const std::string& method = call->method_name();
    if (method == "listen") {
      if (stream.listenActive) CancelSupersededStream(stream);
      stream.listenActive = true;
      auto sink = std::make_unique<EventSinkImplementation>(stream.messenger, stream.name, stream.codec);
      auto error = stream.handler->OnListen(call->arguments(), std::move(sink));
      reply.Send(EncodeAnswer(codec, error.get()).get());
    } else if (method == "cancel") {
      if (!stream.listenActive) {
        reply.Send(codec.EncodeErrorEnvelope("error", "No active stream to cancel").get());
        return;
      }
      // Cleared first, so a handler that throws still leaves the stream idle.
      stream.listenActive = false;
      auto error = stream.handler->OnCancel(call->arguments());
      reply.Send(EncodeAnswer(codec, error.get()).get());
    } else {
      reply.Send(nullptr);
    }
  }

  // A repeated "listen" ends the old stream first; its failure is only
  // reported, because the new listen goes ahead regardless.
  static void CancelSupersededStream(StreamState& stream) {
    try {
      auto error = stream.handler->OnCancel(nullptr);
      if (error) {
        char detailsAddress[32];
        std::snprintf(detailsAddress, sizeof(detailsAddress), "%p",
                      static_cast<const void*>(error->error_details.get()));
        internal::WriteDiagnosticLine("Failed to cancel existing stream: " + error->error_code + ", " +
                                      error->error_message + ", " + detailsAddress);
      }
    } catch (const std::exception& exception) {
      internal::WriteDiagnosticLine("Failed to cancel existing stream: " + std::string(exception.what()));
    }
  }

  static std::unique_ptr<std::vector<uint8_t>> EncodeAnswer(const MethodCodec<T>& codec,
                                                           const StreamHandlerError<T>* error) {
    if (error == nullptr) return codec.EncodeSuccessEnvelope();
    return codec.EncodeErrorEnvelope(error->error_code, error->error_message, error->error_details.get());
  }

  BinaryMessenger* messenger_;
  std::string name_;
  const MethodCodec<T>* codec_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_EVENT_CHANNEL_H_
