#include "platform/system_debug_output.h"

namespace corvane::platform {

// Linux has no debugger channel of its own: standard error serves.
void WriteSystemDebugLine(const char*) {}

}  // namespace corvane::platform
