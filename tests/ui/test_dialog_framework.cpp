// What the headless host does beyond the behaviour it shares with Windows
// (tests/scenarios): the scripted user's steps, message boxes answered by
// themselves or from a worker, clean-up after a failing step; and the
// dialog-manager rules at the edges the scenarios do not reach. (A stall of
// the scripted host shows as the stalled run's own failure.)
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_rules.h"
#include "support/scripted_host.h"

namespace qv::ui {
namespace {

using HeadlessHost = qv::test::ScriptedHost;

using namespace style;

constexpr int kButton = 101;
const DialogTemplate kSmall{900, 0, 0, 120, 60, kPopup | kCaption | kDsModalFrame | kDsSetFont, "Small", "MS Shell Dlg",
                            8, {{kButton, ControlClass::Button, "b", 50, 5, 40, 14, kVisible | kTabStop}}};

// A dialog whose button runs a command of the test's.
class SmallDialog : public Dialog {
 public:
  SmallDialog() : Dialog(kSmall) {}
  std::function<void(SmallDialog&)> on_command;

 protected:
  void OnCommand(int id) override {
    if (id == kButton && on_command) return on_command(*this);
    Dialog::OnCommand(id);
  }
};

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host_); }
  void TearDown() override { SetHost(nullptr); }
  HeadlessHost host_;
};

// (The manual clock's ticks in time order and under a nested run: the
// Timers and NestedFromATimer scenarios, and every program's retry series.)

// Boxes nobody waits to click answer from the queue (OK when it is empty)
// before the script goes on; a box from a worker while a dialog runs is
// answered at once on the worker.
TEST_F(HeadlessTest, BoxesAnswerByThemselvesFromTheQueue) {
  SmallDialog d;
  std::vector<int> answers;
  std::vector<std::string> seen;
  host_.on_message_box = [&](const HeadlessHost::MessageBoxRecord& box) { seen.push_back(box.text); };
  host_.QueueAnswer(kIdCancelResult);
  WindowId id = 0;
  d.on_command = [&](SmallDialog& self) {
    id = self.Id();
    answers.push_back(ShowMessage("first", kMbOkCancel));
    answers.push_back(ShowMessage("second", kMbOkCancel));
  };
  host_.Then([](HeadlessHost& h) { EXPECT_TRUE(h.Click(kButton)); });
  host_.Then([&](HeadlessHost& h) {
    std::thread worker([&] { answers.push_back(ShowMessage("from a worker")); });
    worker.join();
    EXPECT_EQ(h.ModalDepth(), 1) << "no box loop ran on the worker";
    h.PressEsc();
  });
  EXPECT_EQ(d.DoModal(), 2);
  EXPECT_EQ(answers, (std::vector<int>{kIdCancelResult, kIdOkResult, kIdOkResult}));
  EXPECT_EQ(seen, (std::vector<std::string>{"first", "second", "from a worker"}));
  ASSERT_EQ(host_.message_boxes().size(), 3u);
  EXPECT_EQ(host_.message_boxes()[0].owner, id) << "owned by the active dialog";
}

// A step that throws leaves the run, and the run leaves nothing behind.
TEST_F(HeadlessTest, AFailingStepLeavesNoWindowBehind) {
  SmallDialog outer;
  WindowId id = 0;
  host_.Then([&](HeadlessHost&) {
    id = outer.Id();
    throw std::runtime_error("step");
  });
  EXPECT_THROW(outer.DoModal(), std::runtime_error);
  EXPECT_FALSE(host_.WindowExists(id));
  EXPECT_EQ(host_.ModalDepth(), 0);
  EXPECT_EQ(host_.ActiveWindow(), 0);
  EXPECT_EQ(outer.Window(), nullptr);
  EXPECT_FALSE(host_.Post(id, kWmUser + 100, 0, 0));
}

// ---------------------------------------------------------------- rules

TEST(DialogRules, ChecksKeepWhatTheirKindHolds) {
  struct Case {
    std::uint32_t kind;
    ControlClass cls;
    int in, out;
  };
  const Case cases[] = {
      {kBsCheckBox, ControlClass::Button, 2, 1},  {kBsAutoCheckBox, ControlClass::Button, -1, 1},
      {kBs3State, ControlClass::Button, 2, 2},    {kBsAuto3State, ControlClass::Button, 9, 2},
      {kBs3State, ControlClass::Button, -1, 2},   {kBsRadioButton, ControlClass::Button, 5, 1},
      {kBsAutoRadio, ControlClass::Button, 0, 0}, {kBsPushButton, ControlClass::Button, 1, 0},
      {kBsGroupBox, ControlClass::Button, 1, 0},  {0, ControlClass::Static, 1, 0},
  };
  for (const Case& c : cases) {
    const ControlTemplate t{1, c.cls, "", 0, 0, 1, 1, c.kind};
    EXPECT_EQ(rules::NormalizeCheck(t, c.in), c.out) << c.kind << " " << c.in;
  }
}

TEST(DialogRules, SpinTextsSteps) {
  struct Parse {
    const char* text;
    bool no_thousands;
    bool ok;
    int value;
  };
  const Parse parses[] = {
      {"", false, true, 0},
      {" \t-12", false, true, -12},
      {"1,2,3", false, true, 123},
      {"1,000", true, false, 0},
      {"2147483647", false, true, INT_MAX},
      {"2147483648", false, false, 0},
      {"-2147483648", false, true, INT_MIN},
      {"-", false, false, 0},
      {"5 ", false, false, 0},
  };
  for (const Parse& p : parses) {
    int v = 0;
    EXPECT_EQ(rules::ParseSpinText(p.text, p.no_thousands, v), p.ok) << p.text;
    if (p.ok) {
      EXPECT_EQ(v, p.value) << p.text;
    }
  }
  EXPECT_EQ(rules::FormatSpinValue(-1234567, false), "-1,234,567");
  EXPECT_EQ(rules::FormatSpinValue(INT_MIN, true), "-2147483648");
  // Steps at the integer limits never overflow.
  EXPECT_EQ(rules::SpinStep(INT_MAX, 5, INT_MIN, INT_MAX, true), INT_MIN + 4);
  EXPECT_EQ(rules::SpinStep(INT_MIN, -1, INT_MIN, INT_MAX, false), INT_MIN);
  EXPECT_EQ(rules::SpinStep(3, 130, 0, 59, true), 13) << "a long step wraps on round";
  const std::vector<SpinAccel> accel = {{1, 1}, {3, 5}};
  const std::pair<unsigned, int> held[] = {{0, 1}, {999, 1}, {1000, 1}, {2999, 1}, {3000, 5}, {60000, 5}};
  for (const auto& [ms, step] : held) EXPECT_EQ(rules::SpinIncrement(accel, ms), step) << ms;
  EXPECT_EQ(rules::SpinIncrement({}, 5000), 1);
  EXPECT_EQ(rules::SpinIncrement({{2, 7}}, 0), 7) << "before the first row's time, its step";
}

}  // namespace
}  // namespace qv::ui
