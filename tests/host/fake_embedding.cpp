#include "fake_embedding.h"

namespace fake_embedding {
namespace {

// Handles are opaque to the binding; these are addresses of distinct bytes.
char messenger_tag;
char texture_registrar_tag;
char response_tags[4096];
size_t next_response = 0;

Payload Copy(const uint8_t* data, size_t size) {
  if (data == nullptr) return std::nullopt;
  return Bytes(data, data + size);
}

}  // namespace

State& state() {
  static State instance;
  return instance;
}

void Reset() {
  State& s = state();
  std::lock_guard<std::mutex> lock(s.mutex);
  s.callbacks.clear();
  s.set_callback_calls.clear();
  s.sent.clear();
  s.send_with_reply_accepts = true;
  s.responses.clear();
  s.available = true;
  s.messenger_refs = 0;
  s.locks = 0;
  s.unlocks = 0;
  s.textures.clear();
  s.unregistrations.clear();
}

FlutterDesktopMessengerRef Messenger() { return reinterpret_cast<FlutterDesktopMessengerRef>(&messenger_tag); }

FlutterDesktopTextureRegistrarRef TextureRegistrarRef() {
  return reinterpret_cast<FlutterDesktopTextureRegistrarRef>(&texture_registrar_tag);
}

const FlutterDesktopMessageResponseHandle* Deliver(const std::string& channel, const Bytes& message,
                                                   bool null_message) {
  InstalledCallback installed;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    installed = state().callbacks.at(channel);
  }
  const auto* handle =
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(&response_tags[next_response++ % 4096]);
  FlutterDesktopMessage record = {};
  record.struct_size = sizeof(record);
  record.channel = channel.c_str();
  record.message = null_message ? nullptr : message.data();
  record.message_size = null_message ? 0 : message.size();
  record.response_handle = handle;
  installed.callback(Messenger(), &record, installed.user_data);
  return handle;
}

std::vector<Payload> ResponsesTo(const FlutterDesktopMessageResponseHandle* handle) {
  std::lock_guard<std::mutex> lock(state().mutex);
  std::vector<Payload> answers;
  for (const Response& response : state().responses) {
    if (response.handle == handle) answers.push_back(response.payload);
  }
  return answers;
}

}  // namespace fake_embedding

using fake_embedding::state;

extern "C" {

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef, const char* channel, const uint8_t* message,
                                 size_t message_size) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().sent.push_back({channel, fake_embedding::Copy(message, message_size), nullptr, nullptr});
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef, const char* channel, const uint8_t* message,
                                          size_t message_size, FlutterDesktopBinaryReply reply, void* user_data) {
  std::lock_guard<std::mutex> lock(state().mutex);
  if (!state().send_with_reply_accepts) return false;
  state().sent.push_back({channel, fake_embedding::Copy(message, message_size), reply, user_data});
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef, const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t data_length) {
  // Called with the messenger lock held, which is state().mutex here.
  state().responses.push_back({handle, fake_embedding::Copy(data, data_length)});
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().set_callback_calls.push_back({channel, callback != nullptr, user_data != nullptr});
  if (callback == nullptr) {
    state().callbacks.erase(channel);
  } else {
    state().callbacks[channel] = {callback, user_data};
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  std::lock_guard<std::mutex> lock(state().mutex);
  ++state().messenger_refs;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef) {
  std::lock_guard<std::mutex> lock(state().mutex);
  --state().messenger_refs;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef) { return state().available; }

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  state().mutex.lock();
  ++state().locks;
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef) {
  ++state().unlocks;
  state().mutex.unlock();
}

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(FlutterDesktopTextureRegistrarRef,
                                                              const FlutterDesktopTextureInfo* info) {
  const int64_t id = state().next_texture_id++;
  state().textures.push_back({id, *info});
  return id;
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(FlutterDesktopTextureRegistrarRef, int64_t texture_id,
                                                             void (*callback)(void* user_data), void* user_data) {
  state().unregistrations.push_back({texture_id, callback, user_data});
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(FlutterDesktopTextureRegistrarRef,
                                                                     int64_t texture_id) {
  return texture_id >= 100;
}

}  // extern "C"
