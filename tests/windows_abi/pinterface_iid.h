// Recomputes the IID of an instantiated Windows Runtime generic interface
// from its type signature, the way the runtime derives it:
//   SHA-1( the 16 bytes of 11f47ad5-7b73-42c0-abae-878b1e16adee, big-endian
//          || the UTF-8 signature ), first 16 bytes,
//   byte 6 = (b6 & 0x0f) | 0x50 (name-based, SHA-1), byte 8 = (b8 & 0x3f) | 0x80,
//   read back as a big-endian GUID.
// Signature grammar: pinterface({generic-iid};arg;...), rc(Full.Class;{default-iid}),
// {iid} for an interface, cinterface(IInspectable), struct(Full.Name;field;...)
// with nested structs written out, and string, b1, i4, u4, i8, f8 for
// primitives. GUIDs in signatures are lower-case.
#ifndef CORVANE_TESTS_WINDOWS_ABI_PINTERFACE_IID_H_
#define CORVANE_TESTS_WINDOWS_ABI_PINTERFACE_IID_H_

#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "platform/windows/winrt_base.h"

namespace corvane::test {

using platform::winrt::GUID;

std::array<uint8_t, 20> Sha1(std::string_view data);
std::string Hex(const uint8_t* bytes, size_t count);

GUID PinterfaceIid(std::string_view signature);

// "603e88e4-a338-4ffe-a457-a5cfb9ceb899": lower case, no braces.
std::string FormatGuid(const GUID& guid);

// Signature pieces.
inline constexpr std::string_view kStringSignature = "string";
inline constexpr std::string_view kInspectableSignature = "cinterface(IInspectable)";
std::string InterfaceSignature(const GUID& iid);  // {iid}
std::string RuntimeClassSignature(std::string_view name, const GUID& default_iid);
std::string StructSignature(std::string_view name, std::initializer_list<std::string> fields);
std::string PinterfaceSignature(const GUID& generic_iid, std::initializer_list<std::string> arguments);

}  // namespace corvane::test

#endif  // CORVANE_TESTS_WINDOWS_ABI_PINTERFACE_IID_H_
