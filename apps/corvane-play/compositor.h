// Puts a player's two textures into one picture and places pictures in a
// window: the subtitle texture over the video texture, the result scaled
// into a box with the video's aspect ratio kept.
#ifndef CORVANE_APPS_PLAY_COMPOSITOR_H_
#define CORVANE_APPS_PLAY_COMPOSITOR_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::play {

// BGRA, 8 bits per channel, rows tightly packed (stride width * 4): the
// layout of the plugin's textures. Video pixels are opaque; subtitle pixels
// carry premultiplied alpha.
struct BgraImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> pixels;

  bool Empty() const { return width <= 0 || height <= 0; }
  // False when the pixel buffer is too small for the size.
  bool Valid() const {
    return !Empty() && pixels.size() >= static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  }
};

struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect& other) const {
    return x == other.x && y == other.y && width == other.width && height == other.height;
  }
};

// Blends the premultiplied `subtitle` over `video` in place ("source
// over"). The subtitle texture normally has the video's size; right after
// a size change it may still have the old one, and is then stretched to
// the video's size (nearest pixel) rather than dropped. Does nothing when
// either image is invalid.
void BlendSubtitleOver(BgraImage* video, const BgraImage& subtitle);

// The largest rectangle with the aspect ratio of `contentWidth` x
// `contentHeight` that fits in `box`, centred in it. Empty (zero size, at
// the box's centre) when the content or the box has no area.
Rect AspectFit(int contentWidth, int contentHeight, const Rect& box);

// `count` equal cells tiling `area`, row by row, in as square a grid as the
// count allows (3 players: two columns, two rows). The last cell of each
// row and column takes the rounding remainder so the cells cover the area.
std::vector<Rect> GridCells(int count, const Rect& area);

// Writes `image` as a PNG file. Returns an empty string on success, else
// why not (a message for the user).
std::string WritePng(const BgraImage& image, const std::string& path);

}  // namespace corvane::play

#endif  // CORVANE_APPS_PLAY_COMPOSITOR_H_
