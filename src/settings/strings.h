// The settings program's string table.
#pragma once

#include "platform/dialog_template.h"

namespace qv::settings {
const ui::StringTable& Strings();
}
