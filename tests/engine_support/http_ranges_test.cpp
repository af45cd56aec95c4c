#include "platform/gst/support/http_ranges.h"

#include <gtest/gtest.h>

namespace corvane::platform::gst {
namespace {

TEST(HttpRanges, TheServerMustSayBytesOrAnswerPartially) {
  gst_init(nullptr, nullptr);
  const struct {
    unsigned status;
    const char* headers;  // a GstStructure as text, null for none
    bool accepts;
  } rows[] = {
      {200, "response-headers, Accept-Ranges=(string)bytes, Content-Length=(string)100", true},
      {200, "response-headers, accept-ranges=(string)Bytes", true},           // any case
      {200, "response-headers, Accept-Ranges=(string)\"none, bytes\"", true},  // a list
      {200, "response-headers, Accept-Ranges=(string)< none, bytes >", true},  // repeated header
      {200, "response-headers, Accept-Ranges=(string)none", false},
      {200, "response-headers, Content-Length=(string)100", false},  // silent: a simple server
      {200, nullptr, false},
      {206, "response-headers, Content-Range=(string)\"bytes 0-9/100\"", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.headers ? row.headers : "(none)");
    GstStructure* headers = row.headers ? gst_structure_from_string(row.headers, nullptr) : nullptr;
    if (row.headers) {
      ASSERT_NE(headers, nullptr);
    }
    EXPECT_EQ(ServerAcceptsRanges(row.status, headers), row.accepts);
    if (headers) gst_structure_free(headers);
  }
}

}  // namespace
}  // namespace corvane::platform::gst
