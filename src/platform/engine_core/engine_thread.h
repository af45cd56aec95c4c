// A thread of the engine's own that runs posted tasks one at a time.
//
// Each player owns one. What the system's media framework reports (bus
// messages, frames, cues, runtime events) is posted here from the
// framework's threads, and every notification is raised from here, so
// handlers never run inside a framework or engine lock, never inside the
// caller's own call, and may call back into the player. Commands that
// change the pipeline run here too, in the order they were given.
#ifndef CORVANE_PLATFORM_ENGINE_CORE_ENGINE_THREAD_H_
#define CORVANE_PLATFORM_ENGINE_CORE_ENGINE_THREAD_H_

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace corvane::platform {

class EngineThread {
 public:
  using Task = std::function<void()>;
  using Clock = std::chrono::steady_clock;

  explicit EngineThread(const char* name);
  // Stops (see Stop) and joins, unless StopWithoutWaiting handed the thread
  // over already; destroyed on its own thread (the last owner let go from
  // inside a task), it hands the thread over instead.
  ~EngineThread();
  EngineThread(const EngineThread&) = delete;
  EngineThread& operator=(const EngineThread&) = delete;

  // Any thread. Tasks posted after Stop are dropped.
  void Post(Task task);
  void PostDelayed(Clock::duration delay, Task task);

  // Tasks that Signal(n) runs (n below kSignals; one per kind of frame),
  // each set once before its first Signal. Signalling allocates nothing, for
  // per-frame wake-ups; several signals of one task before the thread gets
  // to it run the task once, and tasks posted meanwhile run first, so a
  // burst of frames holds up no command and no notification.
  static constexpr size_t kSignals = 2;
  void SetSignalTask(Task task, size_t signal = 0);
  void Signal(size_t signal = 0);

  // Any thread: runs the tasks already posted, then ends the thread. Delayed
  // tasks that are not due are dropped.
  void Stop();
  // Any thread: Stop, and the process's engine watchdog joins the thread
  // once it has run what was posted (see EngineWatchdog), so that the
  // caller waits for nothing; a thread that does not end is logged there.
  void StopWithoutWaiting();
  // Waits at most `timeout` for the thread to end. True when it has ended (or
  // when called on the thread itself, which cannot wait for itself).
  bool WaitStopped(Clock::duration timeout);

  bool IsCurrent() const { return std::this_thread::get_id() == thread_.get_id(); }

 private:
  // Shared with the running thread, so that a thread detached by a
  // destructor running on it still finds its queue.
  struct State {
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable ended;
    std::deque<Task> tasks;                      // guarded by mutex
    std::multimap<Clock::time_point, Task> timers;  // guarded by mutex
    std::array<Task, kSignals> signalTasks;      // guarded by mutex (each set once)
    std::array<bool, kSignals> signalled{};      // guarded by mutex
    bool stopping = false;                       // guarded by mutex
    bool ended_flag = false;                     // guarded by mutex
  };
  static void Run(const std::shared_ptr<State>& state);
  // The first signalled task, its signal cleared; null when none is.
  static Task* TakeSignalLocked(State& state);
  // Gives the thread to the process's engine watchdog.
  void HandOver();

  const std::shared_ptr<State> state_ = std::make_shared<State>();
  std::thread thread_;
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_ENGINE_CORE_ENGINE_THREAD_H_
