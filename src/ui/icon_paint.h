// The programs' icons, painted in code: a tiny anti-aliased rasteriser and
// our own clock-face art (a round dial with two hands; for the settings
// program a small gear beside it), legible from 16 by 16 pixels up. The
// programs build their icon tables from it.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "ui/dialog_template.h"

namespace qv::ui {

// Paints shapes onto a square image with straight (not premultiplied)
// alpha. Coordinates are pixels with (0,0) the top-left corner of the top-
// left pixel; each pixel's coverage is sampled on a 5 by 5 grid.
class IconCanvas {
 public:
  explicit IconCanvas(int size);

  void FillCircle(double cx, double cy, double r, std::uint32_t argb);
  // The band between two radii.
  void FillRing(double cx, double cy, double r_outer, double r_inner, std::uint32_t argb);
  // A stroke of `width` with round ends.
  void Stroke(double x0, double y0, double x1, double y1, double width, std::uint32_t argb);
  // A polygon (even-odd rule).
  void FillPolygon(const std::vector<std::pair<double, double>>& points, std::uint32_t argb);

  const IconImage& image() const { return image_; }
  IconImage Take() { return std::move(image_); }

 private:
  // Fills the pixels of the box whose samples are `inside`; `edge_distance`
  // is the distance from a point to the shape's edge (or less).
  template <typename Inside, typename EdgeDistance>
  void Fill(double x0, double y0, double x1, double y1, std::uint32_t argb, Inside inside,
            EdgeDistance edge_distance);
  void Blend(int x, int y, std::uint32_t argb, double coverage);

  IconImage image_;
};

enum class ClockArt {
  kDial,          // the main program's window icon and button images
  kDialWithGear,  // the settings program's window icon
};

// One image of the art at `size` pixels.
IconImage PaintClock(ClockArt art, int size);
// The sizes desktops ask for, from a title bar's to a launcher's.
inline constexpr int kClockIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
// The art at each of those sizes, for window, task-bar, button and shortcut
// use.
Icon ClockIcon(ClockArt art);

}  // namespace qv::ui
