// What each OS's socket file provides to the OS-neutral part of net.h.
#pragma once

#include <cstdint>
#include <string>

namespace qv::platform::detail {

// The system's own lookup of a non-empty name; same results as ResolveIPv4.
int SystemResolveIPv4(const std::string& name, std::uint32_t& address);

}  // namespace qv::platform::detail
