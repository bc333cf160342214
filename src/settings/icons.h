// The settings program's icons: 128 (the program) and 139 (the check
// button).
#pragma once

#include "ui/dialog_template.h"

namespace qv::settings {
const ui::IconTable& Icons();
}
