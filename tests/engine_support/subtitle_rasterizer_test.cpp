#include "platform/gst/subtitle_rasterizer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

namespace corvane::platform::gst {
namespace {

// A BGRA destination; bytes past each row's pixels hold a sentinel.
class Canvas {
 public:
  static constexpr uint8_t kSentinel = 0x77;
  Canvas(uint32_t width, uint32_t height, size_t extraStride = 0, size_t offset = 0)
      : width_(width), height_(height), stride_(width * 4 + extraStride), offset_(offset),
        bytes_(offset + stride_ * height, kSentinel) {}

  platform::PixelView view() { return {bytes_.data() + offset_, width_, height_, stride_}; }
  const uint8_t* at(uint32_t x, uint32_t y) const { return &bytes_[offset_ + y * stride_ + x * 4]; }
  uint32_t width() const { return width_; }
  uint32_t height() const { return height_; }

  struct Box {
    bool empty = true;
    uint32_t left = 0, top = 0, right = 0, bottom = 0;  // inclusive
    uint32_t Width() const { return empty ? 0 : right - left + 1; }
    uint32_t Height() const { return empty ? 0 : bottom - top + 1; }
    double CentreX() const { return (left + right) / 2.0; }
  };
  // The smallest box holding every pixel that is not fully transparent.
  Box Inked() const {
    Box box;
    for (uint32_t y = 0; y < height_; ++y) {
      for (uint32_t x = 0; x < width_; ++x) {
        if (at(x, y)[3] == 0) continue;
        if (box.empty) {
          box = {false, x, y, x, y};
        } else {
          box.left = std::min(box.left, x);
          box.right = std::max(box.right, x);
          box.top = std::min(box.top, y);
          box.bottom = std::max(box.bottom, y);
        }
      }
    }
    return box;
  }
  bool AllTransparentBlack() const {
    for (uint32_t y = 0; y < height_; ++y) {
      for (uint32_t x = 0; x < width_ * 4; ++x) {
        if (bytes_[offset_ + y * stride_ + x] != 0) return false;
      }
    }
    return true;
  }
  bool PaddingUntouched() const {
    for (size_t i = 0; i < offset_; ++i) {
      if (bytes_[i] != kSentinel) return false;
    }
    for (uint32_t y = 0; y < height_; ++y) {
      for (size_t x = width_ * 4; x < stride_; ++x) {
        if (bytes_[offset_ + y * stride_ + x] != kSentinel) return false;
      }
    }
    return true;
  }
  bool SamePixels(const Canvas& other) const {
    if (other.width_ != width_ || other.height_ != height_) return false;
    for (uint32_t y = 0; y < height_; ++y) {
      if (!std::equal(at(0, y), at(0, y) + width_ * 4, other.at(0, y))) return false;
    }
    return true;
  }

 private:
  uint32_t width_, height_;
  size_t stride_, offset_;
  std::vector<uint8_t> bytes_;
};

std::vector<SubtitleCue> Plain(const char* text) { return {SubtitleCue{text, false}}; }

class SubtitleRasterizerTest : public ::testing::Test {
 protected:
  SubtitleRasterizer rasterizer_;
};

TEST_F(SubtitleRasterizerTest, OneCue_IsDrawnBottomCentred_InWhiteWithADarkOutline) {
  Canvas canvas(640, 360);
  ASSERT_TRUE(rasterizer_.Render(Plain("Hello"), canvas.view()));
  const Canvas::Box box = canvas.Inked();
  ASSERT_FALSE(box.empty);
  EXPECT_NEAR(box.CentreX(), 320.0, 640 * 0.03);
  EXPECT_GT(box.top, 360u * 3 / 4);              // in the bottom quarter
  EXPECT_LT(box.bottom, 360u - 360u * 3 / 100);  // above a margin
  // Readable: a capital and lower case letters about 5-6% of the height.
  EXPECT_GE(box.Height(), 360u * 4 / 100);
  EXPECT_LE(box.Height(), 360u * 10 / 100);

  bool white = false, dark = false;
  for (uint32_t y = box.top; y <= box.bottom; ++y) {
    for (uint32_t x = box.left; x <= box.right; ++x) {
      const uint8_t* p = canvas.at(x, y);
      if (p[3] == 255 && p[0] > 240 && p[1] > 240 && p[2] > 240) white = true;
      if (p[3] > 180 && p[0] < 40 && p[1] < 40 && p[2] < 40) dark = true;
    }
  }
  EXPECT_TRUE(white);
  EXPECT_TRUE(dark);
}

TEST_F(SubtitleRasterizerTest, EveryPixel_IsPremultiplied) {
  Canvas canvas(320, 180);
  ASSERT_TRUE(rasterizer_.Render({{"<i>Italic</i> and <b>bold</b>", true}, {"plain words", false}}, canvas.view()));
  for (uint32_t y = 0; y < canvas.height(); ++y) {
    for (uint32_t x = 0; x < canvas.width(); ++x) {
      const uint8_t* p = canvas.at(x, y);
      ASSERT_LE(std::max({p[0], p[1], p[2]}), p[3]) << x << "," << y;
    }
  }
}

TEST_F(SubtitleRasterizerTest, NothingToShow_ClearsTheSurface_AndReportsNothingDrawn) {
  const std::vector<std::vector<SubtitleCue>> empties = {
      {},
      {{"", false}},
      {{"   \n\t ", false}},
      {{"<i></i>", true}, {"", false}},
  };
  for (size_t i = 0; i < empties.size(); ++i) {
    Canvas canvas(64, 48);  // starts full of non-zero bytes
    EXPECT_FALSE(rasterizer_.Render(empties[i], canvas.view())) << i;
    EXPECT_TRUE(canvas.AllTransparentBlack()) << i;
  }
}

TEST_F(SubtitleRasterizerTest, ANewCue_LeavesNothingOfThePreviousOne) {
  Canvas afterLong(480, 270);
  ASSERT_TRUE(rasterizer_.Render(Plain("A much longer line that fills most of the width"), afterLong.view()));
  ASSERT_TRUE(rasterizer_.Render(Plain("Hi"), afterLong.view()));
  Canvas fresh(480, 270);
  SubtitleRasterizer other;
  ASSERT_TRUE(other.Render(Plain("Hi"), fresh.view()));
  EXPECT_TRUE(afterLong.SamePixels(fresh));
}

TEST_F(SubtitleRasterizerTest, LongText_WrapsWithinTheWidth_KeepingAMargin) {
  Canvas oneLine(400, 300);
  ASSERT_TRUE(rasterizer_.Render(Plain("Short"), oneLine.view()));
  Canvas wrapped(400, 300);
  ASSERT_TRUE(rasterizer_.Render(
      Plain("This sentence is far too long to fit on a single line of a small subtitle surface, so it wraps"),
      wrapped.view()));
  const Canvas::Box line = oneLine.Inked();
  const Canvas::Box box = wrapped.Inked();
  EXPECT_GE(box.left, 400u * 4 / 100);
  EXPECT_LE(box.right, 400u - 400u * 4 / 100);
  EXPECT_GT(box.Height(), line.Height() * 2);
  EXPECT_LT(box.bottom, 300u - 300u * 3 / 100);
}

TEST_F(SubtitleRasterizerTest, SeveralCues_AreStacked_FirstOnTop) {
  Canvas both(640, 360), first(640, 360), second(640, 360);
  // A wide first cue and a narrow second: the widest rows must be on top.
  ASSERT_TRUE(rasterizer_.Render({{"WWWWWWWWWWWWWWWW", false}, {"i", false}}, both.view()));
  ASSERT_TRUE(rasterizer_.Render(Plain("WWWWWWWWWWWWWWWW"), first.view()));
  ASSERT_TRUE(rasterizer_.Render(Plain("i"), second.view()));
  const Canvas::Box box = both.Inked();
  EXPECT_GT(box.Height(), first.Inked().Height() + second.Inked().Height() / 2);
  // The narrow cue sits at the bottom, where the single narrow cue sits.
  EXPECT_NEAR(static_cast<double>(box.bottom), static_cast<double>(second.Inked().bottom), 3.0);
  uint32_t inkedInBottomRow = 0;
  for (uint32_t x = 0; x < 640; ++x) inkedInBottomRow += both.at(x, box.bottom - 2)[3] != 0;
  EXPECT_LT(inkedInBottomRow, 640u / 10);
}

TEST_F(SubtitleRasterizerTest, FontSize_FollowsTheSurfaceHeight) {
  Canvas small(320, 180), large(1280, 720);
  ASSERT_TRUE(rasterizer_.Render(Plain("Scale"), small.view()));
  ASSERT_TRUE(rasterizer_.Render(Plain("Scale"), large.view()));
  const double ratio = static_cast<double>(large.Inked().Height()) / small.Inked().Height();
  EXPECT_GT(ratio, 3.3);
  EXPECT_LT(ratio, 4.7);
}

TEST_F(SubtitleRasterizerTest, Markup_IsInterpreted_AndBrokenMarkupShowsItsTextWithoutTags) {
  Canvas plain(640, 360), markup(640, 360), broken(640, 360), literal(640, 360);
  ASSERT_TRUE(rasterizer_.Render(Plain("Hello there"), plain.view()));
  ASSERT_TRUE(rasterizer_.Render({{"<b>Hello</b> there", true}}, markup.view()));
  ASSERT_TRUE(rasterizer_.Render({{"<b>Hello there", true}}, broken.view()));
  ASSERT_TRUE(rasterizer_.Render(Plain("<b>Hello</b> there"), literal.view()));
  // Bold is wider than regular; the broken cue draws exactly the plain text;
  // plain text with angle brackets draws them.
  EXPECT_GT(markup.Inked().Width(), plain.Inked().Width());
  EXPECT_TRUE(broken.SamePixels(plain));
  EXPECT_GT(literal.Inked().Width(), markup.Inked().Width());
}

TEST_F(SubtitleRasterizerTest, AnyStride_GivesTheSamePicture_InsideTheRows) {
  Canvas tight(200, 100);
  ASSERT_TRUE(rasterizer_.Render(Plain("Stride"), tight.view()));
  const struct {
    const char* label;
    size_t extraStride, offset;
  } layouts[] = {{"padded_rows", 64, 0}, {"odd_stride", 3, 0}, {"unaligned_start", 0, 1}};
  for (const auto& layout : layouts) {
    Canvas canvas(200, 100, layout.extraStride, layout.offset);
    ASSERT_TRUE(rasterizer_.Render(Plain("Stride"), canvas.view())) << layout.label;
    EXPECT_TRUE(canvas.SamePixels(tight)) << layout.label;
    EXPECT_TRUE(canvas.PaddingUntouched()) << layout.label;
  }
}

TEST_F(SubtitleRasterizerTest, RgbaSurface_GetsTheSamePicture_WithRedAndBlueInTheirPlaces) {
  const std::vector<SubtitleCue> red = {{"<span foreground=\"#FF0000\">Red</span> text", true}};
  Canvas bgra(640, 360), rgba(640, 360, 8);
  ASSERT_TRUE(rasterizer_.Render(red, bgra.view()));
  platform::PixelView rgbaView = rgba.view();
  rgbaView.order = platform::PixelOrder::kRgba;
  ASSERT_TRUE(rasterizer_.Render(red, rgbaView));
  bool redInk = false;
  for (uint32_t y = 0; y < 360; ++y) {
    for (uint32_t x = 0; x < 640; ++x) {
      const uint8_t* b = bgra.at(x, y);
      const uint8_t* r = rgba.at(x, y);
      ASSERT_TRUE(r[0] == b[2] && r[1] == b[1] && r[2] == b[0] && r[3] == b[3]) << x << "," << y;
      if (r[3] == 255 && r[0] > 200 && r[2] < 60) redInk = true;
    }
  }
  EXPECT_TRUE(redInk) << "red text reads R first";
  EXPECT_TRUE(rgba.PaddingUntouched());
}

TEST_F(SubtitleRasterizerTest, UnusableViews_AreLeftAlone) {
  Canvas canvas(16, 16);
  platform::PixelView view = canvas.view();
  platform::PixelView noData = view;
  noData.data = nullptr;
  platform::PixelView noWidth = view;
  noWidth.width = 0;
  platform::PixelView shortStride = view;
  shortStride.stride = 16 * 4 - 4;
  for (const platform::PixelView& bad : {noData, noWidth, shortStride}) {
    EXPECT_FALSE(rasterizer_.Render(Plain("x"), bad));
  }
  EXPECT_EQ(canvas.at(0, 0)[0], Canvas::kSentinel);
  // A tiny but valid surface still works.
  Canvas tiny(8, 4);
  EXPECT_TRUE(rasterizer_.Render(Plain("x"), tiny.view()));
}

}  // namespace
}  // namespace corvane::platform::gst
