// Base types of the Windows Runtime ABI, for our own interface declarations.
//
// On Windows (mingw-w64 or MSVC) every type here is the SDK's own: IUnknown,
// IInspectable, HSTRING, GUID, HRESULT and EventRegistrationToken come from
// <inspectable.h> and <eventtoken.h>, so an object handed to us by the system
// and one we declare are the same C++ type.
//
// Elsewhere (native Linux builds of the adapters and their tests) the header
// defines minimal stand-ins with the same layout and vtable order, so the
// interface declarations in winrt_abi.h compile unchanged with g++ and clang
// and can be exercised against fakes. Nothing off Windows can create an
// HSTRING: it is an opaque pointer there.
//
// GUIDs are written as the registry-format text they are published in
// ("603e88e4-a338-4ffe-a457-a5cfb9ceb899") and parsed at compile time, so an
// IID reads exactly like the row it was copied from.
#ifndef CORVANE_PLATFORM_WINDOWS_WINRT_BASE_H_
#define CORVANE_PLATFORM_WINDOWS_WINRT_BASE_H_

#include <cstdint>

#ifdef _WIN32
// eventtoken.h and inspectable.h include windows.h themselves, so the sorted
// order is safe.
#include <eventtoken.h>
#include <inspectable.h>
#include <windows.h>
#include <winstring.h>
#endif

// Calling convention of every ABI method and exported function. x64 has a
// single convention and compilers ignore the keyword there; it matters on
// 32-bit x86, where COM is __stdcall and GCC's default is cdecl.
#ifdef _WIN32
#define CORVANE_WINRT_CALL STDMETHODCALLTYPE
#else
#define CORVANE_WINRT_CALL
#endif

namespace corvane::platform::winrt {

#ifdef _WIN32

using ::EventRegistrationToken;
using ::GUID;
using ::HRESULT;
using ::HSTRING;
using ::IInspectable;
using ::IUnknown;
using ::TrustLevel;
using ::ULONG;
// The IDL `boolean`: one byte, 0 or 1.
using boolean = ::boolean;

#else  // !_WIN32

using HRESULT = int32_t;
using ULONG = uint32_t;
using boolean = unsigned char;

struct GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
};

// Opaque: only the system creates string handles.
struct HStringHandle;
using HSTRING = HStringHandle*;

struct EventRegistrationToken {
  int64_t value;
};

// Only passed through GetTrustLevel; no code here looks at its values.
enum TrustLevel : int32_t {};

// No virtual destructor on purpose: a destructor would take vtable slots.
// Objects are destroyed by their own Release.
struct IUnknown {
  virtual HRESULT CORVANE_WINRT_CALL QueryInterface(const GUID& iid, void** object) = 0;
  virtual ULONG CORVANE_WINRT_CALL AddRef() = 0;
  virtual ULONG CORVANE_WINRT_CALL Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IInspectable : IUnknown {
  virtual HRESULT CORVANE_WINRT_CALL GetIids(ULONG* count, GUID** iids) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetRuntimeClassName(HSTRING* name) = 0;
  virtual HRESULT CORVANE_WINRT_CALL GetTrustLevel(TrustLevel* level) = 0;

 protected:
  ~IInspectable() = default;
};

#endif  // _WIN32

// Parses "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (either case, no braces).
// Used in constant expressions, where a malformed literal stops the build:
// the throw cannot be evaluated at compile time.
namespace guid_text {
constexpr uint32_t HexDigit(char c) {
  if (c >= '0' && c <= '9') return static_cast<uint32_t>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<uint32_t>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<uint32_t>(c - 'A' + 10);
  throw "not a hexadecimal digit in a GUID literal";
}
// `count` hex digits from `text + at`, skipping the dashes between groups.
constexpr uint32_t Hex(const char* text, int at, int count) {
  uint32_t value = 0;
  for (int i = 0; i < count; ++i) value = value << 4 | HexDigit(text[at + i]);
  return value;
}
}  // namespace guid_text

constexpr GUID ParseGuid(const char (&text)[37]) {
  if (text[8] != '-' || text[13] != '-' || text[18] != '-' || text[23] != '-') {
    throw "GUID literal is not in 8-4-4-4-12 form";
  }
  GUID guid{};
  guid.Data1 = guid_text::Hex(text, 0, 8);
  guid.Data2 = static_cast<uint16_t>(guid_text::Hex(text, 9, 4));
  guid.Data3 = static_cast<uint16_t>(guid_text::Hex(text, 14, 4));
  guid.Data4[0] = static_cast<uint8_t>(guid_text::Hex(text, 19, 2));
  guid.Data4[1] = static_cast<uint8_t>(guid_text::Hex(text, 21, 2));
  for (int i = 0; i < 6; ++i) guid.Data4[2 + i] = static_cast<uint8_t>(guid_text::Hex(text, 24 + 2 * i, 2));
  return guid;
}

// Field-wise equality; the SDK's operator== is not constexpr and does not
// exist off Windows.
constexpr bool SameGuid(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i) {
    if (a.Data4[i] != b.Data4[i]) return false;
  }
  return true;
}

// IUnknown and IAgileObject as the SDK headers define them (mingw-w64 10
// unknwn.h and objidlbase.h). On Windows the SDK's own values are used; a
// test checks under Wine that the two agree.
inline constexpr GUID kIidUnknown = ParseGuid("00000000-0000-0000-c000-000000000046");
inline constexpr GUID kIidAgileObject = ParseGuid("94ea2b94-e9cc-49e0-c0ff-ee64ca8f5b90");

#ifdef _WIN32
inline const GUID& IidOfUnknown() { return __uuidof(IUnknown); }
inline const GUID& IidOfAgileObject() { return __uuidof(IAgileObject); }
inline constexpr HRESULT kNullPointer = E_POINTER;
#else
inline const GUID& IidOfUnknown() { return kIidUnknown; }
inline const GUID& IidOfAgileObject() { return kIidAgileObject; }
inline constexpr HRESULT kNullPointer = static_cast<HRESULT>(0x80004003);  // E_POINTER
#endif

}  // namespace corvane::platform::winrt

#endif  // CORVANE_PLATFORM_WINDOWS_WINRT_BASE_H_
