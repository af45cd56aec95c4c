// corvane-play end to end: the real program, the real plugin and the real
// media engine on a generated clip. Headless runs are checked through
// their JSON lines and their snapshots against frames decoded
// independently with ffmpeg; one window run under a virtual display is
// checked through the window's own screenshot.
#include <cairo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "run_program.h"
#include "support/test_media.h"

namespace corvane::testing {
namespace {

constexpr int kClipSeconds = 6;
constexpr int kWidth = 1280, kHeight = 720;
constexpr auto kRunLimit = std::chrono::seconds(60);

bool Exists(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && info.st_size > 0;
}

// The short demo clip: two cues per language, "Hello 1" from about 1.0 s
// to 3.5 s and "Hello 2" from 5.0 s. Made by the ctest fixture, or here
// when the test runs on its own.
std::string Clip() {
  const std::string path = TestMediaDir() + "/demo-6s.mkv";
  if (!Exists(path)) {
    RunProgram({"/bin/bash", CORVANE_DEMO_CLIP_SCRIPT, path, std::to_string(kClipSeconds)}, {},
               std::chrono::seconds(120));
  }
  return Exists(path) ? path : std::string();
}

std::string TempPath(const std::string& name) {
  return "/tmp/corvane-demo-test-" + std::to_string(getpid()) + "-" + name;
}

ProgramRun Play(std::vector<std::string> args) {
  args.insert(args.begin(), CORVANE_PLAY_BINARY);
  // No audio device in CI; this sink keeps real time on the system clock.
  std::vector<std::string> environment;
  if (std::getenv("CORVANE_AUDIO_SINK") == nullptr) environment.push_back("CORVANE_AUDIO_SINK=fakesink sync=true");
  return RunProgram(args, environment, kRunLimit);
}

std::string Describe(const ProgramRun& run) {
  return "exit " + std::to_string(run.exitCode) + (run.timedOut ? " (timed out)" : "") + "\nstderr:\n" + run.err +
         "\nstdout (start):\n" + run.out.substr(0, 3000);
}

// The text after `marker` in `line` up to the next `"`; empty without it.
std::string QuotedAfter(const std::string& line, const std::string& marker) {
  const size_t at = line.find(marker);
  if (at == std::string::npos) return {};
  const size_t begin = at + marker.size();
  const size_t end = line.find('"', begin);
  return end == std::string::npos ? std::string() : line.substr(begin, end - begin);
}

// The integer after `marker` in `line`; -1 without it.
int64_t IntegerAfter(const std::string& line, const std::string& marker) {
  const size_t at = line.find(marker);
  if (at == std::string::npos) return -1;
  return std::strtoll(line.c_str() + at + marker.size(), nullptr, 10);
}

// The event names of a headless run's event lines, in order. The envelope's
// own "event" key holds a map, so the first string-valued one is the name.
std::vector<std::string> EventNames(const ProgramRun& run) {
  std::vector<std::string> names;
  for (const std::string& line : run.OutLines()) {
    if (line.rfind("{\"type\":\"event\"", 0) != 0) continue;
    const std::string name = QuotedAfter(line, "\"event\":\"");
    if (!name.empty()) names.push_back(name);
  }
  return names;
}

std::vector<int64_t> Positions(const ProgramRun& run) {
  const std::string marker = "\"event\":{\"event\":\"position\",\"value\":";
  std::vector<int64_t> values;
  for (const std::string& line : run.OutLines()) {
    if (line.find(marker) != std::string::npos) values.push_back(IntegerAfter(line, marker));
  }
  return values;
}

std::string LineWith(const ProgramRun& run, const std::string& part) {
  for (const std::string& line : run.OutLines()) {
    if (line.find(part) != std::string::npos) return line;
  }
  return {};
}

int64_t NumberAfter(const std::string& line, const std::string& key) {
  return IntegerAfter(line, "\"" + key + "\":");
}

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> bgra;
  const uint8_t* At(int x, int y) const { return bgra.data() + (static_cast<size_t>(y) * width + x) * 4; }
};

Picture LoadPng(const std::string& path) {
  Picture picture;
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> surface(
      cairo_image_surface_create_from_png(path.c_str()), cairo_surface_destroy);  // Adopt
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return picture;
  picture.width = cairo_image_surface_get_width(surface.get());
  picture.height = cairo_image_surface_get_height(surface.get());
  const int stride = cairo_image_surface_get_stride(surface.get());
  const unsigned char* data = cairo_image_surface_get_data(surface.get());
  for (int y = 0; y < picture.height; ++y) {
    picture.bgra.insert(picture.bgra.end(), data + y * stride, data + y * stride + picture.width * 4);
  }
  return picture;
}

// `count` consecutive frames of the clip from `fromMs` on, decoded by
// ffmpeg, as BGRA.
std::vector<Picture> ClipFrames(const std::string& clip, int64_t fromMs, int count) {
  char command[1024];
  std::snprintf(command, sizeof command,
                "ffmpeg -v error -ss %.3f -i '%s' -frames:v %d -f rawvideo -pix_fmt bgra - 2>/dev/null",
                fromMs / 1000.0, clip.c_str(), count);
  std::vector<Picture> frames;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command, "r"), pclose);
  if (!pipe) return frames;
  const size_t frameBytes = static_cast<size_t>(kWidth) * kHeight * 4;
  while (static_cast<int>(frames.size()) < count) {
    Picture frame{kWidth, kHeight, std::vector<uint8_t>(frameBytes)};
    if (std::fread(frame.bgra.data(), 1, frameBytes, pipe.get()) != frameBytes) break;
    frames.push_back(std::move(frame));
  }
  return frames;
}

struct Area {
  int x0, y0, x1, y1;
};
// A snapshot shows the frame on screen when its position report came; on a
// loaded machine that frame may be some way behind the report. The match
// is looked for among the clip's frames from this far before it.
constexpr int64_t kLagWindowMs = 800;
constexpr int kLagFrames = 30;  // to 0.2 s after the report, at 30 fps

constexpr Area kSubtitleBand{320, 610, 960, 710};

// Share of the area's pixels where some colour channel differs by more
// than `tolerance`: near 0 for the same frame through two decoders and
// colour converters, clearly above for a frame a few tenths of a second
// away (the clock digits, the moving line and dots).
double DifferentShare(const Picture& a, const Picture& b, Area area, int tolerance = 48) {
  long different = 0, total = 0;
  for (int y = area.y0; y < area.y1; ++y) {
    for (int x = area.x0; x < area.x1; ++x, ++total) {
      const uint8_t* p = a.At(x, y);
      const uint8_t* q = b.At(x, y);
      for (int c = 0; c < 3; ++c) {
        if (std::abs(p[c] - q[c]) > tolerance) {
          ++different;
          break;
        }
      }
    }
  }
  return total == 0 ? 1.0 : static_cast<double>(different) / total;
}

// The clip frame that `snapshot` shows, looked for among the frames
// around `positionMs` (a snapshot is taken at the first position report at
// or after its time; the frame on screen is a little older than the
// report). Returns its index in `frames` and its share of differences.
std::pair<int, double> BestMatch(const Picture& snapshot, const std::vector<Picture>& frames, Area area) {
  std::pair<int, double> best{-1, 1.0};
  for (size_t i = 0; i < frames.size(); ++i) {
    const double share = DifferentShare(snapshot, frames[i], area);
    if (share < best.second) best = {static_cast<int>(i), share};
  }
  return best;
}

// In a sanitizer build: the window run's display stack (SDL's D-Bus link,
// the X and GL drivers it loads and unloads) keeps memory to the end that
// leak reports cannot even name. The plugin's own leaks are checked by the
// headless runs; the window run checks the display path only.
std::string WithoutLeakCheck() {
  const char* options = std::getenv("ASAN_OPTIONS");
  return std::string("ASAN_OPTIONS=") + (options != nullptr ? std::string(options) + ":" : "") + "detect_leaks=0";
}

class DemoPlayer : public ::testing::Test {
 protected:
  void SetUp() override {
    clip_ = Clip();
    if (clip_.empty()) GTEST_SKIP() << "the demo clip could not be made (ffmpeg missing?)";
  }
  void TearDown() override {
    for (const std::string& file : files_) unlink(file.c_str());
  }
  std::string Output(const std::string& name) {
    files_.push_back(TempPath(name));
    return files_.back();
  }
  // Takes a headless snapshot at `atMs`, playing from half a second before.
  Picture SnapshotAt(int64_t atMs, const std::vector<std::string>& extra, int64_t* positionMs) {
    return SnapshotRun(atMs - 500, atMs, extra, positionMs, nullptr);
  }
  Picture SnapshotRun(int64_t startMs, int64_t atMs, const std::vector<std::string>& extra, int64_t* positionMs,
                      ProgramRun* runOut) {
    const std::string file = Output("at-" + std::to_string(atMs) + "-" + std::to_string(files_.size()) + ".png");
    std::vector<std::string> args = {"--headless", "--start", std::to_string(startMs), "--duration",
                                     std::to_string(atMs - startMs + 300), "--snapshot",
                                     std::to_string(atMs) + ":" + file};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back(clip_);
    const ProgramRun run = Play(args);
    EXPECT_EQ(run.exitCode, 0) << Describe(run);
    const std::string line = LineWith(run, "\"type\":\"snapshot\"");
    EXPECT_NE(line.find("\"file\":\"" + file + "\""), std::string::npos) << line;
    *positionMs = NumberAfter(line, "positionMs");
    EXPECT_GE(*positionMs, atMs) << line;
    if (runOut != nullptr) *runOut = run;
    return LoadPng(file);
  }

  std::string clip_;
  std::vector<std::string> files_;
};

TEST_F(DemoPlayer, Headless_ReportsMediaInfoVideoSizePositionsAndFinished_ThenExitsZero) {
  const ProgramRun run = Play({"--headless", "--start", "3500", clip_});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);

  const std::vector<std::string> names = EventNames(run);
  const auto first = [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) - names.begin();
  };
  ASSERT_LT(first("mediaInfo"), static_cast<long>(names.size())) << Describe(run);
  EXPECT_LT(first("videoSize"), static_cast<long>(names.size()));
  EXPECT_LT(first("mediaInfo"), first("position"));  // play starts after the information
  ASSERT_FALSE(names.empty());
  EXPECT_EQ(names.back(), "finished");
  EXPECT_EQ(std::count(names.begin(), names.end(), "finished"), 1);

  const std::vector<int64_t> positions = Positions(run);
  ASSERT_GE(positions.size(), 5u) << Describe(run);
  EXPECT_GE(positions.front(), 3500);  // the start position holds
  EXPECT_LT(positions.front(), 3800);
  EXPECT_TRUE(std::is_sorted(positions.begin(), positions.end()));
  EXPECT_GE(positions.back(), kClipSeconds * 1000 - 300);

  const std::string info = LineWith(run, "\"event\":\"mediaInfo\"");
  EXPECT_NEAR(NumberAfter(info, "duration"), kClipSeconds * 1000, 150) << info;
  EXPECT_NE(info.find("\"0.0\":{\"bitRate\":"), std::string::npos) << info;
  EXPECT_NE(info.find("\"title\":\"Français\""), std::string::npos) << info;
  EXPECT_NE(info.find("\"2.1\":{\"format\":\"subtitle\",\"language\":\"fr\""), std::string::npos) << info;
  EXPECT_NE(info.find("\"source\":\"" + clip_ + "\""), std::string::npos) << info;

  // Every reply was a success, and the run closes with its exit line.
  for (const std::string& line : run.OutLines()) {
    if (line.rfind("{\"type\":\"reply\"", 0) == 0) {
      EXPECT_NE(line.find("\"reply\":\"success\""), std::string::npos) << line;
    }
  }
  EXPECT_EQ(run.OutLines().back(), "{\"type\":\"exit\",\"code\":0}");
}

TEST_F(DemoPlayer, Loop_PlaysOnFromTheStart_AndDurationCountsPlayedTime) {
  // From 5.0 s at double speed: the end, "finished", 0 s again, and a stop
  // once 2 s of media have played in all.
  const ProgramRun run = Play({"--headless", "--loop", "--speed", "2", "--start", "5000", "--duration", "2000", clip_});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  const std::vector<std::string> names = EventNames(run);
  EXPECT_GE(std::count(names.begin(), names.end(), "finished"), 1) << Describe(run);
  const std::vector<int64_t> positions = Positions(run);
  ASSERT_GE(positions.size(), 3u);
  const auto wrapped = std::adjacent_find(positions.begin(), positions.end(), std::greater<int64_t>());
  ASSERT_NE(wrapped, positions.end()) << "the position never went back to the start";
  EXPECT_LT(*(wrapped + 1), 500);
  EXPECT_GE(positions.back(), 800);   // about 1 s played before the loop,
  EXPECT_LT(positions.back(), 1800);  // about 1 s after it
}

TEST_F(DemoPlayer, Snapshot_ShowsTheClipFrameOfItsPosition) {
  int64_t position = 0;
  const Picture snapshot = SnapshotAt(4300, {}, &position);
  ASSERT_EQ(snapshot.width, kWidth);
  ASSERT_EQ(snapshot.height, kHeight);
  // Frames from before the reported position to just after it.
  const std::vector<Picture> frames = ClipFrames(clip_, position - kLagWindowMs, kLagFrames);
  ASSERT_EQ(frames.size(), static_cast<size_t>(kLagFrames));
  const auto [index, share] = BestMatch(snapshot, frames, Area{0, 0, kWidth, kHeight});
  EXPECT_LT(share, 0.002) << "best frame " << index;
  // A second later the picture is clearly another one.
  const std::vector<Picture> later = ClipFrames(clip_, position + 1000, 1);
  ASSERT_EQ(later.size(), 1u);
  EXPECT_GT(DifferentShare(snapshot, later[0], Area{0, 0, kWidth, kHeight}), 0.01);
}

// The near-white pixels of the subtitle band: the fill of the cue's text.
std::vector<bool> TextMask(const Picture& picture) {
  std::vector<bool> mask;
  for (int y = kSubtitleBand.y0; y < kSubtitleBand.y1; ++y) {
    for (int x = kSubtitleBand.x0; x < kSubtitleBand.x1; ++x) {
      const uint8_t* p = picture.At(x, y);
      mask.push_back(p[0] > 235 && p[1] > 235 && p[2] > 235);
    }
  }
  return mask;
}

// Shared pixels over pixels in either: 1 for the same text, low for another.
double Overlap(const std::vector<bool>& a, const std::vector<bool>& b) {
  long both = 0, either = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    both += a[i] && b[i];
    either += a[i] || b[i];
  }
  return either == 0 ? 0.0 : static_cast<double>(both) / either;
}

TEST_F(DemoPlayer, KeyT_SwitchesToTheNextSubtitleTrackThroughOverrideTrack) {
  // Between the cues, "t" moves from the English track to the French one;
  // the second cue then reads as with French chosen from the start, and not
  // as the English one: the second track shows its own cues.
  int64_t position = 0;
  ProgramRun switched;
  const Picture viaKey = SnapshotRun(4200, 5600, {"--subtitles", "--subtitle-lang", "en", "--press", "4400:t"},
                                     &position, &switched);
  const Picture english = SnapshotAt(5600, {"--subtitles", "--subtitle-lang", "en"}, &position);
  const Picture french = SnapshotAt(5600, {"--subtitles", "--subtitle-lang", "fr"}, &position);
  ASSERT_EQ(viaKey.width, kWidth);
  ASSERT_EQ(english.width, kWidth);
  ASSERT_EQ(french.width, kWidth);

  const std::string reply = LineWith(switched, "\"method\":\"overrideTrack\"");
  EXPECT_NE(reply.find("\"reply\":\"success\""), std::string::npos) << Describe(switched);
  const std::vector<bool> viaKeyText = TextMask(viaKey);
  EXPECT_GT(std::count(viaKeyText.begin(), viaKeyText.end(), true), 300);  // some text is there
  EXPECT_LT(Overlap(TextMask(english), TextMask(french)), 0.5);           // the two cues read differently
  EXPECT_GT(Overlap(viaKeyText, TextMask(french)), 0.8);
  EXPECT_LT(Overlap(viaKeyText, TextMask(english)), 0.5);
}

TEST_F(DemoPlayer, BadSource_GivesAReadableErrorAndANonZeroExit) {
  const ProgramRun run = Play({"--headless", "/nonexistent/clip.mkv"});
  EXPECT_EQ(run.exitCode, 1) << Describe(run);
  EXPECT_NE(run.err.find("cannot play '/nonexistent/clip.mkv'"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("SourceNotSupported"), std::string::npos) << run.err;
  EXPECT_NE(LineWith(run, "\"event\":{\"event\":\"error\",\"value\":\"SourceNotSupported\"}"), "") << run.out;
  EXPECT_EQ(run.OutLines().back(), "{\"type\":\"exit\",\"code\":1}");
}

TEST_F(DemoPlayer, UsageAndPluginProblems_ExitWithTheirOwnCodes) {
  const ProgramRun usage = Play({"--speed", "fast", clip_});
  EXPECT_EQ(usage.exitCode, 2) << Describe(usage);
  EXPECT_NE(usage.err.find("bad value for --speed"), std::string::npos) << usage.err;

  const ProgramRun noPlugin = Play({"--headless", "--plugin", "/nonexistent/libplugin.so", clip_});
  EXPECT_EQ(noPlugin.exitCode, 3) << Describe(noPlugin);
  EXPECT_NE(noPlugin.err.find("/nonexistent/libplugin.so"), std::string::npos) << noPlugin.err;

  const ProgramRun help = Play({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_NE(help.out.find("--snapshot MS:FILE.png"), std::string::npos);
}

TEST_F(DemoPlayer, Players_SeveralPlayersOfOneSourceEachPlayToTheEnd) {
  const ProgramRun run = Play({"--headless", "--players", "2", "--start", "4500", clip_});
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  std::vector<int64_t> ids;
  for (const std::string& line : run.OutLines()) {
    if (line.find("\"method\":\"create\"") != std::string::npos) {
      ids.push_back(IntegerAfter(line, "\"result\":{\"id\":"));
      ASSERT_GE(ids.back(), 0) << line;
    }
  }
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_NE(ids[0], ids[1]);
  for (int64_t id : ids) {
    EXPECT_NE(LineWith(run, "\"player\":" + std::to_string(id) + ",\"event\":{\"event\":\"finished\"}"), "")
        << "player " << id << "\n" << Describe(run);
  }
}

// Runs the player in a window on a virtual display from 1.0 s of the clip
// and takes the window's own screenshot 1.5 s later, during "Hello 1".
// Skips (returns an empty picture) without Xvfb.
Picture WindowScreenshot(const std::string& clip, const std::string& shot, const std::vector<std::string>& extra,
                         ProgramRun* run) {
  std::vector<std::string> args = {"/usr/bin/xvfb-run", "-a", "-s", "-screen 0 1280x800x24", CORVANE_PLAY_BINARY,
                                   "--subtitles", "--subtitle-lang", "en", "--start", "1000", "--duration", "2000",
                                   "--screenshot-after", "1500:" + shot};
  args.insert(args.end(), extra.begin(), extra.end());
  args.push_back(clip);
  *run = RunProgram(args, {"CORVANE_AUDIO_SINK=fakesink sync=true", WithoutLeakCheck()}, kRunLimit);
  return LoadPng(shot);
}

// Near-white pixels where the window shows cues: the video fills the
// 960 x 540 area above the status line, and the clip has no white there.
long WindowTextPixels(const Picture& picture) {
  long white = 0;
  for (int y = 540 * 5 / 6; y < 540; ++y) {
    for (int x = 960 / 3; x < 960 * 2 / 3; ++x) {
      const uint8_t* p = picture.At(x, y);
      white += p[0] > 235 && p[1] > 235 && p[2] > 235;
    }
  }
  return white;
}

bool HasVirtualDisplay() { return access("/usr/bin/xvfb-run", X_OK) == 0 && access("/usr/bin/xauth", X_OK) == 0; }

TEST_F(DemoPlayer, Window_UnderAVirtualDisplay_ShowsVideoSubtitlesAndStatusLine) {
  if (!HasVirtualDisplay()) GTEST_SKIP() << "needs xvfb-run and xauth (packages xvfb, xauth)";
  const std::string shot = Output("window.png");
  ProgramRun run;
  const Picture picture = WindowScreenshot(clip_, shot, {}, &run);
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  EXPECT_NE(run.out.find("screenshot: " + shot), std::string::npos) << run.out;
  ASSERT_GT(picture.width, 0) << "no screenshot";
  // Not blank: the colour bars fill most of the window, in many colours.
  long lit = 0;
  std::vector<bool> seen(1 << 12);
  int colours = 0;
  for (int y = 0; y < picture.height; ++y) {
    for (int x = 0; x < picture.width; ++x) {
      const uint8_t* p = picture.At(x, y);
      if (p[0] + p[1] + p[2] > 60) ++lit;
      const int key = (p[0] >> 4) << 8 | (p[1] >> 4) << 4 | (p[2] >> 4);
      if (!seen[key]) seen[key] = true, ++colours;
    }
  }
  EXPECT_GT(lit, static_cast<long>(picture.width) * picture.height / 2);
  EXPECT_GT(colours, 30);
  // The status line at the bottom has light text on its dark bar.
  long light = 0;
  for (int y = picture.height - 24; y < picture.height - 4; ++y) {
    for (int x = 0; x < 300; ++x) light += picture.At(x, y)[1] > 180;
  }
  EXPECT_GT(light, 100);
  EXPECT_GT(WindowTextPixels(picture), 300);  // "Hello 1" over the video
}

TEST_F(DemoPlayer, Window_KeyS_HidesTheSubtitles) {
  if (!HasVirtualDisplay()) GTEST_SKIP() << "needs xvfb-run and xauth (packages xvfb, xauth)";
  const std::string shot = Output("window-s.png");
  ProgramRun run;
  // The press goes through SDL's event queue like a real one.
  const Picture picture = WindowScreenshot(clip_, shot, {"--press", "1200:s"}, &run);
  ASSERT_EQ(run.exitCode, 0) << Describe(run);
  ASSERT_GT(picture.width, 0) << "no screenshot";
  EXPECT_EQ(WindowTextPixels(picture), 0);
}

}  // namespace
}  // namespace corvane::testing
