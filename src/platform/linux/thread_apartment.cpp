#include "platform/thread_apartment.h"

#include <algorithm>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/immortal.h"

namespace corvane::platform {
namespace {

// The threads inside a scope, once per scope entered. Not thread_local:
// ThreadSanitizer takes the release of a dlopen'ed library's thread-local
// block, when a thread ends, for a race with the thread's last writes.
struct Entered {
  std::mutex mutex;
  std::vector<std::thread::id> threads;  // guarded by mutex
};

Entered& Threads() {
  // Never destroyed: threads may still leave their scope while the process
  // exits.
  static Immortal<Entered> entered;
  return entered.get();
}

}  // namespace

ThreadApartment::ThreadApartment() noexcept : joined_(true) {
  Entered& entered = Threads();
  std::lock_guard<std::mutex> lock(entered.mutex);
  entered.threads.push_back(std::this_thread::get_id());
}

ThreadApartment::~ThreadApartment() {
  if (!joined_) return;
  Entered& entered = Threads();
  std::lock_guard<std::mutex> lock(entered.mutex);
  const auto mine = std::find(entered.threads.begin(), entered.threads.end(), std::this_thread::get_id());
  if (mine != entered.threads.end()) entered.threads.erase(mine);
}

bool InThreadApartment() noexcept {
  Entered& entered = Threads();
  std::lock_guard<std::mutex> lock(entered.mutex);
  return std::find(entered.threads.begin(), entered.threads.end(), std::this_thread::get_id()) !=
         entered.threads.end();
}

}  // namespace corvane::platform
