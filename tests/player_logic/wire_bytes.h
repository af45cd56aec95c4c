// Spells out expected standard-codec bytes by hand, value by value, so a
// test can state the exact message Dart receives.
#ifndef CORVANE_TESTS_PLAYER_LOGIC_WIRE_BYTES_H_
#define CORVANE_TESTS_PLAYER_LOGIC_WIRE_BYTES_H_

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace corvane::testing {

class WireBytes {
 public:
  // A success envelope starts with the byte 0.
  static WireBytes SuccessEnvelope() { return WireBytes().Byte(0); }

  WireBytes& Byte(uint8_t byte) {
    bytes_.push_back(byte);
    return *this;
  }
  // Sizes here stay below 254, so they take one byte.
  WireBytes& String(const std::string& text) {
    Byte(7).Byte(static_cast<uint8_t>(text.size()));
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  WireBytes& Int32(int32_t value) { return Byte(3).LittleEndian(static_cast<uint32_t>(value), 4); }
  WireBytes& Int64(int64_t value) { return Byte(4).LittleEndian(static_cast<uint64_t>(value), 8); }
  WireBytes& Double(double value) {
    Byte(6);
    while (bytes_.size() % 8 != 0) Byte(0);
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return LittleEndian(bits, 8);
  }
  WireBytes& True() { return Byte(1); }
  WireBytes& False() { return Byte(2); }
  WireBytes& Map(uint8_t entries) { return Byte(13).Byte(entries); }

  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  WireBytes& LittleEndian(uint64_t value, int width) {
    for (int i = 0; i < width; ++i) Byte(static_cast<uint8_t>(value >> (8 * i)));
    return *this;
  }
  std::vector<uint8_t> bytes_;
};

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLAYER_LOGIC_WIRE_BYTES_H_
