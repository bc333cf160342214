// POSIX errors read as Windows Sockets numbers, so texts and logs show the
// same code on every OS.
#include <gtest/gtest.h>

#include <netdb.h>

#include <cerrno>

#include "platform/net.h"
#include "platform/posix/wsa_errors.h"

namespace qv::platform::posix {
namespace {

TEST(WsaErrors, ErrnoAndLookupFailuresMapToWindowsSocketsNumbers) {
  const std::pair<int, int> errnos[] = {
      {0, 0},           {ECONNREFUSED, 10061}, {EMSGSIZE, 10040},    {ETIMEDOUT, 10060}, {EHOSTUNREACH, 10065},
      {ECONNRESET, 10054}, {EINTR, 10004},     {EINVAL, 10022},      {EACCES, 10013},    {EPERM, 10013},
      {EWOULDBLOCK, 10035}, {EBADF, 10009},    {EADDRINUSE, 10048},
      // No counterpart: the documented fallback, never a number that
      // would name some other socket error.
      {ENOENT, kWsaSyscallFailure}, {EROFS, kWsaSyscallFailure},
  };
  for (const auto& [errno_value, wsa] : errnos) EXPECT_EQ(WsaErrorFromErrno(errno_value), wsa) << errno_value;

  const std::pair<int, int> lookups[] = {{0, 0}, {EAI_NONAME, 11001}, {EAI_AGAIN, 11002}, {EAI_FAIL, 11003}};
  for (const auto& [code, wsa] : lookups) EXPECT_EQ(WsaErrorFromLookup(code), wsa) << code;
}

}  // namespace
}  // namespace qv::platform::posix
