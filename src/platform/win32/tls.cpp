// This build carries no TLS library: the key exchange fails, saying so.
#include "platform/tls.h"

namespace qv::platform {

TlsAnswer TlsExchange(SocketHandle, const TlsRequest&, std::chrono::steady_clock::time_point, const CancelSignal*) {
  TlsAnswer answer;
  answer.end = TlsEnd::kUnavailable;
  answer.detail = "not available in this build";
  return answer;
}

}  // namespace qv::platform
