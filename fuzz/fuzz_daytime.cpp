// Whatever a TIME, DAYTIME or SNTP server sends, a check and an adjustment
// through the engine's operations: the texts that come back are safe to
// show, and the clock is only ever set to what the server time text reads
// as a whole (first byte: the protocol; the rest: what arrived).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/operations.h"
#include "engine/run_query.h"
#include "engine/time_text.h"
#include "platform/clock.h"
#include "platform/test_seams.h"

namespace {

using qv::platform::SystemTime;

// A clock that reads 2026 and records what would be set.
class RecordingClock final : public qv::platform::Clock {
 public:
  std::int64_t UtcFileTime() override { return qv::platform::kFileTimeUnixEpoch + 1796556966LL * 10000000; }
  SystemTime LocalTime() override { return {2026, 12, 0, 6, 20, 36, 6, 0}; }
  qv::platform::ClockSet SetUtc(const SystemTime& t) override { return Record(t); }
  qv::platform::ClockSet SetLocal(const SystemTime& t) override { return Record(t); }
  std::vector<SystemTime> sets;

 private:
  qv::platform::ClockSet Record(const SystemTime& t) {
    if (!qv::platform::IsValidSystemTime(t)) std::abort();  // the engine refuses such times itself
    sets.push_back(t);
    return {};
  }
};

qv::engine::Reply g_reply;

bool Safe(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if ((c < 0x20 || c > 0x7E) && !(c == '\r' && i + 1 == text.size())) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace qv::engine;
  if (size < 1) return 0;
  static RecordingClock clock;
  static const bool installed = (qv::platform::SetClockForTesting(&clock),
                                 SetQueryRunner([](const QueryJob&) { return g_reply; }), true);
  (void)installed;

  const int protocol = data[0] % 3;
  g_reply = Reply{};
  const std::size_t limit = protocol == qv::kTime ? 4 : protocol == qv::kDaytime ? 512 : kSntpPacketSize;
  g_reply.bytes.assign(data + 1, data + 1 + std::min(size - 1, limit));
  if (protocol == qv::kSntp) {
    SntpBytes bytes{};
    std::copy(g_reply.bytes.begin(), g_reply.bytes.end(), bytes.begin());
    g_reply.sntp = DecodeSntp(bytes);
  }

  Request request;
  request.protocol = protocol;
  request.server = "fuzz";
  for (const bool adjust : {false, true}) {
    clock.sets.clear();
    const Result result = adjust ? Adjust(request) : Check(request);
    if (!Safe(result.server_time) || !Safe(result.detail) || !Safe(result.status)) __builtin_trap();
    if (result.status != (result.ok() ? "OK" : "ERROR (" + std::string(StageName(result.stage)) + ")"))
      __builtin_trap();
    if (!adjust || !result.ok()) {
      if (!clock.sets.empty()) __builtin_trap();
    } else if (protocol != qv::kSntp) {
      const auto shown = ParseTimeText(result.server_time);
      if (!shown || clock.sets.size() != 1 || !(clock.sets[0] == *shown)) __builtin_trap();
    }
    if (protocol == qv::kDaytime && result.ok()) {
      // At most the first line of what arrived, its control bytes replaced.
      const std::string received(g_reply.bytes.begin(), g_reply.bytes.end());
      const std::size_t line_feed = received.find('\n');
      if (line_feed == std::string::npos || result.server_time != SanitizeServerText(received.substr(0, line_feed), true))
        __builtin_trap();
    }
  }
  return 0;
}
