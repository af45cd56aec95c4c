// The plugin's debug lines.
//
// Every line starts "CorvanePlugin: " and ends with a line feed. A line goes
// to the system's debug channel (OutputDebugStringW on Windows, none on
// Linux), and to standard error when CORVANE_DEBUG is set and not "0". Lines with values are formatted into a 256-character
// buffer; a longer line is cut to fit and keeps its final line feed.
// Thread-safe: engine, raster and platform threads all log.
#ifndef CORVANE_PLATFORM_DEBUG_LOG_H_
#define CORVANE_PLATFORM_DEBUG_LOG_H_

#include <cstddef>
#include <functional>
#include <string>

// GCC and clang check the arguments against the format; MSVC has no such
// attribute.
#if defined(__GNUC__)
#define CORVANE_PRINTF_FORMAT(formatIndex, firstArgument) __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define CORVANE_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

namespace corvane::platform {

inline constexpr size_t kDebugLineCapacity = 256;

// Writes `line` as it is.
void DebugLog(const char* line);

// Formats printf-style into a buffer of kDebugLineCapacity characters
// (terminator included), cutting what does not fit.
void DebugLogf(const char* format, ...) CORVANE_PRINTF_FORMAT(1, 2);

// The formatting DebugLogf uses, exposed for its own test.
std::string FormatDebugLine(const char* format, ...) CORVANE_PRINTF_FORMAT(1, 2);

// Receives every line, whatever CORVANE_DEBUG says, while installed.
using DebugLogObserver = std::function<void(const std::string& line)>;

// Installs an observer for the life of the object (tests read the log
// through it). One at a time.
class ScopedDebugLogObserver {
 public:
  explicit ScopedDebugLogObserver(DebugLogObserver observer);
  ~ScopedDebugLogObserver();
  ScopedDebugLogObserver(const ScopedDebugLogObserver&) = delete;
  ScopedDebugLogObserver& operator=(const ScopedDebugLogObserver&) = delete;
};

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_DEBUG_LOG_H_
