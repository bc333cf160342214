#include "hosts/fltk/fltk_metrics.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/fl_draw.H>
#include <fontconfig/fontconfig.h>

#include <cstdio>
#include <deque>
#include <map>

#include "platform/process.h"

namespace qv::ui::fltk {

namespace {
// Fonts the templates name, and what Debian installs for them (the same
// substitutes the Wine prefix uses).
struct Substitute {
  const char* face;
  const char* family;
};
constexpr Substitute kSubstitutes[] = {
    {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"MS PGothic", "IPAPGothic"},     {"MS UI Gothic", "IPAPGothic"},
    {"MS Shell Dlg", "IPAPGothic"},     {"MS Shell Dlg 2", "IPAPGothic"}, {"", "IPAPGothic"},
    {"ＭＳ ゴシック", "IPAGothic"},     {"MS Gothic", "IPAGothic"},
};
}  // namespace

std::string FontFamilyFor(const std::string& template_face) {
  for (const Substitute& s : kSubstitutes)
    if (template_face == s.face) return s.family;
  return template_face;
}

int PointsToPixels(int points) { return rules::MulDiv(points > 0 ? points : 9, 96, 72); }

DialogFont FontFor(const std::string& template_face, int points) {
  // FLTK keeps the name pointers: the names live as long as the process.
  static std::deque<std::string> names;
  static std::map<std::string, int> faces;
  static std::map<std::pair<int, int>, DialogFont> measured;
  const std::string family = FontFamilyFor(template_face);
  int face = 0;
  if (auto it = faces.find(family); it != faces.end()) {
    face = it->second;
  } else {
    // A leading blank asks for the regular style of the family.
    names.push_back(" " + family);
    face = FL_FREE_FONT + static_cast<int>(faces.size());
    Fl::set_font(static_cast<Fl_Font>(face), names.back().c_str());
    faces[family] = face;
  }
  const int size = PointsToPixels(points);
  if (auto it = measured.find({face, size}); it != measured.end()) return it->second;
  fl_font(static_cast<Fl_Font>(face), static_cast<Fl_Fontsize>(size));
  const int alphabet = static_cast<int>(fl_width("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  DialogFont f;
  f.face = face;
  f.size = size;
  f.base_x = (alphabet / 26 + 1) / 2;
  f.base_y = fl_height();
  if (f.base_x <= 0) f.base_x = 1;
  if (f.base_y <= 0) f.base_y = size;
  measured[{face, size}] = f;
  return f;
}

bool JapaneseFontInstalled() {
  // 設定 (kanji), し (hiragana), サ (katakana), ﾛｸﾞ (half-width kana, as
  // in ﾛｸﾞﾌｧｲﾙ): one font must have them all.
  constexpr FcChar32 kSample[] = {0x8A2D, 0x5B9A, 0x3057, 0x30B5, 0xFF9B, 0xFF78, 0xFF9E};
  FcCharSet* wanted = FcCharSetCreate();
  for (FcChar32 c : kSample) FcCharSetAddChar(wanted, c);
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
  FcObjectSet* fields = FcObjectSetBuild(FC_FAMILY, nullptr);
  FcFontSet* fonts = FcFontList(nullptr, pattern, fields);
  const bool found = fonts && fonts->nfont > 0;
  if (fonts) FcFontSetDestroy(fonts);
  FcObjectSetDestroy(fields);
  FcPatternDestroy(pattern);
  FcCharSetDestroy(wanted);
  return found;
}

void WarnOnceWithoutJapaneseFont() {
  // Every label would be a row of boxes: say so where it can be read, once
  // per process.
  [[maybe_unused]] static const bool checked = [] {
    if (!JapaneseFontInstalled())
      std::fprintf(stderr,
                   "%s: no installed font has the Japanese characters of the window texts, which show as boxes"
                   " (Debian: install fonts-ipafont-gothic)\n",
                   platform::ExecutableBaseName().c_str());
    return true;
  }();
}

int PixelsToUnitsX(const DialogFont& font, int px) { return (px * 4 + font.base_x - 1) / font.base_x; }
int PixelsToUnitsY(const DialogFont& font, int px) { return (px * 8 + font.base_y - 1) / font.base_y; }

}  // namespace qv::ui::fltk
