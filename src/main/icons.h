// The main program's icons: 100 (the program: the shared clock art) and 501
// (the Adjust button: a clock face drawn here at 16, 32 and 48 pixels).
#pragma once

#include "ui/dialog_template.h"

namespace qv::main {

const ui::IconTable& Icons();

}  // namespace qv::main
