#include "platform/engine_core/engine_thread.h"

#include <string>

#include "platform/engine_core/engine_watchdog.h"
#include "platform/thread_apartment.h"
#include "platform/thread_name.h"

namespace corvane::platform {

EngineThread::EngineThread(const char* name) {
  thread_ = std::thread([state = state_, name = std::string(name)] {
    NameCurrentThread(name.c_str());
    // Left after Run, which releases every task and capture it holds.
    ThreadApartment apartment;
    Run(state);
  });
}

EngineThread::~EngineThread() {
  Stop();
  if (!thread_.joinable()) return;
  if (IsCurrent()) {
    HandOver();
  } else {
    thread_.join();
  }
}

void EngineThread::StopWithoutWaiting() {
  Stop();
  if (thread_.joinable()) HandOver();
}

void EngineThread::HandOver() {
  EngineWatchdog::Process().AdoptEnding(std::move(thread_), [state = state_] {
    std::lock_guard<std::mutex> lock(state->mutex);
    return state->ended_flag;
  });
}

void EngineThread::Post(Task task) {
  // A task may end the last owner of this object as soon as the lock is
  // released; the state outlives it.
  const std::shared_ptr<State> state = state_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->stopping) return;
    state->tasks.push_back(std::move(task));
  }
  state->wake.notify_one();
}

void EngineThread::PostDelayed(Clock::duration delay, Task task) {
  // A task may end the last owner of this object as soon as the lock is
  // released; the state outlives it.
  const std::shared_ptr<State> state = state_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->stopping) return;
    state->timers.emplace(Clock::now() + delay, std::move(task));
  }
  state->wake.notify_one();
}

void EngineThread::SetSignalTask(Task task, size_t signal) {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->signalTasks.at(signal) = std::move(task);
}

void EngineThread::Signal(size_t signal) {
  // A task may end the last owner of this object as soon as the lock is
  // released; the state outlives it.
  const std::shared_ptr<State> state = state_;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->stopping || state->signalled.at(signal)) return;
    state->signalled[signal] = true;
  }
  state->wake.notify_one();
}

void EngineThread::Stop() {
  std::multimap<Clock::time_point, Task> dropped;
  {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stopping = true;
    dropped.swap(state_->timers);
  }
  state_->wake.notify_one();
}

bool EngineThread::WaitStopped(Clock::duration timeout) {
  if (IsCurrent()) return true;
  std::unique_lock<std::mutex> lock(state_->mutex);
  return state_->ended.wait_for(lock, timeout, [this] { return state_->ended_flag; });
}

EngineThread::Task* EngineThread::TakeSignalLocked(State& state) {
  for (size_t signal = 0; signal < kSignals; ++signal) {
    if (state.signalled[signal]) {
      state.signalled[signal] = false;
      return &state.signalTasks[signal];
    }
  }
  return nullptr;
}

void EngineThread::Run(const std::shared_ptr<State>& state) {
  std::unique_lock<std::mutex> lock(state->mutex);
  for (;;) {
    if (!state->tasks.empty()) {
      Task task = std::move(state->tasks.front());
      state->tasks.pop_front();
      lock.unlock();
      task();
      // Captures are released outside the lock: they may own players.
      task = nullptr;
      lock.lock();
      continue;
    }
    if (state->stopping) break;
    if (Task* task = TakeSignalLocked(*state)) {
      // Runs under no lock; a copy is not needed since the task is set once.
      lock.unlock();
      if (*task) (*task)();
      lock.lock();
      continue;
    }
    if (!state->timers.empty()) {
      auto due = state->timers.begin()->first;
      if (due <= Clock::now()) {
        Task task = std::move(state->timers.begin()->second);
        state->timers.erase(state->timers.begin());
        state->tasks.push_back(std::move(task));
        continue;
      }
      state->wake.wait_until(lock, due);
    } else {
      state->wake.wait(lock);
    }
  }
  std::deque<Task> dropped;
  dropped.swap(state->tasks);
  std::array<Task, kSignals> signalTasks = std::move(state->signalTasks);
  state->ended_flag = true;
  state->ended.notify_all();
  lock.unlock();
}

}  // namespace corvane::platform
