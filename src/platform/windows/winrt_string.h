// Our strings (UTF-8) as Windows Runtime strings and back.
//
// On Windows an HSTRING holds UTF-16 and is made and read by the system.
// Off Windows (the native builds of the adapters and of the fakes they are
// tested against) an HSTRING is a stand-in holding the UTF-8 text as given,
// made and read only through these functions.
//
// Threads: any.
#ifndef CORVANE_PLATFORM_WINDOWS_WINRT_STRING_H_
#define CORVANE_PLATFORM_WINDOWS_WINRT_STRING_H_

#include <string>
#include <string_view>

#include "platform/windows/hstring.h"
#include "platform/windows/winrt_base.h"

namespace corvane::platform::winrt {

// Raises hresult_error when the string cannot be made.
HString MakeHString(std::string_view utf8);

// The text of `text` (which stays the caller's); "" for null, the empty
// string.
std::string ReadHString(HSTRING text);

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_WINRT_STRING_H_
