#include "platform/posix/wsa_errors.h"

#include <netdb.h>

#include <cerrno>

#include "platform/net.h"

namespace qv::platform::posix {

int WsaErrorFromErrno(int errno_value) {
  switch (errno_value) {
    case 0: return 0;
    case EINTR: return kWsaEintr;
    case EBADF: return kWsaEbadf;
    case EACCES:
    case EPERM: return kWsaEacces;  // a firewall refusing a send reads EPERM
    case EFAULT: return 10014;
    case EINVAL: return kWsaEinval;
    case EMFILE:
    case ENFILE: return kWsaEmfile;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK:
#endif
    case EAGAIN: return 10035;
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return kWsaEmsgsize;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
#if EOPNOTSUPP != ENOTSUP
    case ENOTSUP:
#endif
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return kWsaEafnosupport;
    case EADDRINUSE: return kWsaEaddrinuse;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return kWsaEnetunreach;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return kWsaEconnreset;
    case ENOBUFS:
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN:
    case EPIPE: return 10058;  // sending on a connection already shut down
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return kWsaEtimedout;
    case ECONNREFUSED: return kWsaEconnrefused;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return kWsaEhostunreach;
    default: return kWsaSyscallFailure;
  }
}

int WsaErrorFromLookup(int gai_result) {
  switch (gai_result) {
    case 0: return 0;
    case EAI_NONAME: return kWsaHostNotFound;
    case EAI_AGAIN: return kWsaTryAgain;
    default: return kWsaNoRecovery;
  }
}

}  // namespace qv::platform::posix
