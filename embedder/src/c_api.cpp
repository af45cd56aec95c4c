// The embedding's C functions, as the plugin calls them. Each one checks
// its handle and, where the embedding demands it, its thread: misuse is
// reported on stderr and answered harmlessly, never with a crash.
#include <cstdio>

#include "engine_core.h"
#include "host/flutter_desktop.h"

using corvane::embedder::internal::EngineCore;

namespace {

bool ReportNull(const char* function, const void* handle) {
  if (handle != nullptr) return false;
  std::fprintf(stderr, "corvane embedder: %s called with a null handle\n", function);
  return true;
}

// The engine behind a messenger, or null once it has shut down. Holding
// `lock` keeps the answer true until it is released.
EngineCore* LiveEngine(FlutterDesktopMessengerRef messenger, std::unique_lock<std::recursive_mutex>* lock) {
  *lock = std::unique_lock<std::recursive_mutex>(messenger->engineLock);
  return messenger->engine;
}

void ReportShutDown(const char* function) {
  std::fprintf(stderr, "corvane embedder: %s called after the engine shut down\n", function);
}

}  // namespace

extern "C" {

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(FlutterDesktopPluginRegistrarRef registrar) {
  if (ReportNull(__func__, registrar)) return nullptr;
  registrar->engine->CheckPlatformThread(__func__);
  return registrar->engine->messenger();
}

FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  if (ReportNull(__func__, registrar)) return nullptr;
  registrar->engine->CheckPlatformThread(__func__);
  return registrar->engine->texture_registrar();
}

FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(FlutterDesktopPluginRegistrarRef registrar) {
  if (ReportNull(__func__, registrar)) return nullptr;
  registrar->engine->CheckPlatformThread(__func__);
  return registrar->engine->view();
}

void FlutterDesktopPluginRegistrarSetDestructionHandler(FlutterDesktopPluginRegistrarRef registrar,
                                                        FlutterDesktopOnPluginRegistrarDestroyed callback) {
  if (ReportNull(__func__, registrar)) return;
  // The handler is read on the platform thread: set from elsewhere it would
  // race with shutdown.
  if (!registrar->engine->CheckPlatformThread(__func__)) return;
  registrar->engine->SetDestructionHandler(callback);
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
                                 size_t messageSize) {
  return FlutterDesktopMessengerSendWithReply(messenger, channel, message, messageSize, nullptr, nullptr);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t messageSize, FlutterDesktopBinaryReply reply,
                                          void* userData) {
  if (ReportNull(__func__, messenger) || ReportNull(__func__, channel)) return false;
  std::unique_lock<std::recursive_mutex> lock;
  EngineCore* engine = LiveEngine(messenger, &lock);
  if (engine == nullptr) return false;
  engine->CheckPlatformThread(__func__);
  if (message == nullptr && messageSize > 0) {
    std::fprintf(stderr, "corvane embedder: %s: %zu bytes announced without data\n", __func__, messageSize);
    return false;
  }
  engine->SendToDart(channel, message, messageSize, reply, userData);
  return true;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
                                         size_t dataLength) {
  if (ReportNull(__func__, messenger)) return;
  std::unique_lock<std::recursive_mutex> lock;
  EngineCore* engine = LiveEngine(messenger, &lock);
  if (engine == nullptr) return;  // the engine is gone; nobody waits for it
  if (data == nullptr && dataLength > 0) {
    std::fprintf(stderr, "corvane embedder: %s: %zu bytes announced without data; answering empty\n", __func__,
                 dataLength);
    dataLength = 0;
  }
  engine->router().Answer(handle, data, dataLength);
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* userData) {
  if (ReportNull(__func__, messenger) || ReportNull(__func__, channel)) return;
  std::unique_lock<std::recursive_mutex> lock;
  EngineCore* engine = LiveEngine(messenger, &lock);
  if (engine == nullptr) {
    if (callback != nullptr) ReportShutDown(__func__);
    return;
  }
  engine->CheckPlatformThread(__func__);
  engine->router().SetPluginCallback(channel, callback, userData);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return nullptr;
  messenger->references.fetch_add(1, std::memory_order_relaxed);
  return messenger;
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return;
  const int before = messenger->references.fetch_sub(1, std::memory_order_acq_rel);
  if (before == 1) {
    delete messenger;
  } else if (before <= 0) {
    std::fprintf(stderr, "corvane embedder: messenger released more often than referenced\n");
  }
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return false;
  std::unique_lock<std::recursive_mutex> lock;
  return LiveEngine(messenger, &lock) != nullptr;
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return nullptr;
  messenger->engineLock.lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return;
  messenger->engineLock.unlock();
}

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                              const FlutterDesktopTextureInfo* info) {
  if (ReportNull(__func__, registrar)) return -1;
  registrar->engine->CheckPlatformThread(__func__);
  return registrar->engine->textures().Register(info);
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                             int64_t textureId, void (*callback)(void* userData),
                                                             void* userData) {
  if (ReportNull(__func__, registrar)) return;
  registrar->engine->CheckPlatformThread(__func__);
  registrar->engine->textures().Unregister(textureId, callback, userData);
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(FlutterDesktopTextureRegistrarRef registrar,
                                                                     int64_t textureId) {
  if (ReportNull(__func__, registrar)) return false;
  return registrar->engine->textures().MarkFrameAvailable(textureId);
}

}  // extern "C"
