// A failing Windows Runtime or COM result as the exception the player
// expects (hresult_error, carrying the code).
#ifndef CORVANE_PLATFORM_WINDOWS_WINRT_CHECK_H_
#define CORVANE_PLATFORM_WINDOWS_WINRT_CHECK_H_

#include "platform/hresult.h"
#include "platform/windows/winrt_base.h"

namespace corvane::platform::winrt {

inline void Check(HRESULT code, const char* what) {
  if (code < 0) throw hresult_error(code, what);
}

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_WINRT_CHECK_H_
