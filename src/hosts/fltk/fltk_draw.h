// Drawing in the look of the Windows dialogs the templates were made for:
// 3-D edges, check marks, arrows, text with mnemonics, icons.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Fl_RGB_Image;

namespace qv::ui::fltk {

namespace color {
inline constexpr std::uint32_t kFace = 0xF0F0F0;
inline constexpr std::uint32_t kHighlight = 0xFFFFFF;
inline constexpr std::uint32_t kLight = 0xE3E3E3;
inline constexpr std::uint32_t kShadow = 0xA0A0A0;
inline constexpr std::uint32_t kDark = 0x696969;
inline constexpr std::uint32_t kFrame = 0x000000;
inline constexpr std::uint32_t kWindow = 0xFFFFFF;
inline constexpr std::uint32_t kText = 0x000000;
inline constexpr std::uint32_t kGrayText = 0x6D6D6D;
inline constexpr std::uint32_t kSelection = 0x0078D7;
inline constexpr std::uint32_t kSelectionText = 0xFFFFFF;
}  // namespace color

void SetColor(std::uint32_t rgb);
void FillRect(int x, int y, int w, int h, std::uint32_t rgb);

enum class Edge {
  kRaised,  // a button at rest
  kSunken,  // a pressed button, a field's client edge
  kStatic,  // one-pixel sunken border (sunken statics)
  kEtched,  // frames and separator lines
  kFlat,    // one dark pixel (flat buttons)
};
void DrawEdge(int x, int y, int w, int h, Edge edge);
// An etched horizontal line at the top of the rectangle.
void DrawEtchedLine(int x, int y, int w);
void DrawFocusRect(int x, int y, int w, int h);
void DrawCheckMark(int x, int y, int state, bool enabled);  // 13 x 13 box
void DrawRadioMark(int x, int y, bool checked, bool enabled);
void DrawArrow(int cx, int cy, bool up, bool enabled);
// The warning icon of message boxes, 32 x 32.
void DrawWarningIcon(int x, int y);

// A control text with its mnemonic: "&&" is one ampersand, "&x" underlines
// x and makes it the key (lower-case ASCII; 0 when none).
struct Mnemonic {
  std::string shown;
  int underline = -1;  // byte offset in shown
  int underline_bytes = 0;
  char key = 0;
};
Mnemonic ParseMnemonic(const std::string& text, bool prefix = true);

// Line breaks as the dialog statics make them: at blanks, between wide
// (Japanese) characters and at every newline; a word too long for a line is
// never broken (it is cut off at the edge). Offsets of each line's first
// byte in `text`.
std::vector<std::size_t> WrapLines(const std::string& text, int width);

enum class HAlign { kLeft, kCenter, kRight };
struct TextStyle {
  int font = 0, size = 12;
  HAlign align = HAlign::kLeft;
  bool vcenter = false;   // one line, centred vertically
  bool wrap = false;      // break into lines to fit the width
  bool prefix = true;     // & marks the mnemonic
  bool enabled = true;
  std::uint32_t color = color::kText;
};
void DrawText(const std::string& text, int x, int y, int w, int h, const TextStyle& style);
int TextWidth(const std::string& text, int font, int size);

// An icon of the program's table at about `size` pixels, made once; nullptr
// when the table lacks it.
Fl_RGB_Image* ProgramIcon(int icon_id, int size);

}  // namespace qv::ui::fltk
