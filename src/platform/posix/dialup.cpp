#include "platform/dialup.h"

namespace qv::platform {

// No automatic dialling here: a query may always go out.
AutodialValue ReadAutodialValue() { return {}; }

std::uintptr_t FindActiveDialupConnection() { return 0; }

}  // namespace qv::platform
