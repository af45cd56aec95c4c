#include "flutter_linux/messenger.h"

#include <utility>

#include "host/diagnostics.h"

namespace corvane::flutter_linux {

// What the embedding holds for one installed handler. A retired handler (one
// we replaced or removed) has no callback.
struct ChannelHandler {
  std::shared_ptr<FlutterDesktopMessenger> messenger;
  std::string channel;
  FlutterDesktopMessageCallback callback = nullptr;
  void* userData = nullptr;
};

namespace {

void Report(const std::string& line) { flutter::internal::WriteDiagnosticLine(line); }

}  // namespace
}  // namespace corvane::flutter_linux

using corvane::flutter_linux::ChannelHandler;
using corvane::flutter_linux::MainThread;
using corvane::flutter_linux::Report;
using corvane::platform::ErrorPtr;
using corvane::platform::RetainObject;

FlutterDesktopMessengerRef FlutterDesktopMessenger::Create(FlBinaryMessenger* messenger,
                                                           std::shared_ptr<const MainThread> mainThread,
                                                           std::string lifelineChannel) {
  // Owned through the reference count from here: Release deletes it.
  return std::unique_ptr<FlutterDesktopMessenger>(
             new FlutterDesktopMessenger(messenger, std::move(mainThread), std::move(lifelineChannel)))
      .release();
}

FlutterDesktopMessenger::FlutterDesktopMessenger(FlBinaryMessenger* messenger,
                                                 std::shared_ptr<const MainThread> mainThread,
                                                 std::string lifelineChannel)
    : messenger_(RetainObject(messenger)), mainThread_(std::move(mainThread)), lifeline_(std::move(lifelineChannel)) {}

FlutterDesktopMessenger::~FlutterDesktopMessenger() {
  // The last release may come from inside the embedding's disposal (a
  // handler's destroy notification) or from any thread: the embedding's
  // objects are let go on a later main-loop iteration.
  std::lock_guard<std::mutex> lock(responsesMutex_);
  for (auto& entry : responses_) mainThread_->ReleaseLater(std::move(entry.second));
  mainThread_->ReleaseLater(std::move(messenger_));
}

FlutterDesktopMessengerRef FlutterDesktopMessenger::AddRef() {
  references_.fetch_add(1, std::memory_order_relaxed);
  return this;
}

void FlutterDesktopMessenger::Release() {
  if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    std::unique_ptr<FlutterDesktopMessenger> last(this);  // Adopt: the count's own reference
  }
}

std::shared_ptr<FlutterDesktopMessenger> FlutterDesktopMessenger::Hold() {
  return std::shared_ptr<FlutterDesktopMessenger>(AddRef(), [](FlutterDesktopMessenger* held) { held->Release(); });
}

bool FlutterDesktopMessenger::Send(const char* channel, const uint8_t* message, size_t size) {
  if (!available_.load()) return false;
  if (message == nullptr && size > 0) {
    Report(std::string("Error: a message of ") + std::to_string(size) + " bytes without data; not sent.");
    return false;
  }
  // An empty message is the null message (an event stream's end), which
  // flutter_linux takes as no bytes at all.
  Bytes bytes(size > 0 ? g_bytes_new(message, size) : nullptr, [](GBytes* held) {  // Adopt; copies
    if (held != nullptr) g_bytes_unref(held);
  });
  if (mainThread_->IsCurrent()) {
    SendNow(channel, bytes);
  } else {
    mainThread_->Post([self = Hold(), name = std::string(channel), bytes] { self->SendNow(name.c_str(), bytes); });
  }
  return true;
}

void FlutterDesktopMessenger::SendNow(const char* channel, const Bytes& message) {
  // A send posted before the engine went is dropped.
  if (!available_.load()) return;
  fl_binary_messenger_send_on_channel(messenger_.get(), channel, message.get(), nullptr, nullptr, nullptr);
}

void FlutterDesktopMessenger::SendResponse(const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
                                           size_t size) {
  corvane::platform::GObjectPtr<FlBinaryMessengerResponseHandle> response;
  {
    std::lock_guard<std::mutex> lock(responsesMutex_);
    auto found = responses_.find(handle);
    if (found != responses_.end()) {
      response = std::move(found->second);
      responses_.erase(found);
    }
  }
  if (!response) {
    Report("Error: response to a message that is unknown or already answered; ignoring it.");
    return;
  }
  if (!available_.load()) return;
  // No bytes is the not-implemented answer, which is no GBytes at all.
  corvane::platform::UniqueHandle<GBytes, g_bytes_unref> bytes(  // Adopt; copies
      size > 0 && data != nullptr ? g_bytes_new(data, size) : nullptr);
  GError* raw = nullptr;
  if (!fl_binary_messenger_send_response(messenger_.get(), response.get(), bytes.get(), &raw)) {
    ErrorPtr error(raw);  // Adopt
    Report(std::string("Error: sending a response failed: ") + (error ? error->message : "no reason given"));
  }
}

void FlutterDesktopMessenger::SetCallback(const char* channel, FlutterDesktopMessageCallback callback,
                                          void* userData) {
  if (!mainThread_->IsCurrent()) {
    mainThread_->Post([self = Hold(), name = std::string(channel), callback, userData] {
      self->SetCallback(name.c_str(), callback, userData);
    });
    return;
  }
  Retire(channel);
  // Once the engine has gone the messenger is not called again; a handler
  // removed now has already been retired above, so a late message finds no
  // callback to run.
  if (!available_.load()) return;
  if (callback == nullptr) {
    fl_binary_messenger_set_message_handler_on_channel(messenger_.get(), channel, nullptr, nullptr, nullptr);
    return;
  }
  auto handler = std::make_unique<ChannelHandler>(ChannelHandler{Hold(), channel, callback, userData});
  handlers_[channel] = handler.get();
  // The embedding owns the handler from here and frees it through
  // OnHandlerDestroyed.
  fl_binary_messenger_set_message_handler_on_channel(messenger_.get(), channel, &OnMessage, handler.release(),
                                                     &OnHandlerDestroyed);
}

void FlutterDesktopMessenger::Retire(const std::string& channel) {
  auto found = handlers_.find(channel);
  if (found == handlers_.end()) return;
  found->second->callback = nullptr;
  found->second->userData = nullptr;
  handlers_.erase(found);
}

void FlutterDesktopMessenger::OnMessage(FlBinaryMessenger*, const gchar* channel, GBytes* message,
                                        FlBinaryMessengerResponseHandle* response, gpointer handler) {
  const auto& installed = *static_cast<ChannelHandler*>(handler);
  installed.messenger->Deliver(installed, channel, message, response);
}

void FlutterDesktopMessenger::Deliver(const ChannelHandler& handler, const gchar* channel, GBytes* message,
                                      FlBinaryMessengerResponseHandle* response) {
  // Copied first: the callback may replace its own handler, and the
  // embedding then frees `handler` before the callback returns.
  const FlutterDesktopMessageCallback callback = handler.callback;
  void* const userData = handler.userData;
  if (callback == nullptr || !available_.load()) return;
  const std::shared_ptr<FlutterDesktopMessenger> self = Hold();
  const auto* key = reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(response);
  {
    // Retain: the answer may come later, from another thread.
    std::lock_guard<std::mutex> lock(responsesMutex_);
    responses_[key] = RetainObject(response);
  }
  gsize size = 0;
  const auto* bytes = message != nullptr ? static_cast<const uint8_t*>(g_bytes_get_data(message, &size)) : nullptr;
  const FlutterDesktopMessage record{sizeof(FlutterDesktopMessage), channel, bytes, size, key};
  callback(this, &record, userData);
}

void FlutterDesktopMessenger::OnHandlerDestroyed(gpointer handler) {
  std::unique_ptr<ChannelHandler> dropped(static_cast<ChannelHandler*>(handler));  // Adopt
  // A retired handler was replaced or removed by us; any other the
  // embedding dropped on its own.
  if (dropped->callback != nullptr) dropped->messenger->HandlerDropped(*dropped);
}

void FlutterDesktopMessenger::HandlerDropped(const ChannelHandler& handler) {
  auto found = handlers_.find(handler.channel);
  if (found != handlers_.end() && found->second == &handler) handlers_.erase(found);
  if (handler.channel != lifeline_) return;
  {
    std::lock_guard<std::recursive_mutex> lock(engineLock_);
    available_.store(false);
  }
  std::function<void()> gone = std::move(engineGone_);
  engineGone_ = nullptr;
  if (gone) gone();
}
