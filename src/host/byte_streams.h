// Byte streams the standard codec reads from and writes to.
//
// Positions count from the start of the message, never from memory
// addresses, so alignment padding is the same whatever buffer holds it.
#ifndef CORVANE_HOST_BYTE_STREAMS_H_
#define CORVANE_HOST_BYTE_STREAMS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

namespace flutter {

// A source of message bytes.
//
// Besides the three reading operations, a reader carries the per-message
// decoding state the serializer needs to read untrusted input safely: how
// many bytes remain (so a size prefix cannot make it allocate more than the
// message could hold), whether a read has failed (after which decoding stops),
// and the current nesting depth.
class ByteStreamReader {
 public:
  ByteStreamReader() = default;
  virtual ~ByteStreamReader() = default;
  ByteStreamReader(const ByteStreamReader&) = delete;
  ByteStreamReader& operator=(const ByteStreamReader&) = delete;

  // Returns the next byte, or 0 after reporting an invalid read at the end.
  virtual uint8_t ReadByte() = 0;
  // Copies the next `length` bytes; copies nothing and reports an invalid
  // read when fewer remain.
  virtual void ReadBytes(uint8_t* buffer, size_t length) = 0;
  // Skips to the next multiple of `alignment`, stopping at the end.
  virtual void ReadAlignment(uint8_t alignment) = 0;

  virtual size_t BytesRemaining() const = 0;
  // Lends the next `length` bytes in place and moves past them, or returns
  // null (moving nothing) when this reader cannot lend its storage or fewer
  // bytes remain. The bytes stay valid as long as the reader's input does.
  virtual const uint8_t* BorrowBytes(size_t length);

  // Writes the invalid-read line and marks the stream failed.
  void ReportInvalidRead();
  void MarkFailed() { failed_ = true; }
  bool failed() const { return failed_; }

  // Nesting of lists and maps being read, kept by the serializer.
  int NestingDepth() const { return nestingDepth_; }
  void SetNestingDepth(int depth) { nestingDepth_ = depth; }

 private:
  bool failed_ = false;
  int nestingDepth_ = 0;
};

// Reads a byte range in place; the range must outlive the reader.
class ByteBufferStreamReader final : public ByteStreamReader {
 public:
  ByteBufferStreamReader(const uint8_t* bytes, size_t size);

  uint8_t ReadByte() override;
  void ReadBytes(uint8_t* buffer, size_t length) override;
  void ReadAlignment(uint8_t alignment) override;
  size_t BytesRemaining() const override { return size_ - location_; }
  const uint8_t* BorrowBytes(size_t length) override;

  size_t location() const { return location_; }

 private:
  const uint8_t* bytes_;
  size_t size_;
  size_t location_ = 0;
};

// A sink for message bytes.
class ByteStreamWriter {
 public:
  ByteStreamWriter() = default;
  virtual ~ByteStreamWriter() = default;
  ByteStreamWriter(const ByteStreamWriter&) = delete;
  ByteStreamWriter& operator=(const ByteStreamWriter&) = delete;

  virtual void WriteByte(uint8_t byte) = 0;
  virtual void WriteBytes(const uint8_t* bytes, size_t length) = 0;
  // Appends zero bytes until the length written is a multiple of `alignment`.
  virtual void WriteAlignment(uint8_t alignment) = 0;
};

// Appends to a vector that it does not own.
class ByteBufferStreamWriter final : public ByteStreamWriter {
 public:
  explicit ByteBufferStreamWriter(std::vector<uint8_t>* buffer) : buffer_(buffer) {}

  void WriteByte(uint8_t byte) override { buffer_->push_back(byte); }
  void WriteBytes(const uint8_t* bytes, size_t length) override;
  void WriteAlignment(uint8_t alignment) override;

 private:
  std::vector<uint8_t>* buffer_;
};

}  // namespace flutter

#endif  // CORVANE_HOST_BYTE_STREAMS_H_
