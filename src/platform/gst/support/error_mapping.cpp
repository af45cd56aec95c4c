#include "platform/gst/support/error_mapping.h"

#include <gio/gio.h>
#include <gst/gst.h>

#include <algorithm>
#include <cctype>
#include <initializer_list>

namespace corvane::platform::gst {
namespace {

std::string ToLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool ContainsAny(const std::string& haystack, std::initializer_list<const char*> needles) {
  return std::any_of(needles.begin(), needles.end(),
                     [&haystack](const char* needle) { return haystack.find(needle) != std::string::npos; });
}

// Element types that read from the network, as they appear (lower-cased) in
// the element path of a debug text. Adaptive-streaming demuxers download
// their fragments themselves, so their failures are network failures too.
bool NamesNetworkElement(const std::string& lowerDebug) {
  return ContainsAny(lowerDebug, {"souphttpsrc", "curlhttpsrc", "rtspsrc", "rtmpsrc", "rtmp2src", "hlsdemux",
                                  "dashdemux", "mssdemux", "adaptivedemux", "tcpclientsrc", "udpsrc", "srtsrc",
                                  "ristsrc"});
}

// Wording of network failures, for errors whose element path is not given.
bool DescribesNetworkFailure(const std::string& lowerText) {
  return ContainsAny(lowerText, {"could not connect", "connection refused", "could not resolve",
                                 "cannot resolve", "host unreachable", "network is unreachable", "socket i/o timed out",
                                 "tls handshake", "tls connection", "tls/ssl", "tls support", "certificate",
                                 "connection reset", "connection closed", "http://", "https://"});
}

// Demuxers report a container that holds nothing playable as a demux error;
// that is a source we cannot play, not corrupt data.
bool DescribesNoPlayableStream(const std::string& lowerText) {
  return ContainsAny(lowerText, {"no playable stream", "no known stream", "no supported stream",
                                 "no valid stream", "contains no"});
}

MediaPlayerError MapResourceError(int code, bool network) {
  switch (code) {
    case GST_RESOURCE_ERROR_NOT_FOUND:
    case GST_RESOURCE_ERROR_OPEN_READ:
    case GST_RESOURCE_ERROR_OPEN_READ_WRITE:
    case GST_RESOURCE_ERROR_READ:
    case GST_RESOURCE_ERROR_NOT_AUTHORIZED:
      return network ? MediaPlayerError::NetworkError : MediaPlayerError::SourceNotSupported;
    case GST_RESOURCE_ERROR_BUSY:
    case GST_RESOURCE_ERROR_SEEK:
    case GST_RESOURCE_ERROR_SYNC:
    case GST_RESOURCE_ERROR_CLOSE:
    case GST_RESOURCE_ERROR_SETTINGS:
    case GST_RESOURCE_ERROR_FAILED:
      return network ? MediaPlayerError::NetworkError : MediaPlayerError::Unknown;
    default:
      // Writing, disk space and the like: not something a player's source does.
      return MediaPlayerError::Unknown;
  }
}

MediaPlayerError MapStreamError(int code, bool network, const std::string& lowerText) {
  switch (code) {
    case GST_STREAM_ERROR_TYPE_NOT_FOUND:
    case GST_STREAM_ERROR_WRONG_TYPE:
    case GST_STREAM_ERROR_CODEC_NOT_FOUND:
    case GST_STREAM_ERROR_NOT_IMPLEMENTED:
    case GST_STREAM_ERROR_DECRYPT_NOKEY:
    case GST_STREAM_ERROR_DECRYPT:
      return MediaPlayerError::SourceNotSupported;
    case GST_STREAM_ERROR_DECODE:
      return MediaPlayerError::DecodingError;
    case GST_STREAM_ERROR_DEMUX:
      return DescribesNoPlayableStream(lowerText) ? MediaPlayerError::SourceNotSupported
                                                  : MediaPlayerError::DecodingError;
    case GST_STREAM_ERROR_FORMAT:
      return MediaPlayerError::DecodingError;
    case GST_STREAM_ERROR_FAILED:
      // basesrc's "Internal data stream error ... reason error": the source
      // already failed, and on the network that is how a refused connection,
      // an unknown host or a time-out shows.
      if (network && lowerText.find("reason error") != std::string::npos) return MediaPlayerError::NetworkError;
      // Nothing downstream took the stream: no decoder for it.
      if (lowerText.find("reason not-linked") != std::string::npos) return MediaPlayerError::SourceNotSupported;
      return MediaPlayerError::Unknown;
    default:
      return MediaPlayerError::Unknown;
  }
}

MediaPlayerError MapGioError(int code) {
  switch (code) {
    case G_IO_ERROR_NOT_FOUND:
    case G_IO_ERROR_PERMISSION_DENIED:
    case G_IO_ERROR_IS_DIRECTORY:
    case G_IO_ERROR_NOT_REGULAR_FILE:
      return MediaPlayerError::SourceNotSupported;
    case G_IO_ERROR_TIMED_OUT:
    case G_IO_ERROR_HOST_NOT_FOUND:
    case G_IO_ERROR_HOST_UNREACHABLE:
    case G_IO_ERROR_NETWORK_UNREACHABLE:
    case G_IO_ERROR_CONNECTION_REFUSED:
    case G_IO_ERROR_CONNECTION_CLOSED:  // also G_IO_ERROR_BROKEN_PIPE, the same value
    case G_IO_ERROR_PROXY_FAILED:
    case G_IO_ERROR_PROXY_AUTH_FAILED:
    case G_IO_ERROR_PROXY_NOT_ALLOWED:
    case G_IO_ERROR_NOT_CONNECTED:
      return MediaPlayerError::NetworkError;
    default:
      return MediaPlayerError::Unknown;
  }
}

}  // namespace

MediaPlayerError MapGstError(const GError* error, const std::string& debug) {
  if (error == nullptr) return MediaPlayerError::Unknown;
  const std::string lowerText = ToLower(std::string(error->message != nullptr ? error->message : "") + "\n" + debug);
  const bool network = NamesNetworkElement(lowerText) || DescribesNetworkFailure(lowerText);

  if (error->domain == GST_RESOURCE_ERROR) return MapResourceError(error->code, network);
  if (error->domain == GST_STREAM_ERROR) return MapStreamError(error->code, network, lowerText);
  if (error->domain == GST_CORE_ERROR) {
    return error->code == GST_CORE_ERROR_MISSING_PLUGIN ? MediaPlayerError::SourceNotSupported
                                                        : MediaPlayerError::Unknown;
  }
  if (error->domain == G_TLS_ERROR || error->domain == G_RESOLVER_ERROR) return MediaPlayerError::NetworkError;
  if (error->domain == G_IO_ERROR) return MapGioError(error->code);
  return MediaPlayerError::Unknown;
}

}  // namespace corvane::platform::gst
