#include "platform/engine_core/engine_watchdog.h"

#include <algorithm>
#include <cstdlib>

#include "platform/debug_log.h"
#include "platform/immortal.h"
#include "platform/thread_name.h"

namespace corvane::platform {
namespace {

long long Milliseconds(EngineWatchdog::Clock::duration duration) {
  return static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());
}

// How long the process's exit waits for teardowns still under way.
constexpr auto kExitWait = std::chrono::seconds(3);

}  // namespace

EngineWatchdog& EngineWatchdog::Process() {
  static Immortal<EngineWatchdog> watchdog{Limits{}};
  static const bool exitWaits = [] {
    // Registered after the statics the engines set up before their first
    // player closed, so it runs before those are destroyed.
    return std::atexit([] { Process().WaitForEnding(kExitWait); }) == 0;
  }();
  static_cast<void>(exitWaits);
  return watchdog.get();
}

EngineWatchdog::EngineWatchdog(Limits limits) : limits_(limits), thread_([this] { Run(); }) {}

EngineWatchdog::~EngineWatchdog() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
  for (Ending& ending : ending_) {
    if (ending.ended()) {
      ending.thread.join();
    } else {
      ending.thread.detach();
    }
  }
}

uint64_t EngineWatchdog::CallStarted(const char* what) {
  bool first = false;
  uint64_t ticket = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    first = !WatchingLocked();
    ticket = nextTicket_++;
    calls_.push_back(Call{ticket, what, Clock::now(), false});
  }
  if (first) wake_.notify_all();
  return ticket;
}

void EngineWatchdog::CallEnded(uint64_t ticket) {
  Call ended{};
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found =
        std::find_if(calls_.begin(), calls_.end(), [ticket](const Call& call) { return call.ticket == ticket; });
    if (found == calls_.end()) return;
    ended = *found;
    calls_.erase(found);
  }
  if (ended.logged) {
    DebugLogf("CorvanePlugin: A media engine call returned after %lld ms: %s\n",
              Milliseconds(Clock::now() - ended.started), ended.what);
  }
}

void EngineWatchdog::AdoptEnding(std::thread thread, std::function<bool()> ended) {
  bool first = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    first = !WatchingLocked();
    ending_.push_back(Ending{std::move(thread), std::move(ended), Clock::now(), false});
  }
  if (first) wake_.notify_all();
}

int EngineWatchdog::SlowCalls() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slowCalls_;
}

int EngineWatchdog::StuckThreads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stuckThreads_;
}

int EngineWatchdog::EndingThreads() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return static_cast<int>(ending_.size());
}

bool EngineWatchdog::WaitForEnding(Clock::duration limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  return ended_.wait_for(lock, limit, [this] { return ending_.empty(); });
}

void EngineWatchdog::Run() {
  NameCurrentThread("corvane-watch");
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (!WatchingLocked()) {
      wake_.wait(lock);
      continue;
    }
    wake_.wait_for(lock, limits_.tick);
    if (stopping_) break;
    const auto now = Clock::now();
    std::vector<std::string> lines;
    for (Call& call : calls_) {
      if (call.logged || now - call.started < limits_.slowCall) continue;
      call.logged = true;
      ++slowCalls_;
      lines.push_back(FormatDebugLine("CorvanePlugin: A media engine call has been waiting for %lld ms: %s\n",
                                      Milliseconds(now - call.started), call.what));
    }
    std::vector<std::thread> finished;
    for (auto it = ending_.begin(); it != ending_.end();) {
      if (it->ended()) {
        if (it->logged) lines.emplace_back("CorvanePlugin: A late media engine thread has ended\n");
        finished.push_back(std::move(it->thread));
        it = ending_.erase(it);
        continue;
      }
      if (!it->logged && now - it->since >= limits_.stuckThread) {
        it->logged = true;
        ++stuckThreads_;
        lines.push_back(FormatDebugLine("CorvanePlugin: A media engine thread is still running %lld ms after its "
                                        "player let go of it\n",
                                        Milliseconds(now - it->since)));
      }
      ++it;
    }
    lock.unlock();
    for (const std::string& line : lines) DebugLog(line.c_str());
    // Each has done its work; joining only waits for its last return.
    for (std::thread& thread : finished) thread.join();
    lock.lock();
    if (!finished.empty()) ended_.notify_all();
  }
}

}  // namespace corvane::platform
