// The variants of an HLS master playlist as video tracks, and choosing one.
//
// GStreamer 1.22's playbin (v2) plays HLS through the legacy hlsdemux,
// which neither lists its variants nor takes a variant index. So the watch
// reads the master playlist as it enters the demuxer (it is the demuxer's
// only input on its sink pad), parses the variants itself, and pins one by
// setting the demuxer's assumed connection speed to that variant's
// bandwidth: hlsdemux then picks the highest variant that fits, which is
// the one wanted, at the next fragment boundary.
#ifndef CORVANE_PLATFORM_GST_ADAPTIVE_VARIANTS_H_
#define CORVANE_PLATFORM_GST_ADAPTIVE_VARIANTS_H_

#include <gst/gst.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/gst/gst_handles.h"

namespace corvane::platform::gst {

struct HlsVariant {
  uint32_t bandwidth = 0;  // bits per second, from BANDWIDTH
  uint32_t width = 0;      // from RESOLUTION, 0 when absent
  uint32_t height = 0;
  std::string codecs;      // CODECS as written, may be empty
};

// Pure: the EXT-X-STREAM-INF entries of a master playlist, in playlist
// order. Empty for a media playlist or anything else.
std::vector<HlsVariant> ParseHlsMasterPlaylist(const std::string& text);

// "avc1.64001e,mp4a.40.2" -> "H264"; "" when no video codec is recognised.
std::string VideoCodecFromHlsCodecs(const std::string& codecs);

// Watches a playbin for an HLS demuxer (and times the transport streams under
// it from their own timestamps). Streaming threads add elements and
// feed the playlist; the engine thread reads and pins.
class AdaptiveVariantWatch {
 public:
  explicit AdaptiveVariantWatch(GstElement* playbin);
  ~AdaptiveVariantWatch();
  AdaptiveVariantWatch(const AdaptiveVariantWatch&) = delete;
  AdaptiveVariantWatch& operator=(const AdaptiveVariantWatch&) = delete;

  std::vector<HlsVariant> Variants() const;
  // Makes the demuxer settle on the variant of `bandwidth`.
  void Pin(uint32_t bandwidth);

 private:
  static void OnElementAddedStreaming(GstBin* bin, GstBin* subBin, GstElement* element, gpointer self);
  static GstPadProbeReturn OnManifestStreaming(GstPad* pad, GstPadProbeInfo* info, gpointer self);

  GstElement* const playbin_;  // owned by the pipeline, outlives this
  gulong signalId_ = 0;
  mutable std::mutex mutex_;
  GObjectPtr<GstElement> demuxer_;  // guarded by mutex_
  std::string manifest_;            // guarded by mutex_
};

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_ADAPTIVE_VARIANTS_H_
