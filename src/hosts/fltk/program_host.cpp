#include "ui/program_host.h"

#include "hosts/fltk/fltk_host.h"

namespace qv::ui {

std::unique_ptr<Host> MakeProgramHost(const std::string& program) { return std::make_unique<fltk::FltkHost>(program); }

}  // namespace qv::ui
