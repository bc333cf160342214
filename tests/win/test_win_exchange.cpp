// Data exchange on real controls, and message boxes as the user meets them:
// a failed field stops the read there, shows a box captioned with the
// executable's name and puts the focus on the field.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <tuple>
#include <vector>

#include "test_templates.h"
#include "win_test_support.h"

namespace qv::wintest {
namespace {

namespace drv = ui::driver;

// The test binary's own base name: every message box carries it.
constexpr const char* kExeName = "test_win_host";

struct Members {
  std::string name = "東京";
  int first = 3;
  int second = 4;
  int agree = 1;
  int radio = 2;
  std::string combo = "ja";
  std::string other = "Kyoto";
};

// Exchanges Members with the form; OK reads, and counts its attempts for
// the driver thread.
class FormDialog : public ScriptedDialog {
 public:
  explicit FormDialog(const ui::DialogTemplate& t) : ScriptedDialog(t) {
    exchange = [this](ui::DataExchange& dx) {
      dx.Text(kName, m.name);
      dx.IntRange(kFirst, m.first, 1, 10);
      dx.IntRange(kSecond, m.second, 0, 5);
      dx.Check(kAgree, m.agree);
      dx.Radio(kRadioA, m.radio);
      dx.ComboText(kCombo, m.combo);
      dx.ComboText(kOtherCombo, m.other);
    };
    on_command = [this](ScriptedDialog& self, int id) {
      if (id != ui::kIdOk) return false;
      if (self.UpdateData(true)) self.EndDialog(ui::kIdOkResult);
      ++attempts;
      return true;
    };
  }
  Members m;
  std::atomic<int> attempts{0};
};

// The headless tests cover what a failed read keeps; here, the real
// controls, the box the user meets and where the focus goes.
TEST_F(HostTest, ExchangeStopsAtTheFirstBadFieldAndKeepsEarlierValues) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = FormTemplate();
  FormDialog d(tmpl);
  int combo_sel = -2, radio_c = -1;
  std::string combo_text;
  d.on_init = [&](ScriptedDialog& self) {
    // Items arrive after the first exchange in a real dialog too; write
    // again once they are there.
    for (const char* item : {"apple", "Japan", "JAPANESE"}) self.Window()->AddItem(kCombo, item);
    self.Window()->AddItem(kOtherCombo, "Osaka");
    self.UpdateData(false);
    combo_sel = self.Window()->Selection(kCombo);
    combo_text = self.Window()->Text(kCombo);
    radio_c = self.Window()->Check(kRadioC);
  };
  struct Round {
    const char* first;
    const char* second;
    const char* message;
    int focus;
  };
  const Round bad[] = {
      {"abc", "4", "整数を入力してください。", kFirst},
      {"7", "9", "0 から 5 までの整数を入力してください。", kSecond},
  };
  Driver driver([&] {
    const ui::WindowId w = WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    EXPECT_EQ(drv::ControlText(w, kName), "東京");
    ASSERT_TRUE(drv::TypeText(w, kName, "大阪"));
    drv::ClickButton(w, kAgree);   // 1 -> 0
    drv::ClickButton(w, kRadioA);  // index 2 -> 0
    ASSERT_TRUE(drv::TypeText(w, kCombo, "Kobe"));
    int round = 0;
    for (const Round& r : bad) {
      SCOPED_TRACE(r.message);
      ASSERT_TRUE(drv::TypeText(w, kFirst, r.first));
      ASSERT_TRUE(drv::TypeText(w, kSecond, r.second));
      drv::ClickButton(w, ui::kIdOk);
      const ui::WindowId box = drv::WaitForDialog([&](ui::WindowId b) { return drv::OwnerOf(b) == w; }, 5000);
      ASSERT_NE(box, 0);
      EXPECT_EQ(drv::TextOf(box), kExeName);
      EXPECT_EQ(BoxText(box), r.message);
      EXPECT_FALSE(drv::IsEnabled(w)) << "the box is modal to the dialog";
      drv::PostCommand(box, ui::kIdOk);
      ASSERT_TRUE(drv::WaitGone(box, 5000));
      ++round;
      ASSERT_TRUE(WaitUntil([&] { return d.attempts == round; }));
      EXPECT_TRUE(WaitUntil([&] { return drv::FocusedControl(w) == r.focus; }));
    }
    ASSERT_TRUE(drv::TypeText(w, kSecond, "5"));
    drv::ClickButton(w, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(d.attempts, 3);
  // Members to controls: the first item beginning with the text, ignoring
  // case; with no such item, the text as it is (read back below).
  EXPECT_EQ(combo_sel, 1);
  EXPECT_EQ(combo_text, "Japan");
  EXPECT_EQ(radio_c, 1);
  EXPECT_EQ(std::make_tuple(d.m.name, d.m.first, d.m.second, d.m.agree, d.m.radio, d.m.combo, d.m.other),
            std::make_tuple(std::string("大阪"), 7, 5, 0, 0, std::string("Kobe"), std::string("Kyoto")));
}

TEST_F(HostTest, RadioNoneAndListBoxes) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = FormTemplate();
  FormDialog d(tmpl);
  d.m.radio = -1;
  int checked = -1;
  std::vector<std::string> items, after_clear;
  int sel_none = 0, sel = -1, sel_bad = 0;
  std::string text, text_missing = "x";
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    checked = w.Check(kRadioA) + w.Check(kRadioB) + w.Check(kRadioC);
    self.UpdateData(true);
    for (const char* s : {"ntp.example", "時刻サーバー", "127.0.0.1"}) w.AddItem(kList, s);
    items = w.Items(kList);
    sel_none = w.Selection(kList);
    w.Select(kList, 1);
    sel = w.Selection(kList);
    text = w.Text(kList);
    w.SetText(kList, "no such item");
    text_missing = w.Text(kList);
    w.Select(kList, 7);
    sel_bad = w.Selection(kList);
    w.ClearItems(kList);
    after_clear = w.Items(kList);
    self.EndDialog(1);
  };
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(checked, 0);
  EXPECT_EQ(d.m.radio, -1) << "nothing checked reads as -1";
  EXPECT_EQ(items, (std::vector<std::string>{"ntp.example", "時刻サーバー", "127.0.0.1"}));
  EXPECT_EQ(std::make_tuple(sel_none, sel, sel_bad), std::make_tuple(-1, 1, -1));
  EXPECT_EQ(text, "時刻サーバー");
  EXPECT_EQ(text_missing, "");
  EXPECT_TRUE(after_clear.empty());
}

TEST_F(HostTest, MessageBoxesReturnTheButtonAndCarryTheExeName) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("boxes");
  ScriptedDialog d(tmpl);
  std::vector<int> answers;
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    answers.push_back(ui::ShowMessage("続けますか?", ui::kMbOkCancel | ui::kMbIconWarning));
    answers.push_back(ui::ShowMessage("timer is not running"));
    self.EndDialog(1);
  };
  Driver driver([&] {
    const std::pair<const char*, int> steps[] = {{"続けますか?", ui::kIdCancel}, {"timer is not running", ui::kIdOk}};
    for (const auto& [text, button] : steps) {
      const ui::WindowId box = drv::WaitForDialog(
          [&](ui::WindowId w) { return drv::TextOf(w) == kExeName && BoxText(w) == text; }, 5000);
      ASSERT_NE(box, 0) << text;
      EXPECT_EQ(drv::TextOf(drv::OwnerOf(box)), "boxes") << "owned by the running dialog";
      drv::ClickButton(box, button);
      ASSERT_TRUE(drv::WaitGone(box, 5000));
    }
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(answers, (std::vector<int>{ui::kIdCancelResult, ui::kIdOkResult}));
}

}  // namespace
}  // namespace qv::wintest
