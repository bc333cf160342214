// Whatever a TIME, DAYTIME or SNTP server sends, turning it into a server
// time text stays inside the reply buffer, and a DAYTIME text is at most
// the first line of what arrived.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/query_job.h"
#include "engine/query_server_time.h"
#include "engine/run_query.h"

namespace {

const std::uint8_t* g_reply = nullptr;
std::size_t g_reply_size = 0;

// Stands in for the transport: the reply arrives whole, up to the
// receive length, and the query succeeds.
void DeliverReply(qv::engine::QueryJob& job) {
  const std::size_t size = std::min<std::size_t>(g_reply_size, static_cast<std::size_t>(job.reply_size));
  std::memcpy(job.reply, g_reply, size);
  job.result = 1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  static const bool installed = (qv::engine::SetQueryRunner(DeliverReply), true);
  (void)installed;
  const int protocol = data[0] % 3;
  g_reply = data + 1;
  g_reply_size = size - 1;

  std::string text, status;
  int error = 0;
  qv::engine::QueryServerTime(protocol, "fuzz", 1, 0, text, status, error);
  if (protocol == qv::engine::kDaytime) {
    const std::size_t received = std::min<std::size_t>(g_reply_size, 512);
    if (text.size() >= received && !text.empty()) __builtin_trap();
    if (text.find('\n') != std::string::npos) __builtin_trap();
    if (!text.empty() && std::memcmp(text.data(), g_reply, text.size()) != 0) __builtin_trap();
  }
  return 0;
}
