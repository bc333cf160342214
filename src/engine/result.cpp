#include "engine/result.h"

namespace qv::engine {

std::string_view StageName(Stage stage) {
  switch (stage) {
    case Stage::kOk: return "OK";
    case Stage::kHostNotFound: return "HostNotFound";
    case Stage::kSocket: return "Socket";
    case Stage::kConnect: return "Connect";
    case Stage::kSend: return "Send";
    case Stage::kSendPacket: return "SendPacket";
    case Stage::kSelect: return "Select";
    case Stage::kTimeOut: return "TimeOut";
    case Stage::kRecv: return "Recv";
    case Stage::kRecvPacket: return "RecvPacket";
    case Stage::kUserCancelled: return "UserCancelled";
    case Stage::kThread: return "Thread";
    case Stage::kNoRunner: return "NoRunner";
    case Stage::kSntpIncorrectPacket: return "SNTP:IncorrectPacket";
    case Stage::kTimeIncorrectPacket: return "TIME:IncorrectPacket";
    case Stage::kDaytimeIncorrectPacket: return "DAYTIME:IncorrectPacket";
    case Stage::kSntpReference: return "SNTP: ReferenceTimestamp";
    case Stage::kSntpBadResponse: return "SNTP: Bad Response";
    case Stage::kSntpThroughput: return "SNTP: Server Throughput";
    case Stage::kClockSet: return "localtime-set";
    case Stage::kNtsKeyExchange: return "NTS: Key Exchange";
    case Stage::kNtsCertificate: return "NTS: Certificate";
    case Stage::kNtsAuthenticator: return "NTS: Authenticator";
  }
  return "?";
}

std::string StatusText(Stage stage, std::string_view host_not_found) {
  if (stage == Stage::kOk) return "OK";
  const std::string_view name = stage == Stage::kHostNotFound ? host_not_found : StageName(stage);
  return "ERROR (" + std::string(name) + ")";
}

std::string StatusColumn(const Result& result) {
  if (result.ok() || result.detail.empty()) return result.status;
  return result.status + ":" + result.detail;
}

std::string ServerTimeLine(const Result& result) {
  if (!result.ok()) return result.status;
  return result.authenticated ? result.server_time + kAuthenticatedMark : result.server_time;
}

}  // namespace qv::engine
