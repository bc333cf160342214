// Quorvel.exe and Quorcfg.exe together under Wine, as they are delivered:
// both in one folder whose path has blanks and Japanese, the main window's
// Settings button starting the settings program. Apply shows at once in the
// main window, Cancel or a crash frees the button, and closing the main
// window closes the settings one.
#include <gtest/gtest.h>

#include "quorvel_e2e.h"
#include "settings/options_template.h"
#include "settings/settings_template.h"

namespace qv::e2e {
namespace {

using namespace main;
namespace ctl = settings::ctl;

const std::string kQuorvel = BuiltProgram("Quorvel.exe", QV_QUORVEL_EXE);
const std::string kQuorcfg = BuiltProgram("Quorcfg.exe", QV_QUORCFG_EXE);

// Windows paths name the same file in any case.
std::string Folded(std::string path) {
  for (char& c : path) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return path;
}

class Together : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(FsPath(kQuorcfg), FsPath(copy_.Beside("Quorcfg.exe")));
    q_ = std::make_unique<Running>(copy_.exe());
    w_ = q_->MainWindow();
    ASSERT_NE(w_, 0);
    ASSERT_TRUE(drv::IsVisibleWindow(drv::ControlOf(w_, kIdSettings)));
  }
  void TearDown() override { q_.reset(); }

  // Clicks Settings: the one process the main program starts is the
  // Quorcfg.exe beside it, and the button shows pressed and disabled while
  // its dialog is up.
  struct Opened {
    std::unique_ptr<drv::ChildProcess> process;  // killed if the test leaves it running
    ui::WindowId dialog = 0;
  };
  Opened OpenSettings() {
    Opened s;
    EXPECT_TRUE(drv::ClickButton(w_, kIdSettings));
    std::vector<std::uint32_t> started;
    if (!qv::test::WaitUntil([&] { return !(started = drv::ChildrenOf(q_->pid())).empty(); }, 15000)) return s;
    EXPECT_EQ(started.size(), 1u);
    s.process = std::make_unique<drv::ChildProcess>(started[0]);
    // Captioned "Quorvel  <Setting>" unless the clock shows there.
    s.dialog = s.process->WaitForDialog([](ui::WindowId d) { return drv::ControlOf(d, ctl::kProtocol) != 0; }, 20000);
    EXPECT_NE(s.dialog, 0);
    // Asked once it runs: a process still starting has no program name yet.
    EXPECT_EQ(Folded(s.process->Program()), Folded(copy_.Beside("Quorcfg.exe")));
    EXPECT_EQ(drv::CheckStateOf(w_, kIdSettings), 1);
    EXPECT_FALSE(drv::IsEnabled(drv::ControlOf(w_, kIdSettings)));
    return s;
  }
  bool ButtonFree() {
    return qv::test::WaitUntil(
        [&] { return drv::CheckStateOf(w_, kIdSettings) == 0 && drv::IsEnabled(drv::ControlOf(w_, kIdSettings)); },
        15000);
  }

  const std::string name_ =
      "QvTogether-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count() % 1000000000);
  QuorvelCopy copy_{kQuorvel, "一緒に 動く フォルダ", "QuorvelT",
                    "[Property]\r\nIndicatorLine=1\r\nLogFile=0\r\nDialogSize=1\r\nTimeOut=7\r\nApplicationName=" + name_ +
                        "\r\n[Debug]\r\nOptionButton=1\r\n"};
  std::unique_ptr<Running> q_;
  ui::WindowId w_ = 0;
};

TEST_F(Together, ApplyShowsAtOnceCancelAndACrashFreeTheButton) {
  Opened s = OpenSettings();
  ASSERT_NE(s.dialog, 0);
  // Apply lights the log indicator at once and keeps the settings program
  // open. (What else an Apply changes in the main window: MainTest.*.)
  const auto lit = [&] { return drv::IsEnabled(drv::ControlOf(w_, kIdLogFile)); };
  EXPECT_FALSE(lit());
  ASSERT_TRUE(drv::ClickButton(s.dialog, ctl::kLogFile));
  ASSERT_TRUE(drv::ClickButton(s.dialog, ctl::kApply));
  EXPECT_TRUE(qv::test::WaitUntil(lit));
  EXPECT_TRUE(drv::Exists(s.dialog));
  EXPECT_EQ(drv::CheckStateOf(w_, kIdSettings), 1);
  // Cancel ends it; what was applied stays, in the file and on show.
  ASSERT_TRUE(drv::ClickButton(s.dialog, ui::kIdCancel));
  EXPECT_EQ(s.process->Wait(15000), 0);
  EXPECT_TRUE(ButtonFree());
  EXPECT_TRUE(lit());
  EXPECT_EQ(copy_.Value("Property", "LogFile"), "1");

  // A settings program that dies without a word frees the button as well.
  s = {};
  s = OpenSettings();
  ASSERT_NE(s.dialog, 0);
  s.process->Kill();
  EXPECT_TRUE(ButtonFree());
}

// The options dialog over the settings dialog, as real dialogs: what its OK
// hands back is saved by Apply.
TEST_F(Together, OptionsAreSavedByApply) {
  Opened s = OpenSettings();
  ASSERT_NE(s.dialog, 0);
  ASSERT_TRUE(drv::PostCommand(s.dialog, ctl::kOptions));  // a click would wait out its modal run
  const ui::WindowId options = s.process->WaitForDialog(
      [](ui::WindowId d) { return drv::ControlOf(d, settings::opt::kLocalZone) != 0; }, 15000);
  ASSERT_NE(options, 0);
  ASSERT_TRUE(drv::ClickButton(options, settings::opt::kLocalZone));
  ASSERT_TRUE(drv::ClickButton(options, ui::kIdOk));
  EXPECT_EQ(copy_.Value("Options", "LocalZone"), "");
  ASSERT_TRUE(drv::ClickButton(s.dialog, ctl::kApply));
  EXPECT_TRUE(qv::test::WaitUntil([&] { return copy_.Value("Options", "LocalZone") == "1"; }));
  ASSERT_TRUE(drv::ClickButton(s.dialog, ui::kIdCancel));
  EXPECT_EQ(s.process->Wait(15000), 0);
}

// Closing the main window while the settings program is open closes that
// too, which saves nothing.
TEST_F(Together, ClosingTheMainWindowClosesTheSettingsProgram) {
  Opened s = OpenSettings();
  ASSERT_NE(s.dialog, 0);
  ASSERT_TRUE(drv::TypeText(s.dialog, ctl::kTimeOut, "17"));
  ASSERT_TRUE(drv::ClickButton(w_, ui::kIdOk));
  EXPECT_EQ(s.process->Wait(15000), 0);
  EXPECT_EQ(q_->Ended(15000), 0);
  EXPECT_EQ(copy_.Value("Property", "TimeOut"), "7");
}

}  // namespace
}  // namespace qv::e2e
