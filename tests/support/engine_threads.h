// How many media engine threads this process runs now: each player has
// one, named "corvane-engine", and it ends after its player's teardown.
// Read from /proc, as any outside observer would.
#ifndef CORVANE_TESTS_SUPPORT_ENGINE_THREADS_H_
#define CORVANE_TESTS_SUPPORT_ENGINE_THREADS_H_

#include <dirent.h>

#include <fstream>
#include <string>

namespace corvane::testing {

inline int EngineThreads() {
  int count = 0;
  if (DIR* dir = ::opendir("/proc/self/task")) {
    while (const dirent* entry = ::readdir(dir)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream comm(std::string("/proc/self/task/") + entry->d_name + "/comm");
      std::string name;
      std::getline(comm, name);
      if (name == "corvane-engine") ++count;
    }
    ::closedir(dir);
  }
  return count;
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_SUPPORT_ENGINE_THREADS_H_
