// The transport: one query of one server by SNTP (UDP 123), TIME (TCP 37,
// RFC 868) or DAYTIME (TCP 13, RFC 867). Runs on the query runner's worker
// thread; the socket is closed on every path before the call returns.
#include <algorithm>
#include <chrono>
#include <optional>

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
  explicit Socket(platform::SocketKind kind) : opened_(platform::OpenSocket(kind)) {}
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

Reply ExchangeSntp(const QueryJob& job, platform::SocketHandle socket) {
  const SntpPacket request = SntpRequest(NowMicroTime());
  const SntpBytes out = EncodeSntp(request);
  const platform::NetResult<int> sent = platform::Send(socket, out.data(), kSntpPacketSize);
  if (sent.value < 0) return Fail(Stage::kSend, sent.error);
  if (sent.value != kSntpPacketSize) return Fail(Stage::kSendPacket, 0);

  const auto timeout = std::chrono::seconds(job.timeout);
  const platform::NetResult<NetWait> readable = platform::WaitReadable(socket, timeout, job.cancel);
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
Reply ReadStream(const QueryJob& job, platform::SocketHandle socket, std::size_t size, bool until_line_feed) {
  const Steady::time_point deadline = Steady::now() + std::chrono::seconds(job.timeout);
  Reply reply;
  while (reply.bytes.size() < size) {
    const platform::NetResult<NetWait> readable = platform::WaitReadable(socket, Left(deadline), job.cancel);
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

}  // namespace

Reply QueryServer(const QueryJob& job) {
  if (job.kind == JobKind::kTimeService) return AskTimeService(job);
  if (job.nts && job.protocol == kSntp) return QueryNtsServer(job);
  Transport transport{};
  if (!TransportFor(job.protocol, transport)) return Fail(Stage::kSocket, platform::kWsaEinval);

  // A dotted address makes no lookup.
  platform::Ipv4Endpoint server{0, transport.port};
  if (const std::optional<std::uint32_t> dotted = platform::ParseDottedIPv4(job.server)) {
    server.address = *dotted;
  } else {
    const platform::NetResult<std::uint32_t> found = platform::ResolveIPv4(job.server);
    if (found.error != 0) return Fail(Stage::kHostNotFound, found.error);
    server.address = found.value;
  }
  // The lookup cannot be interrupted; a query abandoned meanwhile stops here.
  if (job.cancel && job.cancel->Fired()) return Fail(Stage::kUserCancelled, 0);

  Socket socket(transport.kind);
  if (!socket.valid()) return Fail(Stage::kSocket, socket.error());
  // Streams connect, bounded by the system's own connect time-out. The
  // datagram socket connects too, so that only the server is heard: a
  // datagram from anywhere else neither ends the wait nor passes, and a
  // closed port fails at once.
  const platform::NetResult<NetWait> connected = platform::ConnectSocket(socket.get(), server, job.cancel);
  if (connected.value != NetWait::kReady) return FailWait(connected, Stage::kConnect);

  if (job.protocol != kSntp)
    return ReadStream(job, socket.get(), transport.reply_size, job.protocol == kDaytime);

  Reply reply = ExchangeSntp(job, socket.get());
  // Recorded before the believability checks, so that replies that fail
  // them are recorded too. The outcome travels with the reply: only the
  // program's dialog thread may tell the user.
  if (reply.ok() && !job.sntp_detail_log.empty())
    reply.detail_log =
        WriteSntpDetailLog(job.sntp_detail_log, job.server, reply.sntp, job.record_arrival ? &reply.arrival : nullptr);
  return reply;
}

}  // namespace qv::engine
