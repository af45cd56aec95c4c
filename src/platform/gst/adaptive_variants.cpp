#include "platform/gst/adaptive_variants.h"

#include <cstdlib>
#include <sstream>

namespace corvane::platform::gst {
namespace {

// A master playlist is a few kilobytes; anything far larger is not one.
constexpr size_t kMaxManifest = 256 * 1024;

// The value of `name` in an attribute list (`A=1,B="x,y",C=2`), unquoted.
std::string Attribute(const std::string& list, const std::string& name) {
  size_t position = 0;
  while (position < list.size()) {
    const size_t equals = list.find('=', position);
    if (equals == std::string::npos) break;
    const std::string key = list.substr(position, equals - position);
    size_t end = equals + 1;
    std::string value;
    if (end < list.size() && list[end] == '"') {
      const size_t close = list.find('"', end + 1);
      value = list.substr(end + 1, close == std::string::npos ? std::string::npos : close - end - 1);
      end = close == std::string::npos ? list.size() : close + 1;
    } else {
      const size_t comma = list.find(',', end);
      value = list.substr(end, comma == std::string::npos ? std::string::npos : comma - end);
      end = comma == std::string::npos ? list.size() : comma;
    }
    if (key == name) return value;
    position = end < list.size() && list[end] == ',' ? end + 1 : end;
  }
  return {};
}

uint32_t ToUint32(const std::string& text) {
  char* end = nullptr;
  const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
  return end == text.c_str() || value > UINT32_MAX ? 0 : static_cast<uint32_t>(value);
}

bool IsHlsDemuxer(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  if (!factory) return false;
  const char* name = GST_OBJECT_NAME(factory);
  return g_strcmp0(name, "hlsdemux") == 0 || g_strcmp0(name, "hlsdemux2") == 0;
}

bool IsTransportStreamDemuxer(GstElement* element) {
  GstElementFactory* factory = gst_element_get_factory(element);
  return factory && g_strcmp0(GST_OBJECT_NAME(factory), "tsdemux") == 0;
}

}  // namespace

std::vector<HlsVariant> ParseHlsMasterPlaylist(const std::string& text) {
  std::vector<HlsVariant> variants;
  std::istringstream lines(text);
  std::string line;
  bool first = true;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first) {
      if (line.rfind("\xEF\xBB\xBF", 0) == 0) line.erase(0, 3);
      if (line != "#EXTM3U") return {};
      first = false;
      continue;
    }
    static const std::string kStreamInf = "#EXT-X-STREAM-INF:";
    if (line.rfind(kStreamInf, 0) != 0) continue;
    const std::string attributes = line.substr(kStreamInf.size());
    HlsVariant variant;
    variant.bandwidth = ToUint32(Attribute(attributes, "BANDWIDTH"));
    const std::string resolution = Attribute(attributes, "RESOLUTION");
    const size_t x = resolution.find_first_of("xX");
    if (x != std::string::npos) {
      variant.width = ToUint32(resolution.substr(0, x));
      variant.height = ToUint32(resolution.substr(x + 1));
    }
    variant.codecs = Attribute(attributes, "CODECS");
    if (variant.bandwidth > 0) variants.push_back(variant);
  }
  return variants;
}

std::string VideoCodecFromHlsCodecs(const std::string& codecs) {
  std::istringstream list(codecs);
  std::string codec;
  while (std::getline(list, codec, ',')) {
    codec.erase(0, codec.find_first_not_of(' '));
    const std::string family = codec.substr(0, codec.find('.'));
    if (family == "avc1" || family == "avc3") return "H264";
    if (family == "hvc1" || family == "hev1") return "H265";
    if (family == "vp09") return "VP9";
    if (family == "av01") return "AV1";
  }
  return {};
}

AdaptiveVariantWatch::AdaptiveVariantWatch(GstElement* playbin) : playbin_(playbin) {
  signalId_ = g_signal_connect(playbin_, "deep-element-added",
                               G_CALLBACK(&AdaptiveVariantWatch::OnElementAddedStreaming), this);
}

AdaptiveVariantWatch::~AdaptiveVariantWatch() {
  if (signalId_) g_signal_handler_disconnect(playbin_, signalId_);
}

void AdaptiveVariantWatch::OnElementAddedStreaming(GstBin*, GstBin*, GstElement* element, gpointer self) {
  auto* watch = static_cast<AdaptiveVariantWatch*>(self);
  if (IsTransportStreamDemuxer(element)) {
    // GStreamer 1.22's MPEG-TS demuxer times a stream from its clock
    // reference, which packagers put up to 0.7 s before the first picture
    // (ffmpeg's default mux delay): an HLS stream's positions ran that far
    // ahead of the picture, and past the playlist's duration. Timed from the
    // segments' own timestamps, the first picture is at 0. A file or a live
    // transport stream keeps the clock reference, which it needs.
    bool underHls = false;
    {
      std::lock_guard<std::mutex> lock(watch->mutex_);
      underHls = watch->demuxer_ != nullptr;
    }
    if (underHls) g_object_set(element, "ignore-pcr", TRUE, nullptr);
    return;
  }
  if (!IsHlsDemuxer(element)) return;
  auto sinkPad = AdoptObject(gst_element_get_static_pad(element, "sink"));
  if (sinkPad) {
    gst_pad_add_probe(sinkPad.get(), GST_PAD_PROBE_TYPE_BUFFER, &AdaptiveVariantWatch::OnManifestStreaming, watch,
                      nullptr);
  }
  std::lock_guard<std::mutex> lock(watch->mutex_);
  watch->demuxer_ = RetainObject(element);
  watch->manifest_.clear();
}

GstPadProbeReturn AdaptiveVariantWatch::OnManifestStreaming(GstPad*, GstPadProbeInfo* info, gpointer self) {
  auto* watch = static_cast<AdaptiveVariantWatch*>(self);
  GstBuffer* buffer = GST_PAD_PROBE_INFO_BUFFER(info);
  GstMapInfo map;
  if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ)) return GST_PAD_PROBE_OK;
  {
    std::lock_guard<std::mutex> lock(watch->mutex_);
    if (watch->manifest_.size() + map.size <= kMaxManifest) {
      watch->manifest_.append(reinterpret_cast<const char*>(map.data), map.size);
    }
  }
  gst_buffer_unmap(buffer, &map);
  return GST_PAD_PROBE_OK;
}

std::vector<HlsVariant> AdaptiveVariantWatch::Variants() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return ParseHlsMasterPlaylist(manifest_);
}

void AdaptiveVariantWatch::Pin(uint32_t bandwidth) {
  GObjectPtr<GstElement> demuxer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    demuxer = RetainObject(demuxer_.get());
  }
  if (!demuxer) return;
  if (g_object_class_find_property(G_OBJECT_GET_CLASS(demuxer.get()), "connection-bitrate")) {
    // hlsdemux2 (playbin3): bits per second, and a ceiling.
    g_object_set(demuxer.get(), "connection-bitrate", static_cast<guint>(bandwidth), "max-bitrate",
                 static_cast<guint>(bandwidth), nullptr);
    return;
  }
  // hlsdemux: kilobits per second, with the whole of it usable.
  g_object_set(demuxer.get(), "bitrate-limit", 1.0f, "connection-speed", static_cast<guint>((bandwidth + 999) / 1000),
               nullptr);
}

}  // namespace corvane::platform::gst
