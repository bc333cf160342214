// Setting the clock from a server's answer, through the platform clock.
#pragma once

#include <string>

#include "engine/micro_time.h"
#include "platform/clock.h"

namespace qv::engine {

int AdjustSystemClock(const std::string& server, int timeout, int beep, int reference_check, int reference_hours,
                      std::string& new_time, std::string& pc_time, std::string& status, std::string& detail);

int AdjustLocalClock(int protocol, const std::string& server, int timeout, int beep, std::string& server_time,
                     std::string& pc_time, std::string& status, int& error_code);

// False when the seconds cannot be broken down.
bool MicroTimeToSystemTime(MicroTime t, platform::SystemTime& out);

}  // namespace qv::engine
