// The program's icon is the shared clock art with its gear; the check
// button's, a plain clock face drawn here: a dark ring, two hands at ten
// past ten, and a marker dot in the lower right.
#include "settings/icons.h"

#include <cmath>

#include "settings/settings_template.h"
#include "ui/icon_paint.h"

namespace qv::settings {

namespace {

constexpr std::uint32_t kClear = 0x00000000, kRing = 0xFF203060, kFace = 0xFFF4F4F0, kHand = 0xFF101010,
                        kMark = 0xFF2E8B57;

// Distance from point p to the segment a-b.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
  const double dx = bx - ax, dy = by - ay;
  double t = ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy);
  t = t < 0 ? 0 : (t > 1 ? 1 : t);
  return std::hypot(px - (ax + t * dx), py - (ay + t * dy));
}

ui::IconImage MarkedClock(int size) {
  ui::IconImage image{size, std::vector<std::uint32_t>(static_cast<std::size_t>(size * size), kClear)};
  const double c = (size - 1) / 2.0, r = size / 2.0 - 0.5, ring = size / 10.0 + 0.5, pi = std::acos(-1.0);
  // Ten past ten: the hour hand at 10:10, the minute hand at 2.
  const double hour = (10 + 10 / 60.0) / 12 * 2 * pi, minute = 10.0 / 60 * 2 * pi;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const double d = std::hypot(x - c, y - c);
      std::uint32_t& px = image.argb[static_cast<std::size_t>(y * size + x)];
      if (d > r) continue;
      px = d > r - ring ? kRing : kFace;
      const double hand = size / 16.0 + 0.3;
      if (SegmentDistance(x, y, c, c, c + std::sin(hour) * r * 0.5, c - std::cos(hour) * r * 0.5) < hand ||
          SegmentDistance(x, y, c, c, c + std::sin(minute) * r * 0.75, c - std::cos(minute) * r * 0.75) < hand)
        px = kHand;
      if (std::hypot(x - size * 0.75, y - size * 0.75) < size / 6.0) px = kMark;
    }
  return image;
}

ui::Icon Marked() { return ui::Icon{{MarkedClock(16), MarkedClock(32)}}; }

}  // namespace

const ui::IconTable& Icons() {
  static const ui::IconTable table = {{kAppIcon, ui::ClockIcon(ui::ClockArt::kDialWithGear)}, {kCheckIcon, Marked()}};
  return table;
}

}  // namespace qv::settings
