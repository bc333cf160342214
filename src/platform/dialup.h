// The system's dial-up state: whether it dials by itself when a program
// reaches for the network, and whether a dial-up connection is up. Windows
// keeps both (the "EnableAutodial" value and the remote access service);
// other systems never dial by themselves, so the value reads as missing.
#pragma once

#include <cstdint>
#include <vector>

namespace qv::platform {

struct AutodialValue {
  enum class State {
    kMissing,  // the key or the value does not exist
    kRead,     // `data` holds the value's bytes, whatever its type
    kFailed,   // it exists but could not be read (longer than 128 bytes, no access)
  };
  State state = State::kMissing;
  std::vector<std::uint8_t> data;
};

// "EnableAutodial" of the current user's
// Software\Microsoft\Windows\CurrentVersion\Internet Settings, read into at
// most 128 bytes.
AutodialValue ReadAutodialValue();

// The handle of the first active dial-up connection, 0 when none is up, the
// enumeration fails (more connections than its one-entry buffer holds
// included) or the system has no remote access service.
std::uintptr_t FindActiveDialupConnection();

}  // namespace qv::platform
