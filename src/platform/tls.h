// One TLS 1.3 request and answer over a connected stream socket, for the
// NTS key exchange: the server's certificate verified against the system's
// trust store or a PEM file, the host name checked, the protocol named by
// ALPN, and keys drawn from the session by the RFC 5705 exporter.
// Bounded by a deadline, a cancel signal and a size. Where the build has no
// TLS library the exchange fails as kUnavailable, never as a success.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/net.h"

namespace qv::platform {

class CancelSignal;

struct TlsRequest {
  std::string host;        // the name the certificate must carry (and SNI when a name)
  std::string trust_file;  // PEM certificates to trust; empty: the system's store
  std::string alpn;        // the one protocol offered; the server must choose it
  std::vector<std::uint8_t> message;
  std::size_t max_answer = 0;  // more than this fails
  // Whether the answer read so far is whole; reading stops when it is or
  // when the server closes.
  std::function<bool(const std::vector<std::uint8_t>&)> complete;
  std::string exporter_label;
  std::vector<std::vector<std::uint8_t>> exporter_contexts;  // one key each
  std::size_t key_size = 0;
};

enum class TlsEnd : std::uint8_t {
  kOk,
  kUnavailable,   // this build has no TLS
  kTrustFile,     // the named trust file could not be read
  kHandshake,     // TLS itself failed (detail: the library's text)
  kCertificate,   // the server's certificate is not trusted for the host
  kAlpn,          // the server did not choose the protocol
  kSend,
  kRecv,          // the read failed or the answer grew too large
  kTimedOut,
  kCancelled,
};

struct TlsAnswer {
  TlsEnd end = TlsEnd::kUnavailable;
  int error = 0;       // a Windows Sockets number where a socket call failed
  std::string detail;  // what failed, for the user and the log
  std::vector<std::uint8_t> answer;
  std::vector<std::vector<std::uint8_t>> keys;  // one per exporter context
};

TlsAnswer TlsExchange(SocketHandle connected, const TlsRequest& request, std::chrono::steady_clock::time_point deadline,
                      const CancelSignal* cancel);

}  // namespace qv::platform
