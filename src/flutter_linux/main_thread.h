// The GTK main thread, as the binding reaches it from any thread.
//
// flutter_linux wants channel sends, texture marks and texture
// registrations on its main thread (the thread that registered the plugin,
// which iterates the GLib main context); engine threads post there. A
// posted task runs at a later iteration of that context, never inside the
// posting call. A task still queued when the context is never iterated
// again is never run; its captures are released when GLib frees the
// source.
#ifndef CORVANE_FLUTTER_LINUX_MAIN_THREAD_H_
#define CORVANE_FLUTTER_LINUX_MAIN_THREAD_H_

#include <functional>
#include <memory>
#include <thread>

#include "platform/linux/glib_handles.h"

namespace corvane::flutter_linux {

class MainThread {
 public:
  // The calling thread and its thread-default main context (in a GTK app
  // the global default context, which GTK iterates).
  MainThread();
  MainThread(const MainThread&) = delete;
  MainThread& operator=(const MainThread&) = delete;

  bool IsCurrent() const { return std::this_thread::get_id() == thread_; }
  // Any thread. Runs `task` at the context's next iteration.
  void Post(std::function<void()> task) const;
  // Any thread. Runs `task` now on the main thread, else posts it.
  void Run(std::function<void()> task) const;

  // Any thread. Drops the reference at the next iteration: never inside one
  // of the embedding's own callbacks, where the object may be in the middle
  // of its disposal.
  template <typename T>
  void ReleaseLater(platform::GObjectPtr<T> object) const {
    if (!object) return;
    std::shared_ptr<T> held(object.release(), [](T* released) { g_object_unref(released); });  // Adopt
    Post([held] {});
  }

 private:
  const std::thread::id thread_;
  const platform::MainContextPtr context_;
};

}  // namespace corvane::flutter_linux

#endif  // CORVANE_FLUTTER_LINUX_MAIN_THREAD_H_
