#include "fake_embedding.h"

namespace fake_embedding {
namespace {

// Handles are opaque to the binding; these are addresses of distinct bytes.
char messengerTag;
char textureRegistrarTag;
char responseTags[4096];
size_t nextResponse = 0;

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
  s.setCallbackCalls.clear();
  s.sent.clear();
  s.sendWithReplyAccepts = true;
  s.responses.clear();
  s.available = true;
  s.messengerRefs = 0;
  s.locks = 0;
  s.unlocks = 0;
  s.textures.clear();
  s.unregistrations.clear();
}

FlutterDesktopMessengerRef Messenger() { return reinterpret_cast<FlutterDesktopMessengerRef>(&messengerTag); }

FlutterDesktopTextureRegistrarRef TextureRegistrarRef() {
  return reinterpret_cast<FlutterDesktopTextureRegistrarRef>(&textureRegistrarTag);
}

const FlutterDesktopMessageResponseHandle* Deliver(const std::string& channel, const Bytes& message, bool nullMessage) {
  InstalledCallback installed;
  {
    std::lock_guard<std::mutex> lock(state().mutex);
    installed = state().callbacks.at(channel);
  }
  const auto* handle =
      reinterpret_cast<const FlutterDesktopMessageResponseHandle*>(&responseTags[nextResponse++ % 4096]);
  FlutterDesktopMessage record = {};
  record.struct_size = sizeof(record);
  record.channel = channel.c_str();
  record.message = nullMessage ? nullptr : message.data();
  record.message_size = nullMessage ? 0 : message.size();
  record.response_handle = handle;
  installed.callback(Messenger(), &record, installed.userData);
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
                                 size_t messageSize) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().sent.push_back({channel, fake_embedding::Copy(message, messageSize), nullptr, nullptr});
  return true;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef, const char* channel, const uint8_t* message,
                                          size_t messageSize, FlutterDesktopBinaryReply reply, void* userData) {
  std::lock_guard<std::mutex> lock(state().mutex);
  if (!state().sendWithReplyAccepts) return false;
  state().sent.push_back({channel, fake_embedding::Copy(message, messageSize), reply, userData});
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef, const FlutterDesktopMessageResponseHandle* handle,
                                         const uint8_t* data, size_t dataLength) {
  // Called with the messenger lock held, which is state().mutex here.
  state().responses.push_back({handle, fake_embedding::Copy(data, dataLength)});
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* userData) {
  std::lock_guard<std::mutex> lock(state().mutex);
  state().setCallbackCalls.push_back({channel, callback != nullptr, userData != nullptr});
  if (callback == nullptr) {
    state().callbacks.erase(channel);
  } else {
    state().callbacks[channel] = {callback, userData};
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  std::lock_guard<std::mutex> lock(state().mutex);
  ++state().messengerRefs;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef) {
  std::lock_guard<std::mutex> lock(state().mutex);
  --state().messengerRefs;
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
  const int64_t id = state().nextTextureId++;
  state().textures.push_back({id, *info});
  return id;
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(FlutterDesktopTextureRegistrarRef, int64_t textureId,
                                                             void (*callback)(void* userData), void* userData) {
  state().unregistrations.push_back({textureId, callback, userData});
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(FlutterDesktopTextureRegistrarRef,
                                                                     int64_t textureId) {
  return textureId >= 100;
}

}  // extern "C"
