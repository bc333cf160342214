// The main program's string table.
#pragma once

#include "platform/dialog_template.h"

namespace qv::main {
const ui::StringTable& Strings();
}
