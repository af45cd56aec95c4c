#include "pinterface_iid.h"

#include <cstdio>
#include <vector>

namespace corvane::test {
namespace {

uint32_t RotateLeft(uint32_t value, int bits) { return value << bits | value >> (32 - bits); }

// FIPS 180-4, one 64-byte block.
void Sha1Block(const uint8_t* block, uint32_t state[5]) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) {
    w[i] = uint32_t{block[4 * i]} << 24 | uint32_t{block[4 * i + 1]} << 16 | uint32_t{block[4 * i + 2]} << 8 |
           uint32_t{block[4 * i + 3]};
  }
  for (int i = 16; i < 80; ++i) w[i] = RotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5a827999;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ed9eba1;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8f1bbcdc;
    } else {
      f = b ^ c ^ d;
      k = 0xca62c1d6;
    }
    const uint32_t next = RotateLeft(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = RotateLeft(b, 30);
    b = a;
    a = next;
  }
  state[0] += a;
  state[1] += b;
  state[2] += c;
  state[3] += d;
  state[4] += e;
}

}  // namespace

std::array<uint8_t, 20> Sha1(std::string_view data) {
  std::vector<uint8_t> message(data.begin(), data.end());
  const uint64_t bit_length = uint64_t{data.size()} * 8;
  message.push_back(0x80);
  while (message.size() % 64 != 56) message.push_back(0);
  for (int shift = 56; shift >= 0; shift -= 8) message.push_back(static_cast<uint8_t>(bit_length >> shift));

  uint32_t state[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};
  for (size_t at = 0; at < message.size(); at += 64) Sha1Block(&message[at], state);

  std::array<uint8_t, 20> digest{};
  for (int i = 0; i < 20; ++i) digest[i] = static_cast<uint8_t>(state[i / 4] >> (24 - 8 * (i % 4)));
  return digest;
}

std::string Hex(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xf];
  }
  return text;
}

GUID PinterfaceIid(std::string_view signature) {
  // The namespace GUID in its big-endian (RFC 4122) byte order.
  static constexpr uint8_t kNamespace[16] = {0x11, 0xf4, 0x7a, 0xd5, 0x7b, 0x73, 0x42, 0xc0,
                                             0xab, 0xae, 0x87, 0x8b, 0x1e, 0x16, 0xad, 0xee};
  std::string input(reinterpret_cast<const char*>(kNamespace), sizeof kNamespace);
  input += signature;  // already UTF-8: signatures are ASCII
  const std::array<uint8_t, 20> hash = Sha1(input);
  uint8_t b[16];
  for (int i = 0; i < 16; ++i) b[i] = hash[i];
  b[6] = static_cast<uint8_t>((b[6] & 0x0f) | 0x50);
  b[8] = static_cast<uint8_t>((b[8] & 0x3f) | 0x80);

  GUID guid{};
  guid.Data1 = uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
  guid.Data2 = static_cast<uint16_t>(b[4] << 8 | b[5]);
  guid.Data3 = static_cast<uint16_t>(b[6] << 8 | b[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = b[8 + i];
  return guid;
}

std::string FormatGuid(const GUID& guid) {
  char text[37];
  std::snprintf(text, sizeof text, "%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                static_cast<unsigned long>(guid.Data1), static_cast<unsigned>(guid.Data2),
                static_cast<unsigned>(guid.Data3), guid.Data4[0], guid.Data4[1], guid.Data4[2], guid.Data4[3],
                guid.Data4[4], guid.Data4[5], guid.Data4[6], guid.Data4[7]);
  return text;
}

std::string InterfaceSignature(const GUID& iid) { return "{" + FormatGuid(iid) + "}"; }

std::string RuntimeClassSignature(std::string_view name, const GUID& default_iid) {
  return "rc(" + std::string(name) + ";" + InterfaceSignature(default_iid) + ")";
}

namespace {
std::string Joined(std::string head, std::initializer_list<std::string> parts) {
  for (const std::string& part : parts) head += ";" + part;
  return head + ")";
}
}  // namespace

std::string StructSignature(std::string_view name, std::initializer_list<std::string> fields) {
  return Joined("struct(" + std::string(name), fields);
}

std::string PinterfaceSignature(const GUID& generic_iid, std::initializer_list<std::string> arguments) {
  return Joined("pinterface(" + InterfaceSignature(generic_iid), arguments);
}

}  // namespace corvane::test
