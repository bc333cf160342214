// One query in flight: what to ask (QueryJob), handed by RunQuery to the
// query runner and by the runner to QueryServer on a worker thread, and
// what came back (Reply).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/protocol.h"
#include "engine/micro_time.h"
#include "engine/result.h"
#include "engine/sntp_packet.h"

namespace qv::platform {
class CancelSignal;
}

namespace qv::engine {

enum class JobKind : std::uint8_t {
  kServer,       // ask the time server
  kTimeService,  // hand service_request to the system's time service, read its reply
};

struct QueryJob {
  JobKind kind = JobKind::kServer;
  std::vector<std::uint8_t> service_request;  // kTimeService: the encoded request
  int protocol = kSntp;
  std::string server;
  int timeout = 0;              // seconds
  std::string sntp_detail_log;  // where an SNTP reply is recorded; empty: nowhere
  bool record_arrival = true;   // false: the detail record says "( check only )"
  // Fired by the runner when it abandons the query: every wait ends at once
  // and the worker ends on its own. May be nullptr.
  const platform::CancelSignal* cancel = nullptr;
  bool nts = false;            // SNTP authenticated by NTS (engine/nts_query.h)
  std::string nts_trust_file;  // PEM certificates the key exchange trusts; empty: the system's
};

struct Reply {
  Stage stage = Stage::kOk;  // a transport stage, kSntpIncorrectPacket, or kOk
  int error_code = 0;
  std::vector<std::uint8_t> bytes;  // TIME, DAYTIME, the time service: everything that arrived
  // The time service only: kHelperMissing or kHelperNotAnswering when it
  // gave no reply (stage kClockSet).
  platform::ClockRefusal service_refusal = platform::ClockRefusal::kNone;
  SntpPacket sntp;                  // SNTP: the reply, decoded
  MicroTime arrival;                // when the reply (its last part) arrived
  LogWrite detail_log = LogWrite::kNotAsked;
  // The numeric text of the address that answered, or whose failure this
  // is; empty when none was asked.
  std::string address;
  bool authenticated = false;  // NTS: the reply's authenticator verified
  std::string detail;          // NTS: what failed, when it did
  bool ok() const { return stage == Stage::kOk; }
};

// The transport: one query of one server by SNTP (UDP 123), TIME (TCP 37)
// or DAYTIME (TCP 13). Runs on a worker thread; its socket never outlives
// the call. A TIME answer is read until 4 bytes, a DAYTIME answer until its
// first line feed or 512 bytes, either until the end of the stream or the
// time-out; what arrived counts, and nothing at all is a time-out.
// A kTimeService job instead exchanges its request with the system's time
// service, waiting at most the job's time-out.
Reply QueryServer(const QueryJob& job);

}  // namespace qv::engine
