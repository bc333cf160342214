// The transport: one query of one server by SNTP (UDP 123), TIME (TCP 37,
// RFC 868) or DAYTIME (TCP 13, RFC 867). Runs on the query runner's worker
// thread and closes its own socket on every path.
#include <cstring>

#include "engine/environment.h"
#include "engine/query_job.h"
#include "engine/result_log.h"
#include "engine/sntp.h"
#include "platform/cancel_signal.h"
#include "platform/clock.h"
#include "platform/net.h"

namespace qv::engine {

namespace {

using platform::NetWait;

struct Transport {
  platform::SocketKind kind;
  std::uint16_t port;
};

bool TransportFor(int protocol, Transport& out) {
  switch (protocol) {
    case kSntp: out = {platform::SocketKind::kDatagram, 123}; return true;
    case kTime: out = {platform::SocketKind::kStream, 37}; return true;
    case kDaytime: out = {platform::SocketKind::kStream, 13}; return true;
    default: return false;
  }
}

// The job's outputs, with scratch places when a caller passed none.
struct Outputs {
  std::string& status;
  int& error_code;
};

int Fail(QueryJob& job, Outputs& out, const char* stage, int error) {
  out.status = stage;
  out.error_code = error;
  CloseQuerySocket(job);
  return 0;
}

bool Cancelled(const QueryJob& job) { return job.cancel && job.cancel->Fired(); }

// A wait's outcome other than kReady as the stage it fails with.
int FailWait(QueryJob& job, Outputs& out, NetWait outcome, const char* failed_stage, int error) {
  switch (outcome) {
    case NetWait::kCancelled: return Fail(job, out, "UserCancelled", 0);
    case NetWait::kTimedOut: return Fail(job, out, "TimeOut", 0);
    default: return Fail(job, out, failed_stage, error);
  }
}

}  // namespace

void CloseQuerySocket(QueryJob& job) {
  platform::CloseSocket(job.socket);
  job.socket = platform::kNoSocket;
}

int QueryServer(QueryJob& job) {
  std::string scratch_status;
  int scratch_error = 0;
  Outputs out{job.status ? *job.status : scratch_status, job.error_code ? *job.error_code : scratch_error};

  // A protocol without a transport, or a buffer that cannot take its reply,
  // is the caller's mistake: refuse it before any socket exists.
  Transport transport{};
  const bool sntp = job.protocol == kSntp;
  if (!TransportFor(job.protocol, transport) || !job.reply || job.reply_size <= 0 ||
      (sntp && job.reply_size != kSntpPacketSize))
    return Fail(job, out, "Socket", platform::kWsaEinval);

  // A dotted address makes no lookup.
  platform::Ipv4Endpoint server{0, transport.port};
  if (!platform::ParseDottedIPv4(job.server, server.address)) {
    const int error = platform::ResolveIPv4(job.server, server.address);
    if (error != 0) {
      out.status = CurrentEnvironment().host_not_found;
      out.error_code = error;
      CloseQuerySocket(job);
      return 0;
    }
  }
  // The lookup cannot be interrupted; a query abandoned meanwhile stops here.
  if (Cancelled(job)) return Fail(job, out, "UserCancelled", 0);

  int error = 0;
  job.socket = platform::OpenSocket(transport.kind, error);
  if (job.socket == platform::kInvalidSocket) return Fail(job, out, "Socket", error);

  // Streams connect first, bounded by the system's own connect time-out.
  if (!sntp) {
    const NetWait connected = platform::ConnectSocket(job.socket, server, job.cancel, error);
    if (connected != NetWait::kReady) return FailWait(job, out, connected, "Connect", error);
  }

  // The request stays here for the originate check below.
  std::uint8_t request[kSntpPacketSize] = {};
  if (sntp) {
    BuildSntpRequest(request);
    const int sent = platform::SendTo(job.socket, request, kSntpPacketSize, server, error);
    if (sent < 0) return Fail(job, out, "Send", error);
    if (sent != kSntpPacketSize) return Fail(job, out, "SendPacket", 0);
  }

  const NetWait readable = platform::WaitReadable(job.socket, job.timeout, job.cancel, error);
  if (readable != NetWait::kReady) return FailWait(job, out, readable, "Select", error);

  // One receive; a stream reply may be short or empty (judged later). A
  // datagram longer than 48 bytes fails the receive itself.
  std::int64_t stamp = 0;
  const int received = sntp ? platform::ReceiveDatagram(job.socket, job.reply, job.reply_size, error, &stamp)
                            : platform::Receive(job.socket, job.reply, job.reply_size, error);
  // T4: when the reply arrived, by the kernel's stamp where there is one,
  // else a reading taken at once after the receive.
  const MicroTime arrival = MicroTimeFromFileTime(platform::SystemClock().ArrivalTime(stamp));
  if (received < 0) return Fail(job, out, "Recv", error);
  if (sntp && received != kSntpPacketSize) return Fail(job, out, "RecvPacket", 0);
  if (job.receive_time) *job.receive_time = arrival;

  CloseQuerySocket(job);

  // RFC 4330 section 5: a reply whose originate timestamp is not our
  // transmit timestamp answers some other request.
  if (sntp) {
    if (std::memcmp(job.reply + sntp_field::kOriginate, request + sntp_field::kTransmit, 8) != 0) {
      out.status = "SNTP:IncorrectPacket";
      out.error_code = 0;
      return 0;
    }
    for (int offset : {sntp_field::kReference, sntp_field::kOriginate, sntp_field::kReceive, sntp_field::kTransmit})
      NtpToMicroTime(job.reply + offset);
    // The detail log is a diagnostic: its failure is not the query's.
    if (CurrentEnvironment().sntp_detail_log) WriteSntpDetailLog(job.server, job.reply, job.receive_time);
  }

  out.status = "OK";
  return 1;
}

}  // namespace qv::engine
