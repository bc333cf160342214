#include "ui/icon_paint.h"

#include <algorithm>
#include <cmath>

namespace qv::ui {

namespace {

constexpr int kSamples = 5;  // per axis
constexpr double kPi = 3.14159265358979323846;

double Alpha(std::uint32_t argb) { return ((argb >> 24) & 0xFF) / 255.0; }
double Channel(std::uint32_t argb, int shift) { return ((argb >> shift) & 0xFF) / 255.0; }

double DistanceToSegment(double px, double py, double x0, double y0, double x1, double y1) {
  const double dx = x1 - x0, dy = y1 - y0;
  const double len2 = dx * dx + dy * dy;
  double t = len2 > 0 ? ((px - x0) * dx + (py - y0) * dy) / len2 : 0;
  t = std::clamp(t, 0.0, 1.0);
  const double ex = px - (x0 + t * dx), ey = py - (y0 + t * dy);
  return std::sqrt(ex * ex + ey * ey);
}

}  // namespace

IconCanvas::IconCanvas(int size) {
  image_.size = size;
  image_.argb.assign(static_cast<std::size_t>(size) * static_cast<std::size_t>(size), 0);
}

// Source over destination, both with straight alpha.
void IconCanvas::Blend(int x, int y, std::uint32_t argb, double coverage) {
  std::uint32_t& dst =
      image_.argb[static_cast<std::size_t>(y) * static_cast<std::size_t>(image_.size) + static_cast<std::size_t>(x)];
  const double sa = Alpha(argb) * coverage, da = Alpha(dst);
  const double oa = sa + da * (1 - sa);
  if (oa <= 0) return;
  std::uint32_t out = static_cast<std::uint32_t>(std::lround(oa * 255)) << 24;
  for (int shift : {16, 8, 0}) {
    const double c = (Channel(argb, shift) * sa + Channel(dst, shift) * da * (1 - sa)) / oa;
    out |= static_cast<std::uint32_t>(std::lround(std::clamp(c, 0.0, 1.0) * 255)) << shift;
  }
  dst = out;
}

template <typename Inside, typename EdgeDistance>
void IconCanvas::Fill(double x0, double y0, double x1, double y1, std::uint32_t argb, Inside inside,
                      EdgeDistance edge_distance) {
  // Every sample of a pixel lies within half its diagonal of its centre: a
  // pixel whose centre is farther than that from the shape's edge is all
  // inside or all outside, and needs no samples (the large images would
  // otherwise cost tens of milliseconds at every start).
  constexpr double kHalfDiagonal = 0.7072;
  const int size = image_.size;
  const int left = std::max(0, static_cast<int>(std::floor(x0))),
            right = std::min(size, static_cast<int>(std::ceil(x1)));
  const int top = std::max(0, static_cast<int>(std::floor(y0))),
            bottom = std::min(size, static_cast<int>(std::ceil(y1)));
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x) {
      const double cx = x + 0.5, cy = y + 0.5;
      if (edge_distance(cx, cy) > kHalfDiagonal) {
        if (inside(cx, cy)) Blend(x, y, argb, 1.0);
        continue;
      }
      int hits = 0;
      for (int sy = 0; sy < kSamples; ++sy)
        for (int sx = 0; sx < kSamples; ++sx)
          hits += inside(x + (sx + 0.5) / kSamples, y + (sy + 0.5) / kSamples) ? 1 : 0;
      if (hits) Blend(x, y, argb, static_cast<double>(hits) / (kSamples * kSamples));
    }
}

void IconCanvas::FillCircle(double cx, double cy, double r, std::uint32_t argb) {
  const auto distance = [=](double x, double y) { return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)); };
  Fill(
      cx - r, cy - r, cx + r, cy + r, argb,
      [&](double x, double y) { return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r; },
      [&](double x, double y) { return std::abs(distance(x, y) - r); });
}

void IconCanvas::FillRing(double cx, double cy, double r_outer, double r_inner, std::uint32_t argb) {
  const auto distance = [=](double x, double y) { return std::sqrt((x - cx) * (x - cx) + (y - cy) * (y - cy)); };
  Fill(
      cx - r_outer, cy - r_outer, cx + r_outer, cy + r_outer, argb,
      [&](double x, double y) {
        const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        return d2 <= r_outer * r_outer && d2 >= r_inner * r_inner;
      },
      [&](double x, double y) {
        const double d = distance(x, y);
        return std::min(std::abs(d - r_outer), std::abs(d - r_inner));
      });
}

void IconCanvas::Stroke(double x0, double y0, double x1, double y1, double width, std::uint32_t argb) {
  const double h = width / 2;
  Fill(
      std::min(x0, x1) - h, std::min(y0, y1) - h, std::max(x0, x1) + h, std::max(y0, y1) + h, argb,
      [&](double x, double y) { return DistanceToSegment(x, y, x0, y0, x1, y1) <= h; },
      [&](double x, double y) { return std::abs(DistanceToSegment(x, y, x0, y0, x1, y1) - h); });
}

void IconCanvas::FillPolygon(const std::vector<std::pair<double, double>>& points, std::uint32_t argb) {
  if (points.size() < 3) return;
  double x0 = points[0].first, x1 = x0, y0 = points[0].second, y1 = y0;
  for (const auto& [x, y] : points) {
    x0 = std::min(x0, x);
    x1 = std::max(x1, x);
    y0 = std::min(y0, y);
    y1 = std::max(y1, y);
  }
  Fill(
      x0, y0, x1, y1, argb,
      [&](double x, double y) {
        bool in = false;
        for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
          const auto& [xi, yi] = points[i];
          const auto& [xj, yj] = points[j];
          if ((yi > y) != (yj > y) && x < (xj - xi) * (y - yi) / (yj - yi) + xi) in = !in;
        }
        return in;
      },
      [&](double x, double y) {
        double nearest = DistanceToSegment(x, y, points.back().first, points.back().second, points[0].first,
                                           points[0].second);
        for (std::size_t i = 1; i < points.size(); ++i)
          nearest = std::min(nearest, DistanceToSegment(x, y, points[i - 1].first, points[i - 1].second,
                                                        points[i].first, points[i].second));
        return nearest;
      });
}

// ------------------------------------------------------------------ art

namespace {

constexpr std::uint32_t kRim = 0xFF1F4E9E;   // deep blue
constexpr std::uint32_t kFace = 0xFFFDFCF5;  // warm white
constexpr std::uint32_t kTick = 0xFF3A4A66;
constexpr std::uint32_t kHand = 0xFF1A1A1A;
constexpr std::uint32_t kSecond = 0xFFD03020;  // red, on the larger sizes
constexpr std::uint32_t kGear = 0xFF5A5F66;
constexpr std::uint32_t kGearHub = 0xFFD8DCE0;

// A point on the dial: `fraction` of the way round from twelve, `length`
// of the radius out from the centre.
std::pair<double, double> OnDial(double cx, double cy, double r, double fraction, double length) {
  const double angle = fraction * 2 * kPi;
  return {cx + std::sin(angle) * r * length, cy - std::cos(angle) * r * length};
}

void PaintDial(IconCanvas& canvas, double cx, double cy, double r, int size) {
  // Strokes never thinner than a pixel, so the 16-pixel image stays crisp.
  const double unit = std::max(1.0, r / 7.0);
  canvas.FillCircle(cx, cy, r, kRim);
  canvas.FillCircle(cx, cy, r - 1.2 * unit, kFace);
  // Every hour on the larger sizes; the smallest shows only the hands,
  // which ticks there would blur.
  const int ticks = size >= 24 ? 12 : 0;
  for (int i = 0; i < ticks; ++i) {
    const bool quarter = i % (ticks / 4) == 0;
    const auto [ox, oy] = OnDial(cx, cy, r, static_cast<double>(i) / ticks, 0.78);
    const auto [ix, iy] = OnDial(cx, cy, r, static_cast<double>(i) / ticks, quarter ? 0.58 : 0.66);
    canvas.Stroke(ix, iy, ox, oy, quarter ? unit : 0.6 * unit, kTick);
  }
  // Ten past ten where there is room; an upright four o'clock on the
  // smallest, whose hands must not read as one bent stroke.
  const bool small = size < 24;
  const auto [hx, hy] = OnDial(cx, cy, r, small ? 4.0 / 12 : (10 + 10.0 / 60) / 12, small ? 0.5 : 0.48);
  const auto [mx, my] = OnDial(cx, cy, r, small ? 0.0 : 10.0 / 60, 0.72);
  // On the smallest the upright hand covers two whole pixel columns.
  canvas.Stroke(cx, cy, hx, hy, small ? 2.0 : 1.5 * unit, kHand);
  canvas.Stroke(cx, cy, mx, my, small ? 2.0 : 1.05 * unit, kHand);
  if (size >= 32) {
    const auto [sx, sy] = OnDial(cx, cy, r, 35.0 / 60, 0.7);
    canvas.Stroke(cx, cy, sx, sy, 0.45 * unit, kSecond);
  }
  canvas.FillCircle(cx, cy, 1.1 * unit, kHand);
}

void PaintGear(IconCanvas& canvas, double cx, double cy, double r) {
  constexpr int kTeeth = 8;
  std::vector<std::pair<double, double>> outline;
  const double root = r * 0.72;
  for (int i = 0; i < kTeeth; ++i) {
    // Each tooth: up the flank, across the top, down the other flank.
    const double base = 2 * kPi * i / kTeeth, half = kPi / kTeeth;
    for (const auto& [offset, radius] : {std::pair{-half * 0.95, root}, std::pair{-half * 0.45, r},
                                         std::pair{half * 0.45, r}, std::pair{half * 0.95, root}})
      outline.emplace_back(cx + std::sin(base + offset) * radius, cy - std::cos(base + offset) * radius);
  }
  // A light rim first, so the gear stands off the dial behind it.
  canvas.FillCircle(cx, cy, r + std::max(0.8, r * 0.12), kFace);
  canvas.FillPolygon(outline, kGear);
  canvas.FillCircle(cx, cy, r * 0.34, kGearHub);
}

}  // namespace

IconImage PaintClock(ClockArt art, int size) {
  IconCanvas canvas(size);
  const double s = size;
  if (art == ClockArt::kDial) {
    PaintDial(canvas, s / 2, s / 2, s / 2 - 0.25, size);
  } else {
    // The dial a little smaller, up and to the left; the gear at its foot.
    PaintDial(canvas, s * 0.43, s * 0.43, s * 0.43 - 0.25, size);
    PaintGear(canvas, s * 0.76, s * 0.76, s * 0.22);
  }
  return canvas.Take();
}

Icon ClockIcon(ClockArt art) {
  Icon icon;
  for (int size : kClockIconSizes) icon.images.push_back(PaintClock(art, size));
  return icon;
}

}  // namespace qv::ui
