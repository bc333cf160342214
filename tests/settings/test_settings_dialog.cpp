// Loading, the range checks, saving in the fixed order, OK, Cancel, Apply,
// the notifications and the placement over the main window.
#include "settings_harness.h"

namespace qv::settings::test {
namespace {

TEST_F(SettingsTest, LoadingShowsEverySettingInItsControl) {
  WriteProfile(
      "[Servers]\nntp.b\nNTP.a\n[Property]\nDefaultServer=ntp.b\nprotocol=daytime\nServerReferenceTime=0,12\n"
      "CurrentTimeDisplay=0,2,1\nLogFile=1\nBeep=1\nAutoAdjust=1\nAutoTerminate=1\nIndicatorLine=2\n"
      "DesktopLink=1\nStartupLink=1\nTimeOut=0\nDialogSize=1\nIconicStart=1\nWindowPos=1,5,5,1\n"
      "AdjustAt=1,08:30\nErrorRetry=1,20,500,2\n");
  Open({Expect([&] {
          EXPECT_EQ(W().Items(ctl::kServer), (std::vector<std::string>{"NTP.a", "ntp.b"}));
          EXPECT_EQ(W().Text(ctl::kServer), "ntp.b");
          EXPECT_TRUE(W().control(ctl::kServer)->all_text_selected);
          EXPECT_EQ(W().Selection(ctl::kProtocol), 2);
          std::string checks, numbers;
          for (int id : {ctl::kReferenceCheck, ctl::kLogFile, ctl::kBeep, ctl::kAutoAdjust, ctl::kAutoTerminate,
                         ctl::kIndicatorLine, ctl::kDesktopLink, ctl::kStartupLink, ctl::kIconicStart,
                         ctl::kWindowPos, ctl::kDaily, ctl::kRetry, ctl::kFormatDaytime, ctl::kPositionCaption,
                         ctl::kUnitHours, ctl::kClockOn})
            checks += std::to_string(W().Check(id));
          EXPECT_EQ(checks, "0111111111111110");
          // What loading replaced: time-out 0, hour 08 (octal), 20 retries at 500.
          for (int id : {ctl::kTimeOut, ctl::kHour, ctl::kMinute, ctl::kRetryCount, ctl::kRetryInterval,
                         ctl::kReferenceHours})
            numbers += W().Text(id) + " ";
          EXPECT_EQ(numbers, "5 0 0 1 10 12 ");
          EXPECT_EQ(W().Caption(), "Quorvel  <Setting>");
          EXPECT_EQ(W().icon(), kAppIcon);
          EXPECT_EQ(W().control(ctl::kCheck)->icon, kCheckIcon);
        }),
        Esc()});
}

// Each number field at its exact bounds, one beyond, and with trailing
// garbage: OK saves the first ones and refuses the rest with the message for
// the field's range, the focus on the field, nothing written.
TEST_F(SettingsTest, RangeChecksAtEachFieldsBounds) {
  struct Field {
    int id, min, max;
    const char* stored;  // how the saved value shows, %d the value
  } fields[] = {{ctl::kTimeOut, 1, 30, "TimeOut=%d"},          {ctl::kRetryCount, 1, 10, "ErrorRetry=1,%d,15,1"},
                {ctl::kRetryInterval, 0, 999, "ErrorRetry=1,3,%d,1"}, {ctl::kHour, 0, 23, "AdjustAt=1,%d:30"},
                {ctl::kMinute, 0, 59, "AdjustAt=1,6:%d"},     {ctl::kReferenceHours, 1, 24, "ServerReferenceTime=1,%d"}};
  for (const Field& f : fields) {
    const std::string range =
        std::to_string(f.min) + " から " + std::to_string(f.max) + " までの整数を入力してください。";
    const struct {
      std::string text;
      int saved;          // the value stored, or -1: refused
      std::string message;
    } tries[] = {{std::to_string(f.min), f.min, ""},   {std::to_string(f.max) + " ", f.max, ""},
                 {std::to_string(f.min - 1), -1, range}, {std::to_string(f.max + 1), -1, range},
                 {std::to_string(f.min) + "x", -1, "整数を入力してください。"}};
    for (const auto& t : tries) {
      SCOPED_TRACE(std::to_string(f.id) + " = '" + t.text + "'");
      WriteProfile(
          "[Property]\nprotocol=SNTP\nServerReferenceTime=1,12\nTimeOut=7\nDialogSize=1\nAdjustAt=1,6:30\n"
          "ErrorRetry=1,3,15,1\n");
      const std::string before = ProfileText();
      const std::size_t boxes = host_.message_boxes().size();
      shell_.calls.clear();
      std::vector<Step> steps{TypeInto(f.id, t.text), ClickOn(ui::kIdOk)};
      if (t.saved < 0)
        steps.push_back([id = f.id](HeadlessHost& h) {
          EXPECT_EQ(h.Active()->focus(), id);
          h.PressEsc();
        });
      EXPECT_EQ(Open(std::move(steps)), t.saved < 0 ? ui::kIdCancelResult : ui::kIdOkResult);
      if (t.saved >= 0) {
        char line[64];
        std::snprintf(line, sizeof line, f.stored, t.saved);
        EXPECT_NE(ProfileText().find(std::string(line) + "\r\n"), std::string::npos) << ProfileText();
        continue;
      }
      EXPECT_EQ(ProfileText(), before);
      ASSERT_EQ(host_.message_boxes().size(), boxes + 1);
      EXPECT_EQ(host_.message_boxes().back().text, t.message);
      EXPECT_TRUE(shell_.calls.empty()) << "no shortcut touched";
    }
  }
  // Only the first failing field in the reading order is reported.
  const std::size_t boxes = host_.message_boxes().size();
  Open({TypeInto(ctl::kHour, "24"), TypeInto(ctl::kTimeOut, "0"), ClickOn(ui::kIdOk), Esc()});
  ASSERT_EQ(host_.message_boxes().size(), boxes + 1);
  EXPECT_EQ(host_.message_boxes().back().text, "1 から 30 までの整数を入力してください。");
}

// What other readers rely on: "Servers" emptied and written last, then every
// "Property" key in its order; keys already in the file keep their place and
// spelling, other sections stay.
TEST_F(SettingsTest, SaveWritesTheWholeFileInTheFixedOrder) {
  WriteProfile(
      "[Property]\nDefaultServer=ntp.a\nprotocol=SNTP\nWindowPos=0,120,80,1\nApplicationName=Clock\n"
      "[Servers]\nntp.b\nntp.a\n[Debug]\nOptionButton=1\n");
  Open({ClickOn(ctl::kFold), [](HeadlessHost& h) { EXPECT_TRUE(h.Choose(ctl::kProtocol, 1)); },
        TypeInto(ctl::kTimeOut, "12"), ClickOn(ctl::kLogFile), TypeInto(ctl::kServer, "ntp.c"), ClickOn(ctl::kAdd),
        ClickOn(ctl::kWindowPos), ClickOn(ctl::kDaily), TypeInto(ctl::kHour, "7"), TypeInto(ctl::kMinute, "05"),
        ClickOn(ctl::kRetry), TypeInto(ctl::kRetryCount, "3"), TypeInto(ctl::kRetryInterval, "500"),
        ClickOn(ctl::kUnitMinutes), ClickOn(ui::kIdOk)});
  EXPECT_EQ(ProfileText(),
            "[Property]\r\nDefaultServer=ntp.c\r\nprotocol=time\r\nWindowPos=1,120,80,1\r\nApplicationName=Clock\r\n"
            "ServerReferenceTime=1,24\r\nCurrentTimeDisplay=0,0,0\r\nLogFile=1\r\nBeep=0\r\nAutoAdjust=0\r\n"
            "AutoTerminate=0\r\nIndicatorLine=0\r\nDesktopLink=0\r\nStartupLink=0\r\nTimeOut=12\r\n"
            "DialogSize=1\r\nIconicStart=0\r\nAdjustAt=1,7:5\r\nErrorRetry=1,3,500,1\r\n"
            "[Debug]\r\nOptionButton=1\r\n[Servers]\r\nntp.a\r\nntp.b\r\nntp.c\r\n");
  // A missing profile is made by the first save; an empty server field
  // writes no "DefaultServer".
  std::remove(profile_.c_str());
  Open({ClickOn(ui::kIdOk)});
  EXPECT_EQ(ProfileText(),
            "[Servers]\r\n[Property]\r\nprotocol=SNTP\r\nServerReferenceTime=1,24\r\nCurrentTimeDisplay=0,0,0\r\n"
            "LogFile=0\r\nBeep=0\r\nAutoAdjust=0\r\nAutoTerminate=0\r\nIndicatorLine=0\r\nDesktopLink=0\r\n"
            "StartupLink=0\r\nTimeOut=5\r\nDialogSize=0\r\nIconicStart=0\r\nWindowPos=0\r\nAdjustAt=0,0:0\r\n"
            "ErrorRetry=0,1,10,0\r\n");
}

// Apply saves and stays; Cancel afterwards keeps what was applied; a refused
// field sends nothing; the main window hears each code with the settings
// window in lParam.
TEST_F(SettingsTest, NotificationsOfApplyCancelAndOk) {
  WriteProfile("[Property]\nTimeOut=7\nDialogSize=1\n[Debug]\nOptionButton=1\n");
  Notes notes;
  ui::WindowId self = 0;
  EXPECT_EQ(Open({[&](HeadlessHost& h) { self = h.Active()->Id(); }, TypeInto(ctl::kTimeOut, "9"),
                  ClickOn(ctl::kApply), Expect([&] { EXPECT_EQ(Stored("TimeOut"), "9"); }),
                  TypeInto(ctl::kTimeOut, "11"), ClickOn(ui::kIdCancel)},
                 &notes),
            ui::kIdCancelResult);
  EXPECT_EQ(Stored("TimeOut"), "9");
  EXPECT_EQ(notes, (Notes{{SETTINGS_OPENED, self}, {SETTINGS_APPLIED, self}, {SETTINGS_CANCELLED, self}}));
  Open({TypeInto(ctl::kTimeOut, "31"), ClickOn(ctl::kApply), ClickOn(ui::kIdOk), TypeInto(ctl::kTimeOut, "3"),
        [&](HeadlessHost& h) {
          self = h.Active()->Id();
          h.Click(ui::kIdOk);
        }},
       &notes);
  EXPECT_EQ(notes, (Notes{{SETTINGS_OPENED, self}, {SETTINGS_SAVED, self}}));
  EXPECT_EQ(Stored("TimeOut"), "3");
}

// A profile that cannot be replaced: said so, no shortcut, no notice of a
// save, and the dialog stays.
TEST_F(SettingsTest, AFailedWriteIsReportedAndNothingElseHappens) {
  // A folder where the profile should be: it can be neither read nor saved.
  std::filesystem::create_directory(profile_);
  Notes notes;
  EXPECT_EQ(Open({ClickOn(ui::kIdOk), ClickOn(ui::kIdCancel)}, &notes), ui::kIdCancelResult);
  ASSERT_EQ(host_.message_boxes().size(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].text, "設定を " + profile_ + " に保存できませんでした。\n(is a folder)");
  EXPECT_TRUE(shell_.calls.empty());
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].first, static_cast<std::uintptr_t>(SETTINGS_CANCELLED));
}

// Centred on the main window, pulled into the headless work area (1024 x 728).
TEST_F(SettingsTest, PlacedOverTheMainWindowInsideTheWorkArea) {
  WriteProfile("[Property]\nDialogSize=1\n");
  for (const ui::Rect main : {ui::Rect{200, 150, 600, 450}, ui::Rect{900, 650, 1300, 850}}) {
    ui::Rect at;
    Notes notes;
    Open({[&](HeadlessHost& h) { at = h.Active()->WindowRect(); }, Esc()}, &notes, main);
    if (main.left == 200) {
      EXPECT_EQ(std::make_pair((at.left + at.right) / 2, (at.top + at.bottom) / 2), std::make_pair(400, 300));
    } else {
      EXPECT_EQ(std::make_pair(at.right, at.bottom), std::make_pair(1024, 728));
    }
  }
}

}  // namespace
}  // namespace qv::settings::test
