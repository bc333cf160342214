// The result log and the SNTP detail log, beside the profile.
#pragma once

#include <cstdint>
#include <string>

#include "engine/micro_time.h"

namespace qv::engine {

// The profile path up to and including its last '.', then the ending; the
// ending alone when the path has no '.'.
std::string LogFileName(const std::string& profile_path, const char* ending);

int WriteResultLog(const std::string& pc_time, const std::string& server, int protocol, int adjust,
                   const std::string& status_column, const std::string& server_time);

int WriteSntpDetailLog(const std::string& server, const std::uint8_t* converted_reply, const MicroTime* arrival);

}  // namespace qv::engine
