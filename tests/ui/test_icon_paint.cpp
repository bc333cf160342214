// The icon rasteriser's coverage and blending, and the clock art's layout.
#include <gtest/gtest.h>

#include <cmath>

#include "ui/icon_paint.h"

namespace qv::ui {
namespace {

double Area(const IconImage& image) {
  double sum = 0;
  for (std::uint32_t p : image.argb) sum += (p >> 24) / 255.0;
  return sum;
}
std::uint32_t At(const IconImage& image, int x, int y) {
  return image.argb[static_cast<std::size_t>(y * image.size + x)];
}

TEST(IconPaint, ShapesCoverTheirArea) {
  constexpr double kPi = 3.14159265358979323846;
  struct Case {
    const char* name;
    void (*paint)(IconCanvas&);
    double area;
    double tolerance;
  };
  const Case cases[] = {
      {"circle", [](IconCanvas& c) { c.FillCircle(16, 16, 10, 0xFF000000); }, kPi * 100, 0.01},
      {"ring", [](IconCanvas& c) { c.FillRing(16, 16, 12, 8, 0xFF000000); }, kPi * (144 - 64), 0.02},
      {"stroke", [](IconCanvas& c) { c.Stroke(6, 16, 26, 16, 2, 0xFF000000); }, 40 + kPi, 0.02},
      {"square",
       [](IconCanvas& c) {
         c.FillPolygon({{4, 4}, {14, 4}, {14, 14}, {4, 14}}, 0xFF000000);
       },
       100, 0},
      {"half alpha",
       [](IconCanvas& c) {
         c.FillPolygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 0x80000000);
       },
       100 * 128 / 255.0, 0.005},
      {"off the edge", [](IconCanvas& c) { c.FillCircle(0, 0, 8, 0xFF000000); }, kPi * 64 / 4, 0.02},
  };
  for (const Case& c : cases) {
    IconCanvas canvas(32);
    c.paint(canvas);
    EXPECT_NEAR(Area(canvas.image()), c.area, c.area * c.tolerance + 1e-9) << c.name;
  }
}

TEST(IconPaint, SourceOverBlendsStraightAlpha) {
  const struct {
    std::uint32_t under, over, want;
  } cases[] = {
      {0x00000000, 0xFFFF0000, 0xFFFF0000},  // onto nothing: the colour itself
      {0xFF0000FF, 0x80FF0000, 0xFF80007F},  // half red over blue
      {0x00000000, 0x80FF0000, 0x80FF0000},  // half red over nothing keeps its colour
      {0x800000FF, 0x80FF0000, 0xC0AA0055},  // two halves
  };
  for (const auto& c : cases) {
    IconCanvas canvas(2);
    canvas.FillPolygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, c.under);
    canvas.FillPolygon({{0, 0}, {2, 0}, {2, 2}, {0, 2}}, c.over);
    EXPECT_EQ(At(canvas.image(), 1, 1), c.want) << std::hex << c.under << " " << c.over;
  }
}

// Both arts at every size: an opaque dial, clear corners; only the settings
// art has the gear at the lower right. (How they look: the review pictures.)
TEST(IconPaint, ClockArtAtEverySize) {
  for (ClockArt art : {ClockArt::kDial, ClockArt::kDialWithGear}) {
    const Icon icon = ClockIcon(art);
    std::vector<int> sizes;
    for (const IconImage& image : icon.images) sizes.push_back(image.size);
    EXPECT_EQ(sizes, (std::vector<int>{16, 24, 32, 48, 64, 128, 256})) << "from a title bar's to a launcher's";
    for (const IconImage& image : icon.images) {
      const int s = image.size;
      SCOPED_TRACE(std::to_string(s) + (art == ClockArt::kDial ? " dial" : " gear"));
      ASSERT_EQ(image.argb.size(), static_cast<std::size_t>(s * s));
      const bool gear = art == ClockArt::kDialWithGear;
      const int c = static_cast<int>(s * (gear ? 0.43 : 0.5));
      EXPECT_EQ(At(image, c, c) >> 24, 0xFFu);
      EXPECT_EQ(At(image, 0, 0) >> 24, 0u);
      EXPECT_EQ(At(image, s - 1, 0) >> 24, 0u);
      // The gear's hub, where the plain dial has only its rim or nothing.
      const std::uint32_t hub = At(image, static_cast<int>(s * 0.76), static_cast<int>(s * 0.76));
      if (gear) {
        EXPECT_EQ(hub, 0xFFD8DCE0u);
      } else {
        EXPECT_NE(hub, 0xFFD8DCE0u);
        EXPECT_EQ(At(image, s - 1, s - 1) >> 24, 0u) << "the corner stays clear";
      }
    }
  }
  EXPECT_EQ(ClockIcon(ClockArt::kDial).Best(30)->size, 32);
}

}  // namespace
}  // namespace qv::ui
