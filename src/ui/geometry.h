// Window geometry as the window system keeps it: points and rectangles in
// screen pixels, a window's placement with its show command, and an up-down
// control's acceleration. Plain values, shared by the framework, its rules
// and the hosts.
#pragma once

namespace qv::ui {

// Show commands (Windows values).
inline constexpr int kSwHide = 0;
inline constexpr int kSwShowNormal = 1;
inline constexpr int kSwShowMinimized = 2;
inline constexpr int kSwShow = 5;
inline constexpr int kSwMinimize = 6;
inline constexpr int kSwShowMinNoActive = 7;
inline constexpr int kSwRestore = 9;
inline constexpr int kSwForceMinimize = 11;

struct Point {
  int x = 0, y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

// Screen pixels; right and bottom are exclusive.
struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
  friend bool operator==(const Rect&, const Rect&) = default;
};

// Where a window is and how it shows, as Windows keeps it: the normal
// (restored) rectangle survives minimising.
struct WindowPlacement {
  int show_cmd = kSwShowNormal;
  // Place the minimised window at min_position; (-1,-1) keeps where it was.
  bool set_min_position = false;
  Point min_position{-1, -1};
  Rect normal;
};

// One row of an up-down control's acceleration: after `seconds` of holding
// an arrow, each step moves by `step`.
struct SpinAccel {
  unsigned seconds = 0;
  int step = 1;
};

}  // namespace qv::ui
