#include "player_e2e/media_facts.h"

#include <unistd.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <regex>

namespace corvane::testing {

ProbedMedia Ffprobe(const std::string& path) {
  ProbedMedia media;
  const std::string command = "ffprobe -v error -show_streams -show_format -of flat '" + path + "' 2>/dev/null";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return media;
  const std::regex streamLine(R"re(streams\.stream\.(\d+)\.([A-Za-z0-9_.]+)="?([^"]*)"?)re");
  const std::regex durationLine(R"re(format\.duration="([0-9.]+)")re");
  std::map<int, ProbedStream> streams;
  char buffer[1024];
  while (std::fgets(buffer, sizeof buffer, pipe)) {
    std::string text(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    std::smatch match;
    if (std::regex_match(text, match, streamLine)) {
      streams[std::stoi(match[1])][match[2]] = match[3];
    } else if (std::regex_match(text, match, durationLine)) {
      media.durationSeconds = std::stod(match[1]);
    }
  }
  ::pclose(pipe);
  for (const auto& [index, stream] : streams) {
    const std::string type = Field(stream, "codec_type");
    if (type == "audio") media.audio.push_back(stream);
    if (type == "video") media.video.push_back(stream);
    if (type == "subtitle") media.subtitles.push_back(stream);
  }
  media.read = !streams.empty();
  return media;
}

std::string Field(const ProbedStream& stream, const std::string& key) {
  auto found = stream.find(key);
  return found == stream.end() ? std::string() : found->second;
}

std::string TwoLetterLanguage(const std::string& code) {
  static const std::map<std::string, std::string> tags{
      {"eng", "en"}, {"fra", "fr"}, {"fre", "fr"}, {"deu", "de"}, {"ger", "de"}, {"und", ""}};
  auto found = tags.find(code);
  return found == tags.end() ? code : found->second;
}

std::string UpperCase(std::string text) {
  for (auto& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

AudioCapture::AudioCapture() {
  char pattern[] = "/tmp/corvane-audio-XXXXXX";
  const int fd = ::mkstemp(pattern);
  if (fd >= 0) ::close(fd);
  path_ = pattern;
}

AudioCapture::~AudioCapture() { std::remove(path_.c_str()); }

std::string AudioCapture::SinkDescription() const {
  // Unbuffered, so what has been played is in the file at once.
  return "audioconvert ! audioresample ! audio/x-raw,format=S16LE,channels=1,rate=" + std::to_string(kRate) +
         " ! filesink sync=true buffer-mode=2 location=" + path_;
}

std::vector<int16_t> AudioCapture::Samples() const {
  std::ifstream in(path_, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples(bytes.size() / 2);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>(bytes[2 * i]) | (static_cast<uint8_t>(bytes[2 * i + 1]) << 8));
  }
  return samples;
}

double ToneFrequency(const std::vector<int16_t>& samples, size_t first, size_t count) {
  if (first + count > samples.size() || count < 2) return 0;
  size_t crossings = 0;
  for (size_t i = first + 1; i < first + count; ++i) {
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  }
  return crossings / 2.0 * AudioCapture::kRate / static_cast<double>(count);
}

double Loudness(const std::vector<int16_t>& samples, size_t first, size_t count) {
  if (first + count > samples.size() || count == 0) return 0;
  double sum = 0;
  for (size_t i = first; i < first + count; ++i) sum += static_cast<double>(samples[i]) * samples[i];
  return std::sqrt(sum / static_cast<double>(count));
}

}  // namespace corvane::testing
