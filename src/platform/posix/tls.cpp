// The TLS exchange through GnuTLS on a non-blocking socket, so that every
// wait can also watch the deadline and the cancel signal.
#include "platform/tls.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gnutls/gnutls.h>
#include <gnutls/x509.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <memory>
#include <type_traits>

#include "platform/cancel_signal.h"
#include "platform/posix/wsa_errors.h"

namespace qv::platform {

namespace {

using Steady = std::chrono::steady_clock;

int Fd(SocketHandle socket) { return static_cast<int>(socket - 1); }

// Restores the socket's blocking mode however the exchange ends.
class NonBlocking {
 public:
  explicit NonBlocking(int fd) : fd_(fd), flags_(fcntl(fd, F_GETFL)) {
    ok_ = flags_ >= 0 && fcntl(fd, F_SETFL, flags_ | O_NONBLOCK) == 0;
  }
  ~NonBlocking() {
    if (ok_) fcntl(fd_, F_SETFL, flags_);
  }
  NonBlocking(const NonBlocking&) = delete;
  NonBlocking& operator=(const NonBlocking&) = delete;
  bool ok() const { return ok_; }

 private:
  int fd_;
  int flags_;
  bool ok_ = false;
};

// GnuTLS's objects, freed however the exchange ends.
using Credentials = std::unique_ptr<std::remove_pointer_t<gnutls_certificate_credentials_t>,
                                    decltype(&gnutls_certificate_free_credentials)>;
using Session = std::unique_ptr<std::remove_pointer_t<gnutls_session_t>, decltype(&gnutls_deinit)>;

Credentials NewCredentials() {
  gnutls_certificate_credentials_t handle = nullptr;
  if (gnutls_certificate_allocate_credentials(&handle) != 0) handle = nullptr;
  return {handle, &gnutls_certificate_free_credentials};
}

Session NewSession() {
  gnutls_session_t handle = nullptr;
  if (gnutls_init(&handle, GNUTLS_CLIENT | GNUTLS_NONBLOCK) != 0) handle = nullptr;
  return {handle, &gnutls_deinit};
}

TlsAnswer End(TlsEnd end, std::string detail, int error = 0) {
  TlsAnswer answer;
  answer.end = end;
  answer.error = error;
  answer.detail = std::move(detail);
  return answer;
}

// Waits until the session's socket can go on in the direction GnuTLS last
// wanted; an answer of kOk means go on.
TlsAnswer Wait(gnutls_session_t session, int fd, Steady::time_point deadline, const CancelSignal* cancel) {
  const short events = gnutls_record_get_direction(session) == 1 ? POLLOUT : POLLIN;
  const int cancel_fd = cancel ? static_cast<int>(cancel->NativeHandle()) : -1;
  for (;;) {
    if (cancel && cancel->Fired()) return End(TlsEnd::kCancelled, {});
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()).count();
    if (left <= 0) return End(TlsEnd::kTimedOut, {});
    int slice = static_cast<int>(std::min<long long>(left, INT_MAX));
    if (cancel && cancel_fd < 0) slice = std::min(slice, 100);
    pollfd fds[2] = {{fd, events, 0}, {cancel_fd, POLLIN, 0}};
    const int count = poll(fds, cancel_fd >= 0 ? 2 : 1, slice);
    if (count < 0) {
      if (errno == EINTR) continue;
      return End(TlsEnd::kRecv, {}, posix::WsaErrorFromErrno(errno));
    }
    if (count > 0 && fds[0].revents != 0) return End(TlsEnd::kOk, {});
  }
}

bool IsAddress(const std::string& host) {
  unsigned char buffer[16];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 || inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

std::string CertificateStatusText(gnutls_session_t session) {
  const unsigned status = gnutls_session_get_verify_cert_status(session);
  gnutls_datum_t text{};
  if (gnutls_certificate_verification_status_print(status, GNUTLS_CRT_X509, &text, 0) != 0) return "not trusted";
  std::string out(reinterpret_cast<const char*>(text.data), text.size);
  gnutls_free(text.data);
  while (!out.empty() && (out.back() == ' ' || out.back() == '\n')) out.pop_back();
  return out;
}

}  // namespace

TlsAnswer TlsExchange(SocketHandle connected, const TlsRequest& request, Steady::time_point deadline,
                      const CancelSignal* cancel) {
  const int fd = Fd(connected);
  const Credentials credentials = NewCredentials();
  const Session session = NewSession();
  if (!credentials.get() || !session.get()) return End(TlsEnd::kHandshake, "no TLS session");
  const gnutls_session_t s = session.get();

  if (request.trust_file.empty()) {
    if (gnutls_certificate_set_x509_system_trust(credentials.get()) <= 0)
      return End(TlsEnd::kTrustFile, "the system trust store holds no certificate");
  } else if (gnutls_certificate_set_x509_trust_file(credentials.get(), request.trust_file.c_str(),
                                                    GNUTLS_X509_FMT_PEM) <= 0) {
    return End(TlsEnd::kTrustFile, "no certificate read from " + request.trust_file);
  }
  // RFC 8915 section 3: TLS 1.3 or later only.
  if (gnutls_priority_set_direct(s, "NORMAL:-VERS-ALL:+VERS-TLS1.3", nullptr) != 0 ||
      gnutls_credentials_set(s, GNUTLS_CRD_CERTIFICATE, credentials.get()) != 0)
    return End(TlsEnd::kHandshake, "TLS 1.3 not available");
  if (!IsAddress(request.host))
    gnutls_server_name_set(s, GNUTLS_NAME_DNS, request.host.data(), request.host.size());
  // The chain and the host name (or address) are checked in the handshake.
  gnutls_session_set_verify_cert(s, request.host.c_str(), 0);
  gnutls_datum_t alpn{reinterpret_cast<unsigned char*>(const_cast<char*>(request.alpn.data())),
                      static_cast<unsigned>(request.alpn.size())};
  gnutls_alpn_set_protocols(s, &alpn, 1, GNUTLS_ALPN_MANDATORY);
  gnutls_transport_set_int(s, fd);

  // The handshake's last flight and the request go out as two small
  // writes: without this the second waits for the server's delayed ACK.
  const int no_delay = 1;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &no_delay, sizeof no_delay);
  NonBlocking non_blocking(fd);
  if (!non_blocking.ok()) return End(TlsEnd::kHandshake, "socket mode", posix::WsaErrorFromErrno(errno));

  for (;;) {
    const int rc = gnutls_handshake(s);
    if (rc == GNUTLS_E_SUCCESS) break;
    if (rc == GNUTLS_E_AGAIN || rc == GNUTLS_E_INTERRUPTED) {
      TlsAnswer waited = Wait(s, fd, deadline, cancel);
      if (waited.end != TlsEnd::kOk) return waited;
      continue;
    }
    if (rc == GNUTLS_E_CERTIFICATE_VERIFICATION_ERROR) return End(TlsEnd::kCertificate, CertificateStatusText(s));
    if (rc == GNUTLS_E_NO_APPLICATION_PROTOCOL) return End(TlsEnd::kAlpn, "the server does not offer " + request.alpn);
    if (gnutls_error_is_fatal(rc)) return End(TlsEnd::kHandshake, gnutls_strerror(rc));
  }
  gnutls_datum_t chosen{};
  if (gnutls_alpn_get_selected_protocol(s, &chosen) != 0 ||
      std::string(reinterpret_cast<const char*>(chosen.data), chosen.size) != request.alpn)
    return End(TlsEnd::kAlpn, "the server did not choose " + request.alpn);

  TlsAnswer answer;
  for (const std::vector<std::uint8_t>& context : request.exporter_contexts) {
    std::vector<std::uint8_t> key(request.key_size);
    if (gnutls_prf_rfc5705(s, request.exporter_label.size(), request.exporter_label.data(), context.size(),
                           reinterpret_cast<const char*>(context.data()), key.size(),
                           reinterpret_cast<char*>(key.data())) != 0)
      return End(TlsEnd::kHandshake, "no keys exported");
    answer.keys.push_back(std::move(key));
  }

  std::size_t sent = 0;
  while (sent < request.message.size()) {
    const ssize_t rc = gnutls_record_send(s, request.message.data() + sent, request.message.size() - sent);
    if (rc > 0) {
      sent += static_cast<std::size_t>(rc);
    } else if (rc == GNUTLS_E_AGAIN || rc == GNUTLS_E_INTERRUPTED) {
      TlsAnswer waited = Wait(s, fd, deadline, cancel);
      if (waited.end != TlsEnd::kOk) return waited;
    } else {
      return End(TlsEnd::kSend, gnutls_strerror(static_cast<int>(rc)));
    }
  }

  while (!request.complete || !request.complete(answer.answer)) {
    std::uint8_t buffer[4096];
    const ssize_t rc = gnutls_record_recv(s, buffer, sizeof buffer);
    if (rc > 0) {
      answer.answer.insert(answer.answer.end(), buffer, buffer + rc);
      if (answer.answer.size() > request.max_answer) return End(TlsEnd::kRecv, "answer too large");
    } else if (rc == 0 || rc == GNUTLS_E_PREMATURE_TERMINATION) {
      break;  // the server closed; the caller judges what came
    } else if (rc == GNUTLS_E_AGAIN || rc == GNUTLS_E_INTERRUPTED) {
      TlsAnswer waited = Wait(s, fd, deadline, cancel);
      if (waited.end != TlsEnd::kOk) return waited;
    } else {
      return End(TlsEnd::kRecv, gnutls_strerror(static_cast<int>(rc)));
    }
  }
  answer.end = TlsEnd::kOk;
  return answer;
}

}  // namespace qv::platform
