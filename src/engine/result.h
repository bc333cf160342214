// What every engine operation hands back: one value, built in one place,
// and the status texts the programs show and log, rendered in one place.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"

namespace qv::engine {

// Where a query ended. Each failure has one name, which the status text
// shows as "ERROR (" name ")".
enum class Stage : std::uint8_t {
  kOk,
  // The transport (the error number is the system's where a call failed).
  kHostNotFound,   // the program's own text (its string table), "HostNotFound"
  kSocket,
  kConnect,
  kSend,
  kSendPacket,
  kSelect,
  kTimeOut,
  kRecv,
  kRecvPacket,
  kUserCancelled,
  kThread,    // no worker thread could be started
  kNoRunner,  // the program installed no query runner
  // The answer (error number 0).
  kSntpIncorrectPacket,     // answers another request
  kTimeIncorrectPacket,     // a TIME value before 1970, or fewer than 4 bytes
  kDaytimeIncorrectPacket,  // no line end in what arrived
  kSntpReference,           // reference timestamp after T2 or too old
  kSntpBadResponse,         // no usable time, or an impossible round trip
  kSntpThroughput,          // the server held the request too long
  // Setting the clock.
  kClockSet,
  // Authenticated time (NTS).
  kNtsKeyExchange,   // no keys: the server, TLS or the records refused
  kNtsCertificate,   // the server's certificate is not trusted for its name
  kNtsAuthenticator, // the reply is not the server's or not for this request
};

// "HostNotFound", "Connect", "SNTP: Bad Response", "localtime-set", ...
std::string_view StageName(Stage stage);

// "OK", or "ERROR (" + the stage's name + ")"; kHostNotFound shows
// `host_not_found` as its name.
std::string StatusText(Stage stage, std::string_view host_not_found);

enum class Mode : std::uint8_t { kCheck, kAdjust };

// How the engine fared with a log file.
enum class LogWrite : std::uint8_t {
  kNotAsked,
  kWritten,
  kOpenFailed,   // "Can not open the logfile": the program's thread shows it
  kWriteFailed,  // opened, but not (all) written
};

inline constexpr const char* kLogOpenFailedText = "Can not open the logfile";

struct Result {
  Mode mode = Mode::kCheck;
  Stage stage = Stage::kOk;
  int error_code = 0;  // Windows Sockets number; 0 where no socket call failed
  std::string status;  // StatusText of the stage
  // Why, beyond the status: the error number in decimal after a failed
  // exchange (for TIME and DAYTIME always), the reference time after a
  // reference failure, the rule a reply broke ("stratum 0, kiss code RATE").
  std::string detail;
  // A check: the server's time. An SNTP adjustment: the time set. A TIME
  // or DAYTIME adjustment: the server's text that was set.
  std::string server_time;
  std::string pc_time;           // the PC's time after the query
  std::optional<std::int64_t> offset_ns;  // SNTP: the measured offset (FormatOffset shows it)
  LogWrite detail_log = LogWrite::kNotAsked;  // the SNTP detail log, written on the worker
  // An adjustment: why the clock was not set (kClockSet), and who set it
  // when not this process. The detail and the result log keep their form.
  platform::ClockRefusal refusal = platform::ClockRefusal::kNone;
  std::string set_by;
  bool authenticated = false;  // SNTP with NTS: the time came authenticated

  bool ok() const { return stage == Stage::kOk; }
};

// The result log's status column: the status text, then ":" and the detail
// when the query failed and there is a detail.
std::string StatusColumn(const Result& result);

// What a program shows in its server time line after a query: the server
// time on success (marked when it came authenticated), the status text on
// failure.
inline constexpr const char* kAuthenticatedMark = " (NTS)";
std::string ServerTimeLine(const Result& result);

}  // namespace qv::engine
