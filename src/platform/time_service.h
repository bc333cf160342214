// The system's time service: a process of the system's own that holds the
// right to set the clock and sets it for the local users who ask. On
// Windows it is quorvel-cli run by the service manager, reached through a
// named pipe; elsewhere there is none (the clock's own helpers serve there).
// Only bytes pass here: what they mean is the engine's (service_wire.h).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace qv::platform {

class CancelSignal;

// The service's name for the service manager, and its pipe.
inline constexpr const char* kTimeServiceId = "QuorvelTimeService";
inline constexpr const char* kTimeServicePipe = R"(\\.\pipe\QuorvelTimeService)";

// False where this system has no such service at all.
bool HasTimeService();

// ---------------------------------------------------------------- caller

enum class ServiceCallEnd : std::uint8_t {
  kAnswered,      // reply holds what the service said
  kNotInstalled,  // no service of that name
  kNotAnswering,  // installed but not running, busy past the time-out, or the pipe broke
  kCancelled,
};

struct ServiceCall {
  ServiceCallEnd end = ServiceCallEnd::kNotAnswering;
  std::vector<std::uint8_t> reply;
  std::uint32_t os_error = 0;
};

// Sends one request and reads one reply (at most `max_reply` bytes), all
// within `timeout`; `cancel` (may be nullptr) ends every wait at once.
ServiceCall CallTimeService(std::span<const std::uint8_t> request, std::chrono::milliseconds timeout,
                            const CancelSignal* cancel, std::size_t max_reply = 4096);

// ---------------------------------------------------------------- service

struct ServiceAnswers {
  std::size_t max_request = 1024;
  // One whole request to its reply; runs on the thread that serves, one
  // request at a time.
  std::function<std::vector<std::uint8_t>(std::span<const std::uint8_t> request)> answer;
  std::vector<std::uint8_t> busy;     // for a caller while another is answered
  std::vector<std::uint8_t> refused;  // for a request longer than max_request
};

// Serves callers until `stop` fires: a caller that sends nothing whole
// within `read_limit` is dropped. False, with the OS's number, when it
// could not begin (the pipe is someone else's).
bool ServeTimeService(const ServiceAnswers& answers, const CancelSignal& stop, std::chrono::milliseconds read_limit,
                      std::uint32_t& os_error);

// Runs `serve` as the service the service manager started, `stop` firing
// when the manager asks it to stop; `serve`'s value is the exit code it
// reports. False, with the OS's number, when this process was not started
// by the service manager (ERROR_FAILED_SERVICE_CONTROLLER_CONNECT, 1063).
bool RunAsService(const std::function<int(const CancelSignal& stop)>& serve, std::uint32_t& os_error);

// Gives this process the right to set the clock it holds but has not
// switched on; false when it holds none.
bool EnableClockRight();

// ---------------------------------------------------------------- setup

enum class ServiceSetup : std::uint8_t {
  kDone,
  kNotAdministrator,  // the service manager refused: run it elevated
  kAlreadyThere,      // install: already installed
  kNotThere,          // remove: not installed
  kUnsupported,       // no such service on this system
  kFailed,            // anything else: os_error has the number
};

struct ServiceSetupResult {
  ServiceSetup outcome = ServiceSetup::kFailed;
  std::uint32_t os_error = 0;
  std::string note;  // what else is worth telling (a step that did not take)
};

// Installs this executable, run with `arguments`, as the service (auto
// start, as the least account that may set the clock) and starts it.
ServiceSetupResult InstallTimeService(const std::string& arguments);
// Stops and removes it.
ServiceSetupResult RemoveTimeService();

}  // namespace qv::platform
