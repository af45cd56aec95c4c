// The engine's platform thread. On Linux a GLib main loop on a context of
// its own, pushed as thread-default, so that a plugin's
// g_main_context_ref_thread_default() during registration names it. On
// Windows a Win32 message loop, as a Flutter runner's main thread has: a
// plugin's message-only window made there during registration gets its
// messages dispatched.
#ifndef CORVANE_EMBEDDER_PLATFORM_THREAD_H_
#define CORVANE_EMBEDDER_PLATFORM_THREAD_H_

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#ifndef _WIN32
#include "platform/linux/glib_handles.h"
#endif

namespace corvane::embedder::internal {

class PlatformThread {
 public:
  // Starts the thread and waits until its loop runs.
  PlatformThread();
  // Stops if not stopped yet.
  ~PlatformThread();
  PlatformThread(const PlatformThread&) = delete;
  PlatformThread& operator=(const PlatformThread&) = delete;

  // Queues a task; tasks run in the order they were posted. False once
  // stopping has begun: the task is dropped.
  bool Post(std::function<void()> task);
  // Runs the task on the thread and waits, inline when called on it. False
  // when it did not run (stopped) or did not finish within `timeout`.
  bool RunSync(const std::function<void()>& task, std::chrono::milliseconds timeout);
  bool IsCurrent() const { return std::this_thread::get_id() == threadId_; }

  // Quits the loop and joins the thread. Tasks queued and not yet run are
  // dropped, and so is whatever a plugin attaches to the context afterwards:
  // the context is never iterated again (on Windows: the thread's message
  // queue is never pumped again). Must not be called on the thread.
  void Stop();

 private:
  void Run();
  // The start of Stop on every system: refuses later posts and drops the
  // tasks queued. True when the loop is to be ended and the thread joined
  // (not when stopped already, nor on the thread itself).
  bool StopAccepting();
#ifdef _WIN32
  // Runs the oldest queued task; on the thread, for our wake-up message.
  void RunOneTask();
  // Posts the wake-up message. Called with mutex_ held.
  void PostWakeLocked();

  // Set once by the thread before the constructor returns, then read-only.
  unsigned long nativeThreadId_ = 0;
#else
  static gboolean RunOneTask(gpointer self);

  platform::MainContextPtr context_;  // created here, iterated only by the thread
  platform::MainLoopPtr loop_;
#endif
  std::thread thread_;
  std::thread::id threadId_;

  // Any thread. Our own queue, so that hand-over of a task is ordered by a
  // lock the sanitizers see; GLib only wakes the loop.
  std::mutex mutex_;
  std::deque<std::function<void()>> tasks_;
  bool accepting_ = true;
#ifdef _WIN32
  // Guarded by mutex_. At most one wake-up message waits in the thread's
  // queue: a posted-message queue holds only so many, and the plugin's own
  // queue window shares it.
  bool wakePending_ = false;
#endif
};

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_PLATFORM_THREAD_H_
