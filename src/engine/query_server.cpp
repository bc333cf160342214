// The transport: one query of one server by SNTP (UDP 123), TIME (TCP 37,
// RFC 868) or DAYTIME (TCP 13, RFC 867), over IPv4 or IPv6. Runs on the
// query runner's worker thread; every socket is closed on every path before
// the call returns.
#include <algorithm>
#include <chrono>
#include <optional>
#include <vector>

#include "engine/ntp.h"
#include "engine/nts_query.h"
#include "engine/query_job.h"
#include "engine/result_log.h"
#include "engine/sntp_packet.h"
#include "platform/cancel_signal.h"
#include "platform/clock.h"
#include "platform/net.h"
#include "platform/time_service.h"

namespace qv::engine {

namespace {

using platform::NetWait;
using Steady = std::chrono::steady_clock;

struct Transport {
  platform::SocketKind kind;
  std::uint16_t port;
  std::size_t reply_size;  // what is read at most
};

bool TransportFor(int protocol, Transport& out) {
  switch (protocol) {
    case kSntp: out = {platform::SocketKind::kDatagram, 123, kSntpPacketSize}; return true;
    case kTime: out = {platform::SocketKind::kStream, 37, 4}; return true;
    case kDaytime: out = {platform::SocketKind::kStream, 13, 512}; return true;
    default: return false;
  }
}

// The query's socket, closed when the query ends however it ends.
class Socket {
 public:
  Socket(platform::SocketKind kind, platform::AddressFamily family) : opened_(platform::OpenSocket(kind, family)) {}
  ~Socket() { platform::CloseSocket(opened_.value); }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  bool valid() const { return opened_.value != platform::kInvalidSocket; }
  int error() const { return opened_.error; }
  platform::SocketHandle get() const { return opened_.value; }

 private:
  platform::NetResult<platform::SocketHandle> opened_;
};

Reply Fail(Stage stage, int error) {
  Reply reply;
  reply.stage = stage;
  reply.error_code = error;
  return reply;
}

// A wait's outcome other than kReady as the stage it fails with.
Reply FailWait(platform::NetResult<NetWait> outcome, Stage failed_stage) {
  switch (outcome.value) {
    case NetWait::kCancelled: return Fail(Stage::kUserCancelled, 0);
    case NetWait::kTimedOut: return Fail(Stage::kTimeOut, 0);
    default: return Fail(failed_stage, outcome.error);
  }
}

std::chrono::milliseconds Left(Steady::time_point deadline) {
  return std::max(std::chrono::ceil<std::chrono::milliseconds>(deadline - Steady::now()),
                  std::chrono::milliseconds(0));
}

// When the arrival is stamped: by the kernel's stamp where there is one,
// else a reading taken at once after the receive.
MicroTime Arrival(std::int64_t kernel_stamp) {
  return MicroTimeFromFileTime(platform::SystemClock().ArrivalTime(kernel_stamp));
}

// A negative time-out stays negative, so that the wait refuses it.
std::chrono::milliseconds WaitUntil(const QueryJob& job, Steady::time_point until) {
  return job.timeout < 0 ? std::chrono::milliseconds(-1) : Left(until);
}

Reply ExchangeSntp(const QueryJob& job, platform::SocketHandle socket, Steady::time_point until) {
  const SntpPacket request = SntpRequest(NowMicroTime());
  const SntpBytes out = EncodeSntp(request);
  const platform::NetResult<int> sent = platform::Send(socket, out.data(), kSntpPacketSize);
  if (sent.value < 0) return Fail(Stage::kSend, sent.error);
  if (sent.value != kSntpPacketSize) return Fail(Stage::kSendPacket, 0);

  const platform::NetResult<NetWait> readable = platform::WaitReadable(socket, WaitUntil(job, until), job.cancel);
  if (readable.value != NetWait::kReady) return FailWait(readable, Stage::kSelect);
  // One datagram; one longer than 48 bytes fails the receive itself.
  SntpBytes in{};
  const platform::NetResult<platform::Received> received =
      platform::ReceiveDatagram(socket, in.data(), kSntpPacketSize);
  const MicroTime arrival = Arrival(received.value.arrival);
  if (received.value.size < 0) return Fail(Stage::kRecv, received.error);
  if (received.value.size != kSntpPacketSize) return Fail(Stage::kRecvPacket, 0);

  Reply reply;
  reply.arrival = arrival;
  reply.sntp = DecodeSntp(in);
  // RFC 4330 section 5: a reply whose originate timestamp is not our
  // transmit timestamp answers some other request.
  if (reply.sntp.originate != request.transmit) return Fail(Stage::kSntpIncorrectPacket, 0);
  return reply;
}

// Reads a stream until `size` bytes, the end of the stream, a line feed
// when `until_line_feed`, or the deadline.
Reply ReadStream(const QueryJob& job, platform::SocketHandle socket, std::size_t size, bool until_line_feed,
                 Steady::time_point deadline) {
  Reply reply;
  while (reply.bytes.size() < size) {
    const platform::NetResult<NetWait> readable = platform::WaitReadable(socket, WaitUntil(job, deadline), job.cancel);
    // What arrived before the time-out is judged as the answer.
    if (readable.value == NetWait::kTimedOut && !reply.bytes.empty()) break;
    if (readable.value != NetWait::kReady) return FailWait(readable, Stage::kSelect);
    std::uint8_t buffer[512];
    const std::size_t want = std::min(sizeof buffer, size - reply.bytes.size());
    const platform::NetResult<int> received = platform::Receive(socket, buffer, static_cast<int>(want));
    reply.arrival = Arrival(0);
    if (received.value < 0) return Fail(Stage::kRecv, received.error);
    if (received.value == 0) break;  // the server closed
    std::uint8_t* end = buffer + received.value;
    reply.bytes.insert(reply.bytes.end(), buffer, end);
    if (until_line_feed && std::find(buffer, end, '\n') != end) break;
  }
  return reply;
}

// The service's reply as the bytes that arrived, or why there is none.
Reply AskTimeService(const QueryJob& job) {
  const platform::ServiceCall call =
      platform::CallTimeService(job.service_request, std::chrono::seconds(std::max(job.timeout, 1)), job.cancel);
  Reply reply;
  reply.error_code = static_cast<int>(call.os_error);
  switch (call.end) {
    case platform::ServiceCallEnd::kAnswered: reply.bytes = call.reply; break;
    case platform::ServiceCallEnd::kCancelled: reply.stage = Stage::kUserCancelled; break;
    case platform::ServiceCallEnd::kNotInstalled:
      reply.stage = Stage::kClockSet;
      reply.service_refusal = platform::ClockRefusal::kHelperMissing;
      break;
    case platform::ServiceCallEnd::kNotAnswering:
      reply.stage = Stage::kClockSet;
      reply.service_refusal = platform::ClockRefusal::kHelperNotAnswering;
      break;
  }
  return reply;
}

// What one address answered, and whether the next address is asked
// instead: after a refusal, an unreachable address or silence within its
// share of the time, never after an answer of any kind.
struct Attempt {
  Reply reply;
  bool next = false;
};

Attempt AskAddress(const QueryJob& job, const Transport& transport, const platform::IpAddress& address,
                   Steady::time_point deadline, std::optional<Steady::time_point> share_end) {
  Attempt attempt;
  Socket socket(transport.kind, address.family);
  if (!socket.valid()) {
    attempt.reply = Fail(Stage::kSocket, socket.error());
    attempt.next = true;  // this system may have no such family
    return attempt;
  }
  // Streams connect, bounded by the system's own connect time-out, or for
  // one of several addresses by its share of the time. The datagram
  // socket connects too, so that only the server is heard: a datagram from
  // anywhere else neither ends the wait nor passes, and a closed port fails
  // at once.
  std::optional<std::chrono::milliseconds> within;
  if (share_end) within = Left(*share_end);
  const platform::NetResult<NetWait> connected =
      platform::ConnectSocket(socket.get(), {address, transport.port}, job.cancel, within);
  if (connected.value != NetWait::kReady) {
    attempt.reply = FailWait(connected, Stage::kConnect);
    attempt.next = connected.value != NetWait::kCancelled;
    return attempt;
  }
  if (job.protocol != kSntp) {
    attempt.reply = ReadStream(job, socket.get(), transport.reply_size, job.protocol == kDaytime, deadline);
    return attempt;
  }
  attempt.reply = ExchangeSntp(job, socket.get(), share_end.value_or(deadline));
  const Stage stage = attempt.reply.stage;
  // A closed port answers a datagram with "port unreachable" (10054).
  attempt.next = stage == Stage::kSend ||
                 (stage == Stage::kRecv && attempt.reply.error_code == platform::kWsaEconnreset) ||
                 (stage == Stage::kTimeOut && share_end);
  return attempt;
}

}  // namespace

Reply QueryServer(const QueryJob& job) {
  if (job.kind == JobKind::kTimeService) return AskTimeService(job);
  if (job.nts && job.protocol == kSntp) return QueryNtsServer(job);
  Transport transport{};
  if (!TransportFor(job.protocol, transport)) return Fail(Stage::kSocket, platform::kWsaEinval);

  // An address text (dotted IPv4, IPv6) makes no lookup.
  platform::NetResult<std::vector<platform::IpAddress>> found;
  if (const std::optional<platform::IpAddress> literal = platform::ParseIpLiteral(job.server))
    found.value.push_back(*literal);
  else
    found = platform::ResolveAddresses(job.server);
  if (found.error != 0 || found.value.empty())
    return Fail(Stage::kHostNotFound, found.error != 0 ? found.error : platform::kWsaHostNotFound);
  // The lookup cannot be interrupted; a query abandoned meanwhile stops here.
  if (job.cancel && job.cancel->Fired()) return Fail(Stage::kUserCancelled, 0);

  // The addresses in the resolver's order, all within the one time-out: an
  // address with others after it gets an equal share of the time left, the
  // last one all of it (its connect too, unless it is the only address, whose
  // connect only the system and the runner bound). The outcome is the last
  // address's.
  const Steady::time_point deadline = Steady::now() + std::chrono::seconds(std::max(job.timeout, 0));
  Reply reply;
  const std::size_t count = found.value.size();
  for (std::size_t i = 0; i < count; ++i) {
    std::optional<Steady::time_point> share_end;
    if (i + 1 < count)
      share_end = Steady::now() + (deadline - Steady::now()) / static_cast<int>(count - i);
    else if (count > 1)
      share_end = deadline;
    Attempt attempt = AskAddress(job, transport, found.value[i], deadline, share_end);
    reply = std::move(attempt.reply);
    reply.address = platform::AddressText(found.value[i]);
    if (!attempt.next) break;
  }

  // Recorded before the believability checks, so that replies that fail
  // them are recorded too. The outcome travels with the reply: only the
  // program's dialog thread may tell the user.
  if (reply.ok() && job.protocol == kSntp && !job.sntp_detail_log.empty())
    reply.detail_log = WriteSntpDetailLog(job.sntp_detail_log, ServerWithAddress(job.server, reply.address),
                                          reply.sntp, job.record_arrival ? &reply.arrival : nullptr);
  return reply;
}

}  // namespace qv::engine
