// Writes the fuzzer's seed corpus: real messages of the plugin's protocol,
// encoded by the codec under test. Usage: make_corpus <directory>.
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

#include "host/standard_method_codec.h"

using flutter::EncodableList;
using flutter::EncodableMap;
using flutter::EncodableValue;

namespace {

const flutter::StandardMethodCodec& Codec() { return flutter::StandardMethodCodec::GetInstance(); }

bool Write(const std::string& directory, const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = directory + "/" + name;
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::vector<uint8_t> Call(const std::string& method, EncodableValue arguments) {
  flutter::MethodCall<> call(method, std::make_unique<EncodableValue>(std::move(arguments)));
  return *Codec().EncodeMethodCall(call);
}

EncodableValue Map(std::initializer_list<std::pair<const char*, EncodableValue>> entries) {
  EncodableMap map;
  for (const auto& [key, value] : entries) map[EncodableValue(key)] = value;
  return EncodableValue(std::move(map));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
    return 2;
  }
  const std::string out = argv[1];
  const EncodableValue id(int64_t{100});
  const EncodableValue audio_track = Map({{"id", EncodableValue("0.0")},
                                          {"language", EncodableValue("en")},
                                          {"label", EncodableValue("English")},
                                          {"bitrate", EncodableValue(int64_t{128000})},
                                          {"channelCount", EncodableValue(int32_t{2})},
                                          {"sampleRate", EncodableValue(int32_t{48000})}});
  const EncodableValue media_info = Map({{"event", EncodableValue("mediaInfo")},
                                         {"duration", EncodableValue(int64_t{60000})},
                                         {"source", EncodableValue("asset://videos/intro.mp4")},
                                         {"audioTracks", EncodableValue(EncodableList{audio_track, audio_track})},
                                         {"subtitleTracks", EncodableValue(EncodableList{})}});
  const EncodableValue position = Map({{"event", EncodableValue("position")}, {"value", EncodableValue(int64_t{1500})}});
  const EncodableValue buffer = Map({{"event", EncodableValue("buffer")},
                                     {"values", EncodableValue(std::vector<int64_t>{0, 2000, 5000, 9000})}});
  const EncodableValue errorDetails = Map({{"code", EncodableValue(int32_t{2})}});

  bool ok = true;
  ok &= Write(out, "create", Call("create", EncodableValue()));
  ok &= Write(out, "open", Call("open", Map({{"id", id}, {"value", EncodableValue("https://127.0.0.1/a.mp4")}})));
  ok &= Write(out, "setVolume", Call("setVolume", Map({{"id", id}, {"value", EncodableValue(0.5)}})));
  ok &= Write(out, "seekTo", Call("seekTo", Map({{"id", id}, {"value", EncodableValue(int32_t{3000})}})));
  ok &= Write(out, "setPreferredAudioLanguage",
              Call("setPreferredAudioLanguage", Map({{"id", id}, {"value", EncodableValue("de")}})));
  ok &= Write(out, "overrideTrack", Call("overrideTrack", Map({{"id", id},
                                                               {"groupId", EncodableValue(int32_t{0})},
                                                               {"trackId", EncodableValue(int32_t{1})},
                                                               {"enabled", EncodableValue(true)}})));
  ok &= Write(out, "listen", Call("listen", EncodableValue()));
  ok &= Write(out, "cancel", Call("cancel", EncodableValue()));
  ok &= Write(out, "event_position", *Codec().EncodeSuccessEnvelope(&position));
  ok &= Write(out, "event_buffer", *Codec().EncodeSuccessEnvelope(&buffer));
  ok &= Write(out, "event_mediaInfo", *Codec().EncodeSuccessEnvelope(&media_info));
  ok &= Write(out, "create_reply", *Codec().EncodeSuccessEnvelope(&id));
  ok &= Write(out, "error_no_stream", *Codec().EncodeErrorEnvelope("error", "No active stream to cancel"));
  ok &= Write(out, "error_details", *Codec().EncodeErrorEnvelope("MediaFailed", "network", &errorDetails));
  const EncodableValue numbers(EncodableList{EncodableValue(std::vector<double>{1.5, -0.0}),
                                             EncodableValue(std::vector<float>{2.5f}),
                                             EncodableValue(std::vector<int32_t>{}),
                                             EncodableValue(std::vector<uint8_t>{1, 2, 3}),
                                             EncodableValue(std::numeric_limits<double>::infinity())});
  ok &= Write(out, "typed_lists", Call("typedLists", numbers));
  return ok ? 0 : 1;
}
