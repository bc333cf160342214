// Dialog units on the Linux GUI: the template's font mapped to an installed
// face, its base units measured the way the Windows dialog manager measures
// them, and template rectangles converted with them.
#pragma once

#include <string>

#include "ui/dialog.h"
#include "ui/dialog_rules.h"

namespace qv::ui::fltk {

struct DialogFont {
  int face = 0;     // FLTK font number
  int size = 12;    // pixels
  int base_x = 7;   // average character width
  int base_y = 13;  // character height
  rules::BaseUnits units() const { return {base_x, base_y}; }
};

// The installed family that stands in for a template face: the Japanese
// Windows faces map to the IPA Gothic fonts, as under Wine; others are
// looked up by their own name.
std::string FontFamilyFor(const std::string& template_face);

// Pixels of a font of `points` at 96 dots per inch, as Windows sizes dialog
// fonts.
int PointsToPixels(int points);

// The font and base units for a template (needs the display): the width is
// the rounded mean of the 52 Latin letters, the height the font's line
// height, as the dialog manager takes them.
DialogFont FontFor(const std::string& template_face, int points);

// A template rectangle in client pixels, with the font's base units.
inline Rect DialogUnitsToPixels(const DialogFont& font, int x, int y, int cx, int cy) {
  return rules::DialogUnitsToPixels(x, y, cx, cy, font.units());
}

// Whether an installed font has the Japanese characters of the programs'
// texts (kanji, kana, half-width kana); asks fontconfig, whose fonts the
// toolkit draws with.
bool JapaneseFontInstalled();
// Says on stderr, once per process, when JapaneseFontInstalled() is false.
void WarnOnceWithoutJapaneseFont();

// Pixels back to dialog units, rounded up (for layouts measured in pixels).
int PixelsToUnitsX(const DialogFont& font, int px);
int PixelsToUnitsY(const DialogFont& font, int px);

}  // namespace qv::ui::fltk
