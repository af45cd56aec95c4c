// The plugin's debug lines written while an object of this class lives.
#ifndef CORVANE_TESTS_SUPPORT_LOG_LINES_H_
#define CORVANE_TESTS_SUPPORT_LOG_LINES_H_

#include <cstddef>
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
  // How many lines hold `part`.
  size_t Count(const std::string& part) {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t count = 0;
    for (const std::string& line : lines_) count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> lines_;
  platform::ScopedDebugLogObserver observer_;
};

}  // namespace corvane::test

#endif  // CORVANE_TESTS_SUPPORT_LOG_LINES_H_
