// UTF-8 (our strings) to UTF-16 (the system's) and back, through the
// system's own converters.
//
// Malformed input never fails: every byte sequence that is not UTF-8, and
// every unpaired surrogate, becomes U+FFFD, as MultiByteToWideChar and
// WideCharToMultiByte do without their strict flags (Windows Vista and
// later, and Wine). Embedded NULs are kept. Any thread.
#ifndef CORVANE_PLATFORM_WINDOWS_UTF16_H_
#define CORVANE_PLATFORM_WINDOWS_UTF16_H_

#include <string>
#include <string_view>

namespace corvane::platform::windows {

// Both raise hresult_error(E_INVALIDARG) for input longer than the
// converters take (INT_MAX units), and bad_alloc when out of memory.
std::wstring Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::wstring_view text);

}  // namespace corvane::platform::windows

#endif  // CORVANE_PLATFORM_WINDOWS_UTF16_H_
