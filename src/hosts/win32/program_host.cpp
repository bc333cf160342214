#include "ui/program_host.h"

#include "hosts/win32/dialog_host.h"

namespace qv::ui {

std::unique_ptr<Host> MakeProgramHost(const std::string&) { return std::make_unique<Win32Host>(); }

}  // namespace qv::ui
