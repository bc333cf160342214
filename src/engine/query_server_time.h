#pragma once

#include <string>

namespace qv::engine {

// One query by any protocol; the server time text for TIME, DAYTIME (first
// line as received) and SNTP (transmit time, unchecked).
int QueryServerTime(int protocol, const std::string& server, int timeout, int beep, std::string& server_time,
                    std::string& status, int& error_code);

}  // namespace qv::engine
