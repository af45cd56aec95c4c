#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern char** environ;

namespace corvane::bench {

using Clock = std::chrono::steady_clock;

namespace {

// The argument vector posix_spawn takes, pointing into `arguments`.
std::vector<char*> Argv(const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

}  // namespace

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values.empty() ? 0 : values[values.size() / 2];
}

bool ParseClipArguments(int argc, char** argv, const char* benchName, const char* defaultMedia, ClipRuns& parsed) {
  std::string media;
  if (const char* fromEnvironment = std::getenv("CORVANE_TEST_MEDIA")) media = fromEnvironment;
  if (media.empty()) media = defaultMedia;
  for (int i = 1; i < argc; ++i) {
    if (!std::strcmp(argv[i], "--media") && i + 1 < argc) {
      media = argv[++i];
    } else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) {
      parsed.runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--media DIR] [--runs N]\n", argv[0]);
      return false;
    }
  }
  parsed.clip = media + "/bench_1080p30.mp4";
  struct stat info {};
  if (::stat(parsed.clip.c_str(), &info) != 0) {
    std::fprintf(stderr, "%s: %s is missing (cmake --build <dir> --target test_media_bench)\n", benchName,
                 parsed.clip.c_str());
    return false;
  }
  return true;
}

Run RunChild(const std::vector<std::string>& arguments) {
  std::vector<char*> argv = Argv(arguments);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  Run run;
  const auto start = Clock::now();
  pid_t child = 0;
  if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    posix_spawn_file_actions_destroy(&actions);
    return run;
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) != child) return run;
  run.wallSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  return run;
}

double SecondsUntil(const std::vector<std::string>& arguments, const char* marker) {
  int out[2];
  if (::pipe(out) != 0) return -1;
  std::vector<char*> argv = Argv(arguments);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = Clock::now();
  pid_t child = 0;
  const int spawned = posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawned != 0) {
    ::close(out[0]);
    return -1;
  }
  double seconds = -1;
  std::string pending;
  char chunk[4096];
  ssize_t got = 0;
  while ((got = ::read(out[0], chunk, sizeof chunk)) > 0) {
    pending.append(chunk, static_cast<size_t>(got));
    if (*marker != '\0' && pending.find(marker) != std::string::npos) {
      seconds = std::chrono::duration<double>(Clock::now() - start).count();
      ::kill(child, SIGTERM);
      break;
    }
  }
  ::close(out[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  if (*marker == '\0' && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
  }
  return seconds;
}

}  // namespace corvane::bench
