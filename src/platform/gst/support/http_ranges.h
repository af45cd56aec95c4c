// Whether an HTTP server will answer byte-range requests, judged from its
// answer to the request for the whole resource.
//
// GStreamer's HTTP source takes every server that does not say
// "Accept-Ranges: none" for one that can seek, and fails the whole source
// with an error when a seek meets a server that ignores the range (many
// simple and embedded servers answer 200 with the whole body). A server
// that takes ranges answers 206, or says "Accept-Ranges: bytes"; any other
// is played from the start without seeking.
//
// Pure; any thread.
#ifndef CORVANE_PLATFORM_GST_SUPPORT_HTTP_RANGES_H_
#define CORVANE_PLATFORM_GST_SUPPORT_HTTP_RANGES_H_

#include <gst/gst.h>

namespace corvane::platform::gst {

// `responseHeaders` holds one field per header, named as the server wrote
// it (any case), a string or an array of strings for a repeated header;
// null when there were none.
bool ServerAcceptsRanges(unsigned statusCode, const GstStructure* responseHeaders);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUPPORT_HTTP_RANGES_H_
