// "Show times in this PC's zone" in the main program: a check's server time
// and the running time, on a PC outside Japan with a fake clock, against
// qv-timeserver; the option taken up by a reload while the program runs.
#include "main_fixture.h"
#include "runner/query_runner.h"
#include "support/pc_zone.h"
#include "support/timeserver_fixture.h"

namespace qv::main::test {
namespace {

TEST_F(MainTest, TimesReadInThePcZoneOnceTheOptionIsOn) {
  qv::test::TimeServer server(qv::test::servers::mn_zone);  // TIME: always the moment of PcZone
  ASSERT_SERVER(server);
  const qv::test::PcZone zone(clock_);
  EXPECT_TRUE(!zone.new_york || zone.pc_line == qv::test::PcZone::kNewYork) << zone.pc_line;
  real_engine_ = true;
  // The running time in the caption, the check's PC time in its field.
  const std::string lines = "DefaultServer=" + server.Address() + "\nprotocol=time\nCurrentTimeDisplay=1,2,1\n";
  WriteProfile(lines);
  std::vector<std::string> seen;
  const auto back = [](HeadlessHost& h) { return h.ModalDepth() == 1 && !runner::WorkerSlotBusy(); };
  const auto record = [&] {
    seen.push_back(W().Text(kIdServerTime) + " | " + W().Text(kIdPcTime) + " | " + W().Caption());
  };
  Click(kIdCheck);
  Await(back, [&](HeadlessHost& h) {
    record();
    // The settings program saved the option and says so.
    WriteProfile(lines + "[Options]\nLocalZone=1\n");
    EXPECT_TRUE(h.Post(W().Id(), WM_SETTINGS_NOTIFY, SETTINGS_APPLIED, 0));
    Then([&](HeadlessHost&) {
      seen.push_back(W().Caption());
      Click(kIdCheck);
      Await(back, [&](HeadlessHost& hh) {
        record();
        hh.Click(ui::kIdOk);
      });
    });
  });
  Run();
  EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(10)));

  const std::string japan = qv::test::PcZone::kJapan, pc = zone.pc_line;
  EXPECT_EQ(seen, (std::vector<std::string>{japan + " | " + pc + " | " + japan, pc, pc + " | " + pc + " | " + pc}));
  EXPECT_NE(pc, japan) << "a PC in Japan time tells nothing apart";
}

}  // namespace
}  // namespace qv::main::test
