#include "platform/debug_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/immortal.h"
#include "platform/system_debug_output.h"

namespace corvane::platform {
namespace {

// Never destroyed: engine threads finishing their teardown may still log
// while the process exits.
std::mutex& ObserverMutex() {
  static Immortal<std::mutex> mutex;
  return mutex.get();
}

DebugLogObserver& Observer() {
  static Immortal<DebugLogObserver> observer;
  return observer.get();
}

// Read once: getenv is not safe against a concurrent setenv, and the
// setting is meant for the whole run.
bool WritesToStandardError() {
  static const bool enabled = [] {
    const char* value = std::getenv("CORVANE_DEBUG");
    return value != nullptr && std::strcmp(value, "0") != 0;
  }();
  return enabled;
}

std::string FormatInto256(const char* format, va_list args) {
  char buffer[kDebugLineCapacity];
  const int needed = std::vsnprintf(buffer, sizeof buffer, format, args);
  if (needed < 0) return "CorvanePlugin: (unformattable log line)\n";
  std::string line(buffer);
  // A cut line still ends the way every line does.
  if (static_cast<size_t>(needed) >= sizeof buffer && !line.empty()) line.back() = '\n';
  return line;
}

}  // namespace

void DebugLog(const char* line) {
  {
    std::lock_guard<std::mutex> lock(ObserverMutex());
    if (Observer()) Observer()(line);
  }
  WriteSystemDebugLine(line);
  if (WritesToStandardError()) std::fputs(line, stderr);
}

void DebugLogf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const std::string line = FormatInto256(format, args);
  va_end(args);
  DebugLog(line.c_str());
}

std::string FormatDebugLine(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string line = FormatInto256(format, args);
  va_end(args);
  return line;
}

ScopedDebugLogObserver::ScopedDebugLogObserver(DebugLogObserver observer) {
  std::lock_guard<std::mutex> lock(ObserverMutex());
  Observer() = std::move(observer);
}

ScopedDebugLogObserver::~ScopedDebugLogObserver() {
  std::lock_guard<std::mutex> lock(ObserverMutex());
  Observer() = nullptr;
}

}  // namespace corvane::platform
