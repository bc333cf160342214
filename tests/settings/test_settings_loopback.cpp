// The check button for real: the engine and the settings variant of the
// query runner against qv-timeserver on loopback, and the result log.
#include "platform/ctime.h"
#include "runner/query_runner.h"
#include "settings/settings_app.h"
#include "settings_harness.h"
#include "support/timeserver_fixture.h"

namespace qv::settings::test {
namespace {

using qv::test::TimeServer;

class LoopbackCheck : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
  }
  void TearDown() override {
    EXPECT_TRUE(runner::WaitForWorkers(std::chrono::seconds(10)));
    SettingsTest::TearDown();
  }

  // Checks `server` by `protocol` with the log on; 1001 and 1003 afterwards.
  std::pair<std::string, std::string> Check(const std::string& server, const char* protocol) {
    WriteProfile(std::string("[Property]\nLogFile=1\nTimeOut=3\nprotocol=") + protocol + "\n");
    std::pair<std::string, std::string> fields;
    // One step: the runner's own modal loop must find no step to run.
    host_.Then([&](HeadlessHost& h) {
      EXPECT_TRUE(h.Type(ctl::kServer, server));
      EXPECT_TRUE(h.Click(ctl::kCheck));
      fields = {h.Active()->Text(ctl::kServerTime), h.Active()->Text(ctl::kPcTime)};
      h.PressEsc();
    });
    EXPECT_EQ(RunSettingsProgram("-profile=\"" + profile_ + "\" xyz", Services{nullptr, nullptr, &shell_, nullptr}),
              kExitOk);
    return fields;
  }
};

TEST_F(LoopbackCheck, AnsweredAndRefusedChecksAreShownAndLogged) {
  // 2026-01-06 00:05:03 UTC as a TIME value (seconds since 1900).
  TimeServer server(qv::test::servers::settings_time);
  ASSERT_TRUE(server.Ready()) << server.Problem();
  const std::string nobody = qv::test::kNobody;

  const auto [time_text, time_pc] = Check(server.Address(), "time");
  EXPECT_EQ(time_text, "Tue Jan 06 09:05:03 2026");
  const auto [refused_text, refused_pc] = Check(nobody, "daytime");
  EXPECT_EQ(refused_text.rfind("ERROR (", 0), 0u) << refused_text;

  std::string log = qv::test::ReadWholeFile(dir_.File("Quorvel.log"));
  std::erase(log, '\r');
  EXPECT_EQ(log, time_pc + ", " + server.Address() + ",    time,  check, OK, " + time_text + "\n" + refused_pc +
                     ", " + nobody + ", daytime,  check, " + refused_text + ":10061, \n");
  EXPECT_TRUE(host_.message_boxes().empty());
  EXPECT_EQ(ProfileText().find("DefaultServer"), std::string::npos) << "a check saves nothing";
}

}  // namespace
}  // namespace qv::settings::test
