// Blending subtitles over video, fitting pictures into the window, and
// writing PNG files that read back as the same pixels.
#include "compositor.h"

#include <cairo.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <memory>

namespace corvane::play {
namespace {

using Pixel = std::array<uint8_t, 4>;  // B, G, R, A

BgraImage Filled(int width, int height, Pixel pixel) {
  BgraImage image{width, height, {}};
  for (int i = 0; i < width * height; ++i) image.pixels.insert(image.pixels.end(), pixel.begin(), pixel.end());
  return image;
}

Pixel At(const BgraImage& image, int x, int y) {
  const uint8_t* p = image.pixels.data() + (static_cast<size_t>(y) * image.width + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

TEST(BlendSubtitleOver, ClearSubtitleLeavesVideoAndOpaqueSubtitleReplacesIt) {
  BgraImage video = Filled(4, 2, {10, 20, 30, 255});
  BgraImage subtitle = Filled(4, 2, {0, 0, 0, 0});
  const uint8_t white[4] = {255, 255, 255, 255};
  std::copy(white, white + 4, subtitle.pixels.begin() + 4);  // pixel (1,0)
  BlendSubtitleOver(&video, subtitle);
  EXPECT_EQ(At(video, 0, 0), (Pixel{10, 20, 30, 255}));
  EXPECT_EQ(At(video, 1, 0), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(At(video, 3, 1), (Pixel{10, 20, 30, 255}));
}

TEST(BlendSubtitleOver, HalfTransparentPremultipliedPixelMixesEvenly) {
  BgraImage video = Filled(1, 1, {200, 100, 0, 255});
  // 50% white, premultiplied: colour 128 with alpha 128.
  BlendSubtitleOver(&video, Filled(1, 1, {128, 128, 128, 128}));
  const Pixel p = At(video, 0, 0);
  EXPECT_NEAR(p[0], 128 + 200 * 127 / 255, 1);
  EXPECT_NEAR(p[1], 128 + 100 * 127 / 255, 1);
  EXPECT_NEAR(p[2], 128, 1);
  EXPECT_EQ(p[3], 255);  // the picture stays opaque
}

TEST(BlendSubtitleOver, ColourAboveAlphaClampsInsteadOfWrapping) {
  BgraImage video = Filled(1, 1, {250, 250, 250, 255});
  BlendSubtitleOver(&video, Filled(1, 1, {255, 255, 255, 10}));
  EXPECT_EQ(At(video, 0, 0), (Pixel{255, 255, 255, 255}));
}

TEST(BlendSubtitleOver, SubtitleOfAnOldSizeIsStretchedOverTheVideo) {
  BgraImage video = Filled(4, 4, {0, 0, 0, 255});
  BgraImage subtitle = Filled(2, 2, {0, 0, 0, 0});
  const uint8_t red[4] = {0, 0, 255, 255};
  std::copy(red, red + 4, subtitle.pixels.begin() + 12);  // bottom-right of 2x2
  BlendSubtitleOver(&video, subtitle);
  EXPECT_EQ(At(video, 3, 3), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(At(video, 2, 2), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(At(video, 1, 1), (Pixel{0, 0, 0, 255}));
  EXPECT_EQ(At(video, 3, 1), (Pixel{0, 0, 0, 255}));
}

TEST(BlendSubtitleOver, ShortBuffersAreLeftAlone) {
  BgraImage video = Filled(2, 2, {1, 2, 3, 255});
  BgraImage shortSubtitle = Filled(2, 2, {255, 255, 255, 255});
  shortSubtitle.pixels.resize(8);  // claims 2x2, holds 2 pixels
  BlendSubtitleOver(&video, shortSubtitle);
  EXPECT_EQ(At(video, 1, 1), (Pixel{1, 2, 3, 255}));
}

struct FitRow {
  const char* name;
  int contentWidth, contentHeight;
  Rect box, expected;
};

class AspectFitRows : public ::testing::TestWithParam<FitRow> {};

TEST_P(AspectFitRows, KeepsTheContentAspectCentred) {
  const FitRow& row = GetParam();
  EXPECT_EQ(AspectFit(row.contentWidth, row.contentHeight, row.box), row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, AspectFitRows,
    ::testing::Values(FitRow{"SameAspect", 1280, 720, {0, 0, 640, 360}, {0, 0, 640, 360}},
                      FitRow{"WideIntoSquareLetterboxes", 1920, 1080, {0, 0, 800, 800}, {0, 175, 800, 450}},
                      FitRow{"TallIntoWidePillarboxes", 720, 1280, {0, 0, 1280, 720}, {437, 0, 405, 720}},
                      FitRow{"OffsetBoxOfAGrid", 1280, 720, {480, 270, 480, 300}, {480, 285, 480, 270}},
                      FitRow{"HugeContentDoesNotOverflow", 100000, 100000, {0, 0, 300, 200}, {50, 0, 200, 200}},
                      FitRow{"ThinContentKeepsAPixel", 10000, 1, {0, 0, 100, 100}, {0, 49, 100, 1}},
                      FitRow{"NoContentIsEmpty", 0, 720, {0, 0, 100, 100}, {50, 50, 0, 0}},
                      FitRow{"NoBoxIsEmpty", 1280, 720, {10, 10, 0, 50}, {10, 35, 0, 0}}),
    [](const ::testing::TestParamInfo<FitRow>& info) { return std::string(info.param.name); });

bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(GridCells, TileTheAreaWithoutGapsOrOverlap) {
  const Rect area{7, 3, 1001, 541};
  for (int count = 1; count <= 16; ++count) {
    const std::vector<Rect> cells = GridCells(count, area);
    ASSERT_EQ(cells.size(), static_cast<size_t>(count));
    long covered = 0;
    for (size_t i = 0; i < cells.size(); ++i) {
      const Rect& cell = cells[i];
      EXPECT_GT(cell.width, 0);
      EXPECT_GT(cell.height, 0);
      EXPECT_GE(cell.x, area.x);
      EXPECT_GE(cell.y, area.y);
      EXPECT_LE(cell.x + cell.width, area.x + area.width);
      EXPECT_LE(cell.y + cell.height, area.y + area.height);
      for (size_t j = 0; j < i; ++j) EXPECT_FALSE(Overlap(cell, cells[j])) << count << ": " << i << " and " << j;
      covered += static_cast<long>(cell.width) * cell.height;
    }
    // Counts that fill their grid cover the whole area.
    if (count == 1 || count == 2 || count == 4 || count == 6 || count == 9 || count == 12 || count == 16) {
      EXPECT_EQ(covered, static_cast<long>(area.width) * area.height) << count;
    }
  }
  const std::vector<Rect> three = GridCells(3, Rect{0, 0, 100, 100});
  EXPECT_EQ(three[2], (Rect{0, 50, 50, 50}));  // two columns, two rows
  EXPECT_TRUE(GridCells(0, area).empty());
}

TEST(WritePng, ReadsBackAsTheSamePixels) {
  BgraImage image = Filled(3, 2, {0, 0, 0, 255});
  image.pixels[0] = 255;                                   // (0,0) blue
  image.pixels[4 * 4 + 2] = 255;                           // (1,1) red
  image.pixels[5 * 4 + 0] = 10, image.pixels[5 * 4 + 1] = 200;  // (2,1)
  char path[] = "/tmp/corvane-png-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  ASSERT_EQ(WritePng(image, path), "");
  std::unique_ptr<cairo_surface_t, void (*)(cairo_surface_t*)> read(cairo_image_surface_create_from_png(path),
                                                                  cairo_surface_destroy);  // Adopt
  unlink(path);
  ASSERT_EQ(cairo_surface_status(read.get()), CAIRO_STATUS_SUCCESS);
  ASSERT_EQ(cairo_image_surface_get_width(read.get()), 3);
  ASSERT_EQ(cairo_image_surface_get_height(read.get()), 2);
  const unsigned char* data = cairo_image_surface_get_data(read.get());
  const int stride = cairo_image_surface_get_stride(read.get());
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 3; ++x) {
      const unsigned char* p = data + y * stride + x * 4;
      EXPECT_EQ((Pixel{p[0], p[1], p[2], p[3]}), At(image, x, y)) << x << "," << y;
    }
  }
}

TEST(WritePng, SaysWhyWhenItCannotWrite) {
  EXPECT_NE(WritePng(Filled(2, 2, {0, 0, 0, 255}), "/nonexistent-dir/x.png").find("cannot write"),
            std::string::npos);
  EXPECT_NE(WritePng(BgraImage{}, "/tmp/x.png"), "");
}

}  // namespace
}  // namespace corvane::play
