// Any server text either is no address, or is one whose numeric text reads
// back as the same address; and any text escapes into a JSON string that
// holds no raw control character and ends where it should.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "cli/cli_report.h"
#include "platform/net.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (const auto address = qv::platform::ParseIpLiteral(text)) {
    const std::string shown = qv::platform::AddressText(*address);
    const auto again = qv::platform::ParseIpLiteral(shown);
    if (!again || !(*again == *address) || qv::platform::AddressText(*again) != shown) std::abort();
  }
  const std::string json = qv::cli::JsonString(text);
  if (json.size() < 2 || json.front() != '"' || json.back() != '"') std::abort();
  for (std::size_t i = 1; i + 1 < json.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(json[i]);
    if (c < 0x20) std::abort();
    if (c == '\\') ++i;  // the escaped character
    else if (c == '"') std::abort();
  }
  return 0;
}
