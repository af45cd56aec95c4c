// The wide line that WriteSystemDebugLine hands to OutputDebugStringW.
#ifndef CORVANE_PLATFORM_WINDOWS_SYSTEM_DEBUG_LINE_H_
#define CORVANE_PLATFORM_WINDOWS_SYSTEM_DEBUG_LINE_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace corvane::platform::windows {

// Every debug line goes out through a buffer of this many wide characters,
// its terminator included.
inline constexpr size_t kSystemDebugLineCapacity = 256;

// `utf8Line` as UTF-16, at most kSystemDebugLineCapacity - 1 characters. A
// longer line is cut and its last character replaced by a line feed, so a
// cut line still ends the way every line does; the cut never splits a
// surrogate pair. Malformed UTF-8 shows as U+FFFD.
std::wstring SystemDebugLine(std::string_view utf8Line);

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_SYSTEM_DEBUG_LINE_H_
