// Whether a query may go out now without making the system dial: yes when
// it does not dial by itself, or when it does and a dial-up connection is
// already up.
#pragma once

#include <cstdint>

#include "platform/dialup.h"

namespace qv::main {

// 1 automatic dialling on, 0 off, -1 unreadable (a first byte other than 0
// and 1, or a value that could not be read). A missing key or value is off:
// a machine that never had dial-up must not refuse every query.
int AutodialSetting(const platform::AutodialValue& value);

// The system's dial-up state, asked afresh each time; tests give their own.
class DialupProbe {
 public:
  virtual ~DialupProbe() = default;
  virtual platform::AutodialValue ReadAutodial() = 0;
  virtual std::uintptr_t FindActiveConnection() = 0;
};
DialupProbe& SystemDialup();

bool CheckDialup(DialupProbe& probe);

}  // namespace qv::main
