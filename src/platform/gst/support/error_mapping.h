// GStreamer errors to the portable MediaPlayerError.
//
// One pure table, so that every engine failure the player reports goes
// through the same rules and the rules are tested row by row.
#ifndef CORVANE_PLATFORM_GST_SUPPORT_ERROR_MAPPING_H_
#define CORVANE_PLATFORM_GST_SUPPORT_ERROR_MAPPING_H_

#include <glib.h>

#include <string>

#include "platform/media_engine.h"

namespace corvane::platform::gst {

// `error` and `debug` are what the first ERROR message of the pipeline
// carries (gst_message_parse_error). The debug text names the posting
// element's path ("/GstPlayBin:playbin/.../GstSoupHTTPSrc:source:"), which
// is how a network source's failure is told from a local one: GStreamer 1.22
// reports an HTTP 404 as GST_RESOURCE_ERROR_NOT_FOUND, exactly as filesrc
// reports a missing file, and a refused connection only as a generic
// GST_STREAM_ERROR_FAILED from the source's streaming loop.
//
//   network source unreachable, refused, timed out, HTTP error status,
//   TLS failure, broken off                          -> NetworkError
//   file missing or unreadable, stream type unknown, no decodable stream
//   (missing plugin)                                 -> SourceNotSupported
//   corrupt data met while demuxing or decoding      -> DecodingError
//   anything else, and a null error                  -> Unknown
MediaPlayerError MapGstError(const GError* error, const std::string& debug);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUPPORT_ERROR_MAPPING_H_
