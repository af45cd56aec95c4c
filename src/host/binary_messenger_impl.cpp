#include "host/binary_messenger_impl.h"

#include <atomic>
#include <exception>
#include <utility>

#include "host/diagnostics.h"

namespace flutter {
namespace {

using SharedMessenger = std::shared_ptr<FlutterDesktopMessenger>;

// Retain: takes a new reference on the messenger, dropped with the last copy.
SharedMessenger RetainMessenger(FlutterDesktopMessengerRef messenger) {
  return SharedMessenger(FlutterDesktopMessengerAddRef(messenger), [](FlutterDesktopMessengerRef held) {
    if (held != nullptr) FlutterDesktopMessengerRelease(held);
  });
}

// The answer slot of one incoming message, shared by every copy of its
// BinaryReply. Any thread.
class ResponseSlot {
 public:
  ResponseSlot(SharedMessenger messenger, const FlutterDesktopMessageResponseHandle* handle)
      : messenger_(std::move(messenger)), handle_(handle) {}

  bool answered() const { return handle_.load() == nullptr; }

  void Respond(const uint8_t* data, size_t size) {
    FlutterDesktopMessengerRef messenger = messenger_.get();
    FlutterDesktopMessengerRef locked = FlutterDesktopMessengerLock(messenger);
    // After engine shutdown the answer has nowhere to go.
    if (FlutterDesktopMessengerIsAvailable(messenger)) {
      const FlutterDesktopMessageResponseHandle* handle = handle_.exchange(nullptr);
      if (handle == nullptr) {
        internal::WriteDiagnosticLine("Error: Response can be set only once. Ignoring duplicate response.");
      } else {
        FlutterDesktopMessengerSendResponse(messenger, handle, data, size);
      }
    }
    if (locked != nullptr) FlutterDesktopMessengerUnlock(locked);
  }

 private:
  SharedMessenger messenger_;
  std::atomic<const FlutterDesktopMessageResponseHandle*> handle_;
};

// The embedding's message callback; platform thread.
void ForwardMessage(FlutterDesktopMessengerRef messenger, const FlutterDesktopMessage* message, void* userData) {
  std::shared_ptr<ResponseSlot> slot;
  try {
    // Copied so that the handler outlives its own replacement or removal.
    std::shared_ptr<BinaryMessageHandler> handler = *static_cast<std::shared_ptr<BinaryMessageHandler>*>(userData);
    slot = std::make_shared<ResponseSlot>(RetainMessenger(messenger), message->response_handle);
    BinaryReply reply = [slot](const uint8_t* data, size_t size) { slot->Respond(data, size); };
    (*handler)(message->message, message->message_size, std::move(reply));
    return;
  } catch (const std::exception& error) {
    internal::WriteDiagnosticLine(std::string("Exception from a message handler on channel ") +
                                  (message->channel ? message->channel : "") + ": " + error.what());
  } catch (...) {
    internal::WriteDiagnosticLine(std::string("Unknown exception from a message handler on channel ") +
                                  (message->channel ? message->channel : ""));
  }
  if (slot && !slot->answered()) slot->Respond(nullptr, 0);
}

// The embedding's reply callback for Send; owns the heap copy of the reply.
void ForwardReply(const uint8_t* data, size_t dataSize, void* userData) {
  std::unique_ptr<BinaryReply> reply(static_cast<BinaryReply*>(userData));  // Adopt
  try {
    (*reply)(data, dataSize);
  } catch (const std::exception& error) {
    internal::WriteDiagnosticLine(std::string("Exception from a reply handler: ") + error.what());
  } catch (...) {
    internal::WriteDiagnosticLine("Unknown exception from a reply handler");
  }
}

}  // namespace

BinaryMessengerImpl::BinaryMessengerImpl(FlutterDesktopMessengerRef coreMessenger) : messenger_(coreMessenger) {}

BinaryMessengerImpl::~BinaryMessengerImpl() = default;

void BinaryMessengerImpl::Send(const std::string& channel, const uint8_t* message, size_t messageSize,
                               BinaryReply reply) const {
  if (!reply) {
    FlutterDesktopMessengerSend(messenger_, channel.c_str(), message, messageSize);
    return;
  }
  auto holder = std::make_unique<BinaryReply>(std::move(reply));
  if (FlutterDesktopMessengerSendWithReply(messenger_, channel.c_str(), message, messageSize, &ForwardReply,
                                           holder.get())) {
    // The embedding now owns it and hands it back to ForwardReply.
    static_cast<void>(holder.release());
  }
}

void BinaryMessengerImpl::SetMessageHandler(const std::string& channel, BinaryMessageHandler handler) {
  if (!handler) {
    handlers_.erase(channel);
    FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), nullptr, nullptr);
    return;
  }
  std::shared_ptr<BinaryMessageHandler>& slot = handlers_[channel];
  slot = std::make_shared<BinaryMessageHandler>(std::move(handler));
  FlutterDesktopMessengerSetCallback(messenger_, channel.c_str(), &ForwardMessage, &slot);
}

}  // namespace flutter
