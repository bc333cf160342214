// Terminal services for the command-line program.
#pragma once

#include <functional>

namespace qv::platform {

bool StderrIsTerminal();
// Calls the handler (on a thread of its own) each time the user presses
// Ctrl-C; the process is not ended by it.
void InstallInterruptHandler(std::function<void()> handler);

}  // namespace qv::platform
