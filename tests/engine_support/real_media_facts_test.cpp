// Track facts and error mapping against what GStreamer itself reports for
// the generated test media and for real failing sources, so a GStreamer
// that words or structures things differently shows up here first.
#include <gst/gst.h>
#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine_support/gst_values.h"
#include "platform/gst/support/error_mapping.h"
#include "platform/gst/support/media_info.h"
#include "support/http_server.h"
#include "support/test_media.h"

namespace corvane::platform::gst {
namespace {

using corvane::testing::CapsPtr;
using corvane::testing::ErrorPtr;
using corvane::testing::GCharPtr;
using corvane::testing::GObjectPtr;
using corvane::testing::MessagePtr;
using corvane::testing::ObjectPtr;

struct DiscoveredStream {
  CapsPtr caps;
  const GstTagList* tags;  // owned by the info, which outlives the stream list
};

// What the discoverer (the same typefinding and demuxing as playback)
// reports for one file.
class Discovered {
 public:
  explicit Discovered(const std::string& path) {
    GError* rawError = nullptr;
    GObjectPtr<GstDiscoverer> discoverer(gst_discoverer_new(10 * GST_SECOND, &rawError));  // Adopt
    ErrorPtr error(rawError);
    if (!discoverer) return;
    GCharPtr uri(gst_filename_to_uri(path.c_str(), nullptr));  // Adopt
    info_.reset(gst_discoverer_discover_uri(discoverer.get(), uri.get(), &rawError));  // Adopt
    error.reset(rawError);
  }
  bool ok() const { return info_ != nullptr; }

  std::vector<DiscoveredStream> Streams(GList* (*list)(GstDiscovererInfo*)) const {
    std::vector<DiscoveredStream> streams;
    GList* infos = list(info_.get());
    for (GList* node = infos; node != nullptr; node = node->next) {
      auto* stream = GST_DISCOVERER_STREAM_INFO(node->data);
      streams.push_back({CapsPtr(gst_discoverer_stream_info_get_caps(stream)),  // Adopt
                         gst_discoverer_stream_info_get_tags(stream)});
    }
    gst_discoverer_stream_info_list_free(infos);
    return streams;
  }

 private:
  GObjectPtr<GstDiscovererInfo> info_;
};

class RealMediaFactsTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { corvane::testing::EnsureGstInitialised(); }
};

const AudioTrack* FindByName(const std::vector<AudioTrack>& tracks, const std::string& name) {
  for (const AudioTrack& track : tracks) {
    if (track.Name() == name) return &track;
  }
  return nullptr;
}

TEST_F(RealMediaFactsTest, MultiTrackFile_GivesEachTracksTitleLanguageCodecAndNumbers) {
  CORVANE_REQUIRE_MEDIA(path, "multi.mkv");
  // The discoverer prerolls without waiting for sparse subtitle streams, so
  // their tags are sometimes not in yet (GStreamer 1.22). Discover again, a
  // bounded number of times, until they are: what is under test is what the
  // tags say once they exist.
  std::unique_ptr<Discovered> attempt;
  for (int tries = 0; tries < 10; ++tries) {
    attempt = std::make_unique<Discovered>(path);
    ASSERT_TRUE(attempt->ok());
    bool allTagged = true;
    for (const auto& stream : attempt->Streams(gst_discoverer_info_get_subtitle_streams)) {
      allTagged = allTagged && stream.tags != nullptr && gst_tag_list_get_tag_size(stream.tags, GST_TAG_TITLE) > 0;
    }
    if (allTagged) break;
  }
  const Discovered& discovered = *attempt;

  std::vector<AudioTrack> audio;
  for (const auto& stream : discovered.Streams(gst_discoverer_info_get_audio_streams)) {
    audio.push_back(AudioTrackFromStream(stream.caps.get(), stream.tags));
  }
  ASSERT_EQ(audio.size(), 3u);
  const struct {
    const char* name;
    const char* language;
    const char* codec;
    uint32_t channels, rate, bitrate;
  } expected[] = {
      {"English commentary", "en", "AAC", 2, 48000, 0},
      {"Fran\xC3\xA7" "ais", "fr", "MP3", 1, 44100, 64000},  // nominal bit rate from the MP3 header
      {"Deutsch", "de", "OPUS", 2, 48000, 0},
  };
  for (const auto& want : expected) {
    const AudioTrack* track = FindByName(audio, want.name);
    ASSERT_NE(track, nullptr) << want.name;
    EXPECT_EQ(track->Language(), want.language) << want.name;
    EXPECT_EQ(track->encoding.Subtype(), want.codec) << want.name;
    EXPECT_EQ(track->encoding.ChannelCount(), want.channels) << want.name;
    EXPECT_EQ(track->encoding.SampleRate(), want.rate) << want.name;
    if (want.bitrate != 0) {
      EXPECT_EQ(track->encoding.Bitrate(), want.bitrate) << want.name;
    }
  }

  std::vector<TimedMetadataTrack> text;
  for (const auto& stream : discovered.Streams(gst_discoverer_info_get_subtitle_streams)) {
    EXPECT_FALSE(IsBitmapSubtitleCaps(stream.caps.get()));
    text.push_back(TextTrackFromStream(stream.caps.get(), stream.tags));
  }
  ASSERT_EQ(text.size(), 2u);
  EXPECT_EQ(text[0].Name(), "English");
  EXPECT_EQ(text[0].Language(), "en");
  EXPECT_EQ(text[1].Name(), "Fran\xC3\xA7" "ais");
  EXPECT_EQ(text[1].Language(), "fr");
  for (const auto& track : text) EXPECT_EQ(track.TimedMetadataKind(), TimedMetadataKind::Subtitle);

  const auto video = discovered.Streams(gst_discoverer_info_get_video_streams);
  ASSERT_EQ(video.size(), 1u);
  const VideoTrack track = VideoTrackFromStream(video[0].caps.get(), video[0].tags);
  EXPECT_EQ(track.encoding.Subtype(), "H264");
  EXPECT_EQ(track.encoding.Width(), 320u);
  EXPECT_EQ(track.encoding.Height(), 240u);
  EXPECT_EQ(track.Language(), "");  // "und" in the file
}

TEST_F(RealMediaFactsTest, AnamorphicVideo_ReportsItsCodedSize) {
  CORVANE_REQUIRE_MEDIA(path, "anamorphic.mp4");
  Discovered discovered(path);
  ASSERT_TRUE(discovered.ok());
  const auto video = discovered.Streams(gst_discoverer_info_get_video_streams);
  ASSERT_EQ(video.size(), 1u);
  const VideoTrack track = VideoTrackFromStream(video[0].caps.get(), video[0].tags);
  EXPECT_EQ(track.encoding.Width(), 360u);
  EXPECT_EQ(track.encoding.Height(), 240u);
  EXPECT_GT(track.encoding.Bitrate(), 0u);
}

TEST_F(RealMediaFactsTest, Mp4AudioOnly_IsAacStereo) {
  CORVANE_REQUIRE_MEDIA(path, "audio_only.m4a");
  Discovered discovered(path);
  ASSERT_TRUE(discovered.ok());
  const auto audio = discovered.Streams(gst_discoverer_info_get_audio_streams);
  ASSERT_EQ(audio.size(), 1u);
  const AudioTrack track = AudioTrackFromStream(audio[0].caps.get(), audio[0].tags);
  EXPECT_EQ(track.encoding.Subtype(), "AAC");
  EXPECT_EQ(track.encoding.ChannelCount(), 2u);
  EXPECT_EQ(track.encoding.SampleRate(), 48000u);
  EXPECT_TRUE(discovered.Streams(gst_discoverer_info_get_video_streams).empty());
}

// Runs a pipeline until its first error and maps it.
struct FirstError {
  bool received = false;
  MediaPlayerError mapped = MediaPlayerError::Unknown;
  std::string text;
};

FirstError RunUntilFirstError(const std::string& description) {
  FirstError result;
  GError* rawError = nullptr;
  GstElement* parsed = gst_parse_launch(description.c_str(), &rawError);
  ErrorPtr parseError(rawError);
  if (parsed == nullptr) return result;
  ObjectPtr<GstElement> pipeline(GST_ELEMENT(gst_object_ref_sink(parsed)));  // sinks the floating reference
  ObjectPtr<GstBus> bus(gst_element_get_bus(pipeline.get()));  // Adopt
  gst_element_set_state(pipeline.get(), GST_STATE_PLAYING);
  MessagePtr message(gst_bus_timed_pop_filtered(bus.get(), 15 * GST_SECOND,
                                                static_cast<GstMessageType>(GST_MESSAGE_ERROR | GST_MESSAGE_EOS)));
  if (message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR) {
    GError* error = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(message.get(), &error, &debug);
    ErrorPtr ownedError(error);  // Adopt
    GCharPtr ownedDebug(debug);  // Adopt
    result.received = true;
    result.mapped = MapGstError(ownedError.get(), debug ? debug : "");
    result.text = std::string(error->message) + " | " + (debug ? debug : "");
  }
  gst_element_set_state(pipeline.get(), GST_STATE_NULL);
  return result;
}

TEST_F(RealMediaFactsTest, LocalFailures_MapToSourceNotSupported) {
  CORVANE_REQUIRE_MEDIA(random, "random.bin");
  const FirstError garbage = RunUntilFirstError("filesrc location=\"" + random + "\" ! decodebin ! fakesink");
  ASSERT_TRUE(garbage.received);
  EXPECT_EQ(garbage.mapped, MediaPlayerError::SourceNotSupported) << garbage.text;

  const FirstError missing = RunUntilFirstError("filesrc location=/nonexistent/corvane/a.mp4 ! fakesink");
  ASSERT_TRUE(missing.received);
  EXPECT_EQ(missing.mapped, MediaPlayerError::SourceNotSupported) << missing.text;
}

TEST_F(RealMediaFactsTest, NetworkFailures_MapToNetworkError) {
  if (GstElementFactory* factory = gst_element_factory_find("souphttpsrc")) {
    gst_object_unref(factory);
  } else {
    GTEST_SKIP() << "GStreamer element missing: souphttpsrc";
  }
  CORVANE_REQUIRE_MEDIA(random, "random.bin");
  const std::string folder = random.substr(0, random.rfind('/'));
  std::string refusedUrl;
  {
    corvane::testing::TestHttpServer server(folder);
    const FirstError notFound = RunUntilFirstError("souphttpsrc location=" + server.Url("missing.mp4") +
                                                   " ! fakesink");
    ASSERT_TRUE(notFound.received);
    EXPECT_EQ(notFound.mapped, MediaPlayerError::NetworkError) << notFound.text;
    refusedUrl = server.Url("random.bin");
  }
  // The server is gone: its port now refuses connections.
  const FirstError refused = RunUntilFirstError("souphttpsrc location=" + refusedUrl + " ! fakesink");
  ASSERT_TRUE(refused.received);
  EXPECT_EQ(refused.mapped, MediaPlayerError::NetworkError) << refused.text;
}

}  // namespace
}  // namespace corvane::platform::gst
