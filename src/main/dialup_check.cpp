#include "main/dialup_check.h"

namespace qv::main {

namespace {
class SystemProbe final : public DialupProbe {
 public:
  platform::AutodialValue ReadAutodial() override { return platform::ReadAutodialValue(); }
  std::uintptr_t FindActiveConnection() override { return platform::FindActiveDialupConnection(); }
};
}  // namespace

int AutodialSetting(const platform::AutodialValue& value) {
  using State = platform::AutodialValue::State;
  if (value.state == State::kMissing) return 0;
  if (value.state != State::kRead || value.data.empty()) return -1;
  // Only the first byte counts, whatever the value's type.
  return value.data[0] == 1 ? 1 : value.data[0] == 0 ? 0 : -1;
}

DialupProbe& SystemDialup() {
  static SystemProbe probe;
  return probe;
}

bool CheckDialup(DialupProbe& probe) {
  switch (AutodialSetting(probe.ReadAutodial())) {
    case 0: return true;
    case 1: return probe.FindActiveConnection() != 0;
    default: return false;
  }
}

}  // namespace qv::main
