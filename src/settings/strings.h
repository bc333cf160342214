// The settings program's string table.
#pragma once

#include "ui/dialog_template.h"

namespace qv::settings {
const ui::StringTable& Strings();
}
