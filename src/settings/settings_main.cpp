// Quorcfg: the settings program, started by the main program.
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/command_line.h"
#include "profile/options.h"
#include "settings/settings_app.h"
#include "ui/program_host.h"

int main(int argc, char** argv) {
  using namespace qv;
  // The OS zone the main program handed down, before anything reads a time.
  platform::CaptureOsZone();
  const std::optional<std::string> native = platform::NativeCommandLine();
  const std::string args = native ? std::string(profile::StripProgramName(*native))
                                  : profile::JoinArguments(std::vector<std::string>(argv + 1, argv + argc));
  std::unique_ptr<ui::Host> host = ui::MakeProgramHost("Quorcfg");
  ui::SetHost(host.get());
  const int code = settings::RunSettingsProgram(args);
  ui::SetHost(nullptr);
  return code;
}
