// The system's own channel for a plugin's debug lines, beside standard
// error: OutputDebugStringW on Windows, where debuggers and DebugView read
// it; nothing on Linux, where standard error is the channel. Each platform
// folder has its own definition, linked into the platform layer by target.
#ifndef CORVANE_PLATFORM_SYSTEM_DEBUG_OUTPUT_H_
#define CORVANE_PLATFORM_SYSTEM_DEBUG_OUTPUT_H_

namespace corvane::platform {

// Any thread. `line` is UTF-8 and ends with a line feed.
void WriteSystemDebugLine(const char* line);

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_SYSTEM_DEBUG_OUTPUT_H_
