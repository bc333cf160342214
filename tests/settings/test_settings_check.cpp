// The check button with a fake engine, the current-time display on the
// manual clock, the shortcuts after a save and the log buttons.
#include "platform/ctime.h"
#include "settings_harness.h"
#include "support/fake_clock.h"

namespace qv::settings::test {
namespace {

TEST_F(SettingsTest, CheckUsesTheDialogsValuesAndShowsTheOutcome) {
  for (const bool ok : {true, false}) {
    SCOPED_TRACE(ok ? "answered" : "failed");
    engine_ = FakeEngine();
    pauses_.clear();
    if (!ok) {
      engine_.outcome.stage = engine::Stage::kRecv;
      engine_.outcome.status = "ERROR (Recv)";
      engine_.outcome.detail = "10054";
      engine_.outcome.server_time.clear();
    }
    std::string while_waiting;
    engine_.during_check = [&] { while_waiting = W().Text(ctl::kServerTime); };
    // The failed one with the log and the running time (in the caption) on.
    WriteProfile(std::string("[Property]\nprotocol=daytime\nServerReferenceTime=0,6\nBeep=1\nTimeOut=9\n") +
                 (ok ? "" : "LogFile=1\nCurrentTimeDisplay=1,0,1\n"));
    Open({TypeInto(ctl::kServer, "time.example"), ClickOn(ctl::kCheck), Expect([&] {
            EXPECT_EQ(W().Text(ctl::kServerTime), ok ? "Tue Jan 06 09:05:03 2026" : "ERROR (Recv)");
            EXPECT_EQ(W().Text(ctl::kPcTime), "Tue Jan 06 09:05:01 2026");
          }),
          Esc()});
    EXPECT_EQ(while_waiting, "connecting...");
    ASSERT_EQ(engine_.checks.size(), 1u);
    const engine::Request& r = engine_.checks[0];
    EXPECT_EQ(r.server + " " + std::to_string(r.protocol) + std::to_string(r.timeout) + std::to_string(r.beep) +
                  std::to_string(r.reference_check) + std::to_string(r.reference_hours),
              "time.example 29106");
    EXPECT_EQ(engine_.logs, ok ? 0 : 1);
    EXPECT_EQ(pauses_, ok ? std::vector<unsigned>{} : std::vector<unsigned>{1000});
  }
  // No server, or a field out of range: no query.
  engine_ = FakeEngine();
  Open({TypeInto(ctl::kServer, ""), ClickOn(ctl::kCheck), Expect([&] { EXPECT_EQ(W().Text(ctl::kServerTime), ""); }),
        TypeInto(ctl::kServer, "a"), TypeInto(ctl::kTimeOut, "0"), ClickOn(ctl::kCheck), Esc()});
  EXPECT_TRUE(engine_.checks.empty());
  ASSERT_EQ(host_.message_boxes().size(), 2u);
  EXPECT_EQ(host_.message_boxes()[0].text, "ｻｰﾊﾞ名が不明です。");
}

class DisplayTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    clock_.SetUnixTime(1767657903);  // Tue 2026-01-06 00:05:03 UTC, 09:05:03 in JST
  }
  Step Tick(std::int64_t seconds) {
    return [this, seconds](HeadlessHost& h) {
      clock_.SetUnixTime(seconds);
      h.Advance(1000);
    };
  }
  qv::test::FakeClock clock_;
};

TEST_F(DisplayTest, RunsInTheFieldOrTheCaptionInTheChosenFormat) {
  WriteProfile("[Property]\nDialogSize=1\nCurrentTimeDisplay=1,0,0\n");
  const auto shown = [&] { return W().Text(ctl::kPcTime) + "|" + W().Caption(); };
  Open({Tick(1767657903), Expect([&] { EXPECT_EQ(shown(), "09:05:03|Quorvel  <Setting>"); }),
        ClickOn(ctl::kFormatDaytime), Expect([&] { EXPECT_EQ(shown(), "Tue Jan 06 09:05:03 2026|Quorvel  <Setting>"); }),
        ClickOn(ctl::kPositionCaption), Expect([&] { EXPECT_EQ(shown(), "|Tue Jan 06 09:05:03 2026"); }),
        Tick(1767657904), Expect([&] { EXPECT_EQ(shown(), "|Tue Jan 06 09:05:04 2026"); }),
        // Back into the dialog: the caption returns at once.
        ClickOn(ctl::kPositionDialog), Expect([&] { EXPECT_EQ(shown(), "Tue Jan 06 09:05:04 2026|Quorvel  <Setting>"); }),
        ClickOn(ctl::kPositionCaption), ClickOn(ctl::kClockOn), Tick(1767657999),
        // Off: the caption back, the field empty, the options disabled, no tick.
        Expect([&] {
          EXPECT_EQ(shown(), "|Quorvel  <Setting>");
          for (int id : {ctl::kFormatLabel, ctl::kFormatTime, ctl::kFormatDateTime, ctl::kFormatDaytime,
                         ctl::kPositionLabel, ctl::kPositionDialog, ctl::kPositionCaption})
            EXPECT_FALSE(W().IsEnabled(id)) << id;
        }),
        Esc()});
}

TEST_F(DisplayTest, ATimerThatCannotStartShowsTheTimeOnce) {
  WriteProfile("[Property]\nDialogSize=1\nCurrentTimeDisplay=1,0,1\n");
  host_.FailTimers(true);
  Open({Tick(1767657910), Tick(1767657911), Expect([&] {
          EXPECT_EQ(W().Caption(), "09:05:03");
          EXPECT_TRUE(W().IsEnabled(ctl::kFormatTime));
        }),
        Esc()});
}

// After every successful save: the desktop shortcut, then the start-up one,
// made or removed as the two options say, named by "ApplicationName".
TEST_F(SettingsTest, ShortcutsFollowTheOptionsOnEverySave) {
  const std::string target = MainProgramPath(profile_);
  const auto make = [&](const char* folder, const char* name) {
    return "make " + platform::ShortcutPath(folder, name) + " -> " + target;
  };
  const auto remove = [&](const char* folder, const char* name) {
    return "remove " + platform::ShortcutPath(folder, name);
  };
  struct Case {
    const char* profile;
    std::vector<Step> clicks;
    std::vector<std::string> calls;
  };
  std::vector<Case> cases = {
      {"", {ClickOn(ui::kIdOk)}, {remove("DESK", "Quorvel"), remove("START", "Quorvel")}},
      {"DesktopLink=1\n", {ClickOn(ui::kIdOk)}, {make("DESK", "Quorvel"), remove("START", "Quorvel")}},
      {"", {ClickOn(ctl::kStartupLink), ClickOn(ctl::kApply), ClickOn(ui::kIdCancel)},
       {remove("DESK", "Quorvel"), make("START", "Quorvel")}},
      {"StartupLink=1\nApplicationName=My Clock\n", {ClickOn(ui::kIdOk)},
       {remove("DESK", "My Clock"), make("START", "My Clock")}},
      {"DesktopLink=1\nApplicationName=..\\..\\evil\n", {ClickOn(ui::kIdOk)}, {}},
      {"DesktopLink=1\n", {ClickOn(ui::kIdCancel)}, {}},
  };
#ifndef _WIN32
  // Read byte for byte here: a name the Windows programs stored in CP932, and
  // bytes that are no text at all. (Windows reads them in its code page.)
  cases.push_back({"DesktopLink=1\nApplicationName=\x8E\x9E\x8C\x76\n", {ClickOn(ui::kIdOk)},
                   {make("DESK", "時計"), remove("START", "時計")}});
  cases.push_back({"StartupLink=1\nApplicationName=\x82\n", {ClickOn(ui::kIdOk)}, {}});
#endif
  for (const Case& c : cases) {
    SCOPED_TRACE(c.profile);
    shell_.calls.clear();
    WriteProfile(std::string("[Property]\nDialogSize=1\n") + c.profile + "[Debug]\nOptionButton=1\n");
    Open(c.clicks);
    EXPECT_EQ(shell_.calls, c.calls);
  }
  // A folder the system does not name is left out.
  shell_.calls.clear();
  shell_.desktop.clear();
  WriteProfile("[Property]\nDesktopLink=1\nStartupLink=1\n");
  Open({ClickOn(ui::kIdOk)});
  EXPECT_EQ(shell_.calls, (std::vector<std::string>{make("START", "Quorvel")}));
}

TEST_F(SettingsTest, LogButtons) {
  WriteProfile("[Property]\nDialogSize=1\n[Debug]\nOptionButton=1\n");
  const std::string log = dir_.File("Quorvel.log");
  host_.QueueAnswer(ui::kIdCancelResult);
  host_.QueueAnswer(ui::kIdOkResult);
  ui::WindowId id = 0;
  Open({[&](HeadlessHost& h) { id = h.Active()->Id(); }, ClickOn(ctl::kDeleteLog),
        Expect([&] { EXPECT_TRUE(shell_.calls.empty()) << "Cancel keeps the log"; }), ClickOn(ctl::kDeleteLog),
        ClickOn(ctl::kOpenProfile), ClickOn(ctl::kOpenLog), Esc()});
  ASSERT_EQ(host_.message_boxes().size(), 2u);
  EXPECT_EQ(host_.message_boxes()[0].text, "ﾛｸﾞﾌｧｲﾙ " + log + " を消去します。");
  EXPECT_EQ(host_.message_boxes()[0].flags, ui::kMbOkCancel | ui::kMbIconWarning);
  EXPECT_EQ(shell_.calls, (std::vector<std::string>{"remove " + log, "open " + profile_, "open " + log}));
  EXPECT_EQ(shell_.owner, id);
}

}  // namespace
}  // namespace qv::settings::test
