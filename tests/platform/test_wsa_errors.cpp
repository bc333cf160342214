// POSIX errors read as Windows Sockets numbers, so texts and logs show the
// same code on every OS.
#include <gtest/gtest.h>

#include <netdb.h>

#include <cerrno>

#include "platform/net.h"
#include "platform/posix/wsa_errors.h"

namespace qv::platform::posix {
namespace {

TEST(WsaErrors, ErrnoValuesMapToWindowsSocketsNumbers) {
  const struct {
    int errno_value;
    int wsa;
  } cases[] = {
      {0, 0},
      {ECONNREFUSED, 10061},
      {EMSGSIZE, 10040},
      {ETIMEDOUT, 10060},
      {ENETUNREACH, 10051},
      {EHOSTUNREACH, 10065},
      {EADDRINUSE, 10048},
      {ECONNRESET, 10054},
      {EINTR, 10004},
      {EAFNOSUPPORT, 10047},
      {EINVAL, 10022},
      {EACCES, 10013},
      {EPERM, 10013},
      {EMFILE, 10024},
      {EWOULDBLOCK, 10035},
      {EINPROGRESS, 10036},
      {ENOTSOCK, 10038},
      {EADDRNOTAVAIL, 10049},
      {ENOBUFS, 10055},
      {ENOTCONN, 10057},
      {EBADF, 10009},
      // No counterpart: the documented fallback, never a number that
      // would name some other socket error.
      {ENOENT, kWsaSyscallFailure},
      {EROFS, kWsaSyscallFailure},
  };
  for (const auto& c : cases) EXPECT_EQ(WsaErrorFromErrno(c.errno_value), c.wsa) << c.errno_value;
}

TEST(WsaErrors, LookupFailures) {
  EXPECT_EQ(WsaErrorFromLookup(0), 0);
  EXPECT_EQ(WsaErrorFromLookup(EAI_NONAME), 11001);
  EXPECT_EQ(WsaErrorFromLookup(EAI_AGAIN), 11002);
  EXPECT_EQ(WsaErrorFromLookup(EAI_FAIL), 11003);
  EXPECT_EQ(WsaErrorFromLookup(EAI_MEMORY), 11003);
}

}  // namespace
}  // namespace qv::platform::posix
