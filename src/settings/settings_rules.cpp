#include "settings/settings_rules.h"

namespace qv::settings {

ui::Point PlaceOver(const ui::Rect& window, const ui::Rect& anchor, const ui::Rect& work) {
  const int width = window.Width(), height = window.Height();
  int left = window.left + (anchor.left + anchor.right) / 2 - (window.left + window.right) / 2;
  int top = window.top + (anchor.top + anchor.bottom) / 2 - (window.top + window.bottom) / 2;
  if (top + height > work.bottom) top -= top + height - work.bottom;
  if (left + width > work.right) left -= left + width - work.right;
  if (top < work.top) top = work.top;
  if (left < work.left) left = work.left;
  if (left == work.left && top == work.top) ++left;
  return {left, top};
}

HourMinute NextMinute(int hour, int minute) {
  if (minute + 1 < 60) return {hour, minute + 1};
  return {(hour + 1) % 24, 0};
}

const char* ClockFormat(int format) {
  switch (format) {
    case 1: return "%c";
    case 2: return "%a %b %d %H:%M:%S %Y";
    default: return "%X";
  }
}

}  // namespace qv::settings
