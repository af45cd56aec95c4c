// A fake flutter_windows.dll: the embedding functions the plugin imports
// (exported through src/plugin/windows/flutter_windows.def, the list the
// plugin's import library is made from) and the test's control functions
// (fake_flutter_host.h), over one in-process engine.
#include <windows.h>

#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "fake_flutter_host.h"

struct FlutterDesktopPluginRegistrar {
  FakeFlutterHost* host;
};
struct FlutterDesktopMessenger {
  FakeFlutterHost* host;
};
struct FlutterDesktopTextureRegistrar {
  FakeFlutterHost* host;
};
// One per message awaiting its answer; its address is the response handle.
struct FlutterDesktopMessageResponseHandle {
  FakeFlutterHostReply reply;
  void* user_data;
};

struct FakeFlutterHost {
  DWORD platformThread = GetCurrentThreadId();
  FlutterDesktopPluginRegistrar registrar{this};
  FlutterDesktopMessenger messenger{this};
  FlutterDesktopTextureRegistrar textureRegistrar{this};

  // Held by FlutterDesktopMessengerLock: the engine stays up meanwhile.
  std::recursive_mutex engineLock;
  bool available = true;  // under engineLock and mutex

  // Guards everything below; never held while calling out.
  std::mutex mutex;
  bool registrarAlive = true;
  FlutterDesktopOnPluginRegistrarDestroyed destructionHandler = nullptr;
  struct Handler {
    FlutterDesktopMessageCallback callback;
    void* user_data;
  };
  std::map<std::string, Handler> handlers;
  std::map<const FlutterDesktopMessageResponseHandle*, std::unique_ptr<FlutterDesktopMessageResponseHandle>> awaiting;
  std::map<int64_t, FlutterDesktopTextureInfo> textures;
  int64_t nextTextureId = 1;
  std::deque<std::function<void()>> pending;
  FakeFlutterHostListener listener = nullptr;
  void* listenerUserData = nullptr;
  int messengerReferences = 0;
  size_t misuse = 0;
};

namespace {

void ReportMisuse(FakeFlutterHost* host, const char* what) {
  std::fprintf(stderr, "fake flutter_windows: %s\n", what);
  std::lock_guard<std::mutex> lock(host->mutex);
  ++host->misuse;
}

// The embedding demands the platform thread for most functions.
bool OnPlatformThread(FakeFlutterHost* host, const char* function) {
  if (GetCurrentThreadId() == host->platformThread) return true;
  ReportMisuse(host, (std::string(function) + " called off the platform thread").c_str());
  return false;
}

void Defer(FakeFlutterHost* host, std::function<void()> work) {
  std::lock_guard<std::mutex> lock(host->mutex);
  host->pending.push_back(std::move(work));
}

}  // namespace

extern "C" {

// ---- The embedding, as the plugin calls it ----

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(FlutterDesktopPluginRegistrarRef registrar) {
  OnPlatformThread(registrar->host, __func__);
  return &registrar->host->messenger;
}

FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  OnPlatformThread(registrar->host, __func__);
  return &registrar->host->textureRegistrar;
}

// Headless: no view.
FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(FlutterDesktopPluginRegistrarRef registrar) {
  OnPlatformThread(registrar->host, __func__);
  return nullptr;
}

void FlutterDesktopPluginRegistrarSetDestructionHandler(FlutterDesktopPluginRegistrarRef registrar,
                                                        FlutterDesktopOnPluginRegistrarDestroyed callback) {
  FakeFlutterHost* host = registrar->host;
  if (!OnPlatformThread(host, __func__)) return;
  std::lock_guard<std::mutex> lock(host->mutex);
  host->destructionHandler = callback;
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t message_size,
                                          FlutterDesktopBinaryReply reply, void* user_data) {
  FakeFlutterHost* host = messenger->host;
  if (!OnPlatformThread(host, __func__)) return false;
  FakeFlutterHostListener listener;
  void* listenerUserData;
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    if (!host->available) return false;
    listener = host->listener;
    listenerUserData = host->listenerUserData;
  }
  if (listener != nullptr) listener(channel, message, message_size, listenerUserData);
  // Dart has nobody listening for the answer: it is empty, and it comes
  // later, never inside this call.
  if (reply != nullptr) Defer(host, [reply, user_data] { reply(nullptr, 0, user_data); });
  return true;
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
                                 size_t message_size) {
  return FlutterDesktopMessengerSendWithReply(messenger, channel, message, message_size, nullptr, nullptr);
}

// Any thread.
void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
                                         size_t data_length) {
  FakeFlutterHost* host = messenger->host;
  std::unique_ptr<FlutterDesktopMessageResponseHandle> answered;
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    const auto found = host->awaiting.find(handle);
    if (found != host->awaiting.end()) {
      answered = std::move(found->second);
      host->awaiting.erase(found);
    }
  }
  if (!answered) {
    ReportMisuse(host, "FlutterDesktopMessengerSendResponse with a handle already answered or never given");
    return;
  }
  answered->reply(data, data_length, answered->user_data);
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* user_data) {
  FakeFlutterHost* host = messenger->host;
  if (!OnPlatformThread(host, __func__)) return;
  std::lock_guard<std::mutex> lock(host->mutex);
  if (callback == nullptr) {
    host->handlers.erase(channel);
  } else {
    host->handlers[channel] = {callback, user_data};
  }
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  std::lock_guard<std::mutex> lock(messenger->host->mutex);
  ++messenger->host->messengerReferences;
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  std::lock_guard<std::mutex> lock(messenger->host->mutex);
  --messenger->host->messengerReferences;
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  std::lock_guard<std::mutex> lock(messenger->host->mutex);
  return messenger->host->available;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  messenger->host->engineLock.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) { messenger->host->engineLock.unlock(); }

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                              const FlutterDesktopTextureInfo* info) {
  FakeFlutterHost* host = registrar->host;
  if (!OnPlatformThread(host, __func__)) return -1;
  if (info == nullptr || (info->type == kFlutterDesktopGpuSurfaceTexture &&
                          info->gpu_surface_config.struct_size != sizeof(FlutterDesktopGpuSurfaceTextureConfig))) {
    ReportMisuse(host, "FlutterDesktopTextureRegistrarRegisterExternalTexture with a malformed record");
    return -1;
  }
  std::lock_guard<std::mutex> lock(host->mutex);
  const int64_t id = host->nextTextureId++;
  host->textures[id] = *info;
  return id;
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                             int64_t texture_id, void (*callback)(void* user_data),
                                                             void* user_data) {
  FakeFlutterHost* host = registrar->host;
  if (!OnPlatformThread(host, __func__)) return;
  size_t erased;
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    erased = host->textures.erase(texture_id);
  }
  if (erased == 0) ReportMisuse(host, "FlutterDesktopTextureRegistrarUnregisterExternalTexture of an unknown id");
  // The completion runs once, later, also for an unknown id.
  if (callback != nullptr) Defer(host, [callback, user_data] { callback(user_data); });
}

// Engine threads.
bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(FlutterDesktopTextureRegistrarRef registrar,
                                                                     int64_t texture_id) {
  std::lock_guard<std::mutex> lock(registrar->host->mutex);
  return registrar->host->textures.count(texture_id) != 0;
}

// ---- The test's side ----

// The caller owns the host until FakeFlutterHostDestroy.
FakeFlutterHost* FakeFlutterHostCreate(void) { return std::make_unique<FakeFlutterHost>().release(); }

void FakeFlutterHostDestroy(FakeFlutterHost* host) {
  if (host == nullptr) return;
  std::unique_ptr<FakeFlutterHost> owned(host);  // Adopt
  FakeFlutterHostDestroyRegistrar(host);
  FakeFlutterHostRunPending(host);
  {
    std::lock_guard<std::recursive_mutex> engine(host->engineLock);
    std::lock_guard<std::mutex> lock(host->mutex);
    host->available = false;
  }
  // Completions still come at shutdown.
  FakeFlutterHostRunPending(host);
  bool leftBehind;
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    leftBehind = host->messengerReferences != 0 || !host->handlers.empty();
  }
  if (leftBehind) {
    ReportMisuse(host, "engine shut down while the plugin still holds messenger references or handlers");
    // Left allocated: what the plugin still holds points into it.
    static_cast<void>(owned.release());
  }
}

FlutterDesktopPluginRegistrarRef FakeFlutterHostRegistrar(FakeFlutterHost* host) { return &host->registrar; }

void FakeFlutterHostDestroyRegistrar(FakeFlutterHost* host) {
  if (!OnPlatformThread(host, __func__)) return;
  FlutterDesktopOnPluginRegistrarDestroyed handler;
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    if (!host->registrarAlive) return;
    host->registrarAlive = false;
    handler = host->destructionHandler;
  }
  if (handler != nullptr) handler(&host->registrar);
}

bool FakeFlutterHostSend(FakeFlutterHost* host, const char* channel, const uint8_t* data, size_t size,
                         FakeFlutterHostReply reply, void* user_data) {
  if (!OnPlatformThread(host, __func__)) return false;
  FakeFlutterHost::Handler handler;
  const FlutterDesktopMessageResponseHandle* handle;
  {
    std::lock_guard<std::mutex> lock(host->mutex);
    const auto found = host->handlers.find(channel);
    if (found == host->handlers.end()) return false;
    handler = found->second;
    auto awaiting = std::make_unique<FlutterDesktopMessageResponseHandle>(FlutterDesktopMessageResponseHandle{reply, user_data});
    handle = awaiting.get();
    host->awaiting.emplace(handle, std::move(awaiting));
  }
  FlutterDesktopMessage message = {};
  message.struct_size = sizeof message;
  message.channel = channel;
  message.message = data;
  message.message_size = size;
  message.response_handle = handle;
  handler.callback(&host->messenger, &message, handler.user_data);
  return true;
}

void FakeFlutterHostSetListener(FakeFlutterHost* host, FakeFlutterHostListener listener, void* user_data) {
  std::lock_guard<std::mutex> lock(host->mutex);
  host->listener = listener;
  host->listenerUserData = user_data;
}

size_t FakeFlutterHostRunPending(FakeFlutterHost* host) {
  if (!OnPlatformThread(host, __func__)) return 0;
  size_t ran = 0;
  for (;;) {
    std::function<void()> work;
    {
      std::lock_guard<std::mutex> lock(host->mutex);
      if (host->pending.empty()) return ran;
      work = std::move(host->pending.front());
      host->pending.pop_front();
    }
    work();
    ++ran;
  }
}

bool FakeFlutterHostHasHandler(FakeFlutterHost* host, const char* channel) {
  std::lock_guard<std::mutex> lock(host->mutex);
  return host->handlers.count(channel) != 0;
}

size_t FakeFlutterHostHandlerCount(FakeFlutterHost* host) {
  std::lock_guard<std::mutex> lock(host->mutex);
  return host->handlers.size();
}

size_t FakeFlutterHostTextureCount(FakeFlutterHost* host) {
  std::lock_guard<std::mutex> lock(host->mutex);
  return host->textures.size();
}

int FakeFlutterHostMessengerReferences(FakeFlutterHost* host) {
  std::lock_guard<std::mutex> lock(host->mutex);
  return host->messengerReferences;
}

size_t FakeFlutterHostMisuseCount(FakeFlutterHost* host) {
  std::lock_guard<std::mutex> lock(host->mutex);
  return host->misuse;
}

}  // extern "C"
