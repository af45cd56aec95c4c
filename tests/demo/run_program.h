// Runs a program to its end, bounded in time, and keeps what it printed.
#ifndef CORVANE_TESTS_DEMO_RUN_PROGRAM_H_
#define CORVANE_TESTS_DEMO_RUN_PROGRAM_H_

#include <chrono>
#include <string>
#include <vector>

namespace corvane::testing {

struct ProgramRun {
  int exitCode = -1;  // -1 when it did not exit by itself (killed, or timed out)
  bool timedOut = false;
  std::string out, err;
  std::vector<std::string> OutLines() const;
};

// `argv[0]` is the program's path. Extra environment entries ("NAME=value")
// are added to this process's own environment, replacing those of the same
// name. Kills the program after
// `timeout`.
ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                      std::chrono::seconds timeout);

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_DEMO_RUN_PROGRAM_H_
