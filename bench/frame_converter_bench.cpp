// FrameConverter throughput on 1080p frames, as ratios against a memcpy of
// the same BGRA frame measured in the same run (so the figures hold on any
// machine): the conversion straight into the surface should cost about two
// copies, and scaling to 720p about as much again.
//
//   frame_converter_bench [iterations]
#include <gst/gst.h>
#include <gst/video/video.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

#include "platform/gst/gst_handles.h"
#include "platform/gst/support/frame_converter.h"

namespace {

using corvane::platform::PixelView;
using corvane::platform::gst::FrameConverter;
using Clock = std::chrono::steady_clock;

constexpr int kWidth = 1920;
constexpr int kHeight = 1080;

// Median milliseconds of `iterations` runs of `body`, after one warm-up.
double MedianMs(int iterations, const std::function<void()>& body) {
  body();
  std::vector<double> samples;
  for (int i = 0; i < iterations; ++i) {
    const auto start = Clock::now();
    body();
    samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::nth_element(samples.begin(), samples.begin() + samples.size() / 2, samples.end());
  return samples[samples.size() / 2];
}

// A decoder-like frame: a gradient, so nothing is a trivially cached value.
class Frame {
 public:
  explicit Frame(GstVideoFormat format) {
    gst_video_info_set_format(&info_, format, kWidth, kHeight);
    buffer_.reset(gst_buffer_new_allocate(nullptr, GST_VIDEO_INFO_SIZE(&info_), nullptr));  // Adopt
    GstMapInfo map;
    gst_buffer_map(buffer_.get(), &map, GST_MAP_WRITE);
    for (size_t i = 0; i < map.size; ++i) map.data[i] = static_cast<uint8_t>(i * 7 + (i >> 11));
    gst_buffer_unmap(buffer_.get(), &map);
    mapped_ = gst_video_frame_map(&frame_, &info_, buffer_.get(), GST_MAP_READ);
  }
  ~Frame() {
    if (mapped_) gst_video_frame_unmap(&frame_);
  }
  const GstVideoFrame& get() const { return frame_; }
  bool ok() const { return mapped_; }

 private:
  GstVideoInfo info_{};
  corvane::platform::gst::MiniPtr<GstBuffer> buffer_;
  GstVideoFrame frame_{};
  bool mapped_ = false;
};

}  // namespace

int main(int argc, char** argv) {
  gst_init(nullptr, nullptr);
  const int iterations = argc > 1 ? std::max(3, std::atoi(argv[1])) : 60;

  std::vector<uint8_t> source(size_t{kWidth} * kHeight * 4, 1);
  std::vector<uint8_t> target(size_t{kWidth} * kHeight * 4);
  std::vector<uint8_t> target720(size_t{1280} * 720 * 4);
  const PixelView full{target.data(), kWidth, kHeight, size_t{kWidth} * 4};
  const PixelView scaled{target720.data(), 1280, 720, size_t{1280} * 4};

  const double copyMs = MedianMs(iterations, [&] { std::memcpy(target.data(), source.data(), source.size()); });
  std::printf("reference: memcpy of a 1080p BGRA frame  %.3f ms\n", copyMs);

  FrameConverter converter;
  struct Case {
    const char* label;
    GstVideoFormat format;
    const PixelView* dst;
  } cases[] = {
      {"I420 -> BGRA 1080p", GST_VIDEO_FORMAT_I420, &full},
      {"NV12 -> BGRA 1080p", GST_VIDEO_FORMAT_NV12, &full},
      {"I420_10LE -> BGRA 1080p", GST_VIDEO_FORMAT_I420_10LE, &full},
      {"BGRx -> BGRA 1080p", GST_VIDEO_FORMAT_BGRx, &full},
      {"I420 -> BGRA 720p (scaled)", GST_VIDEO_FORMAT_I420, &scaled},
  };
  int failures = 0;
  for (const Case& c : cases) {
    Frame frame(c.format);
    if (!frame.ok() || !converter.Convert(frame.get(), *c.dst)) {
      std::printf("%-28s  conversion failed\n", c.label);
      ++failures;
      continue;
    }
    const double ms = MedianMs(iterations, [&] { converter.Convert(frame.get(), *c.dst); });
    std::printf("%-28s  %.3f ms  = %.2fx memcpy\n", c.label, ms, ms / copyMs);
  }
  return failures == 0 ? 0 : 1;
}
