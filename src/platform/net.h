// Sockets: the subset the engine needs, reporting Windows Sockets error
// numbers on every OS so status texts and logs read the same everywhere.
#pragma once

#include <cstdint>

namespace qv::platform {

// 0 means "no socket" (a job's socket field starts and ends at 0).
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle kNoSocket = 0;
inline constexpr SocketHandle kInvalidSocket = -1;

}  // namespace qv::platform
