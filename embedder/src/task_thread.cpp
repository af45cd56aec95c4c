#include "task_thread.h"

namespace corvane::embedder::internal {

TaskThread::TaskThread() : thread_([this] { Run(); }) {}

TaskThread::~TaskThread() { Stop(); }

void TaskThread::Post(std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!stopping_) {
      tasks_.push_back(std::move(task));
      wake_.notify_one();
      return;
    }
  }
  task();
}

void TaskThread::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    if (tasks_.empty()) return;  // stopping, and everything ran
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    task();
    task = nullptr;  // its captures go before the lock is taken again
    lock.lock();
  }
}

void TaskThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable() && !IsCurrent()) thread_.join();
}

}  // namespace corvane::embedder::internal
