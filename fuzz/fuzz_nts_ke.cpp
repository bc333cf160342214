// An arbitrary key exchange answer, in one piece and cut where the bytes
// say: decoding never reads outside them, a decoded answer keeps the
// bounds (at most eight cookies, none empty or oversized, a port that is
// not 0), and the completeness test agrees with the decoder: what decodes
// was complete.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "engine/nts_ke.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::engine;
  const std::vector<std::uint8_t> bytes(data, data + size);
  const NtsKeDecoded decoded = DecodeNtsKeResponse(bytes);
  if (decoded.response) {
    if (decoded.response->cookies.empty() || decoded.response->cookies.size() > kNtsMaxCookies) std::abort();
    for (const auto& cookie : decoded.response->cookies)
      if (cookie.empty() || cookie.size() > kNtsMaxCookieSize) std::abort();
    if (decoded.response->port && *decoded.response->port == 0) std::abort();
    if (!NtsKeMessageComplete(bytes)) std::abort();
  } else if (decoded.error.empty()) {
    std::abort();
  }
  return 0;
}
