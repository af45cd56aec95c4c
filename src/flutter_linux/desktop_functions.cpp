// The embedding's C interface (host/flutter_desktop.h) that the plugin core
// calls, defined inside the plugin library over flutter_linux. Hidden: the
// library exports its entry point alone.
#include <string>

#include "flutter_linux/messenger.h"
#include "flutter_linux/registration.h"
#include "flutter_linux/texture_registrar.h"
#include "host/diagnostics.h"
#include "host/flutter_desktop.h"

namespace {

bool ReportNull(const char* function, const void* handle) {
  if (handle != nullptr) return false;
  flutter::internal::WriteDiagnosticLine(std::string(function) + " called with a null handle");
  return true;
}

}  // namespace

extern "C" {

FlutterDesktopMessengerRef FlutterDesktopPluginRegistrarGetMessenger(FlutterDesktopPluginRegistrarRef registrar) {
  if (ReportNull(__func__, registrar)) return nullptr;
  return registrar->messenger();
}

FlutterDesktopTextureRegistrarRef FlutterDesktopRegistrarGetTextureRegistrar(
    FlutterDesktopPluginRegistrarRef registrar) {
  if (ReportNull(__func__, registrar)) return nullptr;
  return registrar->textureRegistrar();
}

// The plugin draws into no view of its own.
FlutterDesktopViewRef FlutterDesktopPluginRegistrarGetView(FlutterDesktopPluginRegistrarRef) { return nullptr; }

void FlutterDesktopPluginRegistrarSetDestructionHandler(FlutterDesktopPluginRegistrarRef registrar,
                                                        FlutterDesktopOnPluginRegistrarDestroyed callback) {
  if (ReportNull(__func__, registrar)) return;
  registrar->SetDestructionHandler(callback);
}

bool FlutterDesktopMessengerSend(FlutterDesktopMessengerRef messenger, const char* channel, const uint8_t* message,
                                 size_t messageSize) {
  if (ReportNull(__func__, messenger) || ReportNull(__func__, channel)) return false;
  return messenger->Send(channel, message, messageSize);
}

bool FlutterDesktopMessengerSendWithReply(FlutterDesktopMessengerRef messenger, const char* channel,
                                          const uint8_t* message, size_t messageSize, FlutterDesktopBinaryReply reply,
                                          void*) {
  if (reply == nullptr) return FlutterDesktopMessengerSend(messenger, channel, message, messageSize);
  // The plugin only answers Dart and sends events; it never asks Dart for
  // an answer, so this binding takes no replies (false: the caller keeps
  // its reply).
  flutter::internal::WriteDiagnosticLine("Error: sending with a reply is not supported; nothing sent.");
  return false;
}

void FlutterDesktopMessengerSendResponse(FlutterDesktopMessengerRef messenger,
                                         const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data,
                                         size_t dataLength) {
  if (ReportNull(__func__, messenger) || ReportNull(__func__, handle)) return;
  messenger->SendResponse(handle, data, dataLength);
}

void FlutterDesktopMessengerSetCallback(FlutterDesktopMessengerRef messenger, const char* channel,
                                        FlutterDesktopMessageCallback callback, void* userData) {
  if (ReportNull(__func__, messenger) || ReportNull(__func__, channel)) return;
  messenger->SetCallback(channel, callback, userData);
}

FlutterDesktopMessengerRef FlutterDesktopMessengerAddRef(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return nullptr;
  return messenger->AddRef();
}

void FlutterDesktopMessengerRelease(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return;
  messenger->Release();
}

bool FlutterDesktopMessengerIsAvailable(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return false;
  return messenger->IsAvailable();
}

FlutterDesktopMessengerRef FlutterDesktopMessengerLock(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return nullptr;
  messenger->Lock();
  return messenger;
}

void FlutterDesktopMessengerUnlock(FlutterDesktopMessengerRef messenger) {
  if (ReportNull(__func__, messenger)) return;
  messenger->Unlock();
}

int64_t FlutterDesktopTextureRegistrarRegisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                              const FlutterDesktopTextureInfo* info) {
  if (ReportNull(__func__, registrar) || ReportNull(__func__, info)) return -1;
  return registrar->Register(*info);
}

void FlutterDesktopTextureRegistrarUnregisterExternalTexture(FlutterDesktopTextureRegistrarRef registrar,
                                                             int64_t textureId, void (*callback)(void* userData),
                                                             void* userData) {
  if (ReportNull(__func__, registrar)) return;
  registrar->Unregister(textureId, callback, userData);
}

bool FlutterDesktopTextureRegistrarMarkExternalTextureFrameAvailable(FlutterDesktopTextureRegistrarRef registrar,
                                                                     int64_t textureId) {
  if (ReportNull(__func__, registrar)) return false;
  return registrar->MarkFrameAvailable(textureId);
}

}  // extern "C"
