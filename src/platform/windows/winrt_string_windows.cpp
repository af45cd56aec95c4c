#include "platform/windows/utf16.h"
#include "platform/windows/winrt_string.h"

namespace corvane::platform::winrt {

HString MakeHString(std::string_view utf8) { return CopyHString(windows::Utf8ToUtf16(utf8)); }

std::string ReadHString(HSTRING text) {
  UINT32 length = 0;
  const wchar_t* characters = WindowsGetStringRawBuffer(text, &length);
  return windows::Utf16ToUtf8(std::wstring_view(characters, length));
}

}  // namespace corvane::platform::winrt
