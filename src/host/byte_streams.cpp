#include "host/byte_streams.h"

#include <algorithm>
#include <cstring>

#include "host/diagnostics.h"

namespace flutter {

const uint8_t* ByteStreamReader::BorrowBytes(size_t /*length*/) { return nullptr; }

void ByteStreamReader::ReportInvalidRead() {
  internal::WriteDiagnosticLine("Invalid read in StandardCodecByteStreamReader");
  failed_ = true;
}

ByteBufferStreamReader::ByteBufferStreamReader(const uint8_t* bytes, size_t size)
    : bytes_(bytes), size_(bytes ? size : 0) {}

uint8_t ByteBufferStreamReader::ReadByte() {
  if (location_ >= size_) {
    ReportInvalidRead();
    return 0;
  }
  return bytes_[location_++];
}

void ByteBufferStreamReader::ReadBytes(uint8_t* buffer, size_t length) {
  if (length > size_ - location_) {
    ReportInvalidRead();
    return;
  }
  if (length == 0) return;
  std::memcpy(buffer, bytes_ + location_, length);
  location_ += length;
}

void ByteBufferStreamReader::ReadAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  const size_t misalignment = location_ % alignment;
  if (misalignment != 0) location_ = std::min(size_, location_ + (alignment - misalignment));
}

const uint8_t* ByteBufferStreamReader::BorrowBytes(size_t length) {
  if (length > size_ - location_) return nullptr;
  const uint8_t* borrowed = bytes_ + location_;
  location_ += length;
  return borrowed;
}

void ByteBufferStreamWriter::WriteBytes(const uint8_t* bytes, size_t length) {
  if (length == 0) return;
  buffer_->insert(buffer_->end(), bytes, bytes + length);
}

void ByteBufferStreamWriter::WriteAlignment(uint8_t alignment) {
  if (alignment == 0) return;
  const size_t misalignment = buffer_->size() % alignment;
  if (misalignment != 0) buffer_->resize(buffer_->size() + (alignment - misalignment), 0);
}

}  // namespace flutter
