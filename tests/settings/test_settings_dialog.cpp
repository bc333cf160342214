// Loading, the range checks, saving in the fixed order, OK, Cancel, Apply,
// the notifications and the placement over the main window.
#include "settings_harness.h"

namespace qv::settings::test {
namespace {

// Every field reachable: unfolded, daily adjustment and retry on, SNTP with
// the reference check on.
constexpr char kAllOn[] =
    "[Property]\nDefaultServer=ntp.a\nprotocol=SNTP\nServerReferenceTime=1,12\nCurrentTimeDisplay=0,1,0\n"
    "LogFile=0\nTimeOut=7\nDialogSize=1\nAdjustAt=1,6:30\nErrorRetry=1,3,15,1\n";

TEST_F(SettingsTest, LoadingShowsEverySettingInItsControl) {
  WriteProfile(
      "[Servers]\nntp.b\nNTP.a\n[Property]\nDefaultServer=ntp.b\nprotocol=daytime\nServerReferenceTime=0,12\n"
      "CurrentTimeDisplay=0,2,1\nLogFile=1\nBeep=1\nAutoAdjust=1\nAutoTerminate=1\nIndicatorLine=2\n"
      "DesktopLink=1\nStartupLink=1\nTimeOut=0\nDialogSize=1\nIconicStart=1\nWindowPos=1,5,5,1\n"
      "AdjustAt=1,08:30\nErrorRetry=1,20,500,2\n");
  Open({Expect([&] {
          EXPECT_EQ(W().Items(ctl::kServer), (std::vector<std::string>{"NTP.a", "ntp.b"}));
          EXPECT_EQ(W().Text(ctl::kServer), "ntp.b");
          EXPECT_TRUE(C(ctl::kServer).all_text_selected);
          EXPECT_EQ(W().Selection(ctl::kProtocol), 2);
          EXPECT_EQ(W().Items(ctl::kProtocol), (std::vector<std::string>{"SNTP", "time", "daytime"}));
          // Checks, then the number fields with what loading replaced.
          std::vector<int> checks;
          for (int id : {ctl::kReferenceCheck, ctl::kLogFile, ctl::kBeep, ctl::kAutoAdjust, ctl::kAutoTerminate,
                         ctl::kIndicatorLine, ctl::kDesktopLink, ctl::kStartupLink, ctl::kIconicStart,
                         ctl::kWindowPos, ctl::kDaily, ctl::kRetry, ctl::kFormatDaytime, ctl::kPositionCaption,
                         ctl::kUnitHours, ctl::kClockOn})
            checks.push_back(W().Check(id));
          EXPECT_EQ(checks, (std::vector<int>{0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0}));
          std::vector<std::string> numbers;
          for (int id : {ctl::kTimeOut, ctl::kHour, ctl::kMinute, ctl::kRetryCount, ctl::kRetryInterval,
                         ctl::kReferenceHours})
            numbers.push_back(W().Text(id));
          EXPECT_EQ(numbers, (std::vector<std::string>{"5", "0", "0", "1", "10", "12"}));
          EXPECT_EQ(W().Caption(), "Quorvel  <Setting>");
          EXPECT_EQ(W().icon(), kAppIcon);
          EXPECT_EQ(C(ctl::kCheck).icon, kCheckIcon);
        }),
        [](HeadlessHost& h) { h.PressEsc(); }});
}

// A number with blanks around it, as a user may leave it.
std::string Padded(int value) {
  std::string text(1, ' ');
  text += std::to_string(value);
  text += ' ';
  return text;
}

// Each number field at its exact bounds, one beyond, and with trailing
// garbage: OK saves the first two and refuses the rest with the message for
// the field's range, the focus on the field, nothing written.
TEST_F(SettingsTest, RangeChecksAtEachFieldsBounds) {
  struct Field {
    int id, min, max;
    const char* key;
    int part;  // which number of the stored list
  } fields[] = {{ctl::kTimeOut, 1, 30, "TimeOut", 0},          {ctl::kRetryCount, 1, 10, "ErrorRetry", 1},
                {ctl::kRetryInterval, 0, 999, "ErrorRetry", 2}, {ctl::kHour, 0, 23, "AdjustAt", 1},
                {ctl::kMinute, 0, 59, "AdjustAt", 2},           {ctl::kReferenceHours, 1, 24, "ServerReferenceTime", 1}};
  const auto part = [](std::string list, int index) {
    for (char& c : list) c = (c == ':' ? ',' : c);
    std::vector<std::string> parts(1);
    for (char c : list) {
      if (c == ',')
        parts.emplace_back();
      else
        parts.back().push_back(c);
    }
    return index < static_cast<int>(parts.size()) ? parts[static_cast<std::size_t>(index)] : std::string();
  };
  for (const Field& f : fields) {
    struct Try {
      std::string text;
      bool saved;
      const char* message;
    } tries[] = {{std::to_string(f.min), true, nullptr},
                 {std::to_string(f.max), true, nullptr},
                 {std::to_string(f.min - 1), false, "range"},
                 {std::to_string(f.max + 1), false, "range"},
                 {std::to_string(f.min) + "x", false, "整数を入力してください。"},
                 {Padded(f.max), true, nullptr}};
    for (const Try& t : tries) {
      SCOPED_TRACE(std::string(f.key) + " field " + std::to_string(f.id) + " = '" + t.text + "'");
      WriteProfile(kAllOn);
      const std::string before = ProfileText();
      const std::size_t boxes = host_.message_boxes().size();
      shell_.calls.clear();
      std::vector<Step> steps{TypeInto(f.id, t.text), ClickOn(ui::kIdOk)};
      if (!t.saved)
        steps.push_back([id = f.id](HeadlessHost& h) {
          EXPECT_EQ(h.Active()->focus(), id);
          h.PressEsc();
        });
      const int result = Open(std::move(steps));
      EXPECT_EQ(result, t.saved ? ui::kIdOkResult : ui::kIdCancelResult);
      if (t.saved) {
        EXPECT_EQ(part(Stored(f.key), f.part), std::to_string(t.text == std::to_string(f.min) ? f.min : f.max));
        continue;
      }
      EXPECT_EQ(ProfileText(), before);
      ASSERT_EQ(host_.message_boxes().size(), boxes + 1);
      const std::string expected = std::string(t.message) == "range"
                                       ? std::to_string(f.min) + " から " + std::to_string(f.max) +
                                             " までの整数を入力してください。"
                                       : std::string(t.message);
      EXPECT_EQ(host_.message_boxes().back().text, expected);
      EXPECT_TRUE(shell_.calls.empty()) << "no shortcut touched";
    }
  }
}

TEST_F(SettingsTest, OnlyTheFirstFailingFieldIsReported) {
  WriteProfile(kAllOn);
  Open({TypeInto(ctl::kHour, "24"), TypeInto(ctl::kTimeOut, "0"), ClickOn(ui::kIdOk), [](HeadlessHost& h) {
          EXPECT_EQ(h.Active()->focus(), ctl::kTimeOut);
          h.PressEsc();
        }});
  ASSERT_EQ(host_.message_boxes().size(), 1u);
  EXPECT_EQ(host_.message_boxes()[0].text, "1 から 30 までの整数を入力してください。");
}

// What other readers rely on: "Servers" emptied and written last, then
// every "Property" key in its order; keys already in the file keep their
// place and spelling, other sections stay.
TEST_F(SettingsTest, SaveWritesTheWholeFileInTheFixedOrder) {
  WriteProfile(
      "[Property]\nDefaultServer=ntp.a\nprotocol=SNTP\nWindowPos=0,120,80,1\nApplicationName=Clock\n"
      "[Servers]\nntp.b\nntp.a\n[Debug]\nOptionButton=1\n");
  const int result = Open({ClickOn(ctl::kFold), [](HeadlessHost& h) { EXPECT_TRUE(h.Choose(ctl::kProtocol, 1)); },
                           TypeInto(ctl::kTimeOut, "12"), ClickOn(ctl::kLogFile), TypeInto(ctl::kServer, "ntp.c"),
                           ClickOn(ctl::kAdd), ClickOn(ctl::kWindowPos), ClickOn(ctl::kDaily),
                           TypeInto(ctl::kHour, "7"), TypeInto(ctl::kMinute, "05"), ClickOn(ctl::kRetry),
                           TypeInto(ctl::kRetryCount, "3"), TypeInto(ctl::kRetryInterval, "500"),
                           ClickOn(ctl::kUnitMinutes), ClickOn(ui::kIdOk)});
  EXPECT_EQ(result, ui::kIdOkResult);
  EXPECT_EQ(ProfileText(),
            "[Property]\r\nDefaultServer=ntp.c\r\nprotocol=time\r\nWindowPos=1,120,80,1\r\nApplicationName=Clock\r\n"
            "ServerReferenceTime=1,24\r\nCurrentTimeDisplay=0,0,0\r\nLogFile=1\r\nBeep=0\r\nAutoAdjust=0\r\n"
            "AutoTerminate=0\r\nIndicatorLine=0\r\nDesktopLink=0\r\nStartupLink=0\r\nTimeOut=12\r\n"
            "DialogSize=1\r\nIconicStart=0\r\nAdjustAt=1,7:5\r\nErrorRetry=1,3,500,1\r\n"
            "[Debug]\r\nOptionButton=1\r\n"
            "[Servers]\r\nntp.a\r\nntp.b\r\nntp.c\r\n");
  // A missing profile is created by the first save, all defaults.
  std::remove(profile_.c_str());
  Open({ClickOn(ui::kIdOk)});
  EXPECT_EQ(ProfileText(),
            "[Servers]\r\n[Property]\r\nprotocol=SNTP\r\nServerReferenceTime=1,24\r\nCurrentTimeDisplay=0,0,0\r\n"
            "LogFile=0\r\nBeep=0\r\nAutoAdjust=0\r\nAutoTerminate=0\r\nIndicatorLine=0\r\nDesktopLink=0\r\n"
            "StartupLink=0\r\nTimeOut=5\r\nDialogSize=0\r\nIconicStart=0\r\nWindowPos=0\r\nAdjustAt=0,0:0\r\n"
            "ErrorRetry=0,1,10,0\r\n");
}

TEST_F(SettingsTest, AnEmptyServerFieldLeavesTheStoredServer) {
  WriteProfile("[Property]\nDefaultServer=kept.example\n");
  Open({TypeInto(ctl::kServer, ""), ClickOn(ui::kIdOk)});
  EXPECT_EQ(Stored("DefaultServer"), "kept.example");
}

// Apply saves and stays; Cancel afterwards keeps what was applied; the main
// window hears 0, 3, 2 with the settings window in lParam.
TEST_F(SettingsTest, ApplyThenCancelNotifiesTheMainWindow) {
  WriteProfile("[Property]\nTimeOut=7\nDialogSize=1\n[Debug]\nOptionButton=1\n");
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> notes;
  ui::WindowId settings_window = 0;
  const int result = OpenOverMain(
      {100, 100, 400, 300},
      {[&](HeadlessHost& h) { settings_window = h.Active()->Id(); }, TypeInto(ctl::kTimeOut, "9"),
       ClickOn(ctl::kApply), Expect([&] { EXPECT_EQ(Stored("TimeOut"), "9"); }), TypeInto(ctl::kTimeOut, "11"),
       ClickOn(ui::kIdCancel)},
      notes);
  EXPECT_EQ(result, ui::kIdCancelResult);
  EXPECT_EQ(Stored("TimeOut"), "9");
  using Note = std::pair<std::uintptr_t, std::intptr_t>;
  EXPECT_EQ(notes, (std::vector<Note>{{SETTINGS_OPENED, settings_window},
                                      {SETTINGS_APPLIED, settings_window},
                                      {SETTINGS_CANCELLED, settings_window}}));
  // OK: saved, then the notice; a refused field sends nothing.
  notes.clear();
  OpenOverMain({100, 100, 400, 300},
               {TypeInto(ctl::kTimeOut, "31"), ClickOn(ctl::kApply), ClickOn(ui::kIdOk), TypeInto(ctl::kTimeOut, "3"),
                ClickOn(ui::kIdOk)},
               notes);
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[0].first, static_cast<std::uintptr_t>(SETTINGS_OPENED));
  EXPECT_EQ(notes[1].first, static_cast<std::uintptr_t>(SETTINGS_SAVED));
  EXPECT_EQ(Stored("TimeOut"), "3");
}

TEST_F(SettingsTest, AFailedWriteIsReportedAndNothingElseHappens) {
  WriteProfile("[Property]\nDesktopLink=1\n");
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> notes;
  // The profile's folder stands in for a file that cannot be replaced.
  std::filesystem::create_directory(profile_ + ".tmp");
  const int result = OpenOverMain({0, 0, 100, 100},
                                  {ClickOn(ui::kIdOk), Expect([&] {
                                     ASSERT_EQ(host_.message_boxes().size(), 1u);
                                     EXPECT_EQ(host_.message_boxes()[0].text,
                                               "設定を " + profile_ + " に保存できませんでした。");
                                   }),
                                   ClickOn(ui::kIdCancel)},
                                  notes);
  EXPECT_EQ(result, ui::kIdCancelResult);
  EXPECT_TRUE(shell_.calls.empty());
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_EQ(notes[1].first, static_cast<std::uintptr_t>(SETTINGS_CANCELLED));
}

// Centred on the main window's normal rectangle, then pulled into the work
// area (1024 x 728 on the headless screen).
TEST_F(SettingsTest, PlacedOverTheMainWindowInsideTheWorkArea) {
  struct Case {
    ui::Rect main;
    const char* expect;  // "centred", "bottom-right", "corner"
  } cases[] = {{{200, 150, 600, 450}, "centred"}, {{900, 650, 1300, 850}, "bottom-right"}, {{0, 0, 10, 10}, "corner"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expect);
    WriteProfile("[Property]\nDialogSize=1\n");
    std::vector<std::pair<std::uintptr_t, std::intptr_t>> notes;
    ui::Rect at;
    OpenOverMain(c.main, {[&](HeadlessHost& h) {
                            at = h.Active()->WindowRect();
                            h.PressEsc();
                          }},
                 notes);
    const std::string kind = c.expect;
    if (kind == "centred") {
      EXPECT_EQ((at.left + at.right) / 2, 400);
      EXPECT_EQ((at.top + at.bottom) / 2, 300);
    } else if (kind == "bottom-right") {
      EXPECT_EQ(at.right, 1024);
      EXPECT_EQ(at.bottom, 728);
    } else {
      EXPECT_EQ(at.left, 1);
      EXPECT_EQ(at.top, 0);
    }
  }
}

}  // namespace
}  // namespace qv::settings::test
