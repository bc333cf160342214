// "Show times in this PC's zone" in the settings program: the running time
// and a check's server time, in the programs' fixed zone or the PC's, on a
// PC outside Japan with a fake clock, the check against qv-timeserver.
#include "platform/net.h"
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
  ASSERT_EQ(platform::NetStartup(), 0);
  ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
  qv::test::FakeClock clock;
  const qv::test::PcZone zone(clock);
  EXPECT_TRUE(!zone.new_york || zone.pc_line == qv::test::PcZone::kNewYork) << zone.pc_line;
  runner::InstallQueryRunner(runner::Variant::kSettings);
  const std::unique_ptr<EngineCalls> real = MakeRealEngine(profile_);
  engine_used_ = real.get();

  // A check's server and PC times, then the running time. What follows a
  // check is queued once it has returned (it waits in the runner's loop).
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

  const std::string japan = qv::test::PcZone::kJapan, pc = zone.pc_line;
  EXPECT_EQ(seen, (std::vector<std::string>{japan + " | " + pc, japan, pc, pc + " | " + pc, pc}));
  EXPECT_NE(pc, japan) << "a PC in Japan time tells nothing apart";
}

}  // namespace
}  // namespace qv::settings::test
