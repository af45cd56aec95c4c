#include "platform/thread_name.h"

#include <windows.h>

#include <string>

namespace corvane::platform {

void NameCurrentThread(const char* name) noexcept {
  // SetThreadDescription came with Windows 10 1607; looked up so that the
  // DLL still loads where it is missing.
  using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  if (kernel == nullptr) return;
  auto set = reinterpret_cast<SetDescription>(reinterpret_cast<void*>(GetProcAddress(kernel, "SetThreadDescription")));
  if (set == nullptr) return;
  std::wstring wide;
  for (const char* c = name; *c != '\0'; ++c) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  set(GetCurrentThread(), wide.c_str());
}

}  // namespace corvane::platform
