// The messenger behind FlutterDesktopMessengerRef: raw bytes through
// flutter_linux's FlBinaryMessenger, with no FlValue on the way, so the
// standard codec stays ours and byte-identical on every platform.
//
// Threads:
// - SetCallback and the message callbacks: the main thread (calls from
//   elsewhere are posted there).
// - Send: any thread; off the main thread the bytes are copied and sent from
//   the main thread, since flutter_linux wants sends towards Dart there.
// - SendResponse, Lock, Unlock, IsAvailable, AddRef, Release: any thread
//   (fl_binary_messenger_send_response is thread-safe since Flutter 3.7).
//
// Lifetime: reference-counted through AddRef and Release. Every handler the
// embedding holds keeps a reference, so the messenger outlives whatever
// handler the embedding may still destroy.
//
// The engine going away: flutter_linux tells a plugin nothing, but it
// removes every message handler of the messenger then, calling each
// handler's destroy notification. The lifeline channel is the plugin's
// method channel, whose handler only the plugin's own destruction removes;
// a destroy notification for it that we did not cause means the engine is
// going. The messenger then becomes unavailable first (nothing is sent
// afterwards, and the clean-up's handler removals become no-ops instead of
// re-entering a messenger in its disposal), and the engine-gone handler
// runs after.
#ifndef CORVANE_FLUTTER_LINUX_MESSENGER_H_
#define CORVANE_FLUTTER_LINUX_MESSENGER_H_

#include <flutter_linux/flutter_linux.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "flutter_linux/main_thread.h"
#include "host/flutter_desktop.h"
#include "platform/linux/glib_handles.h"

namespace corvane::flutter_linux {
struct ChannelHandler;
}

struct FlutterDesktopMessenger {
 public:
  // One reference, owned by the caller. Main thread.
  static FlutterDesktopMessengerRef Create(FlBinaryMessenger* messenger,
                                           std::shared_ptr<const corvane::flutter_linux::MainThread> mainThread,
                                           std::string lifelineChannel);

  FlutterDesktopMessengerRef AddRef();
  void Release();
  // A reference as an owner: released when the last copy goes.
  std::shared_ptr<FlutterDesktopMessenger> Hold();

  // While held, the availability cannot change.
  void Lock() { engineLock_.lock(); }
  void Unlock() { engineLock_.unlock(); }
  bool IsAvailable() const { return available_.load(); }

  // Main thread. Runs once, when the engine goes (see above).
  void SetEngineGoneHandler(std::function<void()> handler) { engineGone_ = std::move(handler); }
  // Main thread. Whether the lifeline channel has a handler of ours.
  bool HasLifeline() const { return handlers_.count(lifeline_) != 0; }

  bool Send(const char* channel, const uint8_t* message, size_t size);
  void SendResponse(const FlutterDesktopMessageResponseHandle* handle, const uint8_t* data, size_t size);
  void SetCallback(const char* channel, FlutterDesktopMessageCallback callback, void* userData);

 private:
  using Bytes = std::shared_ptr<GBytes>;
  // Only the reference count deletes.
  friend struct std::default_delete<FlutterDesktopMessenger>;

  FlutterDesktopMessenger(FlBinaryMessenger* messenger,
                          std::shared_ptr<const corvane::flutter_linux::MainThread> mainThread,
                          std::string lifelineChannel);
  ~FlutterDesktopMessenger();

  static void OnMessage(FlBinaryMessenger* messenger, const gchar* channel, GBytes* message,
                        FlBinaryMessengerResponseHandle* response, gpointer handler);
  static void OnHandlerDestroyed(gpointer handler);

  void SendNow(const char* channel, const Bytes& message);  // main thread
  void Deliver(const corvane::flutter_linux::ChannelHandler& handler, const gchar* channel, GBytes* message,
               FlBinaryMessengerResponseHandle* response);  // main thread
  void HandlerDropped(const corvane::flutter_linux::ChannelHandler& handler);  // main thread
  void Retire(const std::string& channel);                                     // main thread

  std::atomic<int> references_{1};
  // Constant after construction.
  corvane::platform::GObjectPtr<FlBinaryMessenger> messenger_;
  const std::shared_ptr<const corvane::flutter_linux::MainThread> mainThread_;
  const std::string lifeline_;

  // Written under engineLock_ (once, to false); read anywhere.
  std::recursive_mutex engineLock_;
  std::atomic<bool> available_{true};

  // Main thread only.
  std::function<void()> engineGone_;
  // Channel to the handler installed for it; the embedding owns each and
  // frees it through OnHandlerDestroyed.
  std::map<std::string, corvane::flutter_linux::ChannelHandler*> handlers_;

  // Messages not yet answered, each holding its response handle. Any thread.
  std::mutex responsesMutex_;
  std::unordered_map<const FlutterDesktopMessageResponseHandle*,
                     corvane::platform::GObjectPtr<FlBinaryMessengerResponseHandle>>
      responses_;  // guarded by responsesMutex_
};

#endif  // CORVANE_FLUTTER_LINUX_MESSENGER_H_
