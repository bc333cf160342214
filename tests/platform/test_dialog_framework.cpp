// What the headless host does beyond the behaviour it shares with Windows
// (tests/scenarios): stalls, steps nobody takes, clean-up after a failing
// step; and the dialog-manager rules at the edges the scenarios do not
// reach.
#include <gtest/gtest.h>

#include <climits>
#include <stdexcept>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_rules.h"
#include "ui/headless/headless_host.h"

namespace qv::ui {
namespace {

using namespace style;

const DialogTemplate kSmall{900, 0, 0, 120, 60, kPopup | kCaption | kDsModalFrame, "Small", "MS Shell Dlg", 8, {}};

class Plain : public Dialog {
 public:
  Plain() : Dialog(kSmall) {}
};

class HeadlessTest : public ::testing::Test {
 protected:
  void SetUp() override { SetHost(&host_); }
  void TearDown() override { SetHost(nullptr); }
  HeadlessHost host_{HeadlessHost::ClockKind::kManual};
};

// (The manual clock's ticks in time order, nested runs and boxes answered
// from the queue carry every program's tests.)
TEST_F(HeadlessTest, AnIdleLoopWithNothingToWaitForStalls) {
  host_.SetStallLimit(std::chrono::milliseconds(50));
  Plain d;
  EXPECT_EQ(d.DoModal(), kIdCancelResult);
  EXPECT_TRUE(host_.stalled());
}

// A step that throws leaves the run, and the run leaves nothing behind.
TEST_F(HeadlessTest, AFailingStepLeavesNoWindowBehind) {
  Plain outer;
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

TEST_F(HeadlessTest, ARemoteActionNobodyTakesIsWithdrawn) {
  bool ran = false;
  EXPECT_FALSE(host_.RunOnUiThread([&](HeadlessHost&) { ran = true; }, std::chrono::milliseconds(20)));
  host_.SetStallLimit(std::chrono::milliseconds(50));
  Plain d;
  d.DoModal();  // would run the action if it were still queued
  EXPECT_FALSE(ran);
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
