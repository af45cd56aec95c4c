#include "platform/gst/support/error_mapping.h"

#include <gio/gio.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include "engine_support/gst_values.h"

namespace corvane::platform::gst {
namespace {

using corvane::testing::MakeError;

// Rows are what GStreamer 1.22 posts for each failure (texts taken from real
// pipelines: souphttpsrc against a loopback server, filesrc, typefind).
struct ErrorRow {
  const char* label;
  GQuark domain;
  int code;
  const char* message;
  const char* debug;
  MediaPlayerError expected;
};

void ExpectRows(const std::vector<ErrorRow>& rows) {
  for (const ErrorRow& row : rows) {
    auto error = MakeError(row.domain, row.code, row.message);
    EXPECT_EQ(MapGstError(error.get(), row.debug), row.expected) << row.label;
  }
}

constexpr const char* kSoupPath = "/GstPlayBin:playbin/GstURIDecodeBin:uridecodebin0/GstSoupHTTPSrc:source:\n";

class ErrorMappingTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { corvane::testing::EnsureGstInitialised(); }
};

TEST_F(ErrorMappingTest, NetworkFailures_AreNetworkErrors) {
  const std::string soupStatus = std::string("../ext/soup/gstsouphttpsrc.c(1683): gst_soup_http_src_parse_status (): ") +
                                 kSoupPath;
  ExpectRows({
      {"http_404", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "Not Found",
       (soupStatus + "Not Found (404), URL: http://127.0.0.1:8080/a.mp4, Redirect to: (NULL)").c_str(),
       MediaPlayerError::NetworkError},
      {"http_403", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_AUTHORIZED, "Forbidden",
       (soupStatus + "Forbidden (403), URL: http://127.0.0.1:8080/a.mp4, Redirect to: (NULL)").c_str(),
       MediaPlayerError::NetworkError},
      {"http_500", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, "Internal Server Error",
       (soupStatus + "Internal Server Error (500), URL: http://127.0.0.1:8080/a.mp4, Redirect to: (NULL)").c_str(),
       MediaPlayerError::NetworkError},
      {"broken_off_mid_stream", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, "Server does not support seeking.",
       (std::string("../ext/soup/gstsouphttpsrc.c(1948): gst_soup_http_src_do_request (): ") + kSoupPath +
        "Server does not accept Range HTTP header, URL: http://127.0.0.1:8080/a.mp4, Redirect to: (NULL)")
           .c_str(),
       MediaPlayerError::NetworkError},
      // A refused connection, an unknown host, a TLS failure and a time-out
      // all reach the bus as the source loop's generic failure.
      {"refused_or_unreachable", GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "Internal data stream error.",
       (std::string("../libs/gst/base/gstbasesrc.c(3132): gst_base_src_loop (): ") + kSoupPath +
        "streaming stopped, reason error (-5)")
           .c_str(),
       MediaPlayerError::NetworkError},
      {"hls_fragment_download", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "Couldn't download fragments",
       "/GstPlayBin:playbin/GstURIDecodeBin:uridecodebin0/GstHLSDemux:hlsdemux0:\nfragment download failed",
       MediaPlayerError::NetworkError},
      {"connection_wording_without_path", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ,
       "Could not connect to server", "", MediaPlayerError::NetworkError},
      {"tls_domain", G_TLS_ERROR, G_TLS_ERROR_BAD_CERTIFICATE, "Unacceptable TLS certificate", "",
       MediaPlayerError::NetworkError},
      {"resolver_domain", G_RESOLVER_ERROR, G_RESOLVER_ERROR_NOT_FOUND, "Name or service not known", "",
       MediaPlayerError::NetworkError},
      {"gio_refused", G_IO_ERROR, G_IO_ERROR_CONNECTION_REFUSED, "Connection refused", "",
       MediaPlayerError::NetworkError},
      {"gio_timed_out", G_IO_ERROR, G_IO_ERROR_TIMED_OUT, "Socket I/O timed out", "",
       MediaPlayerError::NetworkError},
  });
}

TEST_F(ErrorMappingTest, UnplayableSources_AreSourceNotSupported) {
  ExpectRows({
      {"file_missing", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND, "Resource not found.",
       "../plugins/elements/gstfilesrc.c(553): gst_file_src_start (): "
       "/GstPlayBin:playbin0/GstURIDecodeBin:uridecodebin0/GstFileSrc:source:\nNo such file \"/nonexist.mp4\"",
       MediaPlayerError::SourceNotSupported},
      {"file_unreadable", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_READ, "Could not open resource for reading.",
       "/GstPlayBin:playbin0/GstURIDecodeBin:uridecodebin0/GstFileSrc:source:\nsystem error: Permission denied",
       MediaPlayerError::SourceNotSupported},
      {"random_bytes", GST_STREAM_ERROR, GST_STREAM_ERROR_TYPE_NOT_FOUND, "Could not determine type of stream.",
       "../plugins/elements/gsttypefindelement.c(1186): gst_type_find_element_loop (): "
       "/GstPlayBin:playbin0/GstURIDecodeBin:uridecodebin0/GstDecodeBin:decodebin0/GstTypeFindElement:typefind",
       MediaPlayerError::SourceNotSupported},
      {"missing_plugin", GST_CORE_ERROR, GST_CORE_ERROR_MISSING_PLUGIN,
       "Your GStreamer installation is missing a plug-in.", "", MediaPlayerError::SourceNotSupported},
      {"no_decoder", GST_STREAM_ERROR, GST_STREAM_ERROR_CODEC_NOT_FOUND,
       "No decoder available for type 'video/x-h266'.", "", MediaPlayerError::SourceNotSupported},
      {"wrong_type", GST_STREAM_ERROR, GST_STREAM_ERROR_WRONG_TYPE, "Wrong type", "",
       MediaPlayerError::SourceNotSupported},
      {"container_without_playable_streams", GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX,
       "This file contains no playable streams.", "/GstQTDemux:qtdemux0:\nno known streams found",
       MediaPlayerError::SourceNotSupported},
      {"stream_nobody_takes", GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "Internal data stream error.",
       "/GstMatroskaDemux:matroskademux0:\nstreaming stopped, reason not-linked (-1)",
       MediaPlayerError::SourceNotSupported},
      {"gio_missing_file", G_IO_ERROR, G_IO_ERROR_NOT_FOUND, "No such file or directory", "",
       MediaPlayerError::SourceNotSupported},
      // A local path that happens to hold network-sounding words stays local.
      {"missing_file_named_like_a_protocol", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NOT_FOUND,
       "Resource not found.", "/GstFileSrc:source:\nNo such file \"/videos/tls_and_ssl_demo.mp4\"",
       MediaPlayerError::SourceNotSupported},
  });
}

TEST_F(ErrorMappingTest, CorruptData_IsADecodingError) {
  ExpectRows({
      {"decoder_failed", GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, "Could not decode stream.",
       "/GstPlayBin:playbin0/.../avdec_h264:avdec_h264-0:\nerror decoding frame", MediaPlayerError::DecodingError},
      {"corrupt_container", GST_STREAM_ERROR, GST_STREAM_ERROR_DEMUX, "This file is corrupt and cannot be played.",
       "/GstQTDemux:qtdemux0:\nbroken atom", MediaPlayerError::DecodingError},
      {"malformed_stream_format", GST_STREAM_ERROR, GST_STREAM_ERROR_FORMAT, "Stream format is wrong.", "",
       MediaPlayerError::DecodingError},
      // Corrupt data is corrupt whichever way it arrived.
      {"decoder_failed_on_http_source", GST_STREAM_ERROR, GST_STREAM_ERROR_DECODE, "Could not decode stream.",
       "from http://127.0.0.1/a.mp4", MediaPlayerError::DecodingError},
  });
}

TEST_F(ErrorMappingTest, EverythingElse_IsUnknown) {
  ExpectRows({
      {"local_stream_failure", GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "Internal data stream error.",
       "/GstFileSrc:source:\nstreaming stopped, reason error (-5)", MediaPlayerError::Unknown},
      {"negotiation", GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, "Internal data stream error.",
       "/GstQTDemux:qtdemux0:\nstreaming stopped, reason not-negotiated (-4)", MediaPlayerError::Unknown},
      {"audio_device_busy", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_BUSY, "Device is busy",
       "/GstPulseSink:pulsesink0:", MediaPlayerError::Unknown},
      {"disk_full", GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NO_SPACE_LEFT, "No space left", "",
       MediaPlayerError::Unknown},
      {"core_state_change", GST_CORE_ERROR, GST_CORE_ERROR_STATE_CHANGE, "State change failed", "",
       MediaPlayerError::Unknown},
      {"library_error", GST_LIBRARY_ERROR, GST_LIBRARY_ERROR_INIT, "Could not initialise library", "",
       MediaPlayerError::Unknown},
      {"foreign_domain", g_quark_from_static_string("some-other-error-quark"), 1, "whatever", "",
       MediaPlayerError::Unknown},
  });
  EXPECT_EQ(MapGstError(nullptr, "anything"), MediaPlayerError::Unknown);
}

}  // namespace
}  // namespace corvane::platform::gst
