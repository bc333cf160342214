// The detail fold, the enable and protocol rules, the status-line preview,
// the option buttons, the spin controls and the fill from the clock.
#include "settings_harness.h"
#include "support/fake_clock.h"

namespace qv::settings::test {
namespace {

TEST_F(SettingsTest, FoldAndUnfoldAtTheSeparator) {
  WriteProfile("[Property]\nDialogSize=0\n[Debug]\nOptionButton=1\n");
  int full_height = 0, folded_height = 0, separator_top = 0, window_top = 0;
  Open({Expect([&] {
          folded_height = W().WindowRect().Height();
          window_top = W().WindowRect().top;
          separator_top = W().ControlRect(ctl::kSeparator).top;
          EXPECT_EQ(W().Text(ctl::kFold), "詳細(&M)≫");
          for (int id : {ctl::kDaily, ctl::kClockOn, ctl::kReferenceHours, ctl::kOpenProfile, ctl::kApply})
            EXPECT_FALSE(W().IsVisible(id)) << id;
          EXPECT_TRUE(W().IsVisible(ctl::kReferenceHoursSpin)) << "cut off, not hidden";
        }),
        ClickOn(ctl::kFold), Expect([&] {
          full_height = W().WindowRect().Height();
          EXPECT_EQ(W().Text(ctl::kFold), "≪ 詳細(&M)");
          for (int id : {ctl::kDaily, ctl::kClockOn, ctl::kReferenceHours, ctl::kOpenProfile, ctl::kApply})
            EXPECT_TRUE(W().IsVisible(id)) << id;
        }),
        ClickOn(ctl::kFold), Expect([&] { EXPECT_EQ(W().WindowRect().Height(), folded_height); }),
        [](HeadlessHost& h) { h.PressEsc(); }});
  EXPECT_EQ(folded_height, separator_top - window_top) << "the window ends at the separator";
  EXPECT_GT(full_height, folded_height + 200);
}

// Which detail controls are enabled: the two switches with the detail area,
// their fields with them (up-downs included).
TEST_F(SettingsTest, EnableRulesFollowTheDetailAreaAndTheirSwitch) {
  struct Case {
    int detail, daily, retry;
    bool switches, daily_fields, retry_fields;
  } cases[] = {{0, 1, 1, false, false, false}, {1, 0, 0, true, false, false}, {1, 1, 0, true, true, false},
               {1, 0, 1, true, false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE("detail " + std::to_string(c.detail) + " daily " + std::to_string(c.daily) + " retry " +
                 std::to_string(c.retry));
    WriteProfile("[Property]\nDialogSize=" + std::to_string(c.detail) + "\nAdjustAt=" + std::to_string(c.daily) +
                 ",1:2\nErrorRetry=" + std::to_string(c.retry) + ",1,2,0\n");
    Open({Expect([&] {
            for (int id : {ctl::kDaily, ctl::kRetry}) EXPECT_EQ(W().IsEnabled(id), c.switches) << id;
            for (int id : {ctl::kHour, ctl::kHourSpin, ctl::kMinute, ctl::kMinuteSpin, ctl::kFillFromClock,
                           ctl::kAtLabel, ctl::kHourLabel, ctl::kMinuteLabel})
              EXPECT_EQ(W().IsEnabled(id), c.daily_fields) << id;
            for (int id : {ctl::kRetryCount, ctl::kRetryCountSpin, ctl::kRetryInterval, ctl::kRetryIntervalSpin,
                           ctl::kUnitSeconds, ctl::kUnitHours, ctl::kRetryCountLabel, ctl::kUnitClose})
              EXPECT_EQ(W().IsEnabled(id), c.retry_fields) << id;
          }),
          [](HeadlessHost& h) { h.PressEsc(); }});
  }
  // Checking the switch enables its fields at once.
  WriteProfile("[Property]\nDialogSize=1\n");
  Open({ClickOn(ctl::kDaily), Expect([&] { EXPECT_TRUE(W().IsEnabled(ctl::kHour)); }), ClickOn(ctl::kRetry),
        Expect([&] { EXPECT_TRUE(W().IsEnabled(ctl::kRetryInterval)); }), ClickOn(ctl::kDaily),
        Expect([&] { EXPECT_FALSE(W().IsEnabled(ctl::kMinute)); }), [](HeadlessHost& h) { h.PressEsc(); }});
}

// The reference check counts for SNTP only; its hours only while it is on.
TEST_F(SettingsTest, ProtocolRule) {
  struct Case {
    int choose;          // item of the protocol list the user picks
    bool check_on_then;  // the reference check box before the pick
    bool check_box, hours;
  } cases[] = {{1, true, false, false}, {2, true, false, false}, {0, true, true, true}, {0, false, true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("protocol " + std::to_string(c.choose) + (c.check_on_then ? " check on" : " check off"));
    WriteProfile(std::string("[Property]\nDialogSize=1\nprotocol=daytime\nServerReferenceTime=") +
                 (c.check_on_then ? "1" : "0") + ",24\n");
    Open({Expect([&] {
            EXPECT_FALSE(W().IsEnabled(ctl::kReferenceCheck));
            EXPECT_FALSE(W().IsEnabled(ctl::kReferenceHours));
          }),
          [&](HeadlessHost& h) { EXPECT_TRUE(h.Choose(ctl::kProtocol, c.choose)); }, Expect([&] {
            EXPECT_EQ(dialog_->protocol_index(), c.choose);
            EXPECT_EQ(W().IsEnabled(ctl::kReferenceCheck), c.check_box);
            for (int id : {ctl::kReferenceHours, ctl::kReferenceHoursSpin, ctl::kReferenceLabel})
              EXPECT_EQ(W().IsEnabled(id), c.hours) << id;
          }),
          [](HeadlessHost& h) { h.PressEsc(); }});
  }
  // A click on the check box switches the hours.
  WriteProfile("[Property]\nDialogSize=1\n");
  Open({ClickOn(ctl::kReferenceCheck), Expect([&] { EXPECT_FALSE(W().IsEnabled(ctl::kReferenceHours)); }),
        ClickOn(ctl::kReferenceCheck), Expect([&] { EXPECT_TRUE(W().IsEnabled(ctl::kReferenceHours)); }),
        [](HeadlessHost& h) { h.PressEsc(); }});
}

TEST_F(SettingsTest, StatusLinePreviewShowsTheControlsAsTheyStand) {
  WriteProfile(
      "[Property]\nDialogSize=1\nIndicatorLine=1\nLogFile=1\nIconicStart=1\nTimeOut=8\nAdjustAt=1,10:7\n"
      "ErrorRetry=1,3,15,1\n");
  const auto preview = [&] {
    std::vector<std::string> texts;
    for (int id : {ctl::kPreviewTimeOut, ctl::kPreviewDaily, ctl::kPreviewCount, ctl::kPreviewInterval})
      texts.push_back(W().Text(id));
    return texts;
  };
  const auto enabled = [&] {
    std::string flags;
    for (int id = ctl::kPreviewLog; id <= ctl::kPreviewDaily; ++id) flags += W().IsEnabled(id) ? '1' : '0';
    return flags;
  };
  Open({Expect([&] {
          EXPECT_EQ(preview(), (std::vector<std::string>{"8s", "10:7", "3回", "15m"}));
          // L B i 10s 自動終了 at ﾘﾄﾗｲ 9/10 99s 10:10, ids 1070..1079
          EXPECT_EQ(enabled(), "1011011111");
          EXPECT_TRUE(W().IsVisible(ctl::kPreviewAt));
        }),
        // Typed texts show as typed once the field is left.
        TypeInto(ctl::kMinute, "07"), TypeInto(ctl::kRetryInterval, "2"),
        Expect([&] { EXPECT_EQ(W().Text(ctl::kPreviewDaily), "10:07"); }), ClickOn(ctl::kUnitHours),
        Expect([&] { EXPECT_EQ(W().Text(ctl::kPreviewInterval), "2h"); }), ClickOn(ctl::kRetry), ClickOn(ctl::kBeep),
        Expect([&] { EXPECT_EQ(enabled(), "1111010001"); }), ClickOn(ctl::kIndicatorLine), Expect([&] {
          for (int id = ctl::kPreviewLog; id <= ctl::kPreviewDaily; ++id) EXPECT_FALSE(W().IsVisible(id)) << id;
        }),
        [](HeadlessHost& h) { h.PressEsc(); }});
}

TEST_F(SettingsTest, CtrlWithDeleteLogTogglesTheOptionButtons) {
  WriteProfile("[Property]\nDialogSize=1\n");
  host_.SetKeyDown(ui::Key::kControl, true);
  Open({Expect([&] { EXPECT_FALSE(W().IsVisible(ctl::kApply)); }), ClickOn(ctl::kDeleteLog), Expect([&] {
          for (int id : {ctl::kOpenProfile, ctl::kOpenLog, ctl::kApply}) EXPECT_TRUE(W().IsVisible(id)) << id;
        }),
        ClickOn(ctl::kDeleteLog), Expect([&] {
          for (int id : {ctl::kOpenProfile, ctl::kOpenLog, ctl::kApply}) EXPECT_FALSE(W().IsVisible(id)) << id;
        }),
        [](HeadlessHost& h) { h.PressEsc(); }});
  EXPECT_TRUE(host_.message_boxes().empty());
  EXPECT_TRUE(shell_.calls.empty()) << "the log is never deleted";
}

// Up-downs: their ranges, wrapping at both ends, and the faster steps of the
// minute and interval arrows.
TEST_F(SettingsTest, SpinRangesWrapAndAccelerate) {
  struct Case {
    int spin, field;
    const char* start;
    int steps;
    const char* after;
  } cases[] = {{ctl::kTimeOutSpin, ctl::kTimeOut, "30", 1, "0"},
               {ctl::kTimeOutSpin, ctl::kTimeOut, "0", -1, "30"},
               {ctl::kHourSpin, ctl::kHour, "23", 1, "0"},
               {ctl::kHourSpin, ctl::kHour, "0", -1, "23"},
               {ctl::kMinuteSpin, ctl::kMinute, "59", 1, "0"},
               {ctl::kRetryCountSpin, ctl::kRetryCount, "10", 1, "1"},
               {ctl::kRetryCountSpin, ctl::kRetryCount, "1", -1, "10"},
               {ctl::kRetryIntervalSpin, ctl::kRetryInterval, "99", 1, "1"},
               {ctl::kReferenceHoursSpin, ctl::kReferenceHours, "24", 1, "1"},
               {ctl::kReferenceHoursSpin, ctl::kReferenceHours, "1", -1, "24"}};
  WriteProfile("[Property]\nDialogSize=1\nAdjustAt=1,0:0\nErrorRetry=1,1,1,0\n");
  std::vector<Step> steps;
  for (const Case& c : cases) {
    steps.push_back(TypeInto(c.field, c.start));
    steps.push_back([c](HeadlessHost& h) {
      EXPECT_TRUE(h.Spin(c.spin, c.steps));
      EXPECT_EQ(h.Active()->Text(c.field), c.after) << c.spin << " from " << c.start;
    });
  }
  steps.push_back(Expect([&] {
    const std::vector<ui::SpinAccel> fast{{1, 1}, {3, 5}};
    for (int spin : {ctl::kMinuteSpin, ctl::kRetryIntervalSpin}) {
      ASSERT_EQ(C(spin).spin_accel.size(), 2u) << spin;
      for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(C(spin).spin_accel[i].seconds, fast[i].seconds);
        EXPECT_EQ(C(spin).spin_accel[i].step, fast[i].step);
      }
    }
    for (int spin : {ctl::kTimeOutSpin, ctl::kHourSpin, ctl::kRetryCountSpin, ctl::kReferenceHoursSpin})
      EXPECT_TRUE(C(spin).spin_accel.empty()) << spin << " keeps the standard steps";
  }));
  steps.push_back([](HeadlessHost& h) { h.PressEsc(); });
  Open(std::move(steps));
}

// One minute ahead of the OS's local clock; 59 carries into the next hour.
TEST_F(SettingsTest, FillFromTheClock) {
  struct Case {
    int hour, minute;
    const char *to_hour, *to_minute;
  } cases[] = {{23, 59, "0", "0"}, {9, 59, "10", "0"}, {10, 30, "10", "31"}};
  qv::test::FakeClock clock;
  WriteProfile("[Property]\nDialogSize=1\nAdjustAt=1,5:5\n");
  for (const Case& c : cases) {
    clock.SetLocalReading({2026, 1, 2, 6, static_cast<std::uint16_t>(c.hour), static_cast<std::uint16_t>(c.minute),
                           30, 0});
    Open({ClickOn(ctl::kFillFromClock), Expect([&] {
            EXPECT_EQ(W().Text(ctl::kHour), c.to_hour);
            EXPECT_EQ(W().Text(ctl::kMinute), c.to_minute);
          }),
          ClickOn(ui::kIdOk)});
    EXPECT_EQ(Stored("AdjustAt"), std::string("1,") + c.to_hour + ":" + c.to_minute);
  }
}

}  // namespace
}  // namespace qv::settings::test
