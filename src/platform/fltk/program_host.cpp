#include "ui/program_host.h"

#include "platform/fltk/fltk_host.h"

namespace qv::ui {

std::unique_ptr<Host> MakeProgramHost() { return std::make_unique<fltk::FltkHost>(); }

}  // namespace qv::ui
