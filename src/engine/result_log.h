// The result log and the SNTP detail log, beside the profile. Both append
// one whole line or record per write and report how that went; neither
// shows anything (the program's dialog thread reports an open failure).
#pragma once

#include <string>
#include <string_view>

#include "engine/micro_time.h"
#include "engine/operations.h"
#include "engine/result.h"
#include "engine/sntp_packet.h"

namespace qv::engine {

// The profile path up to and including its last '.', then the ending; the
// ending alone (in the current folder) when the path has no '.'.
std::string LogFileName(const std::string& profile_path, std::string_view ending);
inline std::string ResultLogPath(const std::string& profile_path) { return LogFileName(profile_path, "log"); }
inline std::string DetailLogPath(const std::string& profile_path) { return LogFileName(profile_path, "sntp.log"); }

// The server as the logs name it: as configured, then " (" address ")"
// when a name was looked up and an address asked. A server given as an
// address stays as it is.
std::string ServerWithAddress(const std::string& server, const std::string& address);

// "%s, %s, %7s, %6s, %s, %s\n": PC time, server (ServerWithAddress),
// protocol word, "check" or "adjust", the status column, the server time
// text.
std::string ResultLogLine(const Request& request, const Result& result);
LogWrite WriteResultLog(const std::string& path, const Request& request, const Result& result);

// Six lines: the server (ServerWithAddress), the four timestamps and the arrival time (or
// "( check only )"), each as FormatMicroTime renders it.
std::string DetailRecord(const std::string& server, const SntpPacket& reply, const MicroTime* arrival);
LogWrite WriteSntpDetailLog(const std::string& path, const std::string& server, const SntpPacket& reply,
                            const MicroTime* arrival);

}  // namespace qv::engine
