// A thread that runs queued tasks one after another: the Dart side of the
// channels runs on one, so that everything Dart receives arrives in order
// and never runs inside a call the plugin made.
#ifndef CORVANE_EMBEDDER_TASK_THREAD_H_
#define CORVANE_EMBEDDER_TASK_THREAD_H_

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace corvane::embedder::internal {

class TaskThread {
 public:
  TaskThread();
  ~TaskThread();
  TaskThread(const TaskThread&) = delete;
  TaskThread& operator=(const TaskThread&) = delete;

  // Queues a task. Once stopped, the task runs inline instead, so that a
  // task that must run once (a reply) still does.
  void Post(std::function<void()> task);
  bool IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }
  // Runs what is queued, then joins. Not on the thread itself.
  void Stop();

 private:
  void Run();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;  // guarded by mutex_
  bool stopping_ = false;                    // guarded by mutex_
  std::thread thread_;
};

}  // namespace corvane::embedder::internal

#endif  // CORVANE_EMBEDDER_TASK_THREAD_H_
