#include "stderr_capture.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cstdio>
#include <memory>

namespace corvane::windows_test {
namespace {

constexpr int kStandardError = 2;

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

std::wstring NewTemporaryPath() {
  wchar_t folder[MAX_PATH + 1];
  wchar_t path[MAX_PATH + 1];
  const DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) return {};
  if (GetTempFileNameW(folder, L"cvl", 0, path) == 0) return {};
  return path;
}

}  // namespace

StderrCapture::StderrCapture() : path_(NewTemporaryPath()) {
  if (path_.empty()) return;
  const int file = _wopen(path_.c_str(), _O_WRONLY | _O_TRUNC | _O_BINARY, _S_IREAD | _S_IWRITE);
  if (file < 0) return;
  std::fflush(stderr);
  const int saved = _dup(kStandardError);
  if (saved >= 0 && _dup2(file, kStandardError) == 0) {
    savedDescriptor_ = saved;
  } else if (saved >= 0) {
    _close(saved);
  }
  _close(file);
}

StderrCapture::~StderrCapture() {
  if (active()) {
    std::fflush(stderr);
    _dup2(savedDescriptor_, kStandardError);
    _close(savedDescriptor_);
    const std::string text = Text();
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
  if (!path_.empty()) DeleteFileW(path_.c_str());
}

std::string StderrCapture::Text() const {
  if (!active()) return {};
  std::fflush(stderr);
  HANDLE opened = CreateFileW(path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (opened == INVALID_HANDLE_VALUE) return {};
  const UniqueHandle file(opened);  // Adopt
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
  return text;
}

std::vector<std::string> StderrCapture::PluginLines() const {
  static constexpr char kPrefix[] = "CorvanePlugin: ";
  std::vector<std::string> lines;
  const std::string text = Text();
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string line = text.substr(start, end - start);
    if (line.compare(0, sizeof kPrefix - 1, kPrefix) == 0) lines.push_back(std::move(line));
    start = end;
  }
  return lines;
}

}  // namespace corvane::windows_test
