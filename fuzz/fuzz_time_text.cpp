// ParseTimeText and MonthFromName on arbitrary bytes: nothing read beyond
// the text, and no text yields fields it does not give.
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

  qv::platform::SystemTime t = qv::engine::ParseTimeText(text);
  if (t.month > 12 || t.day_of_week != 0 || t.milliseconds != 0) std::abort();
  int month = qv::engine::MonthFromName(text);
  if (month < 0 || month > 12 || (month != 0 && size != 3)) std::abort();

  std::free(copy);
  return 0;
}
