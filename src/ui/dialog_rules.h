// The rules Windows' dialog manager applies, in one host-neutral place that
// every host shares: radio groups, automatic buttons, combo selection and
// sorting, up-down steps.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_template.h"

namespace qv::ui::rules {

bool IsButtonKind(const ControlTemplate& c, std::uint32_t kind);
bool IsRadio(const ControlTemplate& c);

// The radio buttons of the group `member` belongs to, in template order. A
// group runs from a control with the group style up to the next one; other
// controls inside it (labels between the buttons) neither end it nor count.
std::vector<int> RadioGroup(const DialogTemplate& tmpl, int member);

// ASCII case-insensitive comparisons, as the list controls compare.
bool StartsWithNoCase(std::string_view item, std::string_view prefix);
bool EqualsNoCase(std::string_view a, std::string_view b);
// Where a sorted list inserts `text`: after every item that sorts before or
// equal to it, ignoring case.
int SortedInsertIndex(const std::vector<std::string>& items, std::string_view text);
// The first item that begins with `prefix` (ignoring case), -1 when none; an
// empty prefix matches the first item.
int FindPrefix(const std::vector<std::string>& items, std::string_view prefix);

// The control an up-down attaches to: the one before it in the template.
int SpinBuddy(const DialogTemplate& tmpl, int spin);
// One press of an arrow, `delta` steps (+ up, - down), from the buddy's
// current value; wraps at the ends when `wrap`, else stops there.
int SpinStep(int value, int delta, int min, int max, bool wrap);

}  // namespace qv::ui::rules
