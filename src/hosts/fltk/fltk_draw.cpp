#include "hosts/fltk/fltk_draw.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/fl_draw.H>

#include <map>
#include <memory>

#include "base/text.h"
#include "ui/dialog.h"

namespace qv::ui::fltk {

void SetColor(std::uint32_t rgb) {
  fl_color(static_cast<uchar>(rgb >> 16), static_cast<uchar>(rgb >> 8), static_cast<uchar>(rgb));
}

void FillRect(int x, int y, int w, int h, std::uint32_t rgb) {
  if (w <= 0 || h <= 0) return;
  SetColor(rgb);
  fl_rectf(x, y, w, h);
}

namespace {
// One ring of an edge: top and left in one colour, bottom and right in another.
void Ring(int x, int y, int w, int h, std::uint32_t top_left, std::uint32_t bottom_right) {
  if (w <= 0 || h <= 0) return;
  SetColor(top_left);
  fl_xyline(x, y, x + w - 1);
  fl_yxline(x, y, y + h - 1);
  SetColor(bottom_right);
  fl_xyline(x, y + h - 1, x + w - 1);
  fl_yxline(x + w - 1, y, y + h - 1);
}
}  // namespace

void DrawEdge(int x, int y, int w, int h, Edge edge) {
  using namespace color;
  switch (edge) {
    case Edge::kRaised:
      Ring(x, y, w, h, kHighlight, kDark);
      Ring(x + 1, y + 1, w - 2, h - 2, kLight, kShadow);
      break;
    case Edge::kSunken:
      Ring(x, y, w, h, kShadow, kHighlight);
      Ring(x + 1, y + 1, w - 2, h - 2, kDark, kLight);
      break;
    case Edge::kStatic:
      Ring(x, y, w, h, kShadow, kHighlight);
      break;
    case Edge::kEtched:
      Ring(x, y, w, h, kShadow, kHighlight);
      Ring(x + 1, y + 1, w - 2, h - 2, kHighlight, kShadow);
      break;
    case Edge::kFlat:
      Ring(x, y, w, h, kDark, kDark);
      break;
  }
}

void DrawEtchedLine(int x, int y, int w) {
  if (w <= 0) return;
  SetColor(color::kShadow);
  fl_xyline(x, y, x + w - 1);
  SetColor(color::kHighlight);
  fl_xyline(x, y + 1, x + w - 1);
}

void DrawFocusRect(int x, int y, int w, int h) {
  if (w <= 0 || h <= 0) return;
  SetColor(color::kText);
  for (int i = x; i < x + w; i += 2) {
    fl_point(i, y);
    fl_point(i, y + h - 1);
  }
  for (int j = y; j < y + h; j += 2) {
    fl_point(x, j);
    fl_point(x + w - 1, j);
  }
}

void DrawCheckMark(int x, int y, int state, bool enabled) {
  using namespace color;
  DrawEdge(x, y, 13, 13, Edge::kSunken);
  FillRect(x + 2, y + 2, 9, 9, enabled && state != 2 ? kWindow : kFace);
  if (state == 0) return;
  SetColor(!enabled || state == 2 ? kShadow : kText);
  // The tick: down from the left, then up to the right, three pixels thick.
  for (int i = 0; i < 3; ++i) {
    fl_line(x + 3, y + 5 + i, x + 5, y + 7 + i);
    fl_line(x + 5, y + 7 + i, x + 9, y + 3 + i);
  }
}

void DrawRadioMark(int x, int y, bool checked, bool enabled) {
  using namespace color;
  SetColor(enabled ? kWindow : kFace);
  fl_pie(x, y, 12, 12, 0, 360);
  SetColor(kShadow);
  fl_arc(x, y, 12, 12, 45, 225);
  SetColor(kHighlight);
  fl_arc(x, y, 12, 12, 225, 405);
  SetColor(kDark);
  fl_arc(x + 1, y + 1, 10, 10, 45, 225);
  if (!checked) return;
  SetColor(enabled ? kText : kShadow);
  fl_pie(x + 4, y + 4, 4, 4, 0, 360);
}

void DrawArrow(int cx, int cy, bool up, bool enabled) {
  SetColor(enabled ? color::kText : color::kShadow);
  // A small triangle, 7 pixels wide at its base.
  for (int row = 0; row < 4; ++row) {
    const int y = up ? cy - 2 + row : cy + 1 - row;
    fl_xyline(cx - row, y, cx + row);
  }
}

void DrawWarningIcon(int x, int y) {
  // A yellow triangle with a black edge and an exclamation mark.
  fl_color(0, 0, 0);
  fl_polygon(x + 16, y + 1, x + 31, y + 30, x + 1, y + 30);
  fl_color(255, 204, 0);
  fl_polygon(x + 16, y + 4, x + 29, y + 28, x + 3, y + 28);
  fl_color(0, 0, 0);
  fl_rectf(x + 15, y + 10, 3, 11);
  fl_rectf(x + 15, y + 23, 3, 3);
}

Mnemonic ParseMnemonic(const std::string& text, bool prefix) {
  Mnemonic m;
  if (!prefix) {
    m.shown = text;
    return m;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '&' || i + 1 >= text.size()) {
      m.shown += text[i];
      continue;
    }
    ++i;
    if (text[i] == '&') {
      m.shown += '&';
      continue;
    }
    // The next whole character is underlined.
    const unsigned char c = static_cast<unsigned char>(text[i]);
    int bytes = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + static_cast<std::size_t>(bytes) > text.size()) bytes = static_cast<int>(text.size() - i);
    if (m.underline < 0) {
      m.underline = static_cast<int>(m.shown.size());
      m.underline_bytes = bytes;
      if (c < 0x80) m.key = AsciiLower(static_cast<char>(c));
    }
    m.shown.append(text, i, static_cast<std::size_t>(bytes));
    i += static_cast<std::size_t>(bytes) - 1;
  }
  return m;
}

namespace {
// The code point at `at` and its length in bytes.
char32_t Decode(const std::string& s, std::size_t at, int& bytes) {
  const unsigned char c = static_cast<unsigned char>(s[at]);
  bytes = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
  if (at + static_cast<std::size_t>(bytes) > s.size()) bytes = 1;
  if (bytes == 1) return c;
  char32_t cp = c & (0xFF >> (bytes + 1));
  for (int i = 1; i < bytes; ++i) cp = (cp << 6) | (static_cast<unsigned char>(s[at + i]) & 0x3F);
  return cp;
}

// Wide characters (kanji, kana, full-width forms) may be broken between, as
// double-byte text is; half-width katakana may not.
bool Breakable(char32_t cp) { return cp >= 0x2E80 && !(cp >= 0xFF61 && cp <= 0xFF9F); }

int Width(const std::string& s, std::size_t from, std::size_t to) {
  return to > from ? static_cast<int>(fl_width(s.data() + from, static_cast<int>(to - from)) + 0.5) : 0;
}
}  // namespace

std::vector<std::size_t> WrapLines(const std::string& text, int width) {
  std::vector<std::size_t> starts{0};
  std::size_t line = 0;        // first byte of the current line
  std::size_t last_break = 0;  // where the line may end (0: nowhere yet)
  std::size_t i = 0;
  while (i < text.size()) {
    int bytes = 1;
    const char32_t cp = Decode(text, i, bytes);
    if (cp == '\n') {
      line = i + 1;
      last_break = 0;
      starts.push_back(line);
      i = line;
      continue;
    }
    if (cp == ' ' || cp == '\r') {
      last_break = i + 1;
      i += 1;
      continue;
    }
    if (Breakable(cp) && i > line) last_break = i;
    const std::size_t end = i + static_cast<std::size_t>(bytes);
    // Past the edge: the line ends at its last break. A word with no break
    // in it stays whole and is cut off at the edge, as the system draws it.
    if (Width(text, line, end) > width && last_break > line) {
      line = last_break;
      last_break = 0;
      starts.push_back(line);
      i = line;
      continue;
    }
    i = end;
  }
  return starts;
}

int TextWidth(const std::string& text, int font, int size) {
  fl_font(static_cast<Fl_Font>(font), static_cast<Fl_Fontsize>(size));
  return static_cast<int>(fl_width(text.c_str()) + 0.5);
}

void DrawText(const std::string& text, int x, int y, int w, int h, const TextStyle& style) {
  const Mnemonic m = ParseMnemonic(text, style.prefix);
  fl_font(static_cast<Fl_Font>(style.font), static_cast<Fl_Fontsize>(style.size));
  const std::string& s = m.shown;
  std::vector<std::size_t> starts = style.wrap ? WrapLines(s, w) : std::vector<std::size_t>{0};
  if (!style.wrap) {
    // One line; a newline still breaks it, as DrawText does.
    for (std::size_t i = 0; i < s.size(); ++i)
      if (s[i] == '\n') starts.push_back(i + 1);
  }
  const int line_h = fl_height();
  int top = y;
  if (style.vcenter) top = y + (h - line_h * static_cast<int>(starts.size())) / 2;
  fl_push_clip(x, y, w, h);
  for (std::size_t n = 0; n < starts.size(); ++n) {
    std::size_t from = starts[n], to = n + 1 < starts.size() ? starts[n + 1] : s.size();
    // Trailing blanks and the newline are not drawn.
    while (to > from && (s[to - 1] == '\n' || s[to - 1] == ' ' || s[to - 1] == '\r')) --to;
    const int tw = Width(s, from, to);
    int left = x;
    if (style.align == HAlign::kCenter) left = x + (w - tw) / 2;
    if (style.align == HAlign::kRight) left = x + w - tw;
    const int base = top + line_h * static_cast<int>(n) + line_h - fl_descent();
    const auto paint = [&](int dx, int dy, std::uint32_t rgb) {
      SetColor(rgb);
      if (to > from) fl_draw(s.data() + from, static_cast<int>(to - from), left + dx, base + dy);
      const std::size_t u = static_cast<std::size_t>(m.underline);
      if (m.underline >= 0 && u >= from && u < to) {
        const int ux = left + dx + Width(s, from, u);
        fl_xyline(ux, base + dy + 1, ux + Width(s, u, u + static_cast<std::size_t>(m.underline_bytes)) - 1);
      }
    };
    if (style.enabled) {
      paint(0, 0, style.color);
    } else {
      // Greyed as Windows greys: an embossed copy.
      paint(1, 1, color::kHighlight);
      paint(0, 0, color::kShadow);
    }
  }
  fl_pop_clip();
}

Fl_RGB_Image* ProgramIcon(int icon_id, int size) {
  struct Made {
    std::vector<uchar> rgba;
    std::unique_ptr<Fl_RGB_Image> image;
  };
  static std::map<const IconImage*, Made> made;
  const Icon* icon = FindIcon(icon_id);
  const IconImage* image = icon ? icon->Best(size) : nullptr;
  if (!image || image->size <= 0 || image->argb.size() != static_cast<std::size_t>(image->size * image->size))
    return nullptr;
  if (auto it = made.find(image); it != made.end()) return it->second.image.get();
  Made m;
  m.rgba.reserve(image->argb.size() * 4);
  for (std::uint32_t px : image->argb)
    for (int shift : {16, 8, 0, 24}) m.rgba.push_back(static_cast<uchar>(px >> shift));
  m.image = std::make_unique<Fl_RGB_Image>(m.rgba.data(), image->size, image->size, 4);
  Fl_RGB_Image* out = m.image.get();
  made.emplace(image, std::move(m));
  return out;
}

}  // namespace qv::ui::fltk
