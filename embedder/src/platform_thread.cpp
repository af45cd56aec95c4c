#include "platform_thread.h"

#include <condition_variable>
#include <cstdio>
#include <memory>

namespace corvane::embedder::internal {

PlatformThread::PlatformThread()
    : context_(g_main_context_new()), loop_(g_main_loop_new(context_.get(), FALSE)) {
  std::mutex startedMutex;
  std::condition_variable startedCv;
  bool started = false;
  thread_ = std::thread([&] {
    g_main_context_push_thread_default(context_.get());
    {
      // Notified under the lock: the waiting constructor owns the condition
      // variable and may return as soon as it sees `started`.
      std::lock_guard<std::mutex> lock(startedMutex);
      threadId_ = std::this_thread::get_id();
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
  g_main_loop_run(loop_.get());
  g_main_context_pop_thread_default(context_.get());
}

bool PlatformThread::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!accepting_) return false;
    tasks_.push_back(std::move(task));
  }
  // One wake-up source per task; each one runs the oldest queued task.
  platform::SourcePtr source(g_idle_source_new());  // Adopt
  g_source_set_priority(source.get(), G_PRIORITY_DEFAULT);
  g_source_set_callback(source.get(), &PlatformThread::RunOneTask, this, nullptr);
  g_source_attach(source.get(), context_.get());
  return true;
}

gboolean PlatformThread::RunOneTask(gpointer selfPointer) {
  auto* self = static_cast<PlatformThread*>(selfPointer);
  std::function<void()> task;
  {
    std::lock_guard<std::mutex> lock(self->mutex_);
    if (!self->accepting_ || self->tasks_.empty()) return G_SOURCE_REMOVE;
    task = std::move(self->tasks_.front());
    self->tasks_.pop_front();
  }
  task();
  return G_SOURCE_REMOVE;
}

void PlatformThread::Stop() {
  if (!StopAccepting()) return;
  g_main_loop_quit(loop_.get());
  if (thread_.joinable()) thread_.join();
}

}  // namespace corvane::embedder::internal
