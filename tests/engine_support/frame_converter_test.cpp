#include "platform/gst/support/frame_converter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "engine_support/video_frames.h"

namespace corvane::platform::gst {
namespace {

using corvane::testing::TestFrame;

// A destination with its own memory, in either byte order. Bytes beyond each
// row's pixels and after the last row hold a sentinel, so writes outside the
// picture show.
class Surface {
 public:
  static constexpr uint8_t kSentinel = 0x5A;
  Surface(uint32_t width, uint32_t height, size_t extraStride = 0, PixelOrder order = PixelOrder::kBgra)
      : width_(width), height_(height), stride_(width * 4 + extraStride), order_(order),
        bytes_(stride_ * height + kTail, kSentinel) {}

  PixelView view() { return PixelView{bytes_.data(), width_, height_, stride_, order_}; }
  PixelOrder order() const { return order_; }
  const uint8_t* at(uint32_t x, uint32_t y) const { return &bytes_[y * stride_ + x * 4]; }

  bool OutsideUntouched() const {
    for (uint32_t y = 0; y < height_; ++y) {
      for (size_t i = width_ * 4; i < stride_; ++i) {
        if (bytes_[y * stride_ + i] != kSentinel) return false;
      }
    }
    for (size_t i = stride_ * height_; i < bytes_.size(); ++i) {
      if (bytes_[i] != kSentinel) return false;
    }
    return true;
  }
  bool AllSentinel() const {
    for (uint8_t b : bytes_) {
      if (b != kSentinel) return false;
    }
    return true;
  }

 private:
  static constexpr size_t kTail = 64;
  uint32_t width_, height_;
  size_t stride_;
  PixelOrder order_;
  std::vector<uint8_t> bytes_;
};

constexpr PixelOrder kBothOrders[] = {PixelOrder::kBgra, PixelOrder::kRgba};

const char* NameOf(PixelOrder order) { return order == PixelOrder::kRgba ? "rgba" : "bgra"; }

struct Bgra {
  int b, g, r, a;
};

// Compares a pixel, read in `order`, with a colour given as B, G, R, A.
::testing::AssertionResult Near(const uint8_t* pixel, Bgra expected, int tolerance = 4,
                                PixelOrder order = PixelOrder::kBgra) {
  const bool rgba = order == PixelOrder::kRgba;
  const int actual[4] = {pixel[rgba ? 2 : 0], pixel[1], pixel[rgba ? 0 : 2], pixel[3]};
  const int wanted[4] = {expected.b, expected.g, expected.r, expected.a};
  for (int i = 0; i < 4; ++i) {
    if (std::abs(actual[i] - wanted[i]) > tolerance) {
      return ::testing::AssertionFailure() << "BGRA (" << actual[0] << "," << actual[1] << "," << actual[2] << ","
                                           << actual[3] << ") expected near (" << wanted[0] << "," << wanted[1]
                                           << "," << wanted[2] << "," << wanted[3] << ")";
    }
  }
  return ::testing::AssertionSuccess();
}

class FrameConverterTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
  FrameConverter converter_;
};

constexpr Bgra kRed{0, 0, 255, 255};
constexpr Bgra kBlue{255, 0, 0, 255};
constexpr Bgra kGreen{0, 255, 0, 255};

struct YuvRow {
  const char* label;
  GstVideoFormat format;
  const char* colorimetry;
  unsigned y, u, v;  // 8-bit code values; 10-bit formats get them times 4
  Bgra expected;
  int tolerance = 4;
};

TEST_F(FrameConverterTest, YuvFormats_ComeOutAsTheColourTheyEncode) {
  const YuvRow rows[] = {
      {"i420_bt601_limited_red", GST_VIDEO_FORMAT_I420, "bt601", 81, 90, 240, kRed},
      {"i420_bt601_limited_green", GST_VIDEO_FORMAT_I420, "bt601", 145, 54, 34, kGreen},
      {"i420_bt601_limited_blue", GST_VIDEO_FORMAT_I420, "bt601", 41, 240, 110, kBlue},
      {"i420_bt709_limited_red", GST_VIDEO_FORMAT_I420, "bt709", 63, 102, 240, kRed},
      {"i420_bt709_limited_green", GST_VIDEO_FORMAT_I420, "bt709", 173, 42, 26, kGreen, 14},
      {"i420_bt601_full_red", GST_VIDEO_FORMAT_I420, "1:4:0:0", 76, 85, 255, kRed},
      {"i420_bt709_full_red", GST_VIDEO_FORMAT_I420, "1:3:0:0", 54, 99, 255, kRed},
      {"i420_bt2020_limited_red", GST_VIDEO_FORMAT_I420, "bt2020", 74, 97, 240, kRed, 8},
      {"i420_limited_black", GST_VIDEO_FORMAT_I420, "bt601", 16, 128, 128, {0, 0, 0, 255}},
      {"i420_limited_white", GST_VIDEO_FORMAT_I420, "bt709", 235, 128, 128, {255, 255, 255, 255}},
      {"yv12_bt601_red", GST_VIDEO_FORMAT_YV12, "bt601", 81, 90, 240, kRed},
      {"y42b_bt601_red", GST_VIDEO_FORMAT_Y42B, "bt601", 81, 90, 240, kRed},
      {"y444_bt601_red", GST_VIDEO_FORMAT_Y444, "bt601", 81, 90, 240, kRed},
      {"nv12_bt601_red", GST_VIDEO_FORMAT_NV12, "bt601", 81, 90, 240, kRed},
      {"nv21_bt601_red", GST_VIDEO_FORMAT_NV21, "bt601", 81, 90, 240, kRed},
      // libyuv's 8-bit fixed-point BT.709 blue coefficient saturates, so
      // the blue channel is off by up to 12 at the extremes (here and in
      // the BT.709 green row).
      {"nv12_bt709_blue", GST_VIDEO_FORMAT_NV12, "bt709", 32, 240, 118, kBlue, 14},
      {"i420_10le_bt601_red", GST_VIDEO_FORMAT_I420_10LE, "bt601", 81, 90, 240, kRed},
      {"i422_10le_bt709_red", GST_VIDEO_FORMAT_I422_10LE, "bt709", 63, 102, 240, kRed},
      {"y444_10le_bt601_blue", GST_VIDEO_FORMAT_Y444_10LE, "bt601", 41, 240, 110, kBlue},
      {"p010_bt709_red", GST_VIDEO_FORMAT_P010_10LE, "bt709", 63, 102, 240, kRed},
  };
  for (const YuvRow& row : rows) {
    for (PixelOrder order : kBothOrders) {
      SCOPED_TRACE(std::string(row.label) + " to " + NameOf(order));
      // Odd sizes: the last chroma column and row cover a single pixel.
      TestFrame frame(row.format, 15, 9, row.colorimetry);
      ASSERT_TRUE(frame.mapped());
      const unsigned scale = GST_VIDEO_FRAME_COMP_DEPTH(&frame.frame(), 0) > 8 ? 4 : 1;
      frame.FillYuv(row.y * scale, row.u * scale, row.v * scale);
      Surface surface(15, 9, 0, order);
      ASSERT_TRUE(converter_.Convert(frame.frame(), surface.view()));
      EXPECT_TRUE(Near(surface.at(0, 0), row.expected, row.tolerance, order));
      EXPECT_TRUE(Near(surface.at(14, 8), row.expected, row.tolerance, order));
      EXPECT_TRUE(surface.OutsideUntouched());
    }
  }
}

TEST_F(FrameConverterTest, Range_FollowsTheFrameColorimetry) {
  // Y 235 is white in limited range but light grey in full range. (The
  // table's full-range reds would come out red read either way.)
  TestFrame limited(GST_VIDEO_FORMAT_I420, 8, 8, "bt601");
  TestFrame full(GST_VIDEO_FORMAT_I420, 8, 8, "1:4:0:0");
  limited.FillYuv(235, 128, 128);
  full.FillYuv(235, 128, 128);
  Surface outLimited(8, 8), outFull(8, 8);
  ASSERT_TRUE(converter_.Convert(limited.frame(), outLimited.view()));
  ASSERT_TRUE(converter_.Convert(full.frame(), outFull.view()));
  EXPECT_TRUE(Near(outLimited.at(0, 0), {255, 255, 255, 255}));
  EXPECT_TRUE(Near(outFull.at(0, 0), {235, 235, 235, 255}));
}

TEST_F(FrameConverterTest, UnknownMatrix_IsBt709ForHd_AndBt601Below) {
  // Colorimetry "unknown" everywhere: the picture height decides.
  TestFrame hd(GST_VIDEO_FORMAT_NV12, 1280, 720, "0:0:0:0");
  TestFrame sd(GST_VIDEO_FORMAT_NV12, 640, 480, "0:0:0:0");
  ASSERT_EQ(hd.info().colorimetry.matrix, GST_VIDEO_COLOR_MATRIX_UNKNOWN);
  hd.FillYuv(63, 102, 240);  // BT.709 red
  sd.FillYuv(81, 90, 240);   // BT.601 red
  Surface hdOut(1280, 720), sdOut(640, 480);
  ASSERT_TRUE(converter_.Convert(hd.frame(), hdOut.view()));
  ASSERT_TRUE(converter_.Convert(sd.frame(), sdOut.view()));
  EXPECT_TRUE(Near(hdOut.at(640, 360), kRed));
  EXPECT_TRUE(Near(sdOut.at(320, 240), kRed));
}

struct PackedRow {
  const char* label;
  GstVideoFormat format;
  std::vector<uint8_t> pixel;  // memory order, R=10 G=20 B=30 (A=40 where there is one)
};

TEST_F(FrameConverterTest, PackedRgbFormats_AreReorderedToTheSurfacesOrder_Opaque) {
  const PackedRow rows[] = {
      {"bgra", GST_VIDEO_FORMAT_BGRA, {30, 20, 10, 40}}, {"bgrx", GST_VIDEO_FORMAT_BGRx, {30, 20, 10, 0}},
      {"rgba", GST_VIDEO_FORMAT_RGBA, {10, 20, 30, 40}}, {"rgbx", GST_VIDEO_FORMAT_RGBx, {10, 20, 30, 0}},
      {"argb", GST_VIDEO_FORMAT_ARGB, {40, 10, 20, 30}}, {"xrgb", GST_VIDEO_FORMAT_xRGB, {0, 10, 20, 30}},
      {"abgr", GST_VIDEO_FORMAT_ABGR, {40, 30, 20, 10}}, {"xbgr", GST_VIDEO_FORMAT_xBGR, {0, 30, 20, 10}},
      {"rgb", GST_VIDEO_FORMAT_RGB, {10, 20, 30}},       {"bgr", GST_VIDEO_FORMAT_BGR, {30, 20, 10}},
  };
  for (const PackedRow& row : rows) {
    for (PixelOrder order : kBothOrders) {
      SCOPED_TRACE(std::string(row.label) + " to " + NameOf(order));
      TestFrame frame(row.format, 7, 5);  // odd width: RGB rows are not 4-byte multiples
      ASSERT_TRUE(frame.mapped());
      frame.FillPacked(row.pixel);
      Surface surface(7, 5, 0, order);
      ASSERT_TRUE(converter_.Convert(frame.frame(), surface.view()));
      EXPECT_TRUE(Near(surface.at(0, 0), {30, 20, 10, 255}, 0, order));
      EXPECT_TRUE(Near(surface.at(6, 4), {30, 20, 10, 255}, 0, order));
      EXPECT_TRUE(surface.OutsideUntouched());
    }
  }
}

TEST_F(FrameConverterTest, Strides_OfSourceAndSurface_AreHonoured) {
  // Padded source rows (0xEE in the padding) and a destination whose rows
  // are longer than the picture: red above row 4, blue from row 4, left of
  // column 6 only; the rest 601 black.
  const GstVideoFormat formats[] = {GST_VIDEO_FORMAT_I420, GST_VIDEO_FORMAT_NV12, GST_VIDEO_FORMAT_I420_10LE};
  for (GstVideoFormat format : formats) {
    SCOPED_TRACE(gst_video_format_to_string(format));
    TestFrame frame(format, 14, 10, "bt601", 13);
    ASSERT_TRUE(frame.mapped());
    ASSERT_GT(static_cast<size_t>(GST_VIDEO_FRAME_COMP_STRIDE(&frame.frame(), 0)),
              14u * GST_VIDEO_FRAME_COMP_PSTRIDE(&frame.frame(), 0));
    const unsigned scale = GST_VIDEO_FRAME_COMP_DEPTH(&frame.frame(), 0) > 8 ? 4 : 1;
    frame.FillYuv(16 * scale, 128 * scale, 128 * scale);
    frame.FillYuv(0, 0, 6, 4, 81 * scale, 90 * scale, 240 * scale);
    frame.FillYuv(0, 4, 6, 10, 41 * scale, 240 * scale, 110 * scale);
    Surface surface(14, 10, /*extraStride=*/20);
    ASSERT_TRUE(converter_.Convert(frame.frame(), surface.view()));
    EXPECT_TRUE(Near(surface.at(0, 0), kRed));
    EXPECT_TRUE(Near(surface.at(5, 3), kRed));
    EXPECT_TRUE(Near(surface.at(0, 4), kBlue));
    EXPECT_TRUE(Near(surface.at(5, 9), kBlue));
    EXPECT_TRUE(Near(surface.at(13, 0), {0, 0, 0, 255}));
    EXPECT_TRUE(Near(surface.at(13, 9), {0, 0, 0, 255}));
    EXPECT_TRUE(surface.OutsideUntouched());
  }
}

TEST_F(FrameConverterTest, DifferentSurfaceSize_ScalesThePicture) {
  // Left half red, right half blue, scaled down, up and to another aspect.
  const struct {
    uint32_t width, height;
  } sizes[] = {{32, 24}, {128, 96}, {100, 30}, {64, 48}};
  TestFrame frame(GST_VIDEO_FORMAT_I420, 64, 48, "bt601");
  frame.FillYuv(0, 0, 32, 48, 81, 90, 240);
  frame.FillYuv(32, 0, 64, 48, 41, 240, 110);
  for (const auto& size : sizes) {
    for (PixelOrder order : kBothOrders) {
      SCOPED_TRACE(std::to_string(size.width) + "x" + std::to_string(size.height) + " " + NameOf(order));
      Surface surface(size.width, size.height, 8, order);
      ASSERT_TRUE(converter_.Convert(frame.frame(), surface.view()));
      EXPECT_TRUE(Near(surface.at(0, 0), kRed, 4, order));
      EXPECT_TRUE(Near(surface.at(size.width / 4, size.height - 1), kRed, 4, order));
      EXPECT_TRUE(Near(surface.at(size.width * 3 / 4, 0), kBlue, 4, order));
      EXPECT_TRUE(Near(surface.at(size.width - 1, size.height - 1), kBlue, 4, order));
      EXPECT_TRUE(surface.OutsideUntouched());
    }
  }
}

TEST_F(FrameConverterTest, ScalingAfterAFrameSizeChange_UsesTheNewFrame) {
  // The scratch buffer is reused across frames; a smaller frame after a
  // larger one must not pick up the old frame's pixels.
  TestFrame large(GST_VIDEO_FORMAT_I420, 64, 64, "bt601");
  large.FillYuv(81, 90, 240);
  TestFrame small(GST_VIDEO_FORMAT_I420, 16, 16, "bt601");
  small.FillYuv(41, 240, 110);
  Surface first(32, 32), second(32, 32);
  ASSERT_TRUE(converter_.Convert(large.frame(), first.view()));
  ASSERT_TRUE(converter_.Convert(small.frame(), second.view()));
  EXPECT_TRUE(Near(first.at(31, 31), kRed));
  EXPECT_TRUE(Near(second.at(0, 0), kBlue));
  EXPECT_TRUE(Near(second.at(31, 31), kBlue));
}

TEST_F(FrameConverterTest, TurnedPictures_AreRotatedThenMirrored) {
  // Every source pixel of a 4x2 BGRx frame is told apart by its colour:
  // blue says the column, green the row.
  constexpr int kWidth = 4, kHeight = 2;
  TestFrame frame(GST_VIDEO_FORMAT_BGRx, kWidth, kHeight);
  ASSERT_TRUE(frame.mapped());
  const auto source = [](int x, int y) { return Bgra{10 + 40 * x, 10 + 80 * y, 100, 255}; };
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      uint8_t* pixel = static_cast<uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&frame.frame(), 0)) +
                       y * GST_VIDEO_FRAME_PLANE_STRIDE(&frame.frame(), 0) + x * 4;
      const Bgra colour = source(x, y);
      pixel[0] = static_cast<uint8_t>(colour.b);
      pixel[1] = static_cast<uint8_t>(colour.g);
      pixel[2] = static_cast<uint8_t>(colour.r);
    }
  }
  struct Row {
    VideoOrientation orientation;
    // The source pixel that lands at (x, y) of the turned picture.
    std::pair<int, int> (*from)(int x, int y);
  };
  const Row rows[] = {
      {VideoOrientation::kIdentity, [](int x, int y) { return std::make_pair(x, y); }},
      {VideoOrientation::kRotate90, [](int x, int y) { return std::make_pair(y, kHeight - 1 - x); }},
      {VideoOrientation::kRotate180, [](int x, int y) { return std::make_pair(kWidth - 1 - x, kHeight - 1 - y); }},
      {VideoOrientation::kRotate270, [](int x, int y) { return std::make_pair(kWidth - 1 - y, x); }},
      {VideoOrientation::kFlip, [](int x, int y) { return std::make_pair(kWidth - 1 - x, y); }},
      {VideoOrientation::kFlipRotate90, [](int x, int y) { return std::make_pair(y, x); }},
      {VideoOrientation::kFlipRotate180, [](int x, int y) { return std::make_pair(x, kHeight - 1 - y); }},
      {VideoOrientation::kFlipRotate270,
       [](int x, int y) { return std::make_pair(kWidth - 1 - y, kHeight - 1 - x); }},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(static_cast<int>(row.orientation));
    const bool swap = SwapsAxes(row.orientation);
    const uint32_t width = swap ? kHeight : kWidth, height = swap ? kWidth : kHeight;
    Surface surface(width, height, 4);
    ASSERT_TRUE(converter_.Convert(frame.frame(), surface.view(), row.orientation));
    for (uint32_t y = 0; y < height; ++y) {
      for (uint32_t x = 0; x < width; ++x) {
        const auto [sourceX, sourceY] = row.from(static_cast<int>(x), static_cast<int>(y));
        EXPECT_TRUE(Near(surface.at(x, y), source(sourceX, sourceY), 0))
            << "at " << x << "," << y;
      }
    }
    EXPECT_TRUE(surface.OutsideUntouched());
  }
}

TEST_F(FrameConverterTest, TurnedPictures_AreScaledToTheSurface) {
  // Left half red, right half blue: a quarter turn clockwise puts red on
  // top, with or without the mirror, at twice the size.
  TestFrame frame(GST_VIDEO_FORMAT_I420, 16, 8, "bt601");
  frame.FillYuv(0, 0, 8, 8, 81, 90, 240);
  frame.FillYuv(8, 0, 16, 8, 41, 240, 110);
  for (VideoOrientation orientation : {VideoOrientation::kRotate90, VideoOrientation::kFlipRotate90}) {
    for (PixelOrder order : kBothOrders) {
      SCOPED_TRACE(NameOf(order));
      Surface surface(16, 32, 0, order);
      ASSERT_TRUE(converter_.Convert(frame.frame(), surface.view(), orientation));
      EXPECT_TRUE(Near(surface.at(8, 4), kRed, 4, order));
      EXPECT_TRUE(Near(surface.at(8, 27), kBlue, 4, order));
      EXPECT_TRUE(surface.OutsideUntouched());
    }
  }
}

TEST_F(FrameConverterTest, RefusesWhatItCannotConvert_LeavingTheSurfaceAlone) {
  TestFrame frame(GST_VIDEO_FORMAT_I420, 8, 8, "bt601");
  frame.FillYuv(81, 90, 240);
  Surface surface(8, 8);
  PixelView view = surface.view();

  PixelView noData = view;
  noData.data = nullptr;
  EXPECT_FALSE(converter_.Convert(frame.frame(), noData));
  PixelView zeroWidth = view;
  zeroWidth.width = 0;
  EXPECT_FALSE(converter_.Convert(frame.frame(), zeroWidth));
  PixelView zeroHeight = view;
  zeroHeight.height = 0;
  EXPECT_FALSE(converter_.Convert(frame.frame(), zeroHeight));
  PixelView shortStride = view;
  shortStride.stride = 8 * 4 - 1;
  EXPECT_FALSE(converter_.Convert(frame.frame(), shortStride));
  PixelView hugeWidth = view;
  hugeWidth.width = 0x40000000u;
  hugeWidth.stride = static_cast<size_t>(hugeWidth.width) * 4;
  EXPECT_FALSE(converter_.Convert(frame.frame(), hugeWidth));

  TestFrame packedYuv(GST_VIDEO_FORMAT_UYVY, 8, 8);
  EXPECT_FALSE(converter_.Convert(packedYuv.frame(), view));
  TestFrame gray(GST_VIDEO_FORMAT_GRAY8, 8, 8);
  EXPECT_FALSE(converter_.Convert(gray.frame(), view));
  EXPECT_TRUE(surface.AllSentinel());
}

}  // namespace
}  // namespace corvane::platform::gst
