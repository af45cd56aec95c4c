#include "platform/gst/support/media_info.h"

#include <gst/tag/tag.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <vector>

namespace corvane::platform::gst {
namespace {

// The first structure of fixed caps, or null for null, ANY or empty caps.
const GstStructure* FirstStructure(const GstCaps* caps) {
  if (caps == nullptr || gst_caps_is_any(caps) || gst_caps_get_size(caps) == 0) return nullptr;
  return gst_caps_get_structure(caps, 0);
}

// An integer field, 0 when missing, not fixed (a range or list) or negative.
uint32_t NonNegativeIntField(const GstStructure* structure, const char* field) {
  int value = 0;
  if (structure == nullptr || !gst_structure_get_int(structure, field, &value) || value < 0) return 0;
  return static_cast<uint32_t>(value);
}

int IntFieldOr(const GstStructure* structure, const char* field, int fallback) {
  int value = fallback;
  if (!gst_structure_get_int(structure, field, &value)) return fallback;
  return value;
}

std::string StringField(const GstStructure* structure, const char* field) {
  const char* value = gst_structure_get_string(structure, field);
  return value != nullptr ? value : "";
}

std::string ToUpper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return text;
}

std::string ToLower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// Media types whose name alone says the codec.
struct PlainCodec {
  const char* mediaType;
  const char* name;
};

constexpr PlainCodec kPlainCodecs[] = {
    // audio
    {"audio/x-opus", "OPUS"},
    {"audio/x-vorbis", "VORBIS"},
    {"audio/x-flac", "FLAC"},
    {"audio/x-ac3", "AC3"},
    {"audio/ac3", "AC3"},
    {"audio/x-eac3", "EAC3"},
    {"audio/x-dts", "DTS"},
    {"audio/x-true-hd", "TRUEHD"},
    {"audio/x-alac", "ALAC"},
    {"audio/x-raw", "PCM"},
    {"audio/x-unaligned-raw", "PCM"},
    {"audio/x-lpcm", "PCM"},
    {"audio/x-private1-lpcm", "PCM"},
    {"audio/x-alaw", "ALAW"},
    {"audio/x-mulaw", "ULAW"},
    {"audio/x-speex", "SPEEX"},
    {"audio/x-wma", "WMA"},
    {"audio/AMR", "AMR"},
    {"audio/AMR-WB", "AMRWB"},
    {"audio/x-adpcm", "ADPCM"},
    {"audio/x-gsm", "GSM"},
    // video
    {"video/x-h264", "H264"},
    {"video/x-h265", "H265"},
    {"video/x-h263", "H263"},
    {"video/x-vp8", "VP8"},
    {"video/x-vp9", "VP9"},
    {"video/x-av1", "AV1"},
    {"video/x-divx", "MPEG4"},
    {"video/x-xvid", "MPEG4"},
    {"video/x-theora", "THEORA"},
    {"video/x-prores", "PRORES"},
    {"video/x-dv", "DV"},
    {"video/x-ffv", "FFV1"},
    {"image/jpeg", "MJPG"},
    {"image/png", "PNG"},
    // text and subpictures
    {"text/x-raw", "TEXT"},
    {"application/x-subtitle", "SRT"},
    {"application/x-subtitle-sami", "SAMI"},
    {"application/x-subtitle-tmplayer", "TMPLAYER"},
    {"application/x-subtitle-mpl2", "MPL2"},
    {"application/x-subtitle-dks", "DKS"},
    {"application/x-subtitle-qttext", "QTTEXT"},
    {"application/x-subtitle-lrc", "LRC"},
    {"application/x-subtitle-vtt", "WEBVTT"},
    {"text/vtt", "WEBVTT"},
    {"application/x-ssa", "SSA"},
    {"application/x-ass", "ASS"},
    {"application/x-usf", "USF"},
    {"application/x-kate", "KATE"},
    {"application/ttml+xml", "TTML"},
    {"subpicture/x-pgs", "PGS"},
    {"subpicture/x-dvd", "VOBSUB"},
    {"subpicture/x-dvb", "DVBSUB"},
    {"subpicture/x-xsub", "XSUB"},
    {"closedcaption/x-cea-608", "CEA608"},
    {"closedcaption/x-cea-708", "CEA708"},
};

// audio/mpeg covers MPEG-1/2 layers 1-3 and AAC (MPEG-2 and MPEG-4).
std::string MpegAudioName(const GstStructure* structure) {
  switch (IntFieldOr(structure, "mpegversion", 0)) {
    case 1:
      switch (IntFieldOr(structure, "layer", 3)) {
        case 1:
          return "MP1";
        case 2:
          return "MP2";
        case 3:
          return "MP3";
        default:
          return "";
      }
    case 2:
    case 4:
      return "AAC";
    default:
      return "";
  }
}

std::string MpegVideoName(const GstStructure* structure) {
  gboolean systemStream = FALSE;
  if (gst_structure_get_boolean(structure, "systemstream", &systemStream) && systemStream) return "";
  switch (IntFieldOr(structure, "mpegversion", 0)) {
    case 1:
      return "MPEG1";
    case 2:
      return "MPEG2";
    case 4:
      return "MPEG4";
    default:
      return "";
  }
}

std::string WindowsMediaVideoName(const GstStructure* structure) {
  switch (IntFieldOr(structure, "wmvversion", 0)) {
    case 1:
      return "WMV1";
    case 2:
      return "WMV2";
    case 3:
      return StringField(structure, "format") == "WVC1" ? "VC1" : "WMV3";
    default:
      return "";
  }
}

// Language codes that name no language.
bool IsNoLanguage(const std::string& code) {
  return code == "und" || code == "mis" || code == "mul" || code == "zxx";
}

bool AllOf(const std::string& text, int (*predicate)(int)) {
  return !text.empty() && std::all_of(text.begin(), text.end(),
                                      [predicate](unsigned char c) { return predicate(c) != 0; });
}

// The primary language subtag, lower case, two letters where ISO 639-1 has
// one; "" when it is not a language GStreamer's ISO tables know.
std::string NormalisePrimaryLanguage(const std::string& subtag) {
  const std::string lower = ToLower(subtag);
  if (!AllOf(lower, std::isalpha) || (lower.size() != 2 && lower.size() != 3)) return "";
  if (IsNoLanguage(lower)) return "";
  if (const gchar* twoLetter = gst_tag_get_language_code_iso_639_1(lower.c_str())) return twoLetter;
  // A three-letter code without a two-letter equivalent stays as it is, as
  // BCP-47 wants, provided it is a real language code.
  if (lower.size() == 3 && gst_tag_get_language_name(lower.c_str()) != nullptr) return lower;
  return "";
}

// A later subtag in the case BCP-47 recommends: regions upper case
// ("US"), scripts title case ("Hans"), everything else lower case. Empty when
// the subtag is not alphanumeric.
std::string NormaliseSubtag(const std::string& subtag) {
  if (!AllOf(subtag, std::isalnum) || subtag.size() > 8) return "";
  if (subtag.size() == 2 && AllOf(subtag, std::isalpha)) return ToUpper(subtag);
  if (subtag.size() == 4 && AllOf(subtag, std::isalpha)) {
    std::string script = ToLower(subtag);
    script[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(script[0])));
    return script;
  }
  return ToLower(subtag);
}

std::vector<std::string> SplitSubtags(const std::string& code) {
  std::vector<std::string> parts;
  std::string current;
  for (char c : code) {
    if (c == '-' || c == '_') {
      parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  parts.push_back(current);
  return parts;
}

// The first value of a string tag, "" when absent.
std::string FirstStringTag(const GstTagList* tags, const char* tag) {
  const gchar* value = nullptr;
  if (tags == nullptr || !gst_tag_list_peek_string_index(tags, tag, 0, &value) || value == nullptr) return "";
  return value;
}

std::string LanguageFromTags(const GstTagList* tags) {
  return LanguageTagFromCode(FirstStringTag(tags, GST_TAG_LANGUAGE_CODE));
}

uint32_t BitrateFromTags(const GstTagList* tags) {
  if (tags == nullptr) return 0;
  guint bitrate = 0;
  if (gst_tag_list_get_uint_index(tags, GST_TAG_BITRATE, 0, &bitrate) && bitrate > 0) return bitrate;
  if (gst_tag_list_get_uint_index(tags, GST_TAG_NOMINAL_BITRATE, 0, &bitrate) && bitrate > 0) return bitrate;
  return 0;
}

}  // namespace

std::string CodecNameFromCaps(const GstCaps* caps) {
  const GstStructure* structure = FirstStructure(caps);
  if (structure == nullptr) return "";
  const char* mediaType = gst_structure_get_name(structure);
  if (std::strcmp(mediaType, "audio/mpeg") == 0) return MpegAudioName(structure);
  if (std::strcmp(mediaType, "video/mpeg") == 0) return MpegVideoName(structure);
  if (std::strcmp(mediaType, "video/x-wmv") == 0) return WindowsMediaVideoName(structure);
  // Uncompressed video is named by its pixel format, as other engines do
  // ("NV12", "I420").
  if (std::strcmp(mediaType, "video/x-raw") == 0) {
    const std::string format = StringField(structure, "format");
    return format.empty() ? "RAW" : ToUpper(format);
  }
  for (const PlainCodec& codec : kPlainCodecs) {
    if (std::strcmp(mediaType, codec.mediaType) == 0) return codec.name;
  }
  if (SubtitlePayloadFromCaps(caps) == SubtitlePayload::kWebVtt) return "WEBVTT";
  return "";
}

SubtitlePayload SubtitlePayloadFromCaps(const GstCaps* caps) {
  const GstStructure* structure = FirstStructure(caps);
  if (structure == nullptr) return SubtitlePayload::kNone;
  if (gst_structure_has_name(structure, "text/x-raw")) {
    return StringField(structure, "format") == "pango-markup" ? SubtitlePayload::kPangoMarkup
                                                              : SubtitlePayload::kPlainText;
  }
  if (gst_structure_has_name(structure, "application/x-ass")) return SubtitlePayload::kAss;
  if (gst_structure_has_name(structure, "application/x-ssa")) return SubtitlePayload::kSsa;
  if (gst_structure_has_name(structure, "application/x-subtitle-unknown")) {
    const GValue* codecData = gst_structure_get_value(structure, "codec_data");
    if (codecData == nullptr || !GST_VALUE_HOLDS_BUFFER(codecData)) return SubtitlePayload::kWebVtt;
    constexpr char kHeader[] = "WEBVTT";
    char start[sizeof kHeader - 1] = {};
    GstBuffer* buffer = gst_value_get_buffer(codecData);
    const gsize copied = gst_buffer_extract(buffer, 0, start, sizeof start);
    return copied == sizeof start && std::memcmp(start, kHeader, sizeof start) == 0 ? SubtitlePayload::kWebVtt
                                                                                     : SubtitlePayload::kNone;
  }
  return SubtitlePayload::kNone;
}

std::string LanguageTagFromCode(const std::string& code) {
  // Locale names carry a codeset and a modifier: "pt_BR.UTF-8", "sr_RS@latin".
  const std::string bare = code.substr(0, code.find_first_of(".@"));
  const std::vector<std::string> subtags = SplitSubtags(bare);
  std::string tag = NormalisePrimaryLanguage(subtags.front());
  if (tag.empty()) return "";
  for (size_t i = 1; i < subtags.size(); ++i) {
    const std::string subtag = NormaliseSubtag(subtags[i]);
    // A malformed tail is dropped rather than passed on half-read: the
    // language alone is still right.
    if (subtag.empty()) break;
    tag += '-';
    tag += subtag;
  }
  return tag;
}

AudioTrack AudioTrackFromStream(const GstCaps* caps, const GstTagList* tags) {
  AudioTrack track;
  track.name = FirstStringTag(tags, GST_TAG_TITLE);
  track.language = LanguageFromTags(tags);
  track.encoding.subtype = CodecNameFromCaps(caps);
  track.encoding.bitrate = BitrateFromTags(tags);
  const GstStructure* structure = FirstStructure(caps);
  track.encoding.channelCount = NonNegativeIntField(structure, "channels");
  track.encoding.sampleRate = NonNegativeIntField(structure, "rate");
  return track;
}

VideoTrack VideoTrackFromStream(const GstCaps* caps, const GstTagList* tags) {
  VideoTrack track;
  track.name = FirstStringTag(tags, GST_TAG_TITLE);
  track.language = LanguageFromTags(tags);
  track.encoding.subtype = CodecNameFromCaps(caps);
  track.encoding.bitrate = BitrateFromTags(tags);
  const GstStructure* structure = FirstStructure(caps);
  track.encoding.width = NonNegativeIntField(structure, "width");
  track.encoding.height = NonNegativeIntField(structure, "height");
  return track;
}

TimedMetadataTrack TextTrackFromStream(const GstCaps*, const GstTagList* tags) {
  TimedMetadataTrack track;
  track.name = FirstStringTag(tags, GST_TAG_TITLE);
  track.language = LanguageFromTags(tags);
  track.kind = TimedMetadataKind::Subtitle;
  return track;
}

bool IsBitmapSubtitleCaps(const GstCaps* caps) {
  const GstStructure* structure = FirstStructure(caps);
  return structure != nullptr && g_str_has_prefix(gst_structure_get_name(structure), "subpicture/");
}

}  // namespace corvane::platform::gst
