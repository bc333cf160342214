#include "engine/result_log.h"

#include "engine/ntp.h"
#include "engine/time_text.h"
#include "platform/log_file.h"
#include "platform/net.h"

namespace qv::engine {

namespace {

std::string RightAligned(std::string_view word, std::size_t width) {
  std::string s(word);
  if (s.size() < width) s.insert(0, width - s.size(), ' ');
  return s;
}

LogWrite Append(const std::string& path, const std::string& text) {
  switch (platform::AppendToFile(path, text)) {
    case platform::AppendResult::kWritten: return LogWrite::kWritten;
    case platform::AppendResult::kOpenFailed: return LogWrite::kOpenFailed;
    case platform::AppendResult::kWriteFailed: break;
  }
  return LogWrite::kWriteFailed;
}

}  // namespace

std::string LogFileName(const std::string& profile_path, std::string_view ending) {
  const std::size_t dot = profile_path.find_last_of('.');
  if (dot == std::string::npos) return std::string(ending);
  return profile_path.substr(0, dot + 1) + std::string(ending);
}

// The address goes beside the name rather than into a column of its own:
// the line keeps its six fields, and the last one, free server text that
// may hold ", " itself, stays the rest of the line for the tools that read
// it so.
std::string ServerWithAddress(const std::string& server, const std::string& address) {
  if (address.empty() || platform::ParseIpLiteral(server)) return server;
  return server + " (" + address + ")";
}

std::string ResultLogLine(const Request& request, const Result& result) {
  // Built by hand rather than by printf, so that texts holding a NUL byte
  // are written whole.
  return result.pc_time + ", " + ServerWithAddress(request.server, result.address) + ", " + RightAligned(ProtocolWord(request.protocol), 7) + ", " +
         RightAligned(result.mode == Mode::kAdjust ? "adjust" : "check", 6) + ", " + StatusColumn(result) + ", " +
         result.server_time + "\n";
}

LogWrite WriteResultLog(const std::string& path, const Request& request, const Result& result) {
  return Append(path, ResultLogLine(request, result));
}

std::string DetailRecord(const std::string& server, const SntpPacket& reply, const MicroTime* arrival) {
  std::string record = server + "\n";
  for (const NtpTimestamp& t : {reply.reference, reply.originate, reply.receive, reply.transmit})
    record += FormatMicroTime(ToMicroTime(t)) + "\n";
  record += (arrival ? FormatMicroTime(*arrival) : std::string("( check only )")) + "\n";
  return record;
}

LogWrite WriteSntpDetailLog(const std::string& path, const std::string& server, const SntpPacket& reply,
                            const MicroTime* arrival) {
  // One append for the whole record: records of processes writing at the
  // same time never interleave.
  return Append(path, DetailRecord(server, reply, arrival));
}

}  // namespace qv::engine
