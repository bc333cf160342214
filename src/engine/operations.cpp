// The four operations and the two the programs call. Every Result is made
// here: the stage decides the status text (rendered by Finish), the
// protocol decides the detail.
#include "engine/operations.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/ntp.h"
#include "engine/query_job.h"
#include "engine/run_query.h"
#include "engine/service_wire.h"
#include "engine/sntp.h"
#include "engine/time_text.h"
#include "platform/clock.h"
#include "platform/time_service.h"

namespace qv::engine {

namespace {

QueryJob JobFor(const Request& request) {
  QueryJob job;
  job.protocol = request.protocol;
  job.server = request.server;
  job.timeout = request.timeout;
  job.sntp_detail_log = request.sntp_detail_log;
  job.nts = request.nts && request.protocol == kSntp;
  job.nts_trust_file = request.nts_trust_file;
  return job;
}

Result Finish(Result result, const Request& request) {
  result.status = StatusText(result.stage, request.host_not_found);
  return result;
}

// The query's outcome before the answer is judged; the PC's time is read
// after the query, whatever its outcome.
Result Begin(Mode mode, const Reply& reply) {
  Result result;
  result.mode = mode;
  result.stage = reply.stage;
  result.error_code = reply.error_code;
  result.pc_time = FormatLocalNow();
  result.pc_utc_us = ToMicros(NowMicroTime());
  result.detail_log = reply.detail_log;
  result.address = reply.address;
  if (!reply.ok()) result.detail = reply.detail.empty() ? std::to_string(reply.error_code) : reply.detail;
  return result;
}

// The server's time from a TIME or DAYTIME answer.
void ReadServerTime(int protocol, const Reply& reply, Result& result) {
  if (protocol == kTime) {
    // RFC 868: 32 bits, big-endian; fewer bytes than that are no answer.
    const std::optional<std::uint32_t> unix_seconds =
        reply.bytes.size() < 4 ? std::nullopt : TimeAnswerToUnix(LoadBe32(reply.bytes.data()), NowMicroTime());
    if (!unix_seconds) {
      result.stage = Stage::kTimeIncorrectPacket;
      result.error_code = 0;
      return;
    }
    result.server_time = FormatServerTime({*unix_seconds, 0});
    result.server_utc_us = std::int64_t{*unix_seconds} * kMicrosPerSecond;
  } else {
    // RFC 867: the first line, its CR kept; no line feed, no answer.
    const auto begin = reply.bytes.begin();
    const auto line_feed = std::find(begin, reply.bytes.end(), '\n');
    if (line_feed == reply.bytes.end()) {
      result.stage = Stage::kDaytimeIncorrectPacket;
      result.error_code = 0;
      return;
    }
    result.server_time = SanitizeServerText(std::string(begin, line_feed), true);
    // The text read as this PC's local time, as an adjustment would set it.
    std::int64_t utc_file_time = 0;
    if (const std::optional<platform::SystemTime> local = ParseTimeText(result.server_time);
        local && platform::OsLocalToUtc(*local, utc_file_time))
      result.server_utc_us = (utc_file_time - platform::kFileTimeUnixEpoch) / 10;
  }
}

// How the clock took the set.
void Record(const platform::ClockSet& outcome, Result& result) {
  if (!outcome) result.stage = Stage::kClockSet;
  result.refusal = outcome.refusal;
  result.set_by = outcome.set_by;
}

// The adjustment by the system's time service after this process was
// refused the right (`own`). The service queries the server itself and
// sets the clock from its own reading; its Result stands as if set here.
Result AskTimeService(const Request& request, Result own) {
  QueryJob job;
  job.kind = JobKind::kTimeService;
  const ServiceRequest asked = ServiceRequestFor(request);
  job.service_request = EncodeServiceRequest(asked);
  job.server = request.server;  // what the runner shows
  job.timeout = asked.timeout + kTimeServiceGraceSeconds;
  const Reply reply = RunQuery(job, false);

  const std::optional<ServiceReply> answer =
      reply.ok() ? DecodeServiceReply(reply.bytes) : std::optional<ServiceReply>();
  if (!answer || answer->answer == ServiceAnswer::kRefused) {
    if (reply.stage == Stage::kUserCancelled) {
      own.stage = Stage::kUserCancelled;
      own.refusal = platform::ClockRefusal::kNone;
      own.detail = std::to_string(reply.error_code);  // as any failed query shows it
    } else {
      // No reply, the runner's time-out, or one that makes no sense.
      own.refusal = reply.service_refusal != platform::ClockRefusal::kNone ? reply.service_refusal
                                                                            : platform::ClockRefusal::kHelperNotAnswering;
    }
    return Finish(own, request);
  }
  if (answer->answer == ServiceAnswer::kBusy) {
    own.stage = Stage::kThread;
    own.refusal = platform::ClockRefusal::kNone;
    own.detail = "the time service is busy with another adjustment";
    own.status = kBusyStatus;
    return own;
  }
  Result result = answer->result;
  result.mode = Mode::kAdjust;
  result.detail_log = own.detail_log;  // this process's own query was recorded
  result.set_by = result.ok() ? kTimeServiceName : "";
  return Finish(result, request);
}

// Sets the system clock in UTC to a fresh reading plus the result's offset.
// The offset applies to a clock reading taken after the runner closed. A
// time before 1970 or beyond what 32-bit seconds hold has no break-down
// here; the clock must then stay as it is.
Result SetUtcByOffset(Result result, const Request& request) {
  const std::optional<MicroTime> set = AddOffset(NowMicroTime(), *result.offset_ns);
  platform::SystemTime broken_down;
  Record(set && MicroTimeToSystemTime(*set, broken_down) ? platform::SystemClock().SetUtc(broken_down)
                                                         : platform::ClockSet::Refused(platform::ClockRefusal::kImpossibleTime),
         result);
  if (result.ok()) result.server_time = FormatServerTime(*set);
  return Finish(result, request);
}

}  // namespace

Request MakeRequest(int protocol, std::string server, int timeout, int beep, int reference_check,
                    int reference_hours, std::string sntp_detail_log, std::string host_not_found) {
  Request r;
  r.protocol = protocol == kTime || protocol == kDaytime ? protocol : kSntp;
  r.server = std::move(server);
  r.timeout = timeout;
  r.beep = beep == 1;
  r.reference_check = reference_check != 0;
  r.reference_hours = reference_hours;
  r.sntp_detail_log = std::move(sntp_detail_log);
  r.host_not_found = std::move(host_not_found);
  return r;
}

Result QuerySntpOffset(const Request& request) {
  QueryJob job = JobFor(request);
  job.protocol = kSntp;
  const Reply reply = RunQuery(job, request.beep);
  Result result = Begin(Mode::kCheck, reply);
  if (!reply.ok()) return Finish(result, request);
  result.stratum = reply.sntp.stratum;
  result.reference_id = reply.sntp.reference_id;

  SntpVerdict verdict = CheckSntpReply(reply.sntp, reply.arrival, request.reference_check, request.reference_hours);
  result.stage = verdict.stage;
  result.detail = std::move(verdict.detail);
  if (result.ok()) {
    result.offset_ns = verdict.offset_ns;
    result.round_trip_ns = verdict.round_trip_ns;
    result.authenticated = reply.authenticated;
    result.server_time = FormatServerTime(ToMicroTime(reply.sntp.transmit));
    result.server_utc_us = ToMicros(ToMicroTime(reply.sntp.transmit));
  }
  return Finish(result, request);
}

Result QueryServerTime(const Request& request) {
  QueryJob job = JobFor(request);
  job.record_arrival = false;
  const Reply reply = RunQuery(job, request.beep);
  Result result = Begin(Mode::kCheck, reply);
  if (reply.ok()) ReadServerTime(request.protocol, reply, result);
  // Its callers always show the error number as the detail.
  result.detail = std::to_string(result.error_code);
  return Finish(result, request);
}

Result AdjustSystemClock(const Request& request) {
  Result result = QuerySntpOffset(request);
  result.mode = Mode::kAdjust;
  result.server_time.clear();  // from here on: the time set
  if (!result.ok()) return result;
  return SetUtcByOffset(std::move(result), request);
}

Result AdjustLocalClock(const Request& request) {
  Result result = QueryServerTime(request);
  result.mode = Mode::kAdjust;
  if (!result.ok()) return result;
  // A text that does not read whole as a time is refused here; the OS is
  // never asked to set it.
  const std::optional<platform::SystemTime> local = ParseTimeText(result.server_time);
  Record(local ? platform::SystemClock().SetLocal(*local)
               : platform::ClockSet::Refused(platform::ClockRefusal::kImpossibleTime),
         result);
  return Finish(result, request);
}

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, int m, int d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// A local time as nanoseconds on a count that knows no zone: the difference
// of two such counts is what setting one in place of the other moves.
std::int64_t LocalNanos(const platform::SystemTime& t) {
  const std::int64_t seconds = DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
  return seconds * 1000000000 + std::int64_t{t.milliseconds} * 1000000;
}

// The clock's refusal of a time it cannot hold, as the adjustment reports it.
Result ImpossibleTime(Result result, const Request& request) {
  Record(platform::ClockSet::Refused(platform::ClockRefusal::kImpossibleTime), result);
  return Finish(result, request);
}

Result AskServiceIfRefused(const Request& request, Result own) {
  // The service makes its own, unauthenticated query: an adjustment asked
  // with NTS never falls back to it.
  if (own.refusal != platform::ClockRefusal::kNoRight || !request.may_ask_time_service || request.nts ||
      !platform::HasTimeService())
    return own;
  return AskTimeService(request, std::move(own));
}

}  // namespace

Result Measure(const Request& request) {
  if (request.protocol == kSntp) return QuerySntpOffset(request);
  Result result = QueryServerTime(request);
  if (!result.ok()) return result;
  const platform::SystemTime local_now = platform::SystemClock().LocalTime();
  const std::optional<platform::SystemTime> server = ParseTimeText(result.server_time);
  if (!server) return ImpossibleTime(std::move(result), request);
  result.offset_ns = LocalNanos(*server) - LocalNanos(local_now);
  return result;
}

Result ApplyMeasured(const Request& request, Result measured) {
  Result result = std::move(measured);
  result.mode = Mode::kAdjust;
  if (!result.ok() || !result.offset_ns) return result;
  if (request.protocol == kSntp) {
    result.server_time.clear();  // from here on: the time set
    return AskServiceIfRefused(request, SetUtcByOffset(std::move(result), request));
  }
  // The local count breaks down as a UTC count would; the years a text can
  // give (1970..2106) fit its unsigned seconds.
  const std::int64_t target = LocalNanos(platform::SystemClock().LocalTime()) + *result.offset_ns;
  platform::SystemTime local;
  const bool fits = target >= 0 && target / 1000000000 <= 0xFFFFFFFFLL &&
                    MicroTimeToSystemTime({static_cast<std::uint32_t>(target / 1000000000),
                                           static_cast<std::uint32_t>(target % 1000000000 / 1000)},
                                          local);
  Record(fits ? platform::SystemClock().SetLocal(local)
              : platform::ClockSet::Refused(platform::ClockRefusal::kImpossibleTime),
         result);
  return AskServiceIfRefused(request, Finish(std::move(result), request));
}

Result Check(const Request& request) {
  return request.protocol == kTime || request.protocol == kDaytime ? QueryServerTime(request)
                                                                   : QuerySntpOffset(request);
}

Result Adjust(const Request& request) {
  return AskServiceIfRefused(request, request.protocol == kSntp ? AdjustSystemClock(request) : AdjustLocalClock(request));
}

}  // namespace qv::engine
