// tools/timeserver (qv-timeserver) for tests: the servers of the table
// QV_TIMESERVERS in tests/CMakeLists.txt (test::servers::<name>), each on
// <QV_LOOPBACK_NET>.<2 + slot> or, when someone else holds that address, a
// later one; its pidfile says which. Native: each TimeServer starts its own
// server (--daemon: bound once the command returns; --lifetime ends it
// should a crashed test leave it) and stops it at the end. Windows
// (QV_TIMESERVER_EXTERNAL): a test under Wine cannot start a Linux program,
// so ctest fixtures of the native build start the servers; the object checks
// through the pidfile that one with exactly these options is up.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#ifndef QV_TIMESERVER_EXTERNAL
#include "support/run_command.h"
#endif

namespace qv::test {

struct ServerSpec {
  const char* name;
  int slot;
  std::vector<std::string> options;
};

}  // namespace qv::test

#include "qv_timeservers.h"

namespace qv::test {

inline std::string LoopbackAddress(int octet) { return std::string(QV_LOOPBACK_NET) + "." + std::to_string(octet); }
// Where nothing ever listens: every connection is refused.
inline const std::string kNobody = LoopbackAddress(QV_NOBODY_OCTET);

inline std::string PidfilePath(const std::string& name) {
  return std::string(QV_TIMESERVER_STATE_DIR) + "/" + name + ".pid";
}

// The pid, then the address served, then one line per option.
inline std::vector<std::string> ReadPidfile(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TimeServer {
 public:
  explicit TimeServer(const ServerSpec& spec) : pidfile_(PidfilePath(spec.name)) {
#ifdef QV_TIMESERVER_EXTERNAL
    problem_ = std::string("no qv-timeserver ") + spec.name + " as this test needs it: run the test through ctest";
#else
    RunCommand({QV_TIMESERVER_PATH, "--stop", pidfile_});  // left over from a crashed run
    const int octet = 2 + spec.slot;
    std::vector<std::string> command{QV_TIMESERVER_PATH, LoopbackAddress(octet), "--scan",
                                     std::to_string(kLastOctet - octet)};
    command.insert(command.end(), spec.options.begin(), spec.options.end());
    command.insert(command.end(), {"--daemon", "--pidfile", pidfile_, "--lifetime", "300"});
    started_ = RunCommand(command);
    problem_ = std::string("qv-timeserver ") + spec.name + " did not start";
#endif
    const std::vector<std::string> lines = ReadPidfile(pidfile_);
    if (lines.size() >= 2 && std::vector<std::string>(lines.begin() + 2, lines.end()) == spec.options)
      address_ = lines[1];
  }
  ~TimeServer() {
#ifndef QV_TIMESERVER_EXTERNAL
    if (started_) RunCommand({QV_TIMESERVER_PATH, "--stop", pidfile_});
#endif
  }
  TimeServer(const TimeServer&) = delete;

  bool Ready() const { return !address_.empty(); }
  const std::string& Problem() const { return problem_; }
  const std::string& Address() const { return address_; }

 private:
  // Servers move up to here at most; the addresses above are the peers'
  // and the one nobody listens on.
  static constexpr int kLastOctet = 249;
  std::string pidfile_, address_, problem_;
  bool started_ = false;
};

#define ASSERT_SERVER(server) ASSERT_TRUE((server).Ready()) << (server).Problem()

}  // namespace qv::test
