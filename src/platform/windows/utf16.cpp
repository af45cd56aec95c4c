#include "platform/windows/utf16.h"

#include <windows.h>

#include <climits>

#include "platform/hresult.h"

namespace corvane::platform::windows {
namespace {

int CheckedLength(size_t size) {
  if (size > static_cast<size_t>(INT_MAX)) throw hresult_error(kInvalidArgument, "string too long to convert");
  return static_cast<int>(size);
}

// Only a length of zero or an invalid parameter makes the converters fail
// once the size is known; either way there is nothing to give back.
hresult LastErrorCode() {
  const DWORD error = GetLastError();
  return error != 0 ? static_cast<hresult>(HRESULT_FROM_WIN32(error)) : kFail;
}

}  // namespace

std::wstring Utf8ToUtf16(std::string_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int needed = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, nullptr, 0);
  if (needed <= 0) throw hresult_error(LastErrorCode(), "MultiByteToWideChar failed");
  std::wstring wide(static_cast<size_t>(needed), L'\0');
  const int written = MultiByteToWideChar(CP_UTF8, 0, text.data(), length, wide.data(), needed);
  if (written <= 0) throw hresult_error(LastErrorCode(), "MultiByteToWideChar failed");
  wide.resize(static_cast<size_t>(written));
  return wide;
}

std::string Utf16ToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = CheckedLength(text.size());
  const int needed = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) throw hresult_error(LastErrorCode(), "WideCharToMultiByte failed");
  std::string narrow(static_cast<size_t>(needed), '\0');
  const int written = WideCharToMultiByte(CP_UTF8, 0, text.data(), length, narrow.data(), needed, nullptr, nullptr);
  if (written <= 0) throw hresult_error(LastErrorCode(), "WideCharToMultiByte failed");
  narrow.resize(static_cast<size_t>(written));
  return narrow;
}

}  // namespace corvane::platform::windows
