// The running program's paths on Windows, as UTF-8.
#include "platform/process_paths.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "platform/windows/utf16.h"

namespace corvane::platform {
namespace {

// The longest path the system's wide functions handle, with "\\?\" long
// paths enabled: 32767 characters and the terminator.
constexpr DWORD kLongestPath = 32768;

}  // namespace

std::string ExecutablePath() {
  // GetModuleFileNameW does not report the size it needs: a path that
  // fills the buffer was cut (and, before Windows Vista, left without its
  // terminator), so the buffer grows until the path fits.
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) {
      buffer.resize(length);
      return windows::Utf16ToUtf8(buffer);
    }
    if (size >= kLongestPath) return {};
    buffer.resize(std::min<DWORD>(size * 2, kLongestPath));
  }
}

std::string WorkingDirectory() {
  // Asked for the size first; another thread may change the directory to
  // a longer one between the two calls, so the second one can ask again.
  DWORD needed = GetCurrentDirectoryW(0, nullptr);
  for (int attempt = 0; attempt < 4 && needed > 0; ++attempt) {
    std::wstring buffer(needed, L'\0');
    const DWORD length = GetCurrentDirectoryW(needed, buffer.data());
    if (length == 0) return {};
    if (length < needed) {
      buffer.resize(length);
      return windows::Utf16ToUtf8(buffer);
    }
    needed = length;
  }
  return {};
}

}  // namespace corvane::platform
