#include "platform/thread_apartment.h"

namespace corvane::platform {
namespace {

// Scopes entered on this thread and not yet left.
thread_local int entered = 0;

}  // namespace

ThreadApartment::ThreadApartment() noexcept : joined_(true) { ++entered; }

ThreadApartment::~ThreadApartment() {
  if (joined_) --entered;
}

bool InThreadApartment() noexcept { return entered > 0; }

}  // namespace corvane::platform
