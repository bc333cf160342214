// A scanner for the profile's number lists ("%i,%i:%i"), following the C
// library's "%i" rules: blanks skipped before a number, an optional sign,
// hexadecimal after "0x", octal after a leading "0", decimal otherwise.
// Scanning stops at the first character that does not fit the format; the
// outputs it did not reach keep their values.
#pragma once

#include <initializer_list>
#include <string_view>

namespace qv::profile {

// Supports "%i" and "%%"; a blank in the format matches any run of blanks
// (also none); every other character must match itself. Numbers beyond the
// int range saturate. Returns how many outputs were assigned (0 when none,
// also for empty text). Conversions beyond the given outputs are not made.
int ScanInts(std::string_view text, std::string_view format, std::initializer_list<int*> outputs);

}  // namespace qv::profile
