#include "options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <map>

#include "key_map.h"

namespace corvane::play {

namespace {

constexpr int kMaxPlayers = 16;

bool ParseInt(const std::string& text, int64_t* out) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, *out);
  return ec == std::errc() && ptr == end;
}

bool ParseDouble(const std::string& text, double* out) {
  if (text.empty()) return false;
  char* end = nullptr;
  *out = std::strtod(text.c_str(), &end);
  return end == text.c_str() + text.size() && std::isfinite(*out);
}

// "1920x1080": both sides whole positive numbers.
bool ParseSize(const std::string& text, uint32_t* width, uint32_t* height) {
  const size_t x = text.find('x');
  if (x == std::string::npos) return false;
  int64_t w = 0, h = 0;
  if (!ParseInt(text.substr(0, x), &w) || !ParseInt(text.substr(x + 1), &h)) return false;
  if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return false;
  *width = static_cast<uint32_t>(w);
  *height = static_cast<uint32_t>(h);
  return true;
}

// "2500:shot.png": the time before the first colon, so a file name may
// hold colons of its own.
bool ParseTimedFile(const std::string& text, SnapshotRequest* out) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon + 1 == text.size()) return false;
  int64_t ms = 0;
  if (!ParseInt(text.substr(0, colon), &ms) || ms < 0) return false;
  out->atMs = ms;
  out->file = text.substr(colon + 1);
  return true;
}

// "1500:t" or "1500:space,right": known key names only.
bool ParseKeyPress(const std::string& text, KeyPressRequest* out) {
  SnapshotRequest timed;
  if (!ParseTimedFile(text, &timed)) return false;
  out->atMs = timed.atMs;
  out->keys.clear();
  size_t start = 0;
  while (true) {
    const size_t comma = timed.file.find(',', start);
    const std::string name = timed.file.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
    if (!KeyFromName(name)) return false;
    out->keys.push_back(name);
    if (comma == std::string::npos) return true;
    start = comma + 1;
  }
}

}  // namespace

std::string UsageText() {
  return "usage: corvane-play [options] SOURCE\n"
         "Plays a file path, URL or asset:// key through the Corvane plugin.\n"
         "\n"
         "  --audio-lang TAG        preferred audio language (e.g. fr, en-US)\n"
         "  --subtitle-lang TAG     preferred subtitle language\n"
         "  --subtitles             show subtitles\n"
         "  --loop                  play again from the start at the end\n"
         "  --speed X               playback speed (default 1.0)\n"
         "  --volume X              volume from 0 to 1 (default 1.0)\n"
         "  --start MS              start position in milliseconds\n"
         "  --duration MS           stop once this much media time has played\n"
         "  --max-resolution WxH    largest video track to choose\n"
         "  --max-bitrate N         largest video bit rate to choose, bits/s\n"
         "  --players N             N players of the same source side by side (1-16)\n"
         "  --headless              no window; events and replies as JSON lines\n"
         "  --snapshot MS:FILE.png  headless: save the first player's picture, subtitles\n"
         "                          included, at its first position report at or\n"
         "                          after MS whose picture is shown, waiting up to\n"
         "                          a second for one (repeatable)\n"
         "  --plugin PATH           the plugin library to load\n"
         "  --help                  this text\n"
         "\n"
         "Keys: space play/pause, left/right seek 5 s, up/down volume, [ ] speed,\n"
         "s subtitles on/off, a/t next audio/subtitle track, l looping, q quit.\n";
}

ParseResult ParseOptions(const std::vector<std::string>& args, const std::string& defaultPluginPath) {
  ParseResult result;
  Options& o = result.options;
  o.pluginPath = defaultPluginPath;

  using Setter = std::function<bool(const std::string&)>;
  // Options that take a value; each setter says whether the value is valid.
  const std::map<std::string, Setter> valued = {
      {"--audio-lang", [&](const std::string& v) { o.audioLanguage = v; return true; }},
      {"--subtitle-lang", [&](const std::string& v) { o.subtitleLanguage = v; return true; }},
      {"--speed", [&](const std::string& v) { return ParseDouble(v, &o.speed) && o.speed > 0; }},
      {"--volume", [&](const std::string& v) { return ParseDouble(v, &o.volume) && o.volume >= 0 && o.volume <= 1; }},
      {"--start", [&](const std::string& v) { return ParseInt(v, &o.startMs) && o.startMs >= 0; }},
      {"--duration",
       [&](const std::string& v) {
         int64_t ms = 0;
         if (!ParseInt(v, &ms) || ms <= 0) return false;
         o.durationMs = ms;
         return true;
       }},
      {"--max-resolution",
       [&](const std::string& v) {
         uint32_t w = 0, h = 0;
         if (!ParseSize(v, &w, &h)) return false;
         o.maxWidth = w;
         o.maxHeight = h;
         return true;
       }},
      {"--max-bitrate",
       [&](const std::string& v) {
         int64_t n = 0;
         if (!ParseInt(v, &n) || n <= 0 || n > INT32_MAX) return false;
         o.maxBitRate = n;
         return true;
       }},
      {"--players",
       [&](const std::string& v) {
         int64_t n = 0;
         if (!ParseInt(v, &n) || n < 1 || n > kMaxPlayers) return false;
         o.players = static_cast<int>(n);
         return true;
       }},
      {"--snapshot",
       [&](const std::string& v) {
         SnapshotRequest request;
         if (!ParseTimedFile(v, &request)) return false;
         o.snapshots.push_back(request);
         return true;
       }},
      {"--screenshot-after",
       [&](const std::string& v) {
         SnapshotRequest request;
         if (!ParseTimedFile(v, &request)) return false;
         o.screenshotAfter = request;
         return true;
       }},
      {"--press",
       [&](const std::string& v) {
         KeyPressRequest request;
         if (!ParseKeyPress(v, &request)) return false;
         o.presses.push_back(request);
         return true;
       }},
      {"--plugin", [&](const std::string& v) { o.pluginPath = v; return !v.empty(); }},
  };
  const std::map<std::string, bool*> flags = {
      {"--subtitles", &o.showSubtitles}, {"--loop", &o.loop}, {"--headless", &o.headless}, {"--help", &o.help},
      {"-h", &o.help}};

  bool optionsEnded = false;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
      positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (auto flag = flags.find(arg); flag != flags.end()) {
      *flag->second = true;
      continue;
    }
    // "--name value" or "--name=value".
    std::string name = arg, value;
    bool hasValue = false;
    if (const size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
      hasValue = true;
    }
    auto setter = valued.find(name);
    if (setter == valued.end()) {
      result.error = "unknown option " + name;
      return result;
    }
    if (!hasValue) {
      if (i + 1 >= args.size()) {
        result.error = name + " needs a value";
        return result;
      }
      value = args[++i];
    }
    if (!setter->second(value)) {
      result.error = "bad value for " + name + ": '" + value + "'";
      return result;
    }
  }
  if (o.help) return result;
  if (positional.empty()) {
    result.error = "no source given";
  } else if (positional.size() > 1) {
    result.error = "more than one source given: '" + positional[1] + "'";
  } else {
    o.source = positional[0];
  }
  return result;
}

}  // namespace corvane::play
