#include "ui/dialog_rules.h"

#include <algorithm>
#include <climits>

#include "base/text.h"

namespace qv::ui::rules {

namespace {

std::uint32_t ButtonKind(const ControlTemplate& c) { return c.style & 0xF; }

const ControlTemplate* FindControl(const DialogTemplate& tmpl, int id) { return tmpl.Find(id); }

}  // namespace

// ------------------------------------------------------------------ buttons

bool IsButtonKind(const ControlTemplate& c, std::uint32_t kind) {
  return c.cls == ControlClass::Button && ButtonKind(c) == kind;
}

bool IsRadio(const ControlTemplate& c) {
  return IsButtonKind(c, style::kBsAutoRadio) || IsButtonKind(c, style::kBsRadioButton);
}

bool IsPushButton(const ControlTemplate& c) {
  return IsButtonKind(c, style::kBsPushButton) || IsButtonKind(c, style::kBsDefPushButton);
}

int NormalizeCheck(const ControlTemplate& c, int state) {
  if (c.cls != ControlClass::Button) return 0;
  switch (ButtonKind(c)) {
    case style::kBsCheckBox:
    case style::kBsAutoCheckBox:
    case style::kBsRadioButton:
    case style::kBsAutoRadio:
      return state != 0 ? 1 : 0;
    case style::kBs3State:
    case style::kBsAuto3State:
      // The state travels as an unsigned number: a negative one is large.
      return state == 0 || state == 1 ? state : 2;
    default:
      return 0;
  }
}

int CheckAfterClick(const ControlTemplate& c, int state) {
  if (IsButtonKind(c, style::kBsAutoCheckBox)) return state ? 0 : 1;
  if (IsButtonKind(c, style::kBsAuto3State)) return (state + 1) % 3;
  if (IsButtonKind(c, style::kBsAutoRadio)) return 1;
  return state;
}

std::vector<int> RadioGroup(const DialogTemplate& tmpl, int member) {
  const auto& all = tmpl.controls;
  auto self = std::find_if(all.begin(), all.end(), [&](const ControlTemplate& c) { return c.id == member; });
  if (self == all.end()) return {};
  auto first = self;
  while (first != all.begin() && !(first->style & style::kGroup)) --first;
  std::vector<int> ids;
  for (auto it = first; it != all.end(); ++it) {
    if (it != first && (it->style & style::kGroup)) break;
    if (IsRadio(*it)) ids.push_back(it->id);
  }
  return ids;
}

std::vector<int> RadioPeersToClear(const DialogTemplate& tmpl, int member, const Reachable& reachable) {
  std::vector<int> peers;
  for (int id : RadioGroup(tmpl, member)) {
    const ControlTemplate* c = FindControl(tmpl, id);
    if (id != member && c && IsButtonKind(*c, style::kBsAutoRadio) && reachable(id)) peers.push_back(id);
  }
  return peers;
}

// ------------------------------------------------------- keyboard and focus

bool TakesFocus(const ControlTemplate& c) {
  switch (c.cls) {
    case ControlClass::Button:
      return !IsButtonKind(c, style::kBsGroupBox);
    case ControlClass::Edit:
    case ControlClass::ListBox:
    case ControlClass::ComboBox:
      return true;
    default:
      return false;
  }
}

int InitialFocus(const DialogTemplate& tmpl, const Reachable& reachable) {
  for (const ControlTemplate& c : tmpl.controls)
    if ((c.style & style::kTabStop) && TakesFocus(c) && reachable(c.id)) return c.id;
  return 0;
}

int EnterCommand(const DialogTemplate& tmpl, int focus) {
  if (const ControlTemplate* f = FindControl(tmpl, focus); f && IsPushButton(*f)) return f->id;
  for (const ControlTemplate& c : tmpl.controls)
    if (IsButtonKind(c, style::kBsDefPushButton)) return c.id;
  return kIdOk;
}

bool ReportsFocusLoss(const ControlTemplate& c) {
  return c.cls == ControlClass::Edit || c.cls == ControlClass::ComboBox;
}

bool ReportsSelectionChange(const ControlTemplate& c) {
  return c.cls == ControlClass::ComboBox || (c.cls == ControlClass::ListBox && (c.style & style::kLbsNotify));
}

// ---------------------------------------------------- list and combo boxes

bool IsSortedList(const ControlTemplate& c) {
  return (c.cls == ControlClass::ComboBox && (c.style & style::kCbsSort)) ||
         (c.cls == ControlClass::ListBox && (c.style & style::kLbsSort));
}

bool HasEditField(const ControlTemplate& c) {
  return c.cls == ControlClass::ComboBox && (c.style & 0x3) != style::kCbsDropDownList;
}

namespace {

// One character's place in the word sort.
struct Weight {
  int group = 0;  // 0: weighs only in a tie (hyphen, apostrophe)
  int primary = 0;
  int diacritic = 0;
  int form = 0;  // width and kana kind: half-width, katakana, hiragana
};

// Blanks and punctuation in the order the system sorts them.
constexpr std::string_view kSymbolOrder = " !\"#$%&()*,./:;?@[\\]^_`{|}~+<=>";
// Latin-1 letters with marks: their base letter (upper half only, folded).
constexpr std::string_view kLatin1Base =
    "aaaaaaeceeeeiiii"   // C0-CF (C6 is a ligature; kept with a)
    "dnooooo*ouuuuyts"   // D0-DF (D7 is the sign, DE and DF letters of their own)
    "aaaaaaeceeeeiiii"   // E0-EF
    "dnooooo/ouuuuyty";  // F0-FF
// Half-width katakana U+FF66..U+FF9D as their full-width forms.
constexpr char16_t kHalfKana[] = {
    0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9, 0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6,
    0x30A8, 0x30AA, 0x30AB, 0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5, 0x30D8, 0x30DB, 0x30DE,
    0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9, 0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3};

std::vector<char32_t> Decode(std::string_view s) {
  std::vector<char32_t> out;
  for (std::size_t i = 0; i < s.size();) {
    const unsigned char b = static_cast<unsigned char>(s[i]);
    const int extra = b < 0x80 ? 0 : b >= 0xF0 ? 3 : b >= 0xE0 ? 2 : b >= 0xC0 ? 1 : -1;
    if (extra < 0 || i + static_cast<std::size_t>(extra) >= s.size() + (extra == 0 ? 1 : 0)) {
      out.push_back(b);  // a stray byte weighs as itself
      ++i;
      continue;
    }
    char32_t cp = extra == 0 ? b : (b & (0x3F >> extra));
    for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    out.push_back(cp);
    i += static_cast<std::size_t>(extra) + 1;
  }
  return out;
}

Weight WeightOf(char32_t c) {
  int form = 0;
  if (c >= 0xFF01 && c <= 0xFF5E) {
    c -= 0xFEE0;  // full-width ASCII sorts as ASCII, after it in a tie
    form = 1;
  }
  if (c == '-' || c == '\'') return {0, c == '\'' ? 1 : 2, 0};
  if (c < 0x80) {
    if (c >= '0' && c <= '9') return {2, static_cast<int>(c - '0'), 0, form};
    if (c >= 'A' && c <= 'Z') c += 'a' - 'A';
    if (c >= 'a' && c <= 'z') return {3, static_cast<int>(c - 'a'), 0, form};
    const std::size_t at = kSymbolOrder.find(static_cast<char>(c));
    return {1, at == std::string_view::npos ? -1 : static_cast<int>(at), 0, form};  // controls first
  }
  if (c >= 0xC0 && c <= 0xFF) {
    const char base = kLatin1Base[c - 0xC0];
    if (base >= 'a' && base <= 'z') return {3, base - 'a', static_cast<int>(c)};
  }
  // Kana of either kind and width weigh alike until a tie, where half-width
  // comes first, then katakana, then hiragana; the sound marks as marks.
  if (c == 0xFF9E || c == 0xFF9F || c == 0x309B || c == 0x309C) return {0, 3 + static_cast<int>(c & 1), 0};
  form = 2;
  if (c >= 0xFF66 && c <= 0xFF9D) {
    c = kHalfKana[c - 0xFF66];
    form = 0;
  } else if (c >= 0x30A1 && c <= 0x30FC) {
    form = 1;
  }
  if (c >= 0x30A1 && c <= 0x30F6) c -= 0x60;
  if ((c >= 0x3041 && c <= 0x3096) || c == 0x30FC) return {5, static_cast<int>(c), 0, form};
  const bool ideograph = (c >= 0x3400 && c <= 0x9FFF) || (c >= 0xF900 && c <= 0xFAFF) || c >= 0x20000;
  return {ideograph ? 6 : 4, static_cast<int>(c), 0};
}

struct SortKey {
  std::vector<std::pair<int, int>> primary;  // group, weight
  std::vector<int> diacritics;
  std::vector<int> forms;
  std::vector<std::pair<int, int>> special;  // position (counted down), weight
};

SortKey KeyOf(std::string_view s) {
  SortKey key;
  const std::vector<char32_t> cps = Decode(s);
  for (std::size_t i = 0; i < cps.size(); ++i) {
    const Weight w = WeightOf(cps[i]);
    if (w.group == 0) {
      // A later hyphen weighs less than an earlier one.
      key.special.emplace_back(-static_cast<int>(i), w.primary);
    } else {
      key.primary.emplace_back(w.group, w.primary);
      key.diacritics.push_back(w.diacritic);
      key.forms.push_back(w.form);
    }
  }
  return key;
}

template <typename T>
int CompareSeq(const std::vector<T>& a, const std::vector<T>& b) {
  if (a < b) return -1;
  return b < a ? 1 : 0;
}

}  // namespace

int CollateCompare(std::string_view a, std::string_view b) {
  const SortKey ka = KeyOf(a), kb = KeyOf(b);
  if (int r = CompareSeq(ka.primary, kb.primary)) return r;
  if (int r = CompareSeq(ka.diacritics, kb.diacritics)) return r;
  if (int r = CompareSeq(ka.forms, kb.forms)) return r;
  return CompareSeq(ka.special, kb.special);
}

int SortedInsertIndex(const std::vector<std::string>& items, std::string_view text) {
  int lo = 0, hi = static_cast<int>(items.size()) - 1;
  while (lo <= hi) {
    const int mid = (lo + hi) / 2;
    const int r = CollateCompare(items[static_cast<std::size_t>(mid)], text);
    if (r == 0) return mid;
    if (r > 0)
      hi = mid - 1;
    else
      lo = mid + 1;
  }
  return lo;
}

int FindPrefix(const std::vector<std::string>& items, std::string_view prefix) {
  if (prefix.empty()) return -1;
  for (std::size_t i = 0; i < items.size(); ++i)
    if (StartsWithIgnoringCase(items[i], prefix)) return static_cast<int>(i);
  return -1;
}

// --------------------------------------------------------------- up-down

int SpinBuddy(const DialogTemplate& tmpl, int spin) {
  for (std::size_t i = 1; i < tmpl.controls.size(); ++i)
    if (tmpl.controls[i].id == spin) return tmpl.controls[i - 1].id;
  return 0;
}

bool ParseSpinText(std::string_view text, bool no_thousands, int& out) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '\n' || text[i] == '\r')) ++i;
  if (i == text.size()) return out = 0, true;
  bool negative = false;
  if (text[i] == '+' || text[i] == '-') negative = text[i++] == '-';
  long long value = 0;
  bool digits = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ',' && !no_thousands) continue;
    if (c < '0' || c > '9') return false;
    digits = true;
    value = value * 10 + (c - '0');
    if (value > static_cast<long long>(INT_MAX) + 1) return false;
  }
  if (!digits) return false;
  if (negative) value = -value;
  if (value < INT_MIN || value > INT_MAX) return false;
  out = static_cast<int>(value);
  return true;
}

std::string FormatSpinValue(int value, bool no_thousands) {
  const std::string digits = std::to_string(value < 0 ? -static_cast<long long>(value) : value);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (!no_thousands && i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return value < 0 ? "-" + out : out;
}

int ClampSpin(int value, int min, int max) {
  const int lo = std::min(min, max), hi = std::max(min, max);
  return std::clamp(value, lo, hi);
}

int SpinStart(std::string_view buddy_text, bool no_thousands, int position, int min, int max) {
  int value = 0;
  if (ParseSpinText(buddy_text, no_thousands, value) && ClampSpin(value, min, max) == value) return value;
  return position;
}

int SpinStep(int value, int delta, int min, int max, bool wrap) {
  const long long lo = std::min(min, max), hi = std::max(min, max);
  if (min > max) delta = -delta;
  long long next = static_cast<long long>(value) + delta;
  if (next >= lo && next <= hi) return static_cast<int>(next);
  if (!wrap) return static_cast<int>(next > hi ? hi : lo);
  const long long span = hi - lo + 1;
  next = (next - lo) % span;
  if (next < 0) next += span;
  return static_cast<int>(lo + next);
}

int SpinIncrement(const std::vector<SpinAccel>& accel, unsigned held_ms) {
  if (accel.empty()) return 1;
  int step = accel.front().step;
  for (const SpinAccel& row : accel)
    if (static_cast<unsigned long long>(row.seconds) * 1000 <= held_ms) step = row.step;
  return step;
}

// -------------------------------------------------------------- geometry

int MulDiv(int a, int b, int c) {
  const long long n = static_cast<long long>(a) * b;
  return static_cast<int>(n >= 0 ? (n + c / 2) / c : -((-n + c / 2) / c));
}

Rect DialogUnitsToPixels(int x, int y, int cx, int cy, BaseUnits base) {
  const int left = MulDiv(x, base.x, 4), top = MulDiv(y, base.y, 8);
  return {left, top, left + MulDiv(cx, base.x, 4), top + MulDiv(cy, base.y, 8)};
}

int ClosedComboHeight(int font_height) { return font_height + 8; }

Rect AttachUpDown(std::uint32_t spin_style, const Rect& own, Rect& buddy) {
  constexpr int kOverlap = 2;
  constexpr std::uint32_t kAlignLeft = 0x8;
  if (!(spin_style & style::kUdsAutoBuddy)) return own;
  const int narrowed = std::max(buddy.Width() - kAttachedUpDownWidth, 0);
  if (spin_style & style::kUdsAlignRight) {
    buddy.right = buddy.left + narrowed;
    return {buddy.right - kOverlap, buddy.top, buddy.right - kOverlap + kAttachedUpDownWidth, buddy.bottom};
  }
  if (spin_style & kAlignLeft) {
    buddy.left = buddy.right - narrowed;
    return {buddy.left + kOverlap - kAttachedUpDownWidth, buddy.top, buddy.left + kOverlap, buddy.bottom};
  }
  return own;
}

Rect PlaceNewDialog(Point size, Point client_offset, Point client_corner, Rect work_area, int frame) {
  int left = client_corner.x - client_offset.x, top = client_corner.y - client_offset.y;
  if (left + size.x > work_area.right - frame) left = work_area.right - frame - size.x;
  if (top + size.y > work_area.bottom - frame) top = work_area.bottom - frame - size.y;
  left = std::max(left, work_area.left);
  top = std::max(top, work_area.top);
  return {left, top, left + size.x, top + size.y};
}

// ----------------------------------------------------------- system menu

const std::vector<unsigned>& DefaultSystemMenu() {
  static const std::vector<unsigned> menu = {kScRestore, kScMove, kScSize, kScMinimize, kScMaximize, 0, kScClose};
  return menu;
}

// ------------------------------------------------------------ show order

bool ShownAtCreation(const DialogTemplate& tmpl) { return (tmpl.style & style::kVisible) != 0; }

}  // namespace qv::ui::rules
