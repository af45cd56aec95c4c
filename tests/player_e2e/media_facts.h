// What ffprobe reads from a file, to compare the plugin's reports with, and
// the audio a player plays, captured to a file through the audio output the
// engine takes from CORVANE_AUDIO_SINK.
#ifndef CORVANE_TESTS_PLAYER_E2E_MEDIA_FACTS_H_
#define CORVANE_TESTS_PLAYER_E2E_MEDIA_FACTS_H_

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace corvane::testing {

// One stream: ffprobe's flat fields without the "streams.stream.N." prefix
// ("codec_name", "channels", "tags.language", ...).
using ProbedStream = std::map<std::string, std::string>;

struct ProbedMedia {
  bool read = false;  // false when ffprobe could not be run or read nothing
  double durationSeconds = 0;
  std::vector<ProbedStream> audio;
  std::vector<ProbedStream> video;
  std::vector<ProbedStream> subtitles;
};

ProbedMedia Ffprobe(const std::string& path);

// The field, or "" when missing.
std::string Field(const ProbedStream& stream, const std::string& key);

// ISO 639-2 codes of the test media as the engine reports them (BCP-47).
std::string TwoLetterLanguage(const std::string& code);
std::string UpperCase(std::string text);

// Decoded audio written by the player's audio output: mono signed 16-bit
// samples at kRate, clocked like a real device.
class AudioCapture {
 public:
  static constexpr int kRate = 8000;

  AudioCapture();  // a fresh file in the temporary folder
  ~AudioCapture();
  AudioCapture(const AudioCapture&) = delete;
  AudioCapture& operator=(const AudioCapture&) = delete;

  // The GStreamer bin description that writes to this capture.
  std::string SinkDescription() const;
  // Every sample written so far.
  std::vector<int16_t> Samples() const;

 private:
  std::string path_;
};

// Frequency in Hz of the tone that fills `samples` (from its zero crossings).
double ToneFrequency(const std::vector<int16_t>& samples, size_t first, size_t count);
// Root mean square of the samples, 0 when `count` is 0.
double Loudness(const std::vector<int16_t>& samples, size_t first, size_t count);

}  // namespace corvane::testing

#endif  // CORVANE_TESTS_PLAYER_E2E_MEDIA_FACTS_H_
