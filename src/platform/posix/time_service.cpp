// No such service on this system: the clock's helpers on Linux are the
// system's own (posix/clock.cpp), and a refusal there stands.
#include "platform/time_service.h"

#include <cerrno>

namespace qv::platform {

bool HasTimeService() { return false; }

ServiceCall CallTimeService(std::span<const std::uint8_t>, std::chrono::milliseconds, const CancelSignal*,
                            std::size_t) {
  ServiceCall call;
  call.end = ServiceCallEnd::kNotInstalled;
  call.os_error = ENOSYS;
  return call;
}

bool ServeTimeService(const ServiceAnswers&, const CancelSignal&, std::chrono::milliseconds, std::uint32_t& os_error) {
  os_error = ENOSYS;
  return false;
}

bool RunAsService(const std::function<int(const CancelSignal&)>&, std::uint32_t& os_error) {
  os_error = ENOSYS;
  return false;
}

bool EnableClockRight() { return false; }

ServiceSetupResult InstallTimeService(const std::string&) { return {ServiceSetup::kUnsupported, ENOSYS, {}}; }
ServiceSetupResult RemoveTimeService() { return {ServiceSetup::kUnsupported, ENOSYS, {}}; }

}  // namespace qv::platform
