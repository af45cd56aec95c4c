// Sends the process's standard error (C runtime descriptor 2) to a
// temporary file while it lives, and hands back what was written. The
// plugin DLL shares the test's C runtime (msvcrt.dll), so with
// CORVANE_DEBUG=1 its debug lines arrive here. On destruction the captured
// text is passed on to the real standard error, so a test log loses
// nothing.
#ifndef CORVANE_TESTS_WINDOWS_DLL_STDERR_CAPTURE_H_
#define CORVANE_TESTS_WINDOWS_DLL_STDERR_CAPTURE_H_

#include <string>
#include <vector>

namespace corvane::windows_test {

class StderrCapture {
 public:
  StderrCapture();
  ~StderrCapture();
  StderrCapture(const StderrCapture&) = delete;
  StderrCapture& operator=(const StderrCapture&) = delete;

  // False when the redirection could not be set up (then nothing is
  // captured and standard error is untouched).
  bool active() const { return savedDescriptor_ >= 0; }

  // Everything written so far.
  std::string Text() const;
  // The lines that begin "CorvanePlugin: ", each with its line feed.
  std::vector<std::string> PluginLines() const;

 private:
  std::wstring path_;
  int savedDescriptor_ = -1;
};

}  // namespace corvane::windows_test

#endif  // CORVANE_TESTS_WINDOWS_DLL_STDERR_CAPTURE_H_
