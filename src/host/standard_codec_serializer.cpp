#include "host/standard_codec_serializer.h"

#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

#include "host/diagnostics.h"
#include "host/size_counting_writer.h"
#include "host/utf8.h"

// The wire format is little-endian and so is every host we build for; values
// are copied in host order.
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the standard codec assumes a little-endian host");

namespace flutter {
namespace {

// Type codes of the standard message format.
enum TypeCode : uint8_t {
  kNull = 0,
  kTrue = 1,
  kFalse = 2,
  kInt32 = 3,
  kInt64 = 4,
  kLargeInt = 5,  // a decimal string; read as a string
  kFloat64 = 6,
  kString = 7,
  kUInt8List = 8,
  kInt32List = 9,
  kInt64List = 10,
  kFloat64List = 11,
  kList = 12,
  kMap = 13,
  kFloat32List = 14,
};

constexpr uint8_t kTwoByteSizeMarker = 254;
constexpr uint8_t kFourByteSizeMarker = 255;

// The type code of a list of T.
template <typename T>
constexpr uint8_t TypedListCode() {
  if constexpr (std::is_same_v<T, uint8_t>) return kUInt8List;
  if constexpr (std::is_same_v<T, int32_t>) return kInt32List;
  if constexpr (std::is_same_v<T, int64_t>) return kInt64List;
  if constexpr (std::is_same_v<T, double>) return kFloat64List;
  if constexpr (std::is_same_v<T, float>) return kFloat32List;
}

template <typename T>
T ReadScalar(ByteStreamReader* stream) {
  T value{};
  uint8_t bytes[sizeof(T)] = {};
  stream->ReadBytes(bytes, sizeof(T));
  if (!stream->failed()) std::memcpy(&value, bytes, sizeof(T));
  return value;
}

template <typename T>
void WriteScalar(T value, ByteStreamWriter* stream) {
  uint8_t bytes[sizeof(T)];
  std::memcpy(bytes, &value, sizeof(T));
  stream->WriteBytes(bytes, sizeof(T));
}

// Reads `count` elements of T that the caller has checked are present, with
// one bulk copy. Elements are copied straight from a borrowed range when it
// is aligned for T (as the reader's alignment makes it in any message whose
// buffer is); otherwise they are zero-filled first, which measures faster
// than building the vector element by element from unaligned input.
template <typename T>
std::vector<T> ReadElements(size_t count, ByteStreamReader* stream) {
  // An empty vector's data() may be null, which memcpy must never be given.
  if (count == 0) return {};
  const size_t byteCount = count * sizeof(T);
  if (const uint8_t* borrowed = stream->BorrowBytes(byteCount)) {
    if (reinterpret_cast<uintptr_t>(borrowed) % alignof(T) == 0) {
      const T* first = reinterpret_cast<const T*>(borrowed);
      return std::vector<T>(first, first + count);
    }
    std::vector<T> elements(count);
    std::memcpy(elements.data(), borrowed, byteCount);
    return elements;
  }
  std::vector<T> elements(count);
  stream->ReadBytes(reinterpret_cast<uint8_t*>(elements.data()), byteCount);
  if (stream->failed()) elements.clear();
  return elements;
}

class NestingScope {
 public:
  explicit NestingScope(ByteStreamReader* stream) : stream_(stream) {
    stream_->SetNestingDepth(stream_->NestingDepth() + 1);
  }
  ~NestingScope() { stream_->SetNestingDepth(stream_->NestingDepth() - 1); }
  NestingScope(const NestingScope&) = delete;
  NestingScope& operator=(const NestingScope&) = delete;

 private:
  ByteStreamReader* stream_;
};

bool RefuseOversized(size_t size, ByteStreamWriter* stream) {
  if (size <= StandardCodecSerializer::kMaxEncodableSize) return false;
  if (!internal::IsSizeCounting(*stream)) {
    internal::WriteDiagnosticLine("Value of " + std::to_string(size) +
                                  " elements is too large for StandardCodecSerializer::WriteValue; written as null.");
  }
  stream->WriteByte(kNull);
  return true;
}

}  // namespace

const StandardCodecSerializer& StandardCodecSerializer::GetInstance() {
  static const StandardCodecSerializer instance;
  return instance;
}

EncodableValue StandardCodecSerializer::ReadValue(ByteStreamReader* stream) const {
  if (stream->failed()) return EncodableValue();
  const uint8_t type = stream->ReadByte();
  if (stream->failed()) return EncodableValue();
  return ReadValueOfType(type, stream);
}

size_t StandardCodecSerializer::ReadSize(ByteStreamReader* stream) const {
  const uint8_t first = stream->ReadByte();
  if (first < kTwoByteSizeMarker) return first;
  if (first == kTwoByteSizeMarker) return ReadScalar<uint16_t>(stream);
  return ReadScalar<uint32_t>(stream);
}

bool StandardCodecSerializer::WriteSize(size_t size, ByteStreamWriter* stream) const {
  if (size < kTwoByteSizeMarker) {
    stream->WriteByte(static_cast<uint8_t>(size));
  } else if (size <= 0xFFFF) {
    stream->WriteByte(kTwoByteSizeMarker);
    WriteScalar(static_cast<uint16_t>(size), stream);
  } else if (size <= kMaxEncodableSize) {
    stream->WriteByte(kFourByteSizeMarker);
    WriteScalar(static_cast<uint32_t>(size), stream);
  } else {
    return false;
  }
  return true;
}

EncodableValue StandardCodecSerializer::ReadValueOfType(uint8_t type, ByteStreamReader* stream) const {
  // Reads a typed list: size, padding to the element width (also for an
  // empty list), elements. A count the rest of the message cannot hold is
  // refused before anything is allocated.
  auto readListOf = [stream, this](auto elementTag) -> EncodableValue {
    using T = decltype(elementTag);
    const size_t count = ReadSize(stream);
    if (stream->failed()) return std::vector<T>();
    if constexpr (sizeof(T) > 1) stream->ReadAlignment(sizeof(T));
    if (count > stream->BytesRemaining() / sizeof(T)) {
      stream->ReportInvalidRead();
      return std::vector<T>();
    }
    return ReadElements<T>(count, stream);
  };

  switch (type) {
    case kNull:
      return EncodableValue();
    case kTrue:
      return EncodableValue(true);
    case kFalse:
      return EncodableValue(false);
    case kInt32:
      return EncodableValue(ReadScalar<int32_t>(stream));
    case kInt64:
      return EncodableValue(ReadScalar<int64_t>(stream));
    case kFloat64:
      stream->ReadAlignment(8);
      return EncodableValue(ReadScalar<double>(stream));
    case kLargeInt:
    case kString: {
      const size_t length = ReadSize(stream);
      if (stream->failed()) return EncodableValue(std::string());
      if (length > stream->BytesRemaining()) {
        stream->ReportInvalidRead();
        return EncodableValue(std::string());
      }
      if (const uint8_t* borrowed = stream->BorrowBytes(length)) {
        return EncodableValue(std::string(reinterpret_cast<const char*>(borrowed), length));
      }
      std::string text(length, '\0');
      stream->ReadBytes(reinterpret_cast<uint8_t*>(text.data()), length);
      if (stream->failed()) text.clear();
      return EncodableValue(std::move(text));
    }
    case kUInt8List:
      return readListOf(uint8_t{});
    case kInt32List:
      return readListOf(int32_t{});
    case kInt64List:
      return readListOf(int64_t{});
    case kFloat64List:
      return readListOf(double{});
    case kFloat32List:
      return readListOf(float{});
    case kList:
    case kMap: {
      const size_t count = ReadSize(stream);
      const bool isMap = type == kMap;
      // Every element takes at least one byte, every entry two.
      const size_t mostThatFit = stream->BytesRemaining() / (isMap ? 2 : 1);
      if (!stream->failed() && count > mostThatFit) stream->ReportInvalidRead();
      if (!stream->failed() && stream->NestingDepth() >= kMaxNestingDepth) {
        internal::WriteDiagnosticLine("Nesting deeper than " + std::to_string(kMaxNestingDepth) +
                                      " levels in StandardCodecSerializer::ReadValueOfType");
        stream->MarkFailed();
      }
      if (stream->failed()) return isMap ? EncodableValue(EncodableMap()) : EncodableValue(EncodableList());
      NestingScope nesting(stream);
      if (!isMap) {
        EncodableList list;
        list.reserve(count);
        for (size_t i = 0; i < count && !stream->failed(); ++i) list.push_back(ReadValue(stream));
        return EncodableValue(std::move(list));
      }
      EncodableMap map;
      for (size_t i = 0; i < count && !stream->failed(); ++i) {
        EncodableValue key = ReadValue(stream);
        EncodableValue value = ReadValue(stream);
        if (stream->failed()) break;
        // Keys usually arrive sorted, which makes the end a good hint. A
        // repeated key keeps its first value.
        map.emplace_hint(map.end(), std::move(key), std::move(value));
      }
      return EncodableValue(std::move(map));
    }
    default:
      internal::WriteDiagnosticLine("Unknown type in StandardCodecSerializer::ReadValueOfType: " +
                                    std::to_string(static_cast<int>(type)));
      // The length of an unknown value is unknown, so nothing after it can
      // be located: stop reading.
      stream->MarkFailed();
      return EncodableValue();
  }
}

void StandardCodecSerializer::WriteValue(const EncodableValue& value, ByteStreamWriter* stream) const {
  auto writeListOf = [stream, this](const auto& elements) {
    using T = typename std::decay_t<decltype(elements)>::value_type;
    if (RefuseOversized(elements.size(), stream)) return;
    stream->WriteByte(TypedListCode<T>());
    WriteSize(elements.size(), stream);
    // Padding goes in for an empty list too, so that every reader finds the
    // layout it expects whatever the count.
    if constexpr (sizeof(T) > 1) stream->WriteAlignment(sizeof(T));
    stream->WriteBytes(reinterpret_cast<const uint8_t*>(elements.data()), elements.size() * sizeof(T));
  };

  std::visit(
      [&](const auto& held) {
        using T = std::decay_t<decltype(held)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          stream->WriteByte(kNull);
        } else if constexpr (std::is_same_v<T, bool>) {
          stream->WriteByte(held ? kTrue : kFalse);
        } else if constexpr (std::is_same_v<T, int32_t> || std::is_same_v<T, int64_t>) {
          stream->WriteByte(std::is_same_v<T, int32_t> ? kInt32 : kInt64);
          WriteScalar(held, stream);
        } else if constexpr (std::is_same_v<T, double>) {
          stream->WriteByte(kFloat64);
          stream->WriteAlignment(8);
          WriteScalar(held, stream);
        } else if constexpr (std::is_same_v<T, std::string>) {
          // Dart refuses the whole message for one ill-formed string; the
          // rare one (a file name in another encoding, a tag of a broken
          // file) goes out with U+FFFD in place of what cannot be read.
          if (!internal::IsValidUtf8(held)) {
            WriteValue(EncodableValue(internal::ToValidUtf8(held)), stream);
            return;
          }
          if (RefuseOversized(held.size(), stream)) return;
          stream->WriteByte(kString);
          WriteSize(held.size(), stream);
          stream->WriteBytes(reinterpret_cast<const uint8_t*>(held.data()), held.size());
        } else if constexpr (std::is_same_v<T, EncodableList>) {
          if (RefuseOversized(held.size(), stream)) return;
          stream->WriteByte(kList);
          WriteSize(held.size(), stream);
          for (const EncodableValue& element : held) WriteValue(element, stream);
        } else if constexpr (std::is_same_v<T, EncodableMap>) {
          if (RefuseOversized(held.size(), stream)) return;
          stream->WriteByte(kMap);
          WriteSize(held.size(), stream);
          for (const auto& [key, entry] : held) {
            WriteValue(key, stream);
            WriteValue(entry, stream);
          }
        } else if constexpr (std::is_same_v<T, CustomEncodableValue>) {
          stream->WriteByte(kNull);
          if (internal::IsSizeCounting(*stream)) return;
          internal::WriteDiagnosticLine(
              "Unhandled custom type in StandardCodecSerializer::WriteValue. "
              "Custom types require codec extensions.");
        } else {
          writeListOf(held);
        }
      },
      static_cast<const EncodableValue::Variant&>(value));
}

}  // namespace flutter
