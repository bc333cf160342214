// The main program's string table.
#pragma once

#include "ui/dialog_template.h"

namespace qv::main {
const ui::StringTable& Strings();
}
