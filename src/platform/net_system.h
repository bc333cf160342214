// What each OS's socket file provides to the OS-neutral part of net.h.
#pragma once

#include <cstdint>
#include <string>

#include "platform/net.h"

namespace qv::platform::detail {

// The system's own lookup of a non-empty name; same results as ResolveIPv4.
NetResult<std::uint32_t> SystemResolveIPv4(const std::string& name);

}  // namespace qv::platform::detail
