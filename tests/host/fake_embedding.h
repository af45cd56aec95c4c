// A fake embedding for the channel tests: this test binary
// defines the FlutterDesktop* functions itself, records what the binding
// calls, and lets a test deliver messages as the engine would.
#ifndef CORVANE_TESTS_HOST_FAKE_EMBEDDING_H_
#define CORVANE_TESTS_HOST_FAKE_EMBEDDING_H_

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "host/flutter_desktop.h"

namespace fake_embedding {

using Bytes = std::vector<uint8_t>;

// Bytes as sent; nullopt for a null pointer (the empty answer).
using Payload = std::optional<Bytes>;

struct InstalledCallback {
  FlutterDesktopMessageCallback callback = nullptr;
  void* userData = nullptr;
};

struct SetCallbackCall {
  std::string channel;
  bool hadCallback;
  bool hadUserData;
};

struct SentMessage {
  std::string channel;
  Payload payload;
  FlutterDesktopBinaryReply reply = nullptr;
  void* replyUserData = nullptr;
};

struct Response {
  const FlutterDesktopMessageResponseHandle* handle;
  Payload payload;
};

struct TextureRegistration {
  int64_t id;
  FlutterDesktopTextureInfo info;
};

struct Unregistration {
  int64_t id;
  void (*callback)(void*);
  void* userData;
};

// Everything the fake has seen. Guarded by `mutex` for replies from other
// threads; tests read it after those threads are joined.
struct State {
  std::mutex mutex;
  std::map<std::string, InstalledCallback> callbacks;
  std::vector<SetCallbackCall> setCallbackCalls;
  std::vector<SentMessage> sent;
  bool sendWithReplyAccepts = true;
  std::vector<Response> responses;
  bool available = true;
  int messengerRefs = 0;  // AddRef minus Release
  int locks = 0;
  int unlocks = 0;

  int64_t nextTextureId = 100;
  std::vector<TextureRegistration> textures;
  std::vector<Unregistration> unregistrations;
};

State& state();
// Forgets everything recorded (callbacks included).
void Reset();

FlutterDesktopMessengerRef Messenger();
FlutterDesktopTextureRegistrarRef TextureRegistrarRef();

// Delivers `message` on `channel` through the installed callback, as the
// engine does on its platform thread; returns the response handle it used.
// `nullMessage` delivers a null pointer with length 0.
const FlutterDesktopMessageResponseHandle* Deliver(const std::string& channel, const Bytes& message,
                                                   bool nullMessage = false);

// Answers recorded for `handle`, in order.
std::vector<Payload> ResponsesTo(const FlutterDesktopMessageResponseHandle* handle);

}  // namespace fake_embedding

#endif  // CORVANE_TESTS_HOST_FAKE_EMBEDDING_H_
