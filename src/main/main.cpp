// Quorvel: the entry of the main program, on the program's dialog host.
#include <cstdlib>
#include <string>
#include <vector>

#include "main/startup.h"
#include "platform/command_line.h"
#include "platform/process.h"
#include "profile/options.h"
#include "ui/program_host.h"

int main(int argc, char** argv) {
  using namespace qv;
  const std::unique_ptr<ui::Host> host = ui::MakeProgramHost("Quorvel");
  ui::SetHost(host.get());
  main::StartupOptions options;
  options.executable_path = platform::ExecutablePath();
  if (const auto line = platform::NativeCommandLine())
    options.argument_text = std::string(profile::StripProgramName(*line));
  else
    options.argument_text = profile::JoinArguments(std::vector<std::string>(argv + 1, argv + argc));
  const int code = main::RunMainProgram(options);
  // A query worker abandoned at a time-out may still wait on its socket; it
  // holds nothing of ours, so the process ends without it.
  std::fflush(nullptr);
  std::_Exit(code);
}
