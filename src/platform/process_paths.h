// Where the running program is: what source opening needs to find assets
// and relative paths.
#ifndef CORVANE_PLATFORM_PROCESS_PATHS_H_
#define CORVANE_PLATFORM_PROCESS_PATHS_H_

#include <string>

namespace corvane::platform {

// Full path of the running executable (Linux: /proc/self/exe); empty when it
// cannot be read.
std::string ExecutablePath();

// The working directory; empty when it cannot be read.
std::string WorkingDirectory();

}  // namespace corvane::platform

#endif  // CORVANE_PLATFORM_PROCESS_PATHS_H_
