// "Show times in this PC's zone" in the settings program: the running time
// and a check's server time, in the programs' fixed zone or the PC's, on a
// PC outside Japan with a fake clock, the check against qv-timeserver.
#include "platform/ctime.h"
#include "runner/query_runner.h"
#include "settings/options_template.h"
#include "settings_harness.h"
#include "support/pc_zone.h"
#include "support/timeserver_fixture.h"

namespace qv::settings::test {
namespace {

TEST_F(SettingsTest, TimesReadInThePcZoneOnceTheOptionIsOn) {
  qv::test::TimeServer server(qv::test::servers::st_zone);  // TIME: always the moment below
  ASSERT_SERVER(server);
  ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
  qv::test::FakeClock clock;
  const qv::test::PcZone zone(clock);
  if (zone.new_york()) {
    EXPECT_EQ(zone.pc_line(), qv::test::PcZone::kNewYork);
  }
  runner::InstallQueryRunner(runner::Variant::kSettings);
  const std::unique_ptr<EngineCalls> real = MakeRealEngine(profile_);
  engine_used_ = real.get();

  // The check's server time and PC time, then the running time in the field.
  // A check waits in the runner's loop: what follows it is queued only once
  // it has returned.
  std::vector<std::string> seen;
  const Step shown = [&](HeadlessHost& h) { seen.push_back(h.Active()->Text(ctl::kPcTime)); };
  const auto check = [&](std::vector<Step> after) -> Step {
    return [&seen, after](HeadlessHost& h) {
      EXPECT_TRUE(h.Click(ctl::kCheck));
      seen.push_back(h.Active()->Text(ctl::kServerTime) + " | " + h.Active()->Text(ctl::kPcTime));
      h.Advance(1000);
      for (const Step& step : after) h.Then(step);
    };
  };
  WriteProfile("[Property]\nDefaultServer=" + server.Address() +
               "\nprotocol=time\nCurrentTimeDisplay=1,2,0\nDialogSize=1\n");
  Open({check({shown, ClickOn(ctl::kOptions), ClickOn(opt::kLocalZone), ClickOn(ui::kIdOk), shown,
               check({shown, Esc()})})});
  EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(10)));

  const std::string japan = qv::test::PcZone::kJapan, pc = zone.pc_line();
  std::printf("PC time line: %s\nLocalZone=0: server time %s\nLocalZone=1: server time %s\n", pc.c_str(),
              seen.size() > 0 ? seen[0].c_str() : "", seen.size() > 3 ? seen[3].c_str() : "");
  EXPECT_EQ(seen, (std::vector<std::string>{japan + " | " + pc, japan, pc, pc + " | " + pc, pc}));
  if (!zone.differs()) GTEST_SKIP() << "this PC's zone is Japan time: the option changes nothing here";
}

}  // namespace
}  // namespace qv::settings::test
