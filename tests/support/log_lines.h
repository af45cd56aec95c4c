// The plugin's debug lines written while an object of this class lives.
#ifndef CORVANE_TESTS_WINDOWS_PLATFORM_LOG_LINES_H_
#define CORVANE_TESTS_WINDOWS_PLATFORM_LOG_LINES_H_

#include <mutex>
#include <string>
#include <vector>

#include "platform/debug_log.h"

namespace corvane::test {

class LogLines {
 public:
  LogLines()
      : observer_([this](const std::string& line) {
          std::lock_guard<std::mutex> lock(mutex_);
          lines_.push_back(line);
        }) {}
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(mutex_);
    return lines_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
  platform::ScopedDebugLogObserver observer_;
};

}  // namespace corvane::test

#endif  // CORVANE_TESTS_WINDOWS_PLATFORM_LOG_LINES_H_
