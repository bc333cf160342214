// The one place the settings program reaches the time engine through: a
// check of one server with the dialog's settings, its result log line, and
// where that log lies. Tests put a fake in its place.
#pragma once

#include <string>

namespace qv::settings {

struct CheckRequest {
  int protocol = 0;  // 0 SNTP, 1 TIME, 2 DAYTIME
  std::string server;
  int time_out = 5;
  int beep = 0;
  int reference_check = 1;
  int reference_hours = 24;
};

struct CheckOutcome {
  bool ok = false;
  std::string server_time;  // the server's time text
  std::string pc_time;      // the PC's time text at the answer
  std::string status;       // "OK" or "ERROR (...)"
  std::string detail;       // more on a failure (an error number, a reason)
};

class EngineCalls {
 public:
  virtual ~EngineCalls() = default;
  // One query; never sets the clock.
  virtual CheckOutcome Check(const CheckRequest& request) = 0;
  // Appends the check's line to the result log.
  virtual void LogCheck(const CheckRequest& request, const CheckOutcome& outcome) = 0;
};

// The engine itself.
EngineCalls& RealEngine();

// The result log that belongs to a profile.
std::string ResultLogPath(const std::string& profile_path);

}  // namespace qv::settings
