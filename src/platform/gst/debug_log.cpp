#include "platform/gst/debug_log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace corvane::platform::gst {

void DebugLine(const std::string& text) {
  static const bool enabled = [] {
    const char* value = std::getenv("CORVANE_DEBUG");
    return value && std::strcmp(value, "0") != 0;
  }();
  if (!enabled) return;
  const std::string line = "CorvanePlugin: " + text + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace corvane::platform::gst
