// Flutter's standard message format for one EncodableValue.
#ifndef CORVANE_HOST_STANDARD_CODEC_SERIALIZER_H_
#define CORVANE_HOST_STANDARD_CODEC_SERIALIZER_H_

#include <cstddef>
#include <cstdint>

#include "host/byte_streams.h"
#include "host/encodable_value.h"

namespace flutter {

// Writes and reads single values. Stateless; one shared instance serves the
// whole process, and a derived serializer adds types by overriding
// WriteValue and ReadValueOfType (nested values go through both virtually).
//
// Reading is hardened against hostile bytes: a size prefix announcing more
// than the rest of the message can hold, a truncated value, an unknown type
// code or nesting deeper than kMaxNestingDepth is a read error. The erroneous
// value comes out empty, the reader is marked failed and nothing further is
// read from it; memory use stays proportional to the message size.
class StandardCodecSerializer {
 public:
  static constexpr int kMaxNestingDepth = 256;
  // The largest size the 32-bit size prefix can carry.
  static constexpr uint64_t kMaxEncodableSize = 0xFFFFFFFFu;

  virtual ~StandardCodecSerializer() = default;
  StandardCodecSerializer(const StandardCodecSerializer&) = delete;
  StandardCodecSerializer& operator=(const StandardCodecSerializer&) = delete;

  static const StandardCodecSerializer& GetInstance();

  // Reads a type byte and the value it introduces. Returns null at once when
  // the stream has already failed.
  EncodableValue ReadValue(ByteStreamReader* stream) const;

  // A value whose size does not fit the 32-bit prefix is refused: it is
  // written as null, with a diagnostic, never with a truncated prefix. A
  // string that is not well-formed UTF-8 is written with U+FFFD in place of
  // each ill-formed sequence, since Dart would refuse the whole message.
  virtual void WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const;

 protected:
  StandardCodecSerializer() = default;

  virtual EncodableValue ReadValueOfType(uint8_t type, ByteStreamReader* stream) const;

  // Sizes below 254 take one byte, up to 65535 the byte 254 and 16 bits,
  // above that the byte 255 and 32 bits, all little-endian.
  size_t ReadSize(ByteStreamReader* stream) const;
  // Returns false, writing nothing, for a size above kMaxEncodableSize.
  bool WriteSize(size_t size, ByteStreamWriter* stream) const;
};

}  // namespace flutter

#endif  // CORVANE_HOST_STANDARD_CODEC_SERIALIZER_H_
