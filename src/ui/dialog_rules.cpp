#include "ui/dialog_rules.h"

#include <algorithm>

namespace qv::ui::rules {

namespace {
char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
int CompareNoCase(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(Fold(a[i])), y = static_cast<unsigned char>(Fold(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
}  // namespace

bool IsButtonKind(const ControlTemplate& c, std::uint32_t kind) {
  return c.cls == ControlClass::Button && (c.style & 0xF) == kind;
}

bool IsRadio(const ControlTemplate& c) {
  return IsButtonKind(c, style::kBsAutoRadio) || IsButtonKind(c, 0x4 /* BS_RADIOBUTTON */);
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

bool StartsWithNoCase(std::string_view item, std::string_view prefix) {
  return prefix.size() <= item.size() && CompareNoCase(item.substr(0, prefix.size()), prefix) == 0;
}

bool EqualsNoCase(std::string_view a, std::string_view b) { return CompareNoCase(a, b) == 0; }

int SortedInsertIndex(const std::vector<std::string>& items, std::string_view text) {
  int i = 0;
  while (i < static_cast<int>(items.size()) && CompareNoCase(items[static_cast<std::size_t>(i)], text) <= 0) ++i;
  return i;
}

int FindPrefix(const std::vector<std::string>& items, std::string_view prefix) {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (StartsWithNoCase(items[i], prefix)) return static_cast<int>(i);
  return -1;
}

int SpinBuddy(const DialogTemplate& tmpl, int spin) {
  for (std::size_t i = 1; i < tmpl.controls.size(); ++i)
    if (tmpl.controls[i].id == spin) return tmpl.controls[i - 1].id;
  return 0;
}

int SpinStep(int value, int delta, int min, int max, bool wrap) {
  const long long lo = std::min(min, max), hi = std::max(min, max);
  // A reversed range counts the other way, as an up-down control does.
  if (min > max) delta = -delta;
  long long next = static_cast<long long>(value) + delta;
  if (next >= lo && next <= hi) return static_cast<int>(next);
  if (!wrap) return static_cast<int>(next > hi ? hi : lo);
  // Wrapping runs on round the range, as far as the step reaches.
  const long long span = hi - lo + 1;
  next = (next - lo) % span;
  if (next < 0) next += span;
  return static_cast<int>(lo + next);
}

}  // namespace qv::ui::rules
