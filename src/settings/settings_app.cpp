#include "settings/settings_app.h"

#include "platform/net.h"
#include "platform/process.h"
#include "profile/app_state.h"
#include "profile/options.h"
#include "runner/query_runner.h"
#include "settings/icons.h"
#include "settings/strings.h"

namespace qv::settings {

int RunSettingsProgram(std::string_view args, Services services) {
  ui::SetStringTable(&Strings());
  ui::SetIconTable(&Icons());
  if (platform::NetStartup() != 0) {
    ui::ShowMessage(ui::LoadText(kStrSocketFailed));
    return kExitRefused;
  }
  profile::ScanDebugSwitch(args, profile::kSettingsDebugSwitch);
  const std::optional<profile::SettingsOptions> options = profile::ParseSettingsOptions(args);
  if (!options) {
    ui::ShowMessage(ui::LoadText(kStrStartedAlone));
    return kExitRefused;
  }
  profile::SetProfilePath(options->profile_path);
  const ui::WindowId main_window = options->caller_window;

  runner::InstallQueryRunner(runner::Variant::kSettings);

  std::unique_ptr<ProfileCalls> profile_file;
  if (!services.profile) {
    profile_file = MakeProfileCalls(profile::ProfilePath());
    services.profile = profile_file.get();
  }
  std::unique_ptr<EngineCalls> real_engine;
  if (!services.engine) {
    real_engine = MakeRealEngine(profile::ProfilePath());
    services.engine = real_engine.get();
  }
  if (!services.shell) services.shell = &RealShell();
  if (!services.pause) services.pause = platform::SleepMs;

  SettingsDialog dialog(std::move(services), profile::ProfilePath(), main_window);
  dialog.DoModal(0);
  return kExitOk;
}

}  // namespace qv::settings
