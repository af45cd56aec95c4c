// UTF-8 well-formedness for what the plugin writes.
//
// Dart decodes every string of a message strictly: one ill-formed string
// loses the whole event or reply. Strings reach the codec from file names
// (bytes on Linux), tags inside media files and exception texts, so the
// serializer repairs them on the way out.
#ifndef CORVANE_HOST_UTF8_H_
#define CORVANE_HOST_UTF8_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace flutter::internal {

// The length of the well-formed UTF-8 sequence that starts at `at` (1 to
// 4), or 0 when the bytes there are ill-formed.
size_t Utf8SequenceLength(std::string_view text, size_t at);

// Well-formed UTF-8 as Unicode defines it: no overlong forms, no surrogates,
// nothing above U+10FFFF.
bool IsValidUtf8(std::string_view text);

// `text` with each maximal ill-formed subsequence replaced by U+FFFD (the
// Unicode standard's recommended practice, which Dart follows too).
std::string ToValidUtf8(std::string_view text);

}  // namespace flutter::internal

#endif  // CORVANE_HOST_UTF8_H_
