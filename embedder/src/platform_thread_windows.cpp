// The platform thread on Windows: a thread with a Win32 message loop. Our
// tasks wait in our own list; a thread message (no window) wakes the loop
// to run the oldest one, and every other message goes to its window, so a
// plugin's message-only window made on this thread gets its messages.
#include "platform_thread.h"

#include <windows.h>

#include <condition_variable>
#include <cstdio>

namespace corvane::embedder::internal {
namespace {

// A thread message of ours; WM_APP and up are free for applications.
constexpr UINT kRunTaskMessage = WM_APP + 0x43;

}  // namespace

PlatformThread::PlatformThread() {
  std::mutex startedMutex;
  std::condition_variable startedCv;
  bool started = false;
  thread_ = std::thread([&] {
    // A thread has a message queue only once it calls a message function;
    // PostThreadMessageW to a thread without one fails. Made before the
    // constructor returns, so no Post can come too early.
    MSG ignored;
    PeekMessageW(&ignored, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    {
      // Notified under the lock: the waiting constructor owns the condition
      // variable and may return as soon as it sees `started`.
      std::lock_guard<std::mutex> lock(startedMutex);
      threadId_ = std::this_thread::get_id();
      nativeThreadId_ = GetCurrentThreadId();
      started = true;
      startedCv.notify_one();
    }
    Run();
  });
  std::unique_lock<std::mutex> lock(startedMutex);
  startedCv.wait(lock, [&] { return started; });
}

PlatformThread::~PlatformThread() { Stop(); }

void PlatformThread::Run() {
  MSG message;
  // GetMessageW: 0 for WM_QUIT, -1 on failure (an invalid argument, which
  // ours are not); either ends the loop.
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (message.hwnd == nullptr && message.message == kRunTaskMessage) {
      RunOneTask();
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

bool PlatformThread::Post(std::function<void()> task) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!accepting_) return false;
  tasks_.push_back(std::move(task));
  if (!wakePending_) PostWakeLocked();
  return true;
}

void PlatformThread::PostWakeLocked() {
  if (PostThreadMessageW(nativeThreadId_, kRunTaskMessage, 0, 0)) {
    wakePending_ = true;
  } else {
    // The task stays queued; the next Post tries to wake the loop again.
    std::fprintf(stderr, "corvane embedder: cannot wake the platform thread (error %lu)\n", GetLastError());
  }
}

void PlatformThread::RunOneTask() {
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    wakePending_ = false;
    if (!accepting_ || tasks_.empty()) return;
    task = std::move(tasks_.front());
    tasks_.pop_front();
    // The next task waits behind whatever the queue holds now, as a task
    // posted to the loop afresh would.
    if (!tasks_.empty()) PostWakeLocked();
  }
  task();
}

void PlatformThread::Stop() {
  if (!StopAccepting()) return;
  if (thread_.joinable()) {
    if (!PostThreadMessageW(nativeThreadId_, WM_QUIT, 0, 0)) {
      std::fprintf(stderr, "corvane embedder: cannot stop the platform thread (error %lu)\n", GetLastError());
    }
    thread_.join();
  }
}

}  // namespace corvane::embedder::internal
