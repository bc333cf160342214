#include "main/startup.h"

#include <array>
#include <chrono>
#include <memory>

#include "base/text.h"
#include "main/icons.h"
#include "main/main_dialog.h"
#include "main/profile_calls.h"
#include "main/strings.h"
#include "platform/codepage.h"
#include "platform/clock.h"
#include "platform/ctime.h"
#include "platform/czone_state.h"
#include "platform/instance.h"
#include "platform/net.h"
#include "platform/process.h"
#include "profile/app_state.h"
#include "profile/options.h"
#include "profile/properties.h"
#include "runner/query_runner.h"

namespace qv::main {

namespace {

// The C runtime's zone state as a "TZ" record; its names are in the
// system's code page.
std::string ZoneRecord() {
  const platform::CRuntimeZoneState z = platform::ReadCRuntimeZone();
  // An unset TZ is written as the runtime writes a null string.
  return profile::FormatTimeZoneRecord(z.daylight, z.seconds_west / 3600, platform::CodePageToUtf8(platform::AnsiCodePage(), z.standard_name),
                                       platform::CodePageToUtf8(platform::AnsiCodePage(), z.daylight_name), z.tz.value_or("(null)"));
}

}  // namespace

int RunMainProgram(const StartupOptions& options) {
  ui::SetStringTable(&Strings());
  ui::SetIconTable(&Icons());
  // The OS zone is the one we started with, whatever TZ becomes below.
  platform::CaptureOsZone();

  const std::string base_name(StemOf(options.executable_path));
  const platform::InstanceLock instance(base_name);
  if (instance.state() == platform::InstanceLock::State::kAlreadyRunning) {
    ui::ShowMessage(ui::LoadText(kStrAlreadyRunning));
    return 1;
  }
  // Nothing proves that no other instance runs: a second main window would
  // adjust and schedule beside the first.
  if (instance.state() == platform::InstanceLock::State::kUnavailable) {
    ui::ShowMessage(text::kNoInstanceLock + instance.problem());
    return 1;
  }
  if (platform::NetStartup() != 0) {
    ui::ShowMessage(ui::LoadText(kStrSocketsFailed));
    return 1;
  }

  profile::ScanDebugSwitch(options.argument_text, profile::kMainDebugSwitch);
  const std::string profile_path = profile::ProgramProfilePath(options.executable_path);
  profile::SetProfilePath(profile_path);
  MainProfile profile(profile_path);

  // Times the runtime renders (server times, the clock display) are Japan
  // Standard Time whatever the system's zone; the records show what was
  // found and what was made of it.
  std::array<std::string, 3> records;
  records[0] = ZoneRecord();
  if (!platform::SetCRuntimeZone("JST-9")) ui::ShowMessage(text::kCannotSetTz);
  records[1] = ZoneRecord();
  platform::ClearCRuntimeDaylight();
  records[2] = ZoneRecord();
  profile.WriteTimeZoneRecords(records);

  if (!options.engine) runner::InstallQueryRunner(runner::Variant::kMain);
  const std::unique_ptr<EngineCalls> real_engine = options.engine ? nullptr : MakeRealEngine(profile_path);

  SettingsProcess settings_process;
  MainServices services;
  services.engine = options.engine ? options.engine : real_engine.get();
  services.profile = &profile;
  services.dialup = options.dialup ? options.dialup : &SystemDialup();
  services.settings = options.settings ? options.settings : &settings_process;
  services.now_ms = options.now_ms ? options.now_ms : [] {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::int64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
  };
  services.beep = options.beep ? options.beep : [](unsigned hz, unsigned ms) { platform::Beep(hz, ms); };
  services.property_name = base_name;
  services.executable_path = options.executable_path;
  {
    MainDialog dialog(std::move(services));
    dialog.DoModal(0);
  }
  return 0;
}

}  // namespace qv::main
