#include "platform/windows/capability_probe.h"

#include <windows.h>

#include "platform/debug_log.h"

namespace corvane::platform::windows {
namespace {

bool IsWindows10OrLater() {
  OSVERSIONINFOEXW wanted = {};
  wanted.dwOSVersionInfoSize = sizeof wanted;
  wanted.dwMajorVersion = 10;
  wanted.dwMinorVersion = 0;
  wanted.wServicePackMajor = 0;
  ULONGLONG condition = 0;
  condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&wanted, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, condition) != FALSE;
}

}  // namespace

bool ProbeModernWindows() {
  if (!IsWindows10OrLater()) {
    DebugLog("CorvanePlugin: Pre-Windows 10 detected\n");
    return false;
  }
  // Either export marks a Windows 10 new enough; kernel32 is always
  // loaded, so the first costs no library load.
  bool modern = false;
  if (HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll")) {
    if (GetProcAddress(kernel32, "SetThreadDescription") != nullptr) {
      modern = true;
      DebugLog("CorvanePlugin: Windows 1803+ detected via SetThreadDescription API\n");
    } else {
      DebugLog("CorvanePlugin: Pre-1803 Windows detected - SetThreadDescription not available\n");
    }
  }
  if (!modern) {
    // From System32 only: a DLL of that name beside the application or in
    // the working directory must never be the one loaded.
    if (HMODULE coreMessaging = LoadLibraryExW(L"CoreMessaging.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
      if (GetProcAddress(coreMessaging, "CreateDispatcherQueueController") != nullptr) {
        modern = true;
        DebugLog("CorvanePlugin: Windows 1803+ detected via CoreMessaging API\n");
      }
      FreeLibrary(coreMessaging);
    }
  }
  return modern;
}

}  // namespace corvane::platform::windows
