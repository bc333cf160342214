// Starts and stops tools/timeserver (qv-timeserver) for engine tests.
//
// Native builds: each TimeServer object starts its own detached server on
// 127.0.0.<base + slot> (QV_TIMESERVER_PATH, run through std::system with
// --daemon, so the constructor returns once the server is bound) and stops
// it in its destructor. A crashed test leaves nothing behind for long: every
// server ends itself after --lifetime.
//
// Windows builds (QV_TIMESERVER_EXTERNAL): a test under Wine cannot start a
// Linux program, so ctest fixtures start the same servers from the native
// build before the test and stop them after (tests/engine/CMakeLists.txt,
// qv_timeserver_fixture). The object then only checks, through the pidfile
// the server wrote, that a server with exactly these options is up, and
// tells which fixture line is missing when it is not.
//
// Addresses: native tests use 127.0.0.2 and up, Windows tests 127.0.0.32 and
// up (QV_TIMESERVER_ADDRESS_BASE), so both can run at the same time.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#ifndef QV_TIMESERVER_EXTERNAL
#include "support/run_command.h"
#endif

#ifndef QV_TIMESERVER_STATE_DIR
#error "QV_TIMESERVER_STATE_DIR must name the directory for the servers' pidfiles"
#endif
#ifndef QV_TIMESERVER_ADDRESS_BASE
#define QV_TIMESERVER_ADDRESS_BASE 2
#endif

namespace qv::test {

inline std::string LoopbackAddress(int slot) {
  return "127.0.0." + std::to_string(QV_TIMESERVER_ADDRESS_BASE + slot);
}

inline std::string PidfilePath(const std::string& name) {
  return std::string(QV_TIMESERVER_STATE_DIR) + "/" + name + ".pid";
}

// Reads a pidfile: the pid, then one line per recorded argument.
inline bool ReadPidfile(const std::string& path, std::vector<std::string>& lines) {
  std::ifstream in(path);
  if (!in) return false;
  lines.clear();
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return !lines.empty();
}

class TimeServer {
 public:
  // Seconds after which a native server ends by itself.
  static constexpr int kLifetimeSeconds = 300;

  explicit TimeServer(int slot, std::vector<std::string> options = {})
      : address_(LoopbackAddress(slot)), pidfile_(PidfilePath(address_)) {
    std::vector<std::string> expected{address_};
    expected.insert(expected.end(), options.begin(), options.end());
#ifdef QV_TIMESERVER_EXTERNAL
    std::vector<std::string> lines;
    if (ReadPidfile(pidfile_, lines)) {
      lines.erase(lines.begin());
      if (lines == expected) {
        ready_ = true;
        return;
      }
    }
    problem_ = "no qv-timeserver with these options on " + address_ +
               " (run this test through ctest; tests/engine/CMakeLists.txt needs: qv_timeserver_fixture(<name> " +
               std::to_string(slot);
    for (const std::string& option : options) problem_ += " \"" + option + "\"";
    problem_ += "))";
#else
    std::error_code ignored;
    std::filesystem::create_directories(QV_TIMESERVER_STATE_DIR, ignored);
    RunCommand({QV_TIMESERVER_PATH, "--stop", pidfile_});  // left over from a crashed run
    std::vector<std::string> command{QV_TIMESERVER_PATH};
    command.insert(command.end(), expected.begin(), expected.end());
    command.insert(command.end(), {"--daemon", "--pidfile", pidfile_, "--lifetime", std::to_string(kLifetimeSeconds)});
    ready_ = RunCommand(command);
    if (!ready_) problem_ = "qv-timeserver did not start on " + address_;
#endif
  }

  ~TimeServer() {
#ifndef QV_TIMESERVER_EXTERNAL
    if (ready_) RunCommand({QV_TIMESERVER_PATH, "--stop", pidfile_});
#endif
  }

  TimeServer(const TimeServer&) = delete;
  TimeServer& operator=(const TimeServer&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Problem() const { return problem_; }
  const std::string& Address() const { return address_; }

 private:
  std::string address_;
  std::string pidfile_;
  std::string problem_;
  bool ready_ = false;
};

}  // namespace qv::test
