// One FlPluginRegistrar as the plugin core sees it, through
// FlutterDesktopPluginRegistrarRef: the messenger and the texture registrar
// over flutter_linux, and the destruction handler the core installs.
//
// flutter_linux has no registrar destruction callback. A registration
// lives until its messenger reports the engine gone (the lifeline channel's
// handler dropped by the embedding, messenger.h); then the destruction
// handler runs, while the texture registrar still works and the messenger
// already refuses to send, and the registration goes.
//
// Main thread only.
#ifndef CORVANE_FLUTTER_LINUX_REGISTRATION_H_
#define CORVANE_FLUTTER_LINUX_REGISTRATION_H_

#include <flutter_linux/flutter_linux.h>

#include <memory>
#include <string>

#include "flutter_linux/main_thread.h"
#include "flutter_linux/messenger.h"
#include "flutter_linux/texture_registrar.h"
#include "host/flutter_desktop.h"

struct FlutterDesktopPluginRegistrar {
 public:
  // `lifelineChannel`: the plugin's method channel (see messenger.h).
  FlutterDesktopPluginRegistrar(FlPluginRegistrar* registrar, const std::string& lifelineChannel);
  ~FlutterDesktopPluginRegistrar();
  FlutterDesktopPluginRegistrar(const FlutterDesktopPluginRegistrar&) = delete;
  FlutterDesktopPluginRegistrar& operator=(const FlutterDesktopPluginRegistrar&) = delete;

  FlutterDesktopMessengerRef messenger() const { return messenger_; }
  FlutterDesktopTextureRegistrarRef textureRegistrar() const { return textures_.get(); }
  void SetDestructionHandler(FlutterDesktopOnPluginRegistrarDestroyed handler) { destructionHandler_ = handler; }

  // Once the plugin has registered: keeps the registration until the engine
  // goes. A plugin that installed no lifeline handler (its registration
  // failed) is destroyed at once instead.
  static void KeepUntilEngineGoes(std::unique_ptr<FlutterDesktopPluginRegistrar> registration);

 private:
  // Runs the destruction handler, once.
  void Destroy();

  const std::shared_ptr<const corvane::flutter_linux::MainThread> mainThread_;
  const FlutterDesktopMessengerRef messenger_;  // one reference, ours
  const std::unique_ptr<FlutterDesktopTextureRegistrar> textures_;
  FlutterDesktopOnPluginRegistrarDestroyed destructionHandler_ = nullptr;
};

#endif  // CORVANE_FLUTTER_LINUX_REGISTRATION_H_
