// Quorvel: the entry of the main program, on the program's dialog host.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "main/startup.h"
#include "platform/command_line.h"
#include "platform/process.h"
#include "profile/options.h"
#include "runner/query_runner.h"
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
  std::fflush(nullptr);
  // A query worker abandoned at a time-out or by Cancel ends as soon as its
  // waits are woken, but not inside a name lookup. The static destructors
  // of a normal end must not run under such a worker: only then does the
  // process end at once, without them. Otherwise it ends normally, so that
  // the sanitizer build checks it for leaks.
  if (!runner::WaitForWorkers(std::chrono::milliseconds(500))) std::_Exit(code);
  ui::SetHost(nullptr);
  return code;
}
