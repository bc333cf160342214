// Dialog templates and string tables as plain data: the one source that every
// host (win32, FLTK, headless) lays its windows out from. Units are dialog
// units; styles use the Windows numeric values so the win32 host can copy
// them straight into an in-memory template and other hosts can read them.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"

namespace qv::ui {

// System-menu commands (Windows values). A program's own items use
// identifiers below 0xF000 whose low four bits are 0.
inline constexpr unsigned kScSize = 0xF000;
inline constexpr unsigned kScMove = 0xF010;
inline constexpr unsigned kScMinimize = 0xF020;
inline constexpr unsigned kScMaximize = 0xF030;
inline constexpr unsigned kScClose = 0xF060;
inline constexpr unsigned kScRestore = 0xF120;

enum class ControlClass { Button, Edit, Static, ListBox, ComboBox, UpDown };

// Window styles (same values as the Windows headers).
namespace style {
inline constexpr std::uint32_t kChild = 0x40000000;
inline constexpr std::uint32_t kVisible = 0x10000000;
inline constexpr std::uint32_t kDisabled = 0x08000000;
inline constexpr std::uint32_t kGroup = 0x00020000;
inline constexpr std::uint32_t kTabStop = 0x00010000;
inline constexpr std::uint32_t kPopup = 0x80000000;
inline constexpr std::uint32_t kCaption = 0x00C00000;
inline constexpr std::uint32_t kSysMenu = 0x00080000;
inline constexpr std::uint32_t kMinimizeBox = 0x00020000;
inline constexpr std::uint32_t kBorder = 0x00800000;
inline constexpr std::uint32_t kHScroll = 0x00100000;
// Extended window styles
inline constexpr std::uint32_t kExAppWindow = 0x00040000;  // own task-bar button
inline constexpr std::uint32_t kExStaticEdge = 0x00020000;
inline constexpr std::uint32_t kExClientEdge = 0x00000200;
// Dialog styles
inline constexpr std::uint32_t kDsModalFrame = 0x80;
inline constexpr std::uint32_t kDsSetFont = 0x40;
inline constexpr std::uint32_t kDs3dLook = 0x4;
// Static styles
inline constexpr std::uint32_t kSsLeft = 0x0;
inline constexpr std::uint32_t kSsCenter = 0x1;
inline constexpr std::uint32_t kSsRight = 0x2;
inline constexpr std::uint32_t kSsIcon = 0x3;
inline constexpr std::uint32_t kSsEtchedHorz = 0x10;
inline constexpr std::uint32_t kSsEtchedFrame = 0x12;
inline constexpr std::uint32_t kSsNoPrefix = 0x80;
inline constexpr std::uint32_t kSsCenterImage = 0x200;
inline constexpr std::uint32_t kSsSunken = 0x1000;
// Button styles
inline constexpr std::uint32_t kBsPushButton = 0x0;
inline constexpr std::uint32_t kBsDefPushButton = 0x1;
inline constexpr std::uint32_t kBsCheckBox = 0x2;
inline constexpr std::uint32_t kBsAutoCheckBox = 0x3;
inline constexpr std::uint32_t kBsRadioButton = 0x4;
inline constexpr std::uint32_t kBs3State = 0x5;
inline constexpr std::uint32_t kBsAutoRadio = 0x9;
inline constexpr std::uint32_t kBsAuto3State = 0x6;
inline constexpr std::uint32_t kBsGroupBox = 0x7;
inline constexpr std::uint32_t kBsIcon = 0x40;
inline constexpr std::uint32_t kBsPushLike = 0x1000;
inline constexpr std::uint32_t kBsFlat = 0x8000;
// Edit styles
inline constexpr std::uint32_t kEsRight = 0x2;
inline constexpr std::uint32_t kEsAutoHScroll = 0x80;
inline constexpr std::uint32_t kEsNumber = 0x2000;
// List box styles
inline constexpr std::uint32_t kLbsNotify = 0x1;
inline constexpr std::uint32_t kLbsSort = 0x2;
// Combo box styles
inline constexpr std::uint32_t kCbsSimple = 0x1;
inline constexpr std::uint32_t kCbsDropDown = 0x2;
inline constexpr std::uint32_t kCbsDropDownList = 0x3;
inline constexpr std::uint32_t kCbsAutoHScroll = 0x40;
inline constexpr std::uint32_t kCbsSort = 0x100;
// Up-down (spin) styles. The buddy is the control before it in the
// template (kUdsAutoBuddy); kUdsSetBuddyInt writes the position there.
inline constexpr std::uint32_t kUdsWrap = 0x1;
inline constexpr std::uint32_t kUdsSetBuddyInt = 0x2;
inline constexpr std::uint32_t kUdsAlignRight = 0x4;
inline constexpr std::uint32_t kUdsAutoBuddy = 0x10;
inline constexpr std::uint32_t kUdsArrowKeys = 0x20;
inline constexpr std::uint32_t kUdsNoThousands = 0x80;
}  // namespace style

inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;
inline constexpr int kIdStatic = -1;

struct ControlTemplate {
  int id;
  ControlClass cls;
  std::string text;  // UTF-8
  short x, y, cx, cy;
  std::uint32_t style;  // control-specific styles; kChild is implied
  std::uint32_t ex_style = 0;
};

struct DialogTemplate {
  int id;
  short x, y, cx, cy;
  std::uint32_t style;
  std::string caption;  // UTF-8
  std::string font_face;
  int font_points;
  std::vector<ControlTemplate> controls;
  std::uint32_t ex_style = 0;

  const ControlTemplate* Find(int control_id) const {
    for (const auto& c : controls)
      if (c.id == control_id) return &c;
    return nullptr;
  }
};

// The icon a static of the icon style shows: its text names the icon's
// number as a resource script does ("#100", or "100"); 0 for any other
// control or text. The host puts the icon there when it makes the control.
inline int StaticIconId(const ControlTemplate& c) {
  // The low five bits of a static's style are its type.
  if (c.cls != ControlClass::Static || (c.style & 0x1F) != style::kSsIcon) return 0;
  std::string_view number = c.text;
  if (!number.empty() && number.front() == '#') number.remove_prefix(1);
  return ParseIntIn<int>(number, 1, 0xFFFF).value_or(0);
}

// Texts by number, one table per program.
using StringTable = std::map<int, std::string>;

// Framework texts each program's string table carries ("%1", "%2": the
// bounds): the messages of a failed integer field.
inline constexpr int kStringExpectInteger = 0xF110;
inline constexpr int kStringExpectIntegerRange = 0xF111;

// An icon as pixels: square images, rows top-down, 0xAARRGGBB.
struct IconImage {
  int size = 0;
  std::vector<std::uint32_t> argb;
};
struct Icon {
  std::vector<IconImage> images;  // e.g. 16 and 32 pixels
  const IconImage* Best(int size) const;  // the image closest to size
};
// Icons by resource number, one table per program.
using IconTable = std::map<int, Icon>;

}  // namespace qv::ui
