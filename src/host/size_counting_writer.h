// A writer that only counts, used to size an envelope before writing it.
#ifndef CORVANE_HOST_SIZE_COUNTING_WRITER_H_
#define CORVANE_HOST_SIZE_COUNTING_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <typeinfo>

#include "host/byte_streams.h"

namespace flutter::internal {

// Counts what a write would produce, alignment included. Lists of numbers
// and bytes count in one step, so a counting pass costs little next to the
// copy it prepares. The serializer writes no diagnostics into a counting
// pass; the real pass that follows does.
class SizeCountingWriter final : public ByteStreamWriter {
 public:
  void WriteByte(uint8_t) override { ++size_; }
  void WriteBytes(const uint8_t*, size_t length) override { size_ += length; }
  void WriteAlignment(uint8_t alignment) override {
    if (alignment != 0 && size_ % alignment != 0) size_ += alignment - size_ % alignment;
  }
  size_t size() const { return size_; }

 private:
  size_t size_ = 0;
};

inline bool IsSizeCounting(const ByteStreamWriter& writer) { return typeid(writer) == typeid(SizeCountingWriter); }

}  // namespace flutter::internal

#endif  // CORVANE_HOST_SIZE_COUNTING_WRITER_H_
