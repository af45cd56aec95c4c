// Owning handle for a Windows Runtime string (HSTRING).
//
// Off Windows (native builds of the adapters and their fakes) an HSTRING is
// the stand-in of winrt_string.h, released by the stand-in
// WindowsDeleteString; the wide-character parts are Windows only.
//
// The null HSTRING is the valid empty string, so an empty HString is "" and
// not an error. Strings are UTF-16 (wchar_t on Windows); conversion to and
// from UTF-8 lives elsewhere.
#ifndef CORVANE_PLATFORM_WINDOWS_HSTRING_H_
#define CORVANE_PLATFORM_WINDOWS_HSTRING_H_

#include <cstdint>
#include <limits>
#include <string_view>
#include <utility>

#include "platform/hresult.h"
#include "platform/windows/winrt_base.h"

namespace corvane::platform::winrt {

#ifndef _WIN32
// Releases a stand-in string (winrt_string_standin.cpp); accepts null.
HRESULT WindowsDeleteString(HSTRING text);
#endif

class HString {
 public:
  HString() noexcept = default;
  HString(const HString&) = delete;
  HString& operator=(const HString&) = delete;
  HString(HString&& other) noexcept : handle_(other.Detach()) {}
  HString& operator=(HString&& other) noexcept {
    if (this != &other) {
      Reset();
      handle_ = other.Detach();
    }
    return *this;
  }
  ~HString() { Reset(); }

  HSTRING get() const noexcept { return handle_; }
#ifdef _WIN32
  // The characters, valid while this HString lives and is not Reset.
  std::wstring_view View() const noexcept {
    UINT32 length = 0;
    const wchar_t* text = WindowsGetStringRawBuffer(handle_, &length);
    return std::wstring_view(text, length);
  }
#endif

  void Reset() noexcept {
    // WindowsDeleteString accepts null; skipping it saves a call per empty
    // string.
    if (HSTRING handle = std::exchange(handle_, nullptr)) WindowsDeleteString(handle);
  }
  [[nodiscard]] HSTRING Detach() noexcept { return std::exchange(handle_, nullptr); }
  // For an out-parameter that returns a new string: drops what is held and
  // lets the callee write the new handle in place.
  HSTRING* Receive() noexcept {
    Reset();
    return &handle_;
  }

 private:
  friend HString AdoptHString(HSTRING handle) noexcept;
  explicit HString(HSTRING handle) noexcept : handle_(handle) {}

  HSTRING handle_ = nullptr;
};

// Takes over a string the caller owns (one an out-parameter handed back).
inline HString AdoptHString(HSTRING handle) noexcept { return HString(handle); }

#ifdef _WIN32
// A new string holding a copy of `text`. Raises hresult_error when the
// system cannot make one (E_OUTOFMEMORY) or `text` is longer than an HSTRING
// can hold (E_INVALIDARG).
inline HString CopyHString(std::wstring_view text) {
  if (text.size() > std::numeric_limits<UINT32>::max()) throw hresult_error(kInvalidArgument, "string too long");
  HSTRING handle = nullptr;
  const HRESULT code = WindowsCreateString(text.data(), static_cast<UINT32>(text.size()), &handle);
  if (code < 0) throw hresult_error(code, "WindowsCreateString failed");
  return AdoptHString(handle);
}
#endif

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_HSTRING_H_
