// The NTS client: key exchange (RFC 8915 section 4) and the authenticated
// NTP exchange (section 5), on the query's worker thread.
#include "engine/nts_query.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <variant>

#include "engine/ntp.h"
#include "engine/nts_ke.h"
#include "engine/nts_packet.h"
#include "engine/result_log.h"
#include "platform/aead.h"
#include "platform/cancel_signal.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/tls.h"

namespace qv::engine {

namespace {

using Steady = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint16_t kNtpPort = 123;
constexpr std::uint8_t kNtpVersion4 = 4;

// What one key exchange gave: the keys, where to ask, and unused cookies.
struct NtsSession {
  Bytes c2s_key;
  Bytes s2c_key;
  std::string ntp_server;
  std::uint16_t ntp_port = kNtpPort;
  std::deque<Bytes> cookies;
};

// One query's share of a session: a cookie taken out (never to be used
// again) and copies of the keys, so that an abandoned worker touches only
// what it owns and the store, which lives as long as the process.
struct Ticket {
  Bytes cookie;
  Bytes c2s_key;
  Bytes s2c_key;
  std::string ntp_server;
  std::uint16_t ntp_port = kNtpPort;
  int placeholders = 0;
};

class SessionStore {
 public:
  std::optional<Ticket> Take(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = sessions_.find(key);
    if (found == sessions_.end() || found->second.cookies.empty()) return std::nullopt;
    NtsSession& session = found->second;
    Ticket ticket{session.cookies.front(), session.c2s_key, session.s2c_key, session.ntp_server, session.ntp_port, 0};
    session.cookies.pop_front();
    ticket.placeholders = Placeholders(session.cookies.size());
    return ticket;
  }
  // A fresh session replaces the old; its first cookie goes to the caller.
  Ticket Start(const std::string& key, NtsSession session) {
    std::lock_guard<std::mutex> lock(mutex_);
    Ticket ticket{session.cookies.front(), session.c2s_key, session.s2c_key, session.ntp_server, session.ntp_port, 0};
    session.cookies.pop_front();
    ticket.placeholders = Placeholders(session.cookies.size());
    sessions_[key] = std::move(session);
    ++exchanges_;
    return ticket;
  }
  // New cookies count only for the session whose keys they were made with.
  void Refill(const std::string& key, const Ticket& ticket, std::vector<Bytes> cookies) {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = sessions_.find(key);
    if (found == sessions_.end() || found->second.c2s_key != ticket.c2s_key) return;
    for (Bytes& cookie : cookies)
      if (found->second.cookies.size() < kNtsMaxCookies) found->second.cookies.push_back(std::move(cookie));
  }
  void Drop(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.erase(key);
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.clear();
  }
  std::uint64_t exchanges() const { return exchanges_.load(); }

 private:
  // Section 5.7: ask for as many cookies as keep the supply full.
  static int Placeholders(std::size_t left) {
    return static_cast<int>(kNtsMaxCookies - 1 - std::min(left, kNtsMaxCookies - 1));
  }
  std::mutex mutex_;
  std::map<std::string, NtsSession> sessions_;
  std::atomic<std::uint64_t> exchanges_{0};
};

// Never destroyed: a worker abandoned at the program's end may still use it.
SessionStore& Store() {
  static SessionStore* store = new SessionStore;
  return *store;
}

Reply Fail(Stage stage, int error, std::string detail) {
  Reply reply;
  reply.stage = stage;
  reply.error_code = error;
  reply.detail = std::move(detail);
  return reply;
}

std::string WithError(const std::string& what, int error) { return what + ", error " + std::to_string(error); }

// The query's socket, opened for the family of the address it connects to
// and closed however the query ends.
class Socket {
 public:
  explicit Socket(platform::SocketKind kind) : kind_(kind) {}
  ~Socket() { platform::CloseSocket(opened_.value); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  bool Open(platform::AddressFamily family) {
    opened_ = platform::OpenSocket(kind_, family);
    return opened_.value != platform::kInvalidSocket;
  }
  int error() const { return opened_.error; }
  platform::SocketHandle get() const { return opened_.value; }

 private:
  platform::SocketKind kind_;
  platform::NetResult<platform::SocketHandle> opened_{platform::kNoSocket, 0};
};

// An address text makes no lookup; a name takes the resolver's first.
platform::NetResult<platform::IpAddress> Resolve(const std::string& name) {
  if (const std::optional<platform::IpAddress> literal = platform::ParseIpLiteral(name)) return {*literal, 0};
  platform::NetResult<std::vector<platform::IpAddress>> found = platform::ResolveAddresses(name);
  if (found.error != 0 || found.value.empty()) return {{}, found.error != 0 ? found.error : platform::kWsaHostNotFound};
  return {found.value.front(), 0};
}

// Opens and connects a socket to name:port, or says why not.
std::optional<Reply> Connect(Socket& socket, const std::string& name, std::uint16_t port, const QueryJob& job,
                             Stage connect_stage, const char* what) {
  const platform::NetResult<platform::IpAddress> address = Resolve(name);
  if (address.error != 0) return Fail(Stage::kHostNotFound, address.error, std::to_string(address.error));
  if (job.cancel && job.cancel->Fired()) return Fail(Stage::kUserCancelled, 0, {});
  if (!socket.Open(address.value.family)) return Fail(Stage::kSocket, socket.error(), std::to_string(socket.error()));
  const platform::NetResult<platform::NetWait> connected =
      platform::ConnectSocket(socket.get(), platform::Endpoint{address.value, port}, job.cancel);
  if (connected.value == platform::NetWait::kCancelled) return Fail(Stage::kUserCancelled, 0, {});
  if (connected.value != platform::NetWait::kReady)
    return Fail(connect_stage, connected.error, WithError(std::string(what) + ": no connection", connected.error));
  return std::nullopt;
}

// The key exchange with job.server: a session, or the failure.
std::variant<NtsSession, Reply> KeyExchange(const QueryJob& job, Steady::time_point deadline) {
  Socket socket(platform::SocketKind::kStream);
  if (std::optional<Reply> failed = Connect(socket, job.server, kNtsKeDefaultPort, job, Stage::kNtsKeyExchange,
                                            "key exchange"))
    return *failed;

  platform::TlsRequest request;
  request.host = job.server;
  request.trust_file = job.nts_trust_file;
  request.alpn = "ntske/1";
  request.message = EncodeNtsKeRequest();
  request.max_answer = kNtsKeMaxResponse;
  request.complete = NtsKeMessageComplete;
  // Section 5.1: the exporter's context is the protocol (NTPv4), the AEAD
  // algorithm and 0 for the client-to-server key, 1 for the other.
  request.exporter_label = "EXPORTER-network-time-security";
  request.exporter_contexts = {{0x00, 0x00, 0x00, 0x0F, 0x00}, {0x00, 0x00, 0x00, 0x0F, 0x01}};
  request.key_size = platform::kSivKeySize;
  platform::TlsAnswer answer = platform::TlsExchange(socket.get(), request, deadline, job.cancel);

  switch (answer.end) {
    case platform::TlsEnd::kOk: break;
    case platform::TlsEnd::kCancelled: return Fail(Stage::kUserCancelled, 0, {});
    case platform::TlsEnd::kTimedOut: return Fail(Stage::kTimeOut, 0, "key exchange");
    case platform::TlsEnd::kTrustFile:
    case platform::TlsEnd::kCertificate: return Fail(Stage::kNtsCertificate, 0, answer.detail);
    default: return Fail(Stage::kNtsKeyExchange, answer.error, answer.detail);
  }
  NtsKeDecoded decoded = DecodeNtsKeResponse(answer.answer);
  if (!decoded.response) return Fail(Stage::kNtsKeyExchange, 0, decoded.error);
  NtsSession session;
  session.c2s_key = std::move(answer.keys.at(0));
  session.s2c_key = std::move(answer.keys.at(1));
  session.ntp_server = decoded.response->server.empty() ? job.server : decoded.response->server;
  session.ntp_port = decoded.response->port.value_or(kNtpPort);
  session.cookies.assign(decoded.response->cookies.begin(), decoded.response->cookies.end());
  return session;
}

struct Exchanged {
  Reply reply;
  bool nak = false;  // the server no longer knows the cookie's key
};

// One authenticated NTP request and its reply.
Exchanged ExchangeNtp(const QueryJob& job, const std::string& key, const Ticket& ticket, Steady::time_point deadline) {
  Socket socket(platform::SocketKind::kDatagram);
  if (std::optional<Reply> failed = Connect(socket, ticket.ntp_server, ticket.ntp_port, job, Stage::kConnect, "NTP"))
    return {*failed};

  NtsRequestParts parts;
  SntpPacket header = SntpRequest(NowMicroTime());
  header.version = kNtpVersion4;  // extension fields are NTPv4's
  parts.header = EncodeSntp(header);
  parts.unique_id.resize(kNtsUniqueIdSize);
  parts.nonce.resize(kNtsNonceSize);
  parts.cookie = ticket.cookie;
  parts.placeholders = ticket.placeholders;
  if (!platform::RandomBytes(parts.unique_id.data(), parts.unique_id.size()) ||
      !platform::RandomBytes(parts.nonce.data(), parts.nonce.size()))
    return {Fail(Stage::kNtsAuthenticator, 0, "no random numbers in this build")};
  const std::optional<Bytes> request = EncodeNtsRequest(parts, ticket.c2s_key);
  if (!request) return {Fail(Stage::kNtsAuthenticator, 0, "the request could not be sealed")};

  const platform::NetResult<int> sent =
      platform::Send(socket.get(), request->data(), static_cast<int>(request->size()));
  if (sent.value < 0) return {Fail(Stage::kSend, sent.error, std::to_string(sent.error))};
  if (sent.value != static_cast<int>(request->size())) return {Fail(Stage::kSendPacket, 0, {})};

  const auto left = std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()),
                             std::chrono::milliseconds(0));
  const platform::NetResult<platform::NetWait> readable = platform::WaitReadable(socket.get(), left, job.cancel);
  switch (readable.value) {
    case platform::NetWait::kReady: break;
    case platform::NetWait::kCancelled: return {Fail(Stage::kUserCancelled, 0, {})};
    case platform::NetWait::kTimedOut: return {Fail(Stage::kTimeOut, 0, {})};
    default: return {Fail(Stage::kSelect, readable.error, std::to_string(readable.error))};
  }
  Bytes in(kNtsMaxDatagram);
  const platform::NetResult<platform::Received> received =
      platform::ReceiveDatagram(socket.get(), in.data(), static_cast<int>(in.size()));
  const MicroTime arrival = MicroTimeFromFileTime(platform::SystemClock().ArrivalTime(received.value.arrival));
  if (received.value.size < 0) return {Fail(Stage::kRecv, received.error, std::to_string(received.error))};
  in.resize(static_cast<std::size_t>(received.value.size));

  NtsReplyOpened opened = OpenNtsReply(in, parts.unique_id, ticket.s2c_key);
  switch (opened.check) {
    case NtsReplyCheck::kOk: break;
    case NtsReplyCheck::kNak: return {Fail(Stage::kNtsAuthenticator, 0, "NTS NAK: the server refused the cookie"), true};
    case NtsReplyCheck::kMalformed:
      return {Fail(Stage::kNtsAuthenticator, 0, "no valid extension fields in the reply")};
    case NtsReplyCheck::kOtherRequest:
      return {Fail(Stage::kNtsAuthenticator, 0, "the reply's unique identifier is not the request's")};
    case NtsReplyCheck::kNoAuthenticator: return {Fail(Stage::kNtsAuthenticator, 0, "the reply has no authenticator")};
    case NtsReplyCheck::kBadAuthenticator:
      return {Fail(Stage::kNtsAuthenticator, 0, "the reply's authenticator does not verify")};
  }
  Store().Refill(key, ticket, std::move(opened.cookies));

  Exchanged done;
  done.reply.sntp = DecodeSntp(opened.header);
  done.reply.arrival = arrival;
  // RFC 4330 section 5 still holds inside the authenticated message.
  if (done.reply.sntp.originate != header.transmit) return {Fail(Stage::kSntpIncorrectPacket, 0, {})};
  done.reply.authenticated = true;
  if (!job.sntp_detail_log.empty())
    done.reply.detail_log =
        WriteSntpDetailLog(job.sntp_detail_log, job.server, done.reply.sntp, job.record_arrival ? &done.reply.arrival : nullptr);
  return done;
}

}  // namespace

Reply QueryNtsServer(const QueryJob& job) {
  if (!platform::AeadAvailable()) return Fail(Stage::kNtsKeyExchange, 0, "not available in this build");
  const Steady::time_point deadline = Steady::now() + std::chrono::seconds(job.timeout);
  const std::string key = job.server + '\n' + job.nts_trust_file;

  // A kept session's cookie first; a NAK for it (the server changed its
  // keys) drops the session and the query goes on with a new exchange.
  if (std::optional<Ticket> kept = Store().Take(key)) {
    Exchanged first = ExchangeNtp(job, key, *kept, deadline);
    if (!first.nak) return first.reply;
    Store().Drop(key);
  }
  std::variant<NtsSession, Reply> exchanged = KeyExchange(job, deadline);
  if (Reply* failed = std::get_if<Reply>(&exchanged)) return *failed;
  const Ticket ticket = Store().Start(key, std::move(std::get<NtsSession>(exchanged)));
  Exchanged fresh = ExchangeNtp(job, key, ticket, deadline);
  // A NAK right after the exchange: this session is no good either.
  if (fresh.nak) Store().Drop(key);
  return fresh.reply;
}

std::uint64_t NtsKeyExchangeCount() { return Store().exchanges(); }
void ForgetNtsSessions() { Store().Clear(); }

}  // namespace qv::engine
