// ParseTimeText, MonthFromName and SanitizeServerText on arbitrary bytes:
// nothing read beyond the text, and a time only when it is a real one.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/time_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // An exact-size copy, so any read past the text lands outside the heap block.
  char* copy = static_cast<char*>(std::malloc(size ? size : 1));
  if (!copy) return 0;
  for (std::size_t i = 0; i < size; ++i) copy[i] = static_cast<char>(data[i]);
  std::string_view text(copy, size);

  if (const auto t = qv::engine::ParseTimeText(text)) {
    if (!qv::platform::IsValidSystemTime(*t) || t->year < 1970 || t->year > 2106 || t->day_of_week != 0 ||
        t->milliseconds != 0)
      std::abort();
  }
  const int month = qv::engine::MonthFromName(text);
  if (month < 0 || month > 12 || (month != 0 && size != 3)) std::abort();
  const std::string safe = qv::engine::SanitizeServerText(text, true);
  if (safe.size() != size) std::abort();
  for (std::size_t i = 0; i < safe.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(safe[i]);
    if ((c < 0x20 || c > 0x7E) && !(c == '\r' && i + 1 == size)) std::abort();
  }
  std::free(copy);
  return 0;
}
