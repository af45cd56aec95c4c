// Debug lines to the debugger channel (OutputDebugStringW), where DebugView
// and an attached debugger read them.
//
// Part of corvane_platform_layer, which the Windows platform library builds
// on, so the conversion is done here with the system converter directly
// rather than through utf16.h.
#include "platform/system_debug_output.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "platform/windows/system_debug_line.h"

namespace corvane::platform {
namespace windows {
namespace {

// Every UTF-8 sequence of up to three bytes gives one UTF-16 unit and a
// four-byte one gives two, so this many bytes always make more units than
// fit: a longer line need not be converted beyond them. The sequence cut
// at the end turns into U+FFFD, which lies past the cut as well.
constexpr size_t kConvertedBytes = 3 * kSystemDebugLineCapacity + 4;

bool IsHighSurrogate(wchar_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }

}  // namespace

std::wstring SystemDebugLine(std::string_view utf8Line) {
  const std::string_view converted = utf8Line.substr(0, std::min(utf8Line.size(), kConvertedBytes));
  if (converted.empty()) return {};
  const int length = static_cast<int>(converted.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, converted.data(), length, nullptr, 0);
  if (needed <= 0) return {};
  std::wstring line(static_cast<size_t>(needed), L'\0');
  line.resize(static_cast<size_t>(
      std::max(0, MultiByteToWideChar(CP_UTF8, 0, converted.data(), length, line.data(), needed))));
  constexpr size_t kLongest = kSystemDebugLineCapacity - 1;
  if (line.size() <= kLongest) return line;
  // Keep room for the line feed; a high surrogate left without its pair
  // would be a broken character.
  size_t kept = kLongest - 1;
  if (IsHighSurrogate(line[kept - 1])) --kept;
  line.resize(kept);
  line.push_back(L'\n');
  return line;
}

}  // namespace windows

void WriteSystemDebugLine(const char* line) {
  if (line == nullptr) return;
  // DebugLog is called where nothing may raise (SafeEnqueue, delegates); a
  // line that cannot be converted for want of memory is not written.
  try {
    wchar_t buffer[windows::kSystemDebugLineCapacity] = {};
    const std::wstring wide = windows::SystemDebugLine(std::string_view(line, std::strlen(line)));
    std::copy(wide.begin(), wide.end(), buffer);
    OutputDebugStringW(buffer);
  } catch (...) {
  }
}

}  // namespace corvane::platform
