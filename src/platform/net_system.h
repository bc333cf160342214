// What each OS's socket file provides to the OS-neutral part of net.h.
#pragma once

#include <string>
#include <vector>

#include "platform/net.h"

namespace qv::platform::detail {

// The system's own lookup of a non-empty name; same results as
// ResolveAddresses.
NetResult<std::vector<IpAddress>> SystemResolveAddresses(const std::string& name);

}  // namespace qv::platform::detail
