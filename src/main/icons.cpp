#include "main/icons.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "main/templates.h"
#include "ui/icon_paint.h"

namespace qv::main {

namespace {

struct Colour {
  double a, r, g, b;
};

struct FaceStyle {
  Colour rim, face, marks, hands, accent;
  double hour_angle, minute_angle;  // degrees clockwise from twelve
};

double Clamp01(double v) { return std::min(1.0, std::max(0.0, v)); }

// Distance from (x, y) to the segment a-b.
double SegmentDistance(double x, double y, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  const double t = Clamp01(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy));
  return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

// `over` painted on `under` with the given coverage.
Colour Over(Colour under, Colour over, double coverage) {
  const double a = over.a * coverage;
  const double out_a = a + under.a * (1 - a);
  if (out_a <= 0) return {0, 0, 0, 0};
  auto mix = [&](double o, double u) { return (o * a + u * under.a * (1 - a)) / out_a; };
  return {out_a, mix(over.r, under.r), mix(over.g, under.g), mix(over.b, under.b)};
}

// A clock face in unit coordinates (centre 0,0, radius 1), sampled 4x4 per
// pixel so that the small sizes stay readable.
ui::IconImage Paint(int size, const FaceStyle& s) {
  ui::IconImage image{size, std::vector<std::uint32_t>(static_cast<std::size_t>(size * size))};
  const double pi = std::acos(-1.0);
  auto hand = [&](double degrees, double length) {
    const double rad = degrees * pi / 180;
    return std::pair{std::sin(rad) * length, -std::cos(rad) * length};
  };
  const auto [hx, hy] = hand(s.hour_angle, 0.5);
  const auto [mx, my] = hand(s.minute_angle, 0.78);
  const double px = 2.0 / size;  // one pixel in unit coordinates
  const double rim = std::max(0.14, 1.6 * px);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      Colour c{0, 0, 0, 0};
      double cover[5] = {};  // rim, face, marks, hands, centre
      for (int sy = 0; sy < 4; ++sy) {
        for (int sx = 0; sx < 4; ++sx) {
          const double ux = ((x + (sx + 0.5) / 4) / size) * 2 - 1, uy = ((y + (sy + 0.5) / 4) / size) * 2 - 1;
          const double r = std::hypot(ux, uy);
          cover[0] += r <= 0.98;
          cover[1] += r <= 0.98 - rim;
          bool mark = false;
          for (int q = 0; q < 12; q += size >= 32 ? 1 : 3) {
            const auto [ox, oy] = hand(q * 30.0, 1.0);
            const double inner = q % 3 == 0 ? 0.62 : 0.72;
            mark = mark || SegmentDistance(ux, uy, ox * inner, oy * inner, ox * 0.78, oy * 0.78) <= 0.045 + px / 3;
          }
          cover[2] += mark;
          cover[3] += SegmentDistance(ux, uy, 0, 0, hx, hy) <= 0.07 + px / 3 ||
                      SegmentDistance(ux, uy, 0, 0, mx, my) <= 0.045 + px / 3;
          cover[4] += r <= 0.09 + px / 2;
        }
      }
      c = Over(c, s.rim, cover[0] / 16);
      c = Over(c, s.face, cover[1] / 16);
      c = Over(c, s.marks, cover[2] / 16);
      c = Over(c, s.hands, cover[3] / 16);
      c = Over(c, s.accent, cover[4] / 16);
      auto byte = [](double v) { return static_cast<std::uint32_t>(std::lround(Clamp01(v) * 255)); };
      image.argb[static_cast<std::size_t>(y * size + x)] =
          byte(c.a) << 24 | byte(c.r) << 16 | byte(c.g) << 8 | byte(c.b);
    }
  }
  return image;
}

ui::Icon Clock(const FaceStyle& style) {
  ui::Icon icon;
  for (int size : {16, 32, 48}) icon.images.push_back(Paint(size, style));
  return icon;
}

}  // namespace

const ui::IconTable& Icons() {
  static const ui::IconTable table = [] {
    const Colour white{1, 1, 1, 1}, dark{1, 0.13, 0.16, 0.22}, grey{1, 0.45, 0.48, 0.52};
    ui::IconTable t;
    // The program: the clock art its shortcut and the settings program's
    // icon share, at every size a desktop asks for.
    t[kIconProgram] = ui::ClockIcon(ui::ClockArt::kDial);
    // Adjust: a green rim, hands at a quarter past twelve.
    t[kIconAdjust] = Clock({{1, 0.10, 0.55, 0.25}, white, grey, dark, {1, 0.85, 0.15, 0.10}, 7.5, 90});
    return t;
  }();
  return table;
}

}  // namespace qv::main
