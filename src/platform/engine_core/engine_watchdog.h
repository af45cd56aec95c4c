// Watches, from a thread of its own, what the engines' threads wait for,
// so that a hang in the field leaves a line behind and never holds up a
// caller:
//  - a call into the media framework that can block (a state change, a
//    seek, a stream switch) is timed by a WatchedCall on the stack; one
//    still waiting after `slowCall` is logged once, with what it is, while
//    it waits (a call that never returns still leaves its line), and again
//    with its duration when it returns;
//  - an engine thread whose owner let go of it before it ended (a player
//    closes without waiting for its teardown) is handed over and joined
//    once it ends; one still running `stuckThread` later is logged once and
//    counted (StuckThreads).
// The watchdog's thread sleeps while nothing is watched.
//
// Threads: any.
#ifndef CORVANE_PLATFORM_ENGINE_CORE_ENGINE_WATCHDOG_H_
#define CORVANE_PLATFORM_ENGINE_CORE_ENGINE_WATCHDOG_H_

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace corvane::platform {

class EngineWatchdog {
 public:
  using Clock = std::chrono::steady_clock;
  struct Limits {
    Clock::duration slowCall = std::chrono::seconds(1);
    Clock::duration stuckThread = std::chrono::seconds(5);
    Clock::duration tick = std::chrono::milliseconds(100);
  };

  // The process's watchdog. Never destroyed: threads still ending when the
  // process exits use it. Exit waits (at most a few seconds) for the
  // threads handed over to it, so that a teardown still under way does not
  // run on while the process destroys what it uses.
  static EngineWatchdog& Process();

  explicit EngineWatchdog(Limits limits);
  // Stops the watch; threads handed over that have not ended are let go.
  ~EngineWatchdog();
  EngineWatchdog(const EngineWatchdog&) = delete;
  EngineWatchdog& operator=(const EngineWatchdog&) = delete;

  // A call that may block starts; `what` is a literal. Returns its ticket
  // for CallEnded.
  uint64_t CallStarted(const char* what);
  void CallEnded(uint64_t ticket);

  // Takes an engine thread that its owner let go of before it ended;
  // `ended` tells, from any thread, whether the thread's work is over, so
  // that joining it is quick.
  void AdoptEnding(std::thread thread, std::function<bool()> ended);

  // How many calls were logged as slow, and how many handed-over threads
  // were found still running `stuckThread` after.
  int SlowCalls() const;
  int StuckThreads() const;
  // How many handed-over threads have not ended yet.
  int EndingThreads() const;
  // Waits at most `limit` until every handed-over thread has ended. True
  // when none is left.
  bool WaitForEnding(Clock::duration limit);

 private:
  struct Call {
    uint64_t ticket;
    const char* what;
    Clock::time_point started;
    bool logged;
  };
  struct Ending {
    std::thread thread;
    std::function<bool()> ended;
    Clock::time_point since;
    bool logged;
  };

  void Run();
  bool WatchingLocked() const { return !calls_.empty() || !ending_.empty(); }

  const Limits limits_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable ended_;  // a handed-over thread was joined
  // Guarded by mutex_.
  std::vector<Call> calls_;
  std::vector<Ending> ending_;
  uint64_t nextTicket_ = 1;
  int slowCalls_ = 0;
  int stuckThreads_ = 0;
  bool stopping_ = false;
  // Declared last: it starts once the state above exists.
  std::thread thread_;
};

// Times one blocking call into the media framework on the process's
// watchdog, for the length of a scope.
class WatchedCall {
 public:
  explicit WatchedCall(const char* what) : ticket_(EngineWatchdog::Process().CallStarted(what)) {}
  ~WatchedCall() { EngineWatchdog::Process().CallEnded(ticket_); }
  WatchedCall(const WatchedCall&) = delete;
  WatchedCall& operator=(const WatchedCall&) = delete;

 private:
  const uint64_t ticket_;
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_ENGINE_CORE_ENGINE_WATCHDOG_H_
