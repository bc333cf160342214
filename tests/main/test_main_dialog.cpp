// Start-up and the main dialog's display on the headless host: what the
// profile puts on the status line, the clock display, the fold, window
// placement, SHIFT at start, the about box, the time-zone records and the
// single instance.
#include <algorithm>

#include "main_fixture.h"

#include "base/text.h"
#include "main/strings.h"
#include "platform/instance.h"
#include "profile/app_state.h"

namespace qv::main::test {
namespace {

TEST_F(MainTest, StatusLineFollowsTheProfile) {
  // Indicators in the order L, B, i, 自動終了, at, hh:mm, ﾘﾄﾗｲ, count, interval.
  const int indicators[] = {kIdLogFile,  kIdBeep,       kIdIconicStart, kIdAutoTerminate, kIdDailyLabel,
                            kIdDailyTime, kIdRetryLabel, kIdRetryCount,  kIdRetryInterval};
  struct Row {
    const char* lines;
    const char *protocol, *time_out, *daily, *count, *interval, *enabled;
  } rows[] = {
      {"protocol=sntp\n", "time", "3s", "00:00", "0回", "0s", "000000000"},
      {"protocol=SNTP\nTimeOut=0\nlogfile=1\nbeep=1\nAdjustAt=1,24:60\nErrorRetry=1,3,10,0\n", "SNTP", "0s", "00:00",
       "3回", "10s", "110011111"},
      {"protocol=daytime\nTimeOut=-5\nAdjustAt=1,08:30\nErrorRetry=1,2,5,1\nAutoTerminate=1\nbeep=2\n", "daytime",
       "0s", "00:00", "2回", "5m", "000111111"},
      {"AdjustAt=0,7:30\nErrorRetry=1,2,1,2\nIconicStart=1\nAutoAdjust=0\n", "time", "3s", "07:30", "2回", "1h",
       "001000111"},
      {"ErrorRetry=1,2,10,7\nTimeOut=12\n", "time", "12s", "00:00", "2回", "10", "000000111"},
      // A negative limit is no retry at all.
      {"ErrorRetry=1,-1,10,0\n", "time", "3s", "00:00", "-1回", "10s", "000000000"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    WriteProfile(std::string(row.lines) + "indicatorline=1\n");
    Then([&](HeadlessHost&) {
      EXPECT_EQ(W().Text(kIdProtocolName), row.protocol);
      EXPECT_EQ(W().Text(kIdTimeOut), row.time_out);
      EXPECT_EQ(W().Text(kIdDailyTime), row.daily);
      EXPECT_EQ(W().Text(kIdRetryCount), row.count);
      EXPECT_EQ(W().Text(kIdRetryInterval), row.interval);
      std::string enabled;
      for (int id : indicators) enabled += W().IsEnabled(id) ? '1' : '0';
      EXPECT_EQ(enabled, row.enabled);
      EXPECT_TRUE(W().IsEnabled(kIdTimeOut));
    });
    Close();
    EXPECT_EQ(Run(), 0);
  }
}

TEST_F(MainTest, FoldCutsTheStatusLineAndApplyGrowsIt) {
  WriteProfile("indicatorline=0\nbeep=1\n");
  int full_height = 0;
  Then([&](HeadlessHost&) {
    const ui::Rect r = W().WindowRect();
    EXPECT_EQ(r.bottom, W().ControlRect(kIdFoldMarker).top);
    WriteProfile("indicatorline=1\nbeep=0\nlogfile=1\n");
  });
  PostToMain(WM_SETTINGS_NOTIFY, SETTINGS_APPLIED, 0);
  Then([&](HeadlessHost&) {
    full_height = W().WindowRect().Height();
    EXPECT_GT(W().WindowRect().bottom, W().ControlRect(kIdRetryCount).bottom);
    EXPECT_TRUE(W().IsEnabled(kIdLogFile));
    EXPECT_FALSE(W().IsEnabled(kIdBeep));
  });
  Close();
  Run();
  // The full size is the template's: 93 dialog units and the frame.
  const int base_y = HeadlessHost::BaseUnitsOf("ＭＳ Ｐゴシック", 9).y;
  EXPECT_EQ(full_height, 93 * base_y / 8 + 2 * HeadlessHost::kFrame + HeadlessHost::kCaptionHeight);
}

TEST_F(MainTest, ClockShowsInEitherPlaceAndTicks) {
  // What shows after the first tick, a second after the start.
  struct Row {
    const char* setting;
    const char *caption, *pc_line;
  } rows[] = {
      {"1,0,0", "Quorvel", "09:05:04"},
      {"1,2,0", "Quorvel", "Tue Jan 06 09:05:04 2026"},
      {"1,2,1", "Tue Jan 06 09:05:04 2026", ""},
      {"1,5,1", "09:05:04", ""},  // an unknown format is the time only
      {"1,2", "Quorvel", ""},     // fewer than three values: off
      {"2,0,0", "Quorvel", ""},   // on only when exactly 1
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.setting);
    clock_.SetUnixTime(1767657903);
    WriteProfile(std::string("CurrentTimeDisplay=") + row.setting + "\n");
    Then([&](HeadlessHost&) { clock_.SetUnixTime(1767657904); });
    Advance(1000);
    Then([&](HeadlessHost&) {
      EXPECT_EQ(W().Caption(), row.caption);
      EXPECT_EQ(W().Text(kIdPcTime), row.pc_line);
    });
    Close();
    Run();
  }
}

TEST_F(MainTest, WindowReopensWhereItWasInsideTheWorkArea) {
  struct Row {
    const char* stored;
    bool close_button;
    int left, top;  // -1: the right or bottom edge of the work area
    const char* written;  // after closing; nullptr: as stored
  } rows[] = {
      {"1,300,200,1", true, 300, 200, "1,300,200,1"},
      {"1,0,0,1", true, 1, 0, "1,1,0,1"},
      {"1,-50,-20,1", false, 1, 0, nullptr},  // ESC keeps what was stored
      {"1,2000,100,1", false, -1, 100, nullptr},
      {"1,100,700,1", false, 100, -1, nullptr},
      {"0,300,200,1", true, 0, 0, "0,0,0,1"},
      // Corners no window can have: pulled back as any other, no overflow.
      {"1,2147483364,2147483497,1", false, -1, -1, nullptr},
      {"1,-2147483648,2147483647,1", false, 0, -1, nullptr},
      {"1,2147483647,-2147483648,1", false, -1, 0, nullptr},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stored);
    WriteProfile(std::string("indicatorline=1\nWindowPos=") + row.stored + "\n");
    Then([&](HeadlessHost& h) {
      const ui::Rect r = W().WindowRect(), area = h.WorkArea();
      EXPECT_EQ(r.left, row.left < 0 ? area.right - r.Width() : row.left);
      EXPECT_EQ(r.top, row.top < 0 ? area.bottom - r.Height() : row.top);
      if (row.close_button)
        h.Click(ui::kIdOk);
      else
        h.PressEsc();
    });
    Run();
    EXPECT_EQ(ProfileValue("Property", "WindowPos"), row.written ? row.written : row.stored);
  }
}

TEST_F(MainTest, IconicStartAutoAdjustAndShift) {
  struct Row {
    const char* lines;
    bool shift, minimized;
    std::size_t adjusts;
    bool i_enabled;  // the "i" indicator shows the run's iconic start
  } rows[] = {
      {"IconicStart=1\n", false, true, 0, true},
      {"IconicStart=1\nAutoAdjust=1\n", true, false, 0, false},
      {"AutoAdjust=1\n", false, false, 1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.lines);
    WriteProfile(std::string(row.lines) + "indicatorline=1\n");
    engine_.calls.clear();
    beeps_.clear();
    host_.SetKeyDown(ui::Key::kShift, row.shift);
    Advance(3000);  // the notice after an adjustment at start
    Then([&](HeadlessHost&) {
      EXPECT_EQ(W().IsMinimized(), row.minimized);
      EXPECT_EQ(W().IsEnabled(kIdIconicStart), row.i_enabled);
      // The iconic start minimises without taking the activation.
      if (!row.minimized) {
        EXPECT_TRUE(W().activated());
      }
    });
    Close();
    Run();
    EXPECT_EQ(engine_.calls.size(), row.adjusts);
    if (row.adjusts) {
      EXPECT_TRUE(engine_.calls[0].adjust);
    }
    EXPECT_EQ(beeps_, row.shift ? std::vector<unsigned>{2560100} : std::vector<unsigned>{});
  }
  host_.SetKeyDown(ui::Key::kShift, false);
}

TEST_F(MainTest, SystemMenuOpensTheAboutBox) {
  WriteProfile("");
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(W().icon(), kIconProgram);
    EXPECT_EQ(W().control(kIdAdjust)->icon, kIconAdjust);
    // Size and Maximize removed; a separator and the about item added last.
    const auto& menu = W().system_menu();
    ASSERT_GE(menu.size(), 2u);
    for (const auto& item : menu) EXPECT_TRUE(item.command != ui::kScSize && item.command != ui::kScMaximize);
    EXPECT_EQ(menu[menu.size() - 2].command, 0u);
    EXPECT_EQ(menu.back().text, "ﾊﾞｰｼﾞｮﾝ情報 (&A)...");
    // Asked for twice by messages: the second finds the box up.
    EXPECT_TRUE(h.Post(W().Id(), ui::kWmSysCommand, kAboutCommand, 0));
    EXPECT_TRUE(h.Post(W().Id(), ui::kWmSysCommand, kAboutCommand, 0));
  });
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(h.ModalDepth(), 2);
    EXPECT_EQ(W().tmpl().id, kAboutDialogId);
    EXPECT_EQ(W().Caption(), "Quorvel ");
    EXPECT_EQ(W().Text(kIdAboutName), "Quorvel    Ver.1.00");
    h.PressEsc();
  });
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(W().tmpl().id, kMainDialogId);
    h.SystemCommand(ui::kScClose);
  });
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(MessageTexts().empty());
}

// Without the settings program beside it, the Settings button is hidden.
TEST_F(MainTest, StartRecordsTheZoneMarksTheWindowAndLooksForSettings) {
  WriteProfile("");
  arguments_ = "x/Dsntpy";  // the switch counts inside a word
  settings_.exists = false;
  Then([&](HeadlessHost& h) {
    EXPECT_EQ(W().Property(std::string(qv::StemOf(exe_))), 1);
    EXPECT_TRUE(profile::DebugSwitch());
    EXPECT_FALSE(W().IsVisible(kIdSettings));
    EXPECT_FALSE(h.Click(kIdSettings));
  });
  Click(kIdCheck);
  Close();
  EXPECT_EQ(Run(), 0);
  EXPECT_TRUE(settings_.started.empty());
  // The switch sends every SNTP exchange to the detail log beside the profile.
  ASSERT_EQ(engine_.calls.size(), 1u);
  EXPECT_EQ(engine_.calls[0].request.sntp_detail_log, ProfilePath().substr(0, ProfilePath().size() - 3) + "sntp.log");
  for (const char* key : {"tz1", "tz2"}) {
    const std::string record = ProfileValue("TZ", key);
    EXPECT_EQ(record.substr(0, 5), "0,-9,") << record;
    EXPECT_EQ(record.substr(record.size() - 6), ",JST-9") << record;
  }
  EXPECT_FALSE(ProfileValue("TZ", "tz0").empty());
  arguments_ = "-Dsntp";
  Close();
  Run();
  EXPECT_FALSE(profile::DebugSwitch());
}

TEST_F(MainTest, SecondInstanceIsRefusedBeforeAnything) {
  const platform::InstanceLock first(std::string(qv::StemOf(exe_)));
  ASSERT_EQ(first.state(), platform::InstanceLock::State::kHeld);
  EXPECT_EQ(Run(), 1);
  EXPECT_EQ(MessageTexts(), std::vector<std::string>{"Quorvelは既に起動しています。"});
  std::ifstream profile(FsPath(ProfilePath()));
  EXPECT_FALSE(profile.good()) << "no profile access";
}

// With NTS on in the profile the query asks for it, and an authenticated
// time is marked as such in the server time line.
TEST_F(MainTest, AuthenticatedTimeIsMarked) {
  WriteProfile("[Options]\nNTS=1\nNTSTrustFile=/etc/qv/ca.pem\n");
  QueryOutcome authenticated = Ok("Tue Jan 06 09:05:04 2026");
  authenticated.result.authenticated = true;
  engine_.outcomes = {authenticated, Ok("Tue Jan 06 09:05:05 2026")};
  Click(kIdCheck);
  Then([&](HeadlessHost&) { EXPECT_EQ(W().Text(kIdServerTime), "Tue Jan 06 09:05:04 2026 (NTS)"); });
  Click(kIdCheck);
  Then([&](HeadlessHost&) { EXPECT_EQ(W().Text(kIdServerTime), "Tue Jan 06 09:05:05 2026"); });
  Close();
  EXPECT_EQ(Run(), 0);
  ASSERT_EQ(engine_.calls.size(), 2u);
  EXPECT_TRUE(engine_.calls[0].request.nts);
  EXPECT_EQ(engine_.calls[0].request.nts_trust_file, "/etc/qv/ca.pem");
}

}  // namespace
}  // namespace qv::main::test
