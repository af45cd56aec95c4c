// Caps, tag lists and errors built from their serialised forms, owned for
// the length of a test.
#ifndef CORVANE_TESTS_ENGINE_SUPPORT_GST_VALUES_H_
#define CORVANE_TESTS_ENGINE_SUPPORT_GST_VALUES_H_

#include <gst/gst.h>

#include <memory>
#include <string>

#include "platform/gst/gst_handles.h"

namespace corvane::testing {

using CapsPtr = platform::gst::MiniPtr<GstCaps>;
using TagListPtr = platform::gst::MiniPtr<GstTagList>;
using platform::ErrorPtr;

inline void EnsureGstInitialised() { gst_init(nullptr, nullptr); }

// Adopt: gst_caps_from_string returns a new reference. Null for "".
inline CapsPtr CapsFrom(const std::string& text) {
  if (text.empty()) return nullptr;
  return CapsPtr(gst_caps_from_string(text.c_str()));
}

// Adopt: gst_tag_list_new_from_string returns a new reference. The string is
// a serialised tag list: "taglist, title=(string)\"English\", ...". Null for "".
inline TagListPtr TagsFrom(const std::string& text) {
  if (text.empty()) return nullptr;
  return TagListPtr(gst_tag_list_new_from_string(text.c_str()));
}

// Adopt: g_error_new_literal returns an owned error.
inline ErrorPtr MakeError(GQuark domain, int code, const char* message) {
  return ErrorPtr(g_error_new_literal(domain, code, message));
}

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_ENGINE_SUPPORT_GST_VALUES_H_
