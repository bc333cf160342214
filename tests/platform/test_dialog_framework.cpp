// Dialog framework semantics on the headless host: data exchange, modal
// runs and timers. (Posts across threads: the runner's tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/headless/headless_host.h"

namespace qv::ui {
namespace {

using namespace style;

enum : int { kCount = 100, kName = 101, kLevel = 102, kFlag = 103, kRadioA = 104, kRadioB = 105, kRadioC = 106,
             kCombo = 107, kAfter = 108 };

const DialogTemplate& FormTemplate() {
  static const DialogTemplate t{
      900, 0, 0, 200, 100, kPopup | kCaption | kDsModalFrame | kDsSetFont, "Form", "MS Shell Dlg", 8,
      {
          {kCount, ControlClass::Edit, "", 5, 5, 40, 12, kVisible | kTabStop},
          {kName, ControlClass::Edit, "", 5, 20, 40, 12, kVisible | kTabStop},
          {kLevel, ControlClass::Edit, "", 5, 35, 40, 12, kVisible | kTabStop},
          {kFlag, ControlClass::Button, "Flag", 5, 50, 40, 10, kVisible | kBsAutoCheckBox},
          {kRadioA, ControlClass::Button, "A", 50, 5, 30, 10, kVisible | kBsAutoRadio | kGroup},
          {kRadioB, ControlClass::Button, "B", 50, 15, 30, 10, kVisible | kBsAutoRadio},
          {kRadioC, ControlClass::Button, "C", 50, 25, 30, 10, kVisible | kBsAutoRadio},
          {kCombo, ControlClass::ComboBox, "", 90, 5, 60, 50, kVisible | kGroup | kCbsDropDown},
          {kAfter, ControlClass::Edit, "", 90, 25, 40, 12, kVisible | kTabStop},
          {kIdOk, ControlClass::Button, "OK", 90, 80, 40, 14, kVisible | kBsDefPushButton},
      }};
  return t;
}

class FormDialog : public Dialog {
 public:
  FormDialog() : Dialog(FormTemplate()) {}
  int count = 0, level = 0, flag = 0, choice = 0;
  std::string name, combo, after;

  using Dialog::UpdateData;

 protected:
  bool OnInitDialog() override {
    for (const char* item : {"SNTP", "time", "daytime"}) Window()->AddItem(kCombo, item);
    return Dialog::OnInitDialog();
  }
  void DoDataExchange(DataExchange& dx) override {
    dx.IntRange(kCount, count, 1, 10);
    dx.Text(kName, name);
    dx.IntRange(kLevel, level, 0, 5);
    dx.Check(kFlag, flag);
    dx.Radio(kRadioA, choice);
    dx.ComboText(kCombo, combo);
    dx.Text(kAfter, after);
  }
};

class FrameworkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetHost(&host_);
    SetStringTable(&strings_);
  }
  void TearDown() override {
    EXPECT_FALSE(host_.stalled());
    SetHost(nullptr);
    SetStringTable(nullptr);
  }
  // The framework's own texts come from the program's table.
  const StringTable strings_{{kStringExpectInteger, "integer!"}, {kStringExpectIntegerRange, "from %1 to %2"}};
  HeadlessHost host_{HeadlessHost::ClockKind::kManual};
};

TEST_F(FrameworkTest, ReadStopsAtTheFirstBadField) {
  FormDialog d;
  d.count = 3;
  d.name = "old";
  d.level = 2;
  d.after = "kept";
  host_.Then([&](HeadlessHost& h) {
    h.Type(kCount, "abc");
    EXPECT_FALSE(d.UpdateData(true)) << "not a number";
    EXPECT_EQ(d.count, 3);
    h.Type(kCount, " 7 ");
    h.Type(kName, "new");
    h.Type(kLevel, "9");  // outside 0..5
    h.Type(kAfter, "changed");
    h.Click(kFlag);
    h.PressEnter();  // OK reads the controls; the failure keeps it open
  });
  host_.Then([&](HeadlessHost& h) {
    EXPECT_EQ(h.Active()->focus(), kLevel);
    EXPECT_EQ(d.count, 7);       // read before the failure
    EXPECT_EQ(d.name, "new");    // read before the failure
    EXPECT_EQ(d.level, 2);       // the failing field keeps its value
    EXPECT_EQ(d.after, "kept");  // never reached
    EXPECT_EQ(d.flag, 0);        // never reached
    h.Type(kLevel, "4");
    h.PressEnter();
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(d.level, 4);
  EXPECT_EQ(d.flag, 1);
  EXPECT_EQ(d.after, "changed");
  ASSERT_EQ(host_.message_boxes().size(), 2u);
  EXPECT_EQ(host_.message_boxes()[1].caption, "test_dialog_framework") << "the executable's base name";
  EXPECT_EQ(host_.message_boxes()[0].text, "integer!");
  EXPECT_EQ(host_.message_boxes()[1].text, "from 0 to 5");
}

TEST_F(FrameworkTest, ChecksRadiosAndCombosExchangeBothWays) {
  FormDialog d;
  d.count = 1;
  d.combo = "TI";  // prefix, any case
  d.choice = -1;
  d.flag = 1;
  host_.Then([&](HeadlessHost& h) {
    auto* w = h.Active();
    EXPECT_EQ(w->Selection(kCombo), 1);
    EXPECT_EQ(w->Text(kCombo), "time");
    EXPECT_EQ(w->Check(kFlag), 1);
    for (int id : {kRadioA, kRadioB, kRadioC}) EXPECT_EQ(w->Check(id), 0);
    EXPECT_TRUE(d.UpdateData(true));
    EXPECT_EQ(d.choice, -1);  // none selected
    EXPECT_EQ(d.combo, "time");

    h.Click(kRadioC);
    h.Click(kRadioB);  // auto radios uncheck their peers
    h.Click(kFlag);
    EXPECT_TRUE(d.UpdateData(true));
    EXPECT_EQ(d.choice, 1);
    EXPECT_EQ(d.flag, 0);

    d.combo = "ntp";  // no item begins with it: shown as it is
    d.UpdateData(false);
    EXPECT_EQ(w->Selection(kCombo), 1) << "the list keeps its selection";
    EXPECT_EQ(w->Text(kCombo), "ntp");
    h.PressEsc();
  });
  EXPECT_EQ(d.DoModal(), 2);
}

// A dialog that records the ticks of two timers.
class Ticker : public Dialog {
 public:
  Ticker() : Dialog(FormTemplate()) {}
  std::vector<std::uintptr_t> ticks;

 protected:
  bool OnInitDialog() override {
    EXPECT_NE(Window()->SetTimer(7, 100), 0u);
    EXPECT_NE(Window()->SetTimer(9, 250), 0u);
    return true;
  }
  void OnTimer(std::uintptr_t id) override { ticks.push_back(id); }
};

TEST_F(FrameworkTest, TimersAreIndependentByIdAndKeepTickingUnderANestedModal) {
  Ticker outer;
  FormDialog inner;
  host_.Then([&](HeadlessHost& h) { h.Advance(500); });
  host_.Then([&](HeadlessHost& h) {
    EXPECT_EQ(outer.ticks, (std::vector<std::uintptr_t>{7, 7, 9, 7, 7, 7, 9}));
    outer.ticks.clear();
    EXPECT_TRUE(outer.Window()->KillTimer(9));
    EXPECT_FALSE(outer.Window()->KillTimer(9));
    // The owner's timers tick on while a nested dialog is up.
    h.Then([&](HeadlessHost& in) { in.Advance(300); });
    h.Then([&](HeadlessHost& in) {
      EXPECT_EQ(outer.ticks, (std::vector<std::uintptr_t>{7, 7, 7}));
      in.PressEsc();
    });
    EXPECT_EQ(inner.DoModal(), 2);
    h.PressEsc();
  });
  EXPECT_EQ(outer.DoModal(), 2);
}

}  // namespace
}  // namespace qv::ui
