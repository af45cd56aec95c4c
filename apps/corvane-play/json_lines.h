// EncodableValue as JSON text, one value per line, for the headless mode's
// output and anything that reads it.
#ifndef CORVANE_APPS_PLAY_JSON_LINES_H_
#define CORVANE_APPS_PLAY_JSON_LINES_H_

#include <string>

#include "host/encodable_value.h"

namespace corvane::play {

// Compact JSON without line breaks. Maps become objects in the map's own
// key order (the order the codec puts on the wire); a key that is not a
// string becomes the JSON text of the key, quoted. Integers are written
// exactly (also beyond 2^53); doubles with enough digits to read back the
// same value, and always with a '.' or exponent so a reader can tell 1.0
// from 1; NaN and infinities, which JSON cannot hold, become null. Byte and
// number lists become arrays; custom values become null. Invalid UTF-8 in
// strings is replaced with U+FFFD so the line stays valid JSON.
std::string ToJson(const flutter::EncodableValue& value);

// A JSON string literal, quotes included.
std::string JsonString(const std::string& text);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_JSON_LINES_H_
