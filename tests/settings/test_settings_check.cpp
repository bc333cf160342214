// The check button with a fake engine, the current-time display on the
// manual clock, the shortcuts after a save and the log buttons.
#include "engine/environment.h"
#include "platform/ctime.h"
#include "settings/engine_calls.h"
#include "settings_harness.h"
#include "support/fake_clock.h"

namespace qv::settings::test {
namespace {

TEST_F(SettingsTest, CheckUsesTheDialogsValuesAndShowsTheOutcome) {
  struct Case {
    bool ok;
    int log_file, clock_on;
    const char* server_field;  // 1001 afterwards
  } cases[] = {{true, 0, 0, "Tue Jan 06 09:05:03 2026"}, {false, 1, 1, "ERROR (Recv)"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.ok ? "answered" : "failed");
    engine_ = FakeEngine();
    pauses_.clear();
    if (!c.ok) engine_.outcome = {false, "", "Tue Jan 06 09:05:01 2026", "ERROR (Recv)", "10054"};
    std::string while_waiting;
    engine_.during_check = [&] { while_waiting = W().Text(ctl::kServerTime); };
    WriteProfile("[Property]\nDialogSize=1\nprotocol=daytime\nServerReferenceTime=0,6\nBeep=1\nTimeOut=9\n"
                 "LogFile=" + std::to_string(c.log_file) + "\nCurrentTimeDisplay=" + std::to_string(c.clock_on) +
                 ",0,1\n");
    Open({TypeInto(ctl::kServer, "time.example"), ClickOn(ctl::kCheck), Expect([&] {
            EXPECT_EQ(W().Text(ctl::kServerTime), c.server_field);
            EXPECT_EQ(W().Text(ctl::kPcTime), "Tue Jan 06 09:05:01 2026");
          }),
          ClickOn(ui::kIdCancel)});
    EXPECT_EQ(while_waiting, "connecting...");
    ASSERT_EQ(engine_.checks.size(), 1u);
    const CheckRequest& r = engine_.checks[0];
    EXPECT_EQ(std::vector<int>({r.protocol, r.time_out, r.beep, r.reference_check, r.reference_hours}),
              std::vector<int>({kDaytime, 9, 1, 0, 6}));
    EXPECT_EQ(r.server, "time.example");
    EXPECT_EQ(engine_.logs.size(), static_cast<std::size_t>(c.log_file));
    EXPECT_EQ(pauses_, c.clock_on ? std::vector<unsigned>{1000} : std::vector<unsigned>{});
  }
}

TEST_F(SettingsTest, NoCheckWithoutAServerOrWithABadField) {
  WriteProfile("[Property]\nDialogSize=1\n");
  Open({TypeInto(ctl::kServer, ""), ClickOn(ctl::kCheck), Expect([&] {
          ASSERT_EQ(host_.message_boxes().size(), 1u);
          EXPECT_EQ(host_.message_boxes()[0].text, "ｻｰﾊﾞ名が不明です。");
          EXPECT_EQ(W().Text(ctl::kServerTime), "");
        }),
        TypeInto(ctl::kServer, "a"), TypeInto(ctl::kTimeOut, "0"), ClickOn(ctl::kCheck), ClickOn(ui::kIdCancel)});
  EXPECT_TRUE(engine_.checks.empty());
  EXPECT_EQ(host_.message_boxes().size(), 2u);
}

// The status column of the log: the status, with ":" and the detail only
// when the check failed and there is a detail.
TEST(SettingsEngineCalls, LogLineOfACheck) {
  qv::test::TempDir dir;
  const std::string profile = dir.File("Quorvel.INI");
  engine::SetEnvironment({profile, false, "HostNotFound", nullptr});
  struct Case {
    CheckOutcome outcome;
    const char* line;
  } cases[] = {
      {{true, "Tue Jan 06 09:05:03 2026", "Tue Jan 06 09:05:01 2026", "OK", "0"},
       "Tue Jan 06 09:05:01 2026, a.example,    time,  check, OK, Tue Jan 06 09:05:03 2026"},
      {{false, "", "Tue Jan 06 09:05:01 2026", "ERROR (Connect)", "10061"},
       "Tue Jan 06 09:05:01 2026, a.example,    time,  check, ERROR (Connect):10061, "},
      {{false, "", "Tue Jan 06 09:05:01 2026", "ERROR (TimeOut)", ""},
       "Tue Jan 06 09:05:01 2026, a.example,    time,  check, ERROR (TimeOut), "}};
  std::string expected;
  for (const Case& c : cases) {
    RealEngine().LogCheck({kTime, "a.example", 5, 0, 1, 24}, c.outcome);
    expected += c.line;
    expected += "\n";
  }
  std::string log = qv::test::ReadWholeFile(ResultLogPath(profile));
  std::erase(log, '\r');
  EXPECT_EQ(log, expected);
  EXPECT_EQ(ResultLogPath(profile), dir.File("Quorvel.log"));
  engine::SetEnvironment({});
}

class DisplayTest : public SettingsTest {
 protected:
  void SetUp() override {
    SettingsTest::SetUp();
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    clock_.SetUnixTime(1767657903);  // Tue 2026-01-06 00:05:03 UTC, 09:05:03 in JST
  }
  qv::test::FakeClock clock_;
};

TEST_F(DisplayTest, RunsInTheFieldOrTheCaptionInTheChosenFormat) {
  WriteProfile("[Property]\nDialogSize=1\nCurrentTimeDisplay=1,0,0\n");
  Open({[](HeadlessHost& h) { h.Advance(1000); }, Expect([&] {
          EXPECT_EQ(W().Text(ctl::kPcTime), "09:05:03");
          EXPECT_TRUE(W().IsEnabled(ctl::kFormatDaytime));
        }),
        ClickOn(ctl::kFormatDaytime), Expect([&] { EXPECT_EQ(W().Text(ctl::kPcTime), "Tue Jan 06 09:05:03 2026"); }),
        ClickOn(ctl::kPositionCaption), Expect([&] {
          EXPECT_EQ(W().Text(ctl::kPcTime), "");
          EXPECT_EQ(W().Caption(), "Tue Jan 06 09:05:03 2026");
        }),
        [&](HeadlessHost& h) {
          clock_.SetUnixTime(1767657904);
          h.Advance(1000);
        },
        Expect([&] { EXPECT_EQ(W().Caption(), "Tue Jan 06 09:05:04 2026"); }),
        // Back into the dialog: the caption comes back at once.
        ClickOn(ctl::kPositionDialog), Expect([&] {
          EXPECT_EQ(W().Caption(), "Quorvel  <Setting>");
          EXPECT_EQ(W().Text(ctl::kPcTime), "Tue Jan 06 09:05:04 2026");
        }),
        ClickOn(ctl::kPositionCaption),
        // Off: the caption back, the field empty, the options disabled, no tick.
        ClickOn(ctl::kClockOn), [&](HeadlessHost& h) {
          clock_.SetUnixTime(1767657999);
          h.Advance(3000);
        },
        Expect([&] {
          EXPECT_EQ(W().Caption(), "Quorvel  <Setting>");
          EXPECT_EQ(W().Text(ctl::kPcTime), "");
          for (int id : {ctl::kFormatLabel, ctl::kFormatTime, ctl::kFormatDateTime, ctl::kFormatDaytime,
                         ctl::kPositionLabel, ctl::kPositionDialog, ctl::kPositionCaption})
            EXPECT_FALSE(W().IsEnabled(id)) << id;
        }),
        ClickOn(ui::kIdCancel)});
}

TEST_F(DisplayTest, ATimerThatCannotStartShowsTheTimeOnce) {
  WriteProfile("[Property]\nDialogSize=1\nCurrentTimeDisplay=1,0,1\n");
  host_.FailTimers(true);
  Open({[&](HeadlessHost& h) {
          clock_.SetUnixTime(1767657910);
          h.Advance(5000);
        },
        Expect([&] {
          EXPECT_EQ(W().Caption(), "09:05:03");
          EXPECT_TRUE(W().IsEnabled(ctl::kFormatTime));
        }),
        ClickOn(ui::kIdCancel)});
}

// After every successful save: the desktop shortcut, then the start-up one,
// made or removed as the two options say, named by "ApplicationName".
TEST_F(SettingsTest, ShortcutsFollowTheOptionsOnEverySave) {
  const std::string target = MainProgramPath(profile_);
  const std::string desk = platform::ShortcutPath("DESK", "Quorvel"), start = platform::ShortcutPath("START", "Quorvel");
  struct Case {
    const char* profile;
    std::vector<Step> clicks;
    std::vector<std::string> calls;
  };
  const std::vector<Case> cases = {
      {"DesktopLink=0\nStartupLink=0\n", {ClickOn(ui::kIdOk)}, {"remove " + desk, "remove " + start}},
      {"DesktopLink=1\nStartupLink=0\n", {ClickOn(ui::kIdOk)}, {"make " + desk + " -> " + target, "remove " + start}},
      {"DesktopLink=0\nStartupLink=0\n",
       {ClickOn(ctl::kStartupLink), ClickOn(ctl::kApply), ClickOn(ui::kIdCancel)},
       {"remove " + desk, "make " + start + " -> " + target}},
      {"StartupLink=1\nApplicationName=My Clock\n",
       {ClickOn(ui::kIdOk)},
       {"remove " + platform::ShortcutPath("DESK", "My Clock"),
        "make " + platform::ShortcutPath("START", "My Clock") + " -> " + target}},
      {"DesktopLink=1\nApplicationName=..\\..\\evil\n", {ClickOn(ui::kIdOk)}, {}},
      {"DesktopLink=1\n", {ClickOn(ui::kIdCancel)}, {}},
  };
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
  EXPECT_EQ(shell_.calls, (std::vector<std::string>{"make " + start + " -> " + target}));
}

TEST_F(SettingsTest, LogButtons) {
  WriteProfile("[Property]\nDialogSize=1\n[Debug]\nOptionButton=1\n");
  const std::string log = dir_.File("Quorvel.log");
  host_.QueueAnswer(ui::kIdCancelResult);
  host_.QueueAnswer(ui::kIdOkResult);
  ui::WindowId id = 0;
  Open({[&](HeadlessHost& h) { id = h.Active()->Id(); }, ClickOn(ctl::kDeleteLog),
        Expect([&] { EXPECT_TRUE(shell_.calls.empty()) << "Cancel keeps the log"; }), ClickOn(ctl::kDeleteLog),
        ClickOn(ctl::kOpenProfile), ClickOn(ctl::kOpenLog), ClickOn(ui::kIdCancel)});
  ASSERT_EQ(host_.message_boxes().size(), 2u);
  EXPECT_EQ(host_.message_boxes()[0].text, "ﾛｸﾞﾌｧｲﾙ " + log + " を消去します。");
  EXPECT_EQ(host_.message_boxes()[0].flags, ui::kMbOkCancel | ui::kMbIconWarning);
  EXPECT_EQ(shell_.calls, (std::vector<std::string>{"remove " + log, "open " + profile_, "open " + log}));
  EXPECT_EQ(shell_.last_owner, id);
}

}  // namespace
}  // namespace qv::settings::test
