#include "platform/gst/debug_log.h"

#include "platform/debug_log.h"

namespace corvane::platform::gst {

void DebugLine(const std::string& text) {
  // The plugin's one log: the same switch and the same observers.
  const std::string line = "CorvanePlugin: " + text + "\n";
  DebugLog(line.c_str());
}

}  // namespace corvane::platform::gst
