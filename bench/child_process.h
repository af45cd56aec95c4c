// Benchmarks that time whole processes: a child started with its output
// redirected, timed from its start.
#ifndef CORVANE_BENCH_CHILD_PROCESS_H_
#define CORVANE_BENCH_CHILD_PROCESS_H_

#include <string>
#include <vector>

namespace corvane::bench {

struct Run {
  double cpuSeconds = 0;
  double wallSeconds = 0;
  bool ok = false;
};

// Runs `arguments` to its end with its output thrown away: its CPU (as
// wait4 reports it) and wall time, and whether it exited with 0.
Run RunChild(const std::vector<std::string>& arguments);

// Starts `arguments` with its standard output on a pipe and its errors
// thrown away. Seconds from the start to the first output line holding
// `marker`, the child then stopped (with an empty marker: to the child's
// exit with 0); negative on failure.
double SecondsUntil(const std::vector<std::string>& arguments, const char* marker);

double Median(std::vector<double> values);

// The clip a process benchmark times, bench_1080p30.mp4 in `--media DIR`
// (by default $CORVANE_TEST_MEDIA, else `defaultMedia`), and `--runs N`.
struct ClipRuns {
  std::string clip;
  int runs = 1;
};

// False, with the usage or the missing clip printed, when the arguments
// are wrong or the clip is not there.
bool ParseClipArguments(int argc, char** argv, const char* benchName, const char* defaultMedia, ClipRuns& parsed);

}  // namespace corvane::bench

#endif  // CORVANE_BENCH_CHILD_PROCESS_H_
