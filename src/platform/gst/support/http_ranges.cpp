#include "platform/gst/support/http_ranges.h"

#include <string>

namespace corvane::platform::gst {
namespace {

constexpr unsigned kPartialContent = 206;

// Whether a header value lists the "bytes" range unit ("bytes", "Bytes",
// "none, bytes" ...).
bool ListsBytes(const char* value) {
  if (value == nullptr) return false;
  const std::string units(value);
  size_t start = 0;
  while (start <= units.size()) {
    size_t end = units.find(',', start);
    if (end == std::string::npos) end = units.size();
    const size_t first = units.find_first_not_of(" \t", start);
    const size_t last = units.find_last_not_of(" \t", end == 0 ? 0 : end - 1);
    if (first != std::string::npos && first < end && last >= first &&
        g_ascii_strncasecmp(units.c_str() + first, "bytes", 5) == 0 && last - first + 1 == 5) {
      return true;
    }
    start = end + 1;
  }
  return false;
}

bool ValueListsBytes(const GValue* value) {
  if (G_VALUE_HOLDS_STRING(value)) return ListsBytes(g_value_get_string(value));
  if (GST_VALUE_HOLDS_ARRAY(value)) {
    for (guint i = 0; i < gst_value_array_get_size(value); ++i) {
      if (ValueListsBytes(gst_value_array_get_value(value, i))) return true;
    }
  }
  return false;
}

}  // namespace

bool ServerAcceptsRanges(unsigned statusCode, const GstStructure* responseHeaders) {
  if (statusCode == kPartialContent) return true;
  if (responseHeaders == nullptr) return false;
  for (gint i = 0; i < gst_structure_n_fields(responseHeaders); ++i) {
    const gchar* name = gst_structure_nth_field_name(responseHeaders, static_cast<guint>(i));
    if (g_ascii_strcasecmp(name, "Accept-Ranges") != 0) continue;
    if (ValueListsBytes(gst_structure_get_value(responseHeaders, name))) return true;
  }
  return false;
}

}  // namespace corvane::platform::gst
