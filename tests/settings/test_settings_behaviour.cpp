// The detail fold, the enable and protocol rules, the status-line preview,
// the option buttons, the spin controls and the fill from the clock.
#include "settings_harness.h"
#include "support/fake_clock.h"
#include "ui/dialog_rules.h"

namespace qv::settings::test {
namespace {

// 1 for each control that is visible (or enabled), in the order given.
std::string Flags(ui::HeadlessWindow& w, std::initializer_list<int> ids, bool enabled = false) {
  std::string flags;
  for (int id : ids) flags += (enabled ? w.IsEnabled(id) : w.IsVisible(id)) ? '1' : '0';
  return flags;
}

TEST_F(SettingsTest, FoldAndUnfoldAtTheSeparator) {
  WriteProfile("[Property]\nDialogSize=0\n[Debug]\nOptionButton=1\n");
  const auto detail = {ctl::kDaily, ctl::kClockOn, ctl::kReferenceHours, ctl::kOpenProfile, ctl::kApply,
                       ctl::kReferenceHoursSpin};
  int folded = 0, full = 0;
  Open({Expect([&] {
          folded = W().WindowRect().Height();
          EXPECT_EQ(folded, W().ControlRect(ctl::kSeparator).top - W().WindowRect().top) << "ends at the line";
          EXPECT_EQ(W().Text(ctl::kFold), "詳細(&M)≫");
          EXPECT_EQ(Flags(W(), detail), "000001") << "the up-down is cut off, not hidden";
        }),
        ClickOn(ctl::kFold), Expect([&] {
          full = W().WindowRect().Height();
          EXPECT_EQ(W().Text(ctl::kFold), "≪ 詳細(&M)");
          EXPECT_EQ(Flags(W(), detail), "111111");
        }),
        ClickOn(ctl::kFold), Expect([&] { EXPECT_EQ(W().WindowRect().Height(), folded); }), Esc()});
  EXPECT_GT(full, folded + 200);
}

// The two switches go with the detail area, their fields (up-downs too)
// with the switches; checking one enables its fields at once.
TEST_F(SettingsTest, EnableRulesFollowTheDetailAreaAndTheirSwitch) {
  const auto ids = {ctl::kDaily,      ctl::kRetry,          ctl::kHour,          ctl::kHourSpin,
                    ctl::kMinute,     ctl::kFillFromClock,  ctl::kAtLabel,       ctl::kRetryCount,
                    ctl::kRetryIntervalSpin, ctl::kUnitHours, ctl::kRetryCountLabel, ctl::kUnitClose};
  for (const auto& [profile, flags] : std::vector<std::pair<std::string, std::string>>{
           {"DialogSize=0\nAdjustAt=1,1:2\nErrorRetry=1,1,2,0", "000000000000"},
           {"DialogSize=1\nAdjustAt=0,1:2\nErrorRetry=0,1,2,0", "110000000000"},
           {"DialogSize=1\nAdjustAt=1,1:2\nErrorRetry=0,1,2,0", "111111100000"},
           {"DialogSize=1\nAdjustAt=0,1:2\nErrorRetry=1,1,2,0", "110000011111"}}) {
    WriteProfile("[Property]\n" + profile + "\n");
    Open({Expect([&, flags = flags] { EXPECT_EQ(Flags(W(), ids, true), flags) << profile; }), Esc()});
  }
  WriteProfile("[Property]\nDialogSize=1\n");
  Open({ClickOn(ctl::kDaily), ClickOn(ctl::kRetry), Expect([&] { EXPECT_EQ(Flags(W(), ids, true), "111111111111"); }),
        Esc()});
}

// The reference check counts for SNTP only, its hours only while it is on.
TEST_F(SettingsTest, ProtocolRule) {
  const auto ids = {ctl::kReferenceCheck, ctl::kReferenceHours, ctl::kReferenceHoursSpin, ctl::kReferenceLabel};
  struct Case {
    int choose;
    const char* check;  // the reference check as stored
    const char* flags;
  } cases[] = {{1, "1", "0000"}, {2, "1", "0000"}, {0, "1", "1111"}, {0, "0", "1000"}};
  for (const Case& c : cases) {
    WriteProfile(std::string("[Property]\nDialogSize=1\nprotocol=daytime\nServerReferenceTime=") + c.check + ",24\n");
    Open({Expect([&] { EXPECT_EQ(Flags(W(), ids, true), "0000"); }),
          [&](HeadlessHost& h) { EXPECT_TRUE(h.Choose(ctl::kProtocol, c.choose)); }, Expect([&] {
            EXPECT_EQ(dialog_->protocol_index(), c.choose);
            EXPECT_EQ(Flags(W(), ids, true), c.flags) << c.choose << " " << c.check;
          }),
          Esc()});
  }
  WriteProfile("[Property]\nDialogSize=1\n");
  Open({ClickOn(ctl::kReferenceCheck), Expect([&] { EXPECT_EQ(Flags(W(), ids, true), "1000"); }),
        ClickOn(ctl::kReferenceCheck), Expect([&] { EXPECT_EQ(Flags(W(), ids, true), "1111"); }), Esc()});
}

TEST_F(SettingsTest, StatusLinePreviewShowsTheControlsAsTheyStand) {
  WriteProfile(
      "[Property]\nDialogSize=1\nIndicatorLine=1\nLogFile=1\nIconicStart=1\nTimeOut=8\nAdjustAt=1,10:7\n"
      "ErrorRetry=1,3,15,1\n");
  // L B i 10s 自動終了 at ﾘﾄﾗｲ 9/10 99s 10:10
  const auto labels = {ctl::kPreviewLog,     ctl::kPreviewBeep,  ctl::kPreviewIconic, ctl::kPreviewTimeOut,
                       ctl::kPreviewAutoEnd, ctl::kPreviewAt,    ctl::kPreviewRetry,  ctl::kPreviewCount,
                       ctl::kPreviewInterval, ctl::kPreviewDaily};
  const auto texts = [&] {
    return W().Text(ctl::kPreviewTimeOut) + " " + W().Text(ctl::kPreviewDaily) + " " +
           W().Text(ctl::kPreviewCount) + " " + W().Text(ctl::kPreviewInterval);
  };
  Open({Expect([&] {
          EXPECT_EQ(texts(), "8s 10:7 3回 15m");
          EXPECT_EQ(Flags(W(), labels, true), "1011011111");
        }),
        // Texts as typed, once the field is left or a unit is clicked.
        TypeInto(ctl::kMinute, "07"), TypeInto(ctl::kRetryInterval, "2"), ClickOn(ctl::kUnitHours),
        Expect([&] { EXPECT_EQ(texts(), "8s 10:07 3回 2h"); }), ClickOn(ctl::kRetry), ClickOn(ctl::kBeep),
        Expect([&] { EXPECT_EQ(Flags(W(), labels, true), "1111010001"); }), ClickOn(ctl::kIndicatorLine),
        Expect([&] { EXPECT_EQ(Flags(W(), labels), "0000000000"); }), Esc()});
}

TEST_F(SettingsTest, CtrlWithDeleteLogTogglesTheOptionButtons) {
  WriteProfile("[Property]\nDialogSize=1\n");
  host_.SetKeyDown(ui::Key::kControl, true);
  const auto buttons = {ctl::kOpenProfile, ctl::kOpenLog, ctl::kApply};
  Open({Expect([&] { EXPECT_EQ(Flags(W(), buttons), "000"); }), ClickOn(ctl::kDeleteLog),
        Expect([&] { EXPECT_EQ(Flags(W(), buttons), "111"); }), ClickOn(ctl::kDeleteLog),
        Expect([&] { EXPECT_EQ(Flags(W(), buttons), "000"); }), Esc()});
  EXPECT_TRUE(host_.message_boxes().empty());
  EXPECT_TRUE(shell_.calls.empty()) << "the log is never deleted";
}

// Up-downs: their ranges, wrapping at both ends, and the faster steps of the
// minute and interval arrows.
TEST_F(SettingsTest, SpinRangesWrapAndAccelerate) {
  struct Case {
    int spin;
    const char* start;
    int steps;
    const char* after;
  } cases[] = {{ctl::kTimeOutSpin, "30", 1, "0"},         {ctl::kTimeOutSpin, "0", -1, "30"},
               {ctl::kHourSpin, "23", 1, "0"},            {ctl::kHourSpin, "0", -1, "23"},
               {ctl::kMinuteSpin, "59", 1, "0"},          {ctl::kRetryCountSpin, "10", 1, "1"},
               {ctl::kRetryCountSpin, "1", -1, "10"},     {ctl::kRetryIntervalSpin, "99", 1, "1"},
               {ctl::kReferenceHoursSpin, "24", 1, "1"},  {ctl::kReferenceHoursSpin, "1", -1, "24"}};
  WriteProfile("[Property]\nDialogSize=1\nAdjustAt=1,0:0\nErrorRetry=1,1,1,0\n");
  std::vector<Step> steps;
  for (const Case& c : cases) {
    const int field = ui::rules::SpinBuddy(SettingsTemplate(), c.spin);
    steps.push_back(TypeInto(field, c.start));
    steps.push_back([c, field](HeadlessHost& h) {
      EXPECT_TRUE(h.Spin(c.spin, c.steps));
      EXPECT_EQ(h.Active()->Text(field), c.after) << c.spin << " from " << c.start;
    });
  }
  steps.push_back(Expect([&] {
    for (int spin : {ctl::kMinuteSpin, ctl::kRetryIntervalSpin, ctl::kHourSpin, ctl::kTimeOutSpin}) {
      std::string rows;
      for (const ui::SpinAccel& a : W().control(spin)->spin_accel)
        rows += std::to_string(a.seconds) + "s:" + std::to_string(a.step) + " ";
      EXPECT_EQ(rows, spin == ctl::kMinuteSpin || spin == ctl::kRetryIntervalSpin ? "1s:1 3s:5 " : "") << spin;
    }
  }));
  steps.push_back(Esc());
  Open(std::move(steps));
}

// One minute ahead of the OS's local clock; 59 carries into the next hour.
TEST_F(SettingsTest, FillFromTheClock) {
  qv::test::FakeClock clock;
  WriteProfile("[Property]\nDialogSize=1\nAdjustAt=1,5:5\n");
  for (const auto& [hour, minute, stored] : std::vector<std::tuple<int, int, std::string>>{
           {23, 59, "1,0:0"}, {9, 59, "1,10:0"}, {10, 30, "1,10:31"}}) {
    clock.SetLocalReading({2026, 1, 2, 6, static_cast<std::uint16_t>(hour), static_cast<std::uint16_t>(minute), 30, 0});
    Open({ClickOn(ctl::kFillFromClock), ClickOn(ui::kIdOk)});
    EXPECT_EQ(Stored("AdjustAt"), stored);
  }
}

}  // namespace
}  // namespace qv::settings::test
