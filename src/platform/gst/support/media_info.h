// Track facts from GStreamer stream caps and tags.
//
// Pure functions: they read what they are given and keep nothing, so the
// engine calls them from any thread and the tests feed them serialised caps
// and tag strings. Either argument of the *FromStream functions may be null;
// a fact that neither carries stays at its empty value ("" or 0).
#ifndef CORVANE_PLATFORM_GST_SUPPORT_MEDIA_INFO_H_
#define CORVANE_PLATFORM_GST_SUPPORT_MEDIA_INFO_H_

#include <gst/gst.h>

#include <string>

#include "platform/media_engine.h"

namespace corvane::platform::gst {

// Upper-case short codec name for a stream's caps: audio "AAC", "MP3",
// "OPUS", "VORBIS", "FLAC", "AC3", "EAC3", "PCM", ...; video "H264", "H265",
// "VP8", "VP9", "AV1", "MPEG2", ...; text "TEXT", "SSA", "ASS", "WEBVTT",
// "PGS", "VOBSUB", ... "" when the caps are null, empty or not known.
std::string CodecNameFromCaps(const GstCaps* caps);

// A BCP-47 tag from a container's language code: ISO 639-2 codes become
// their ISO 639-1 equivalent where one exists ("eng" -> "en", "fre" and
// "fra" -> "fr"), a region is kept ("en_US", "en-us" -> "en-US"), a locale's
// codeset or modifier is dropped ("pt_BR.UTF-8" -> "pt-BR"). "" for an empty,
// malformed or unknown code and for "und" / "mis" / "mul" / "zxx".
std::string LanguageTagFromCode(const std::string& code);

// Track facts of one stream. Name is the container's title of the stream
// (GST_TAG_TITLE); Label is left empty for the application. Language comes
// from GST_TAG_LANGUAGE_CODE through LanguageTagFromCode. Bit rate is
// GST_TAG_BITRATE, else GST_TAG_NOMINAL_BITRATE, else 0. Channels, sample
// rate, width and height come from the caps; width and height are the coded
// size, without the pixel aspect ratio applied.
AudioTrack AudioTrackFromStream(const GstCaps* caps, const GstTagList* tags);
VideoTrack VideoTrackFromStream(const GstCaps* caps, const GstTagList* tags);
// Subtitle streams are reported as kind Subtitle, bitmap ones included:
// whether the engine can draw a stream is a separate question
// (IsBitmapSubtitleCaps).
TimedMetadataTrack TextTrackFromStream(const GstCaps* caps, const GstTagList* tags);

// How the buffers of a subtitle stream read, from its caps. Text reaches
// the engine as the container stored it where a parser would lose styling
// (ASS and SSA events, WebVTT cues in Matroska) and as parsed text
// otherwise. GStreamer 1.22's Matroska demuxer names WebVTT tracks
// "application/x-subtitle-unknown" and keeps no codec id; such a track is
// read as WebVTT when it has no codec data or codec data that starts with
// the WebVTT header, and is no text otherwise.
enum class SubtitlePayload { kNone, kPlainText, kPangoMarkup, kAss, kSsa, kWebVtt };
SubtitlePayload SubtitlePayloadFromCaps(const GstCaps* caps);

// True for picture-based subtitles (PGS, DVD and DVB subpictures), which do
// not arrive as text and so cannot go through the text renderer.
bool IsBitmapSubtitleCaps(const GstCaps* caps);

}  // namespace corvane::platform::gst

#endif  // CORVANE_PLATFORM_GST_SUPPORT_MEDIA_INFO_H_
