// tools/timeserver (qv-timeserver) for tests, on <QV_LOOPBACK_NET>.<base + slot>.
// Native: each TimeServer starts its own server (--daemon: bound once the
// command returns; --lifetime ends it should a crashed test leave it) and
// stops it at the end. Windows (QV_TIMESERVER_EXTERNAL): a test under Wine
// cannot start a Linux program, so ctest fixtures of the native build start
// the servers (tests/engine/CMakeLists.txt); the object checks through the
// server's pidfile that one with exactly these options is up.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#ifndef QV_TIMESERVER_EXTERNAL
#include "support/run_command.h"
#endif

namespace qv::test {

inline std::string LoopbackAddress(int slot) {
  return std::string(QV_LOOPBACK_NET) + "." + std::to_string(QV_TIMESERVER_ADDRESS_BASE + slot);
}

inline std::string PidfilePath(const std::string& name) {
  return std::string(QV_TIMESERVER_STATE_DIR) + "/" + name + ".pid";
}

// The pid, then one line per argument the server was started with.
inline std::vector<std::string> ReadPidfile(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class TimeServer {
 public:
  explicit TimeServer(int slot, std::vector<std::string> options = {})
      : address_(LoopbackAddress(slot)), pidfile_(PidfilePath(address_)) {
    options.insert(options.begin(), address_);
#ifdef QV_TIMESERVER_EXTERNAL
    std::vector<std::string> lines = ReadPidfile(pidfile_);
    ready_ = !lines.empty() && std::vector<std::string>(lines.begin() + 1, lines.end()) == options;
    problem_ = "no qv-timeserver on " + address_ + " as this test needs: run it through ctest, with a matching "
               "qv_timeserver_fixture(<test> " + std::to_string(slot) + " ...) in tests/engine/CMakeLists.txt";
#else
    RunCommand({QV_TIMESERVER_PATH, "--stop", pidfile_});  // left over from a crashed run
    std::vector<std::string> command{QV_TIMESERVER_PATH};
    command.insert(command.end(), options.begin(), options.end());
    command.insert(command.end(), {"--daemon", "--pidfile", pidfile_, "--lifetime", "300"});
    ready_ = RunCommand(command);
    problem_ = "qv-timeserver did not start on " + address_;
#endif
  }
  ~TimeServer() {
#ifndef QV_TIMESERVER_EXTERNAL
    if (ready_) RunCommand({QV_TIMESERVER_PATH, "--stop", pidfile_});
#endif
  }
  TimeServer(const TimeServer&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Problem() const { return problem_; }
  const std::string& Address() const { return address_; }

 private:
  std::string address_, pidfile_, problem_;
  bool ready_ = false;
};

}  // namespace qv::test
