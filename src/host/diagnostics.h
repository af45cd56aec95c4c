// Diagnostics of the host binding. They go to standard error, one line per
// call, because the binding runs inside other people's processes and has no
// log of its own.
#ifndef CORVANE_HOST_DIAGNOSTICS_H_
#define CORVANE_HOST_DIAGNOSTICS_H_

#include <string_view>

namespace flutter::internal {

// Writes `line` and a line feed to standard error in one write, so lines
// from two threads do not interleave.
void WriteDiagnosticLine(std::string_view line);

}  // namespace flutter::internal

#endif  // CORVANE_HOST_DIAGNOSTICS_H_
