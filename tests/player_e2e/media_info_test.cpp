// "mediaInfo" and "videoSize" as Dart receives them, against what ffprobe
// reads from the same files.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "player_e2e/media_facts.h"
#include "player_e2e/plugin_session.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

class MediaInfo : public PluginSession {
 protected:
  // Opens `name` in a new player; the "mediaInfo" event, or a test failure.
  std::optional<embedder::StreamEvent> InfoOf(DartPlayer& player, const std::string& path) {
    if (player.id < 0) return std::nullopt;
    Open(player, std::filesystem::absolute(path).string());
    auto info = WaitForAnyOf(*player.events, {"mediaInfo", "error"}, 10s);
    EXPECT_TRUE(info && info->Name() == "mediaInfo") << path;
    return info && info->Name() == "mediaInfo" ? info : std::nullopt;
  }
};

const EncodableMap& MapAt(const EncodableMap& map, const char* key) {
  static const EncodableMap kEmpty;
  auto found = map.find(EncodableValue(key));
  if (found == map.end() || !std::holds_alternative<EncodableMap>(found->second)) return kEmpty;
  return std::get<EncodableMap>(found->second);
}

template <typename T>
T ValueAt(const EncodableMap& map, const char* key) {
  auto found = map.find(EncodableValue(key));
  if (found == map.end() || !std::holds_alternative<T>(found->second)) {
    ADD_FAILURE() << "key \"" << key << "\" missing or of another kind";
    return T();
  }
  return std::get<T>(found->second);
}

std::vector<std::string> KeysOf(const EncodableMap& map) {
  std::vector<std::string> keys;
  for (const auto& [key, value] : map) keys.push_back(std::get<std::string>(key));
  return keys;
}

std::string Identifier(int group, size_t position) { return std::to_string(group) + "." + std::to_string(position); }

// Every file of the test media with the facts ffprobe reads from it.
TEST_F(MediaInfo, TracksDurationAndSource_MatchFfprobe) {
  // PCM beside video once took the video's codec (the walk upstream left
  // the stream at the demuxer's queue).
  for (const char* name : {"multi.mkv", "h264_aac.mp4", "audio_only.m4a", "video_only.mp4", "pcm.mov", "pcm.mkv"}) {
    SCOPED_TRACE(name);
    const std::string path = TestMediaPath(name);
    if (path.empty()) GTEST_SKIP() << "test media missing: " << name;
    const ProbedMedia probed = Ffprobe(path);
    ASSERT_TRUE(probed.read) << "ffprobe could not read " << path;

    DartPlayer player = Create();
    const auto info = InfoOf(player, path);
    ASSERT_TRUE(info);
    const auto& event = std::get<EncodableMap>(info->value);
    EXPECT_EQ(KeysOf(event),
              (std::vector<std::string>{"audioTracks", "duration", "event", "source", "subtitleTracks"}));
    EXPECT_EQ(ValueAt<std::string>(event, "source"), std::filesystem::absolute(path).string());
    EXPECT_NEAR(static_cast<double>(ValueAt<int64_t>(event, "duration")), probed.durationSeconds * 1000, 100);

    const EncodableMap& audio = MapAt(event, "audioTracks");
    ASSERT_EQ(audio.size(), probed.audio.size());
    for (size_t i = 0; i < probed.audio.size(); ++i) {
      SCOPED_TRACE(Identifier(0, i));
      const ProbedStream& stream = probed.audio[i];
      const EncodableMap& entry = MapAt(audio, Identifier(0, i).c_str());
      EXPECT_EQ(KeysOf(entry),
                (std::vector<std::string>{"bitRate", "channels", "format", "language", "sampleRate", "title"}));
      EXPECT_EQ(ValueAt<int32_t>(entry, "channels"), std::stoi(Field(stream, "channels")));
      EXPECT_EQ(ValueAt<int32_t>(entry, "sampleRate"), std::stoi(Field(stream, "sample_rate")));
      const std::string codec = Field(stream, "codec_name");
      EXPECT_EQ(ValueAt<std::string>(entry, "format"), codec.rfind("pcm_", 0) == 0 ? "PCM" : UpperCase(codec));
      EXPECT_EQ(ValueAt<std::string>(entry, "language"), TwoLetterLanguage(Field(stream, "tags.language")));
      EXPECT_EQ(ValueAt<std::string>(entry, "title"), Field(stream, "tags.title"));
      EXPECT_GE(ValueAt<int32_t>(entry, "bitRate"), 0);
    }

    const EncodableMap& text = MapAt(event, "subtitleTracks");
    ASSERT_EQ(text.size(), probed.subtitles.size());
    for (size_t i = 0; i < probed.subtitles.size(); ++i) {
      SCOPED_TRACE(Identifier(2, i));
      const ProbedStream& stream = probed.subtitles[i];
      const EncodableMap& entry = MapAt(text, Identifier(2, i).c_str());
      EXPECT_EQ(KeysOf(entry), (std::vector<std::string>{"format", "language", "title"}));
      EXPECT_EQ(ValueAt<std::string>(entry, "format"), "subtitle");
      EXPECT_EQ(ValueAt<std::string>(entry, "language"), TwoLetterLanguage(Field(stream, "tags.language")));
      EXPECT_EQ(ValueAt<std::string>(entry, "title"), Field(stream, "tags.title"));
    }
  }
}

TEST_F(MediaInfo, VideoSize_IsTheDisplaySize_SentBeforeTheInfo_AndNeverForAudioOnly) {
  struct Case {
    const char* name;
    double width, height;  // 0: no video
  };
  // rotated.mp4 is coded 320x160 and turned a quarter: a phone's portrait video.
  for (const Case& item : {Case{"h264_aac.mp4", 320, 240}, Case{"anamorphic.mp4", 480, 240},
                           Case{"rotated.mp4", 160, 320}, Case{"audio_only.m4a", 0, 0}}) {
    SCOPED_TRACE(item.name);
    const std::string path = TestMediaPath(item.name);
    if (path.empty()) GTEST_SKIP() << "test media missing: " << item.name;
    if (item.width > 0) {
      const ProbedMedia probed = Ffprobe(path);
      ASSERT_EQ(probed.video.size(), 1u);
      // Sanity of the expectation: ffprobe's coded height is the shown
      // height, or the shown width once turned.
      const bool turned = Field(probed.video[0], "side_data_list.side_data.0.rotation").find("90") != std::string::npos;
      EXPECT_EQ(std::stod(Field(probed.video[0], "height")), turned ? item.width : item.height);
    }
    DartPlayer player = Create();
    ASSERT_TRUE(InfoOf(player, path));
    std::vector<std::pair<double, double>> sizes;
    for (const auto& event : player.events->History()) {
      if (event.Name() != "videoSize") continue;
      sizes.emplace_back(std::get<double>(*event.Find("width")), std::get<double>(*event.Find("height")));
    }
    if (item.width == 0) {
      EXPECT_TRUE(sizes.empty());
    } else {
      ASSERT_EQ(sizes.size(), 1u) << "one size, announced while opening";
      EXPECT_EQ(sizes[0], std::make_pair(item.width, item.height));
    }
  }
}

}  // namespace
}  // namespace corvane::testing
