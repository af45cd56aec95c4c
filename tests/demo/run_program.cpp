#include "run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace corvane::testing {

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

std::string TempFile(const char* stem) {
  std::string path = std::string("/tmp/corvane-") + stem + "-XXXXXX";
  const int fd = mkstemp(path.data());
  if (fd >= 0) close(fd);
  return path;
}

}  // namespace

std::vector<std::string> ProgramRun::OutLines() const {
  std::vector<std::string> lines;
  std::stringstream stream(out);
  for (std::string line; std::getline(stream, line);) lines.push_back(line);
  return lines;
}

ProgramRun RunProgram(const std::vector<std::string>& argv, const std::vector<std::string>& extraEnvironment,
                      std::chrono::seconds timeout) {
  ProgramRun run;
  // Files, not pipes: a chatty program can never block on a full pipe.
  const std::string outPath = TempFile("out"), errPath = TempFile("err");
  // This process's environment, with the extra entries replacing those of
  // the same name.
  std::vector<std::string> environment;
  const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string inherited = *entry;
    bool replaced = false;
    for (const std::string& extra : extraEnvironment) replaced = replaced || nameOf(extra) == nameOf(inherited);
    if (!replaced) environment.push_back(inherited);
  }
  environment.insert(environment.end(), extraEnvironment.begin(), extraEnvironment.end());
  std::vector<char*> args, env;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  for (const std::string& entry : environment) env.push_back(const_cast<char*>(entry.c_str()));
  env.push_back(nullptr);

  const pid_t pid = fork();
  if (pid == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_TRUNC);
    const int err = open(errPath.c_str(), O_WRONLY | O_TRUNC);
    const int in = open("/dev/null", O_RDONLY);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    setpgid(0, 0);  // its own group, so a timeout can stop its children too
    execve(args[0], args.data(), env.data());
    _exit(127);
  }
  if (pid > 0) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    while (true) {
      const pid_t done = waitpid(pid, &status, WNOHANG);
      if (done == pid) break;
      if (std::chrono::steady_clock::now() >= deadline) {
        run.timedOut = true;
        kill(-pid, SIGKILL);
        waitpid(pid, &status, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!run.timedOut && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  }
  run.out = ReadFile(outPath);
  run.err = ReadFile(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return run;
}

}  // namespace corvane::testing
