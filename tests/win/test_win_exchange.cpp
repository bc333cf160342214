// Data exchange on real controls, and message boxes as the user meets them:
// a failed field stops the read there, shows a box captioned with the
// executable's name and puts the focus on the field.
#include <gtest/gtest.h>

#include <mutex>
#include <string>

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
      const bool ok = self.UpdateData(true);
      {
        std::lock_guard<std::mutex> lock(mutex);
        snapshot = m;
        ++attempts;
      }
      if (ok) self.EndDialog(ui::kIdOkResult);
      return true;
    };
  }
  Members m;
  std::mutex mutex;
  Members snapshot;  // guarded by mutex
  int attempts = 0;  // guarded by mutex
  int Attempts() {
    std::lock_guard<std::mutex> lock(mutex);
    return attempts;
  }
  Members Snapshot() {
    std::lock_guard<std::mutex> lock(mutex);
    return snapshot;
  }
};

TEST_F(HostTest, ExchangeStopsAtTheFirstBadFieldAndKeepsEarlierValues) {
  Watchdog dog(std::chrono::seconds(60));
  const ui::DialogTemplate tmpl = FormTemplate();
  FormDialog d(tmpl);
  int init_combo_sel = -2, init_other_sel = -2, init_radio_c = -1, init_agree = -1;
  std::string init_combo_text, init_other_text;
  d.on_init = [&](ScriptedDialog& self) {
    // Items arrive after the first exchange in a real dialog too; write
    // again once they are there.
    for (const char* item : {"apple", "Japan", "JAPANESE"}) self.Window()->AddItem(kCombo, item);
    for (const char* item : {"Osaka", "Nagoya"}) self.Window()->AddItem(kOtherCombo, item);
    self.UpdateData(false);
    init_combo_sel = self.Window()->Selection(kCombo);
    init_combo_text = self.Window()->Text(kCombo);
    init_other_sel = self.Window()->Selection(kOtherCombo);
    init_other_text = self.Window()->Text(kOtherCombo);
    init_radio_c = self.Window()->Check(kRadioC);
    init_agree = self.Window()->Check(kAgree);
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
    EXPECT_EQ(drv::ControlText(w, kFirst), "3");
    ASSERT_TRUE(drv::TypeText(w, kName, "大阪"));
    drv::ClickButton(w, kAgree);   // 1 -> 0
    drv::ClickButton(w, kRadioA);  // index 2 -> 0
    ASSERT_TRUE(drv::TypeText(w, kCombo, "Kobe"));
    int round = 0;
    for (const Round& r : bad) {
      ++round;
      ASSERT_TRUE(drv::TypeText(w, kFirst, r.first));
      ASSERT_TRUE(drv::TypeText(w, kSecond, r.second));
      drv::ClickButton(w, ui::kIdOk);
      const ui::WindowId box = WaitForOwnedBox(w);
      ASSERT_NE(box, 0) << r.message;
      EXPECT_EQ(drv::TextOf(box), kExeName);
      EXPECT_EQ(BoxText(box), r.message);
      EXPECT_FALSE(drv::IsEnabled(w)) << "the box is modal to the dialog";
      drv::PostCommand(box, ui::kIdOk);
      ASSERT_TRUE(drv::WaitGone(box, 5000));
      ASSERT_TRUE(WaitUntil([&] { return d.Attempts() == round; }));
      EXPECT_TRUE(WaitUntil([&] { return drv::FocusedControl(w) == r.focus; })) << r.message;
      const Members s = d.Snapshot();
      EXPECT_EQ(s.name, "大阪") << "read before the failure";
      EXPECT_EQ(s.second, 4) << "not read after the failure";
      EXPECT_EQ(s.agree, 1) << "not read after the failure";
      EXPECT_EQ(s.radio, 2) << "not read after the failure";
      EXPECT_EQ(s.combo, "ja") << "not read after the failure";
      if (round == 2) {
        EXPECT_EQ(s.first, 7) << "a good field before the bad one keeps its new value";
      }
    }
    ASSERT_TRUE(drv::TypeText(w, kSecond, "5"));
    drv::ClickButton(w, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(d.Attempts(), 3);

  // Members to controls.
  EXPECT_EQ(init_combo_sel, 1) << "first item beginning with the text, ignoring case";
  EXPECT_EQ(init_combo_text, "Japan");
  EXPECT_EQ(init_other_sel, -1);
  EXPECT_EQ(init_other_text, "Kyoto") << "no match: the text as it is";
  EXPECT_EQ(init_radio_c, 1);
  EXPECT_EQ(init_agree, 1);
  // Controls to members, after the good OK.
  EXPECT_EQ(d.m.name, "大阪");
  EXPECT_EQ(d.m.first, 7);
  EXPECT_EQ(d.m.second, 5);
  EXPECT_EQ(d.m.agree, 0);
  EXPECT_EQ(d.m.radio, 0);
  EXPECT_EQ(d.m.combo, "Kobe");
  EXPECT_EQ(d.m.other, "Kyoto");
}

TEST_F(HostTest, RadioGroupWithNothingCheckedReadsMinusOne) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = FormTemplate();
  FormDialog d(tmpl);
  d.m.radio = -1;
  d.m.agree = 0;
  int checked_after_write = -1;
  d.on_init = [&](ScriptedDialog& self) {
    checked_after_write =
        self.Window()->Check(kRadioA) + self.Window()->Check(kRadioB) + self.Window()->Check(kRadioC);
  };
  Driver driver([&] {
    const ui::WindowId w = WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    drv::ClickButton(w, kAgree);  // 0 -> 1
    drv::ClickButton(w, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(checked_after_write, 0);
  EXPECT_EQ(d.m.radio, -1);
  EXPECT_EQ(d.m.agree, 1);
}

TEST_F(HostTest, ListBoxItemsAndSelection) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  std::vector<std::string> items, after_clear;
  int sel_none = 0, sel = -1, sel_bad = 0;
  std::string text, text_missing = "x";
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
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
  EXPECT_EQ(items, (std::vector<std::string>{"ntp.example", "時刻サーバー", "127.0.0.1"}));
  EXPECT_EQ(sel_none, -1);
  EXPECT_EQ(sel, 1);
  EXPECT_EQ(text, "時刻サーバー");
  EXPECT_EQ(text_missing, "");
  EXPECT_EQ(sel_bad, -1);
  EXPECT_TRUE(after_clear.empty());
}

TEST_F(HostTest, MessageBoxesReturnTheButtonAndCarryTheExeName) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("boxes");
  ScriptedDialog d(tmpl);
  std::vector<int> answers;
  d.on_show = [&](ScriptedDialog&, bool shown) {
    if (!shown) return;
    answers.push_back(ui::ShowMessage("続けますか?", ui::kMbOkCancel | ui::kMbIconWarning));
    answers.push_back(ui::ShowMessage("Timer is Error.", ui::kMbOkCancel | ui::kMbIconWarning));
    answers.push_back(ui::ShowMessage("timer is not running"));
  };
  Driver driver([&] {
    struct Step {
      const char* text;
      int button;
    };
    for (const Step& s : {Step{"続けますか?", ui::kIdCancel}, Step{"Timer is Error.", ui::kIdOk},
                          Step{"timer is not running", ui::kIdOk}}) {
      const ui::WindowId box = ui::driver::WaitForDialog(
          [&](ui::WindowId w) { return drv::TextOf(w) == kExeName && BoxText(w) == s.text; }, 5000);
      ASSERT_NE(box, 0) << s.text;
      const ui::WindowId owner = drv::OwnerOf(box);
      EXPECT_EQ(drv::TextOf(owner), "boxes") << "owned by the running dialog";
      drv::ClickButton(box, s.button);
      ASSERT_TRUE(drv::WaitGone(box, 5000));
    }
    const ui::WindowId w = WaitForCaption("boxes");
    ASSERT_NE(w, 0);
    drv::ClickButton(w, ui::kIdOk);
  });
  EXPECT_EQ(d.DoModal(), 1);
  EXPECT_EQ(answers, (std::vector<int>{2, 1, 1}));
}

}  // namespace
}  // namespace qv::wintest
