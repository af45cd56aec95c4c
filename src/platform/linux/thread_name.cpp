#include "platform/thread_name.h"

#include <pthread.h>

#include <cstring>

namespace corvane::platform {

void NameCurrentThread(const char* name) noexcept {
  // The kernel refuses names longer than 15 characters outright.
  char shortened[16] = {};
  std::strncpy(shortened, name, sizeof shortened - 1);
  pthread_setname_np(pthread_self(), shortened);
}

}  // namespace corvane::platform
