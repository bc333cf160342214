// Quorcfg.exe as the main program starts it, under Wine: a window of this
// test stands in for the main program and hears the notifications, and the
// test works the settings program's windows from outside, as a user would.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/ctime.h"
#include "platform/file.h"
#include "platform/shell.h"
#include "hosts/win32/program_driver.h"
#include "profile/ini.h"
#include "profile/temp_dir.h"
#include "settings/settings_app.h"
#include "settings/settings_template.h"
#include "support/timeserver_fixture.h"
#include "win/win_test_support.h"

namespace qv::wintest {
namespace {

namespace drv = ui::driver;
namespace ctl = settings::ctl;

class SettingsWinTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    // The settings program inherits the zone the main program sets.
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    std::filesystem::create_directories(std::filesystem::path(std::u8string(folder_.begin(), folder_.end())));
  }
  static std::string Read(const std::string& path) { return platform::ReadWholeFile(path).bytes; }

  // Runs a window standing in for the main program while `script` plays
  // the user; Quorcfg.exe is started over it with `profile_`.
  void WithMainWindow(const std::function<void(drv::ChildProcess&)>& script) {
    static const ui::DialogTemplate main_template{
        512, 20, 20, 180, 60, ui::style::kPopup | ui::style::kCaption | ui::style::kDsSetFont, "Quorvel",
        "MS Shell Dlg", 8, {}};
    std::atomic<ui::WindowId> main{0};
    ScriptedDialog dialog(main_template);
    dialog.on_init = [&](ScriptedDialog& d) { main = d.Id(); };
    dialog.on_message = [&](ScriptedDialog&, unsigned msg, std::uintptr_t code, std::intptr_t from) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (msg == settings::WM_SETTINGS_NOTIFY) notes_.emplace_back(code, from);
      return std::intptr_t{0};
    };
    Driver driver([&] {
      WaitUntil([&] { return main.load() != 0; });
      drv::ChildProcess child(QV_QUORCFG_EXE,
                              "-profile=\"" + profile_ + "\" -geohwnd=" + std::to_string(main.load()) + " xyz");
      EXPECT_TRUE(child.started());
      settings_ = Notice(settings::SETTINGS_OPENED);
      if (settings_ != 0) script(child);
      drv::PostClose(main.load());
    });
    dialog.DoModal(0);
  }
  // The settings window that sent the first notice with `code`; 0 if none came.
  ui::WindowId Notice(int code) {
    ui::WindowId from = 0;
    WaitUntil(
        [&] {
          std::lock_guard<std::mutex> lock(mutex_);
          for (const auto& [c, w] : notes_)
            if (c == static_cast<std::uintptr_t>(code)) return (from = w), true;
          return false;
        },
        15000);
    return from;
  }
  // The control's text once it is no longer `not_this` and holds still (a
  // reading can cross a change between asking the length and the text).
  static std::string WaitForText(ui::WindowId window, int control, const std::string& not_this) {
    std::string text;
    WaitUntil(
        [&] {
          text = drv::ControlText(window, control);
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
          return !text.empty() && text != not_this && drv::ControlText(window, control) == text;
        },
        15000);
    return text;
  }

  qv::test::TempDir dir_;
  const std::string folder_ = dir_.File("profiles") + "\\a b 設定";
  const std::string profile_ = folder_ + "\\Quorvel.INI";
  const std::string log_ = folder_ + "\\Quorvel.log";
  std::mutex mutex_;
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> notes_;
  ui::WindowId settings_ = 0;
};

// Check against qv-timeserver, Apply, the file against the save order, the
// shortcuts, OK. (The log's delete confirmation: the headless LogButtons; a
// reader during a save: ProfileProcesses.AReaderNeverSeesHalfASave.)
TEST_F(SettingsWinTest, CheckApplyAndOk) {
  Watchdog dog(std::chrono::seconds(150));
  qv::test::TimeServer server(qv::test::servers::settings_win_time);  // 2026-01-06 00:05:03 UTC
  ASSERT_TRUE(server.Ready()) << server.Problem();
  const std::string name = "QvTest-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  const std::string desktop = platform::ShortcutPath(platform::ShellFolderPath(platform::ShellFolder::kDesktop), name);
  const std::string startup = platform::ShortcutPath(platform::ShellFolderPath(platform::ShellFolder::kStartup), name);
  const std::string target = folder_ + "\\Quorvel.exe";
  ASSERT_TRUE(platform::ReplaceFileAtomically(target, "MZ"));  // the main program beside its profile
  ASSERT_TRUE(platform::ReplaceFileAtomically(
      profile_, "[Property]\r\nDefaultServer=\r\nprotocol=time\r\nTimeOut=7\r\nLogFile=1\r\nBeep=0\r\nIconicStart=0\r\n"
                "DialogSize=1\r\nDesktopLink=1\r\nStartupLink=0\r\nApplicationName=" + name +
                    "\r\n[Debug]\r\nOptionButton=1\r\n"));
  int exit_code = -2;
  WithMainWindow([&](drv::ChildProcess& child) {
    const ui::WindowId s = settings_;
    EXPECT_EQ(drv::TextOf(s), "Quorvel  <Setting>");
    // The check: the server's TIME answer, and its log line.
    ASSERT_TRUE(drv::TypeText(s, ctl::kServer, server.Address()));
    drv::ClickButton(s, ctl::kCheck);
    EXPECT_EQ(WaitForText(s, ctl::kServerTime, "connecting..."), "Tue Jan 06 09:05:03 2026");
    std::string log = Read(log_);
    std::erase(log, '\r');
    EXPECT_EQ(log, drv::ControlText(s, ctl::kPcTime) + ", " + server.Address() +
                       ",    time,  check, OK, Tue Jan 06 09:05:03 2026\n");

    ASSERT_TRUE(drv::TypeText(s, ctl::kTimeOut, "12"));
    drv::ClickButton(s, ctl::kBeep);
    drv::ClickButton(s, ctl::kIconicStart);
    drv::ClickButton(s, ctl::kApply);
    EXPECT_EQ(Notice(settings::SETTINGS_APPLIED), s);
    EXPECT_EQ(Read(profile_),
              "[Property]\r\nDefaultServer=" + server.Address() +
                  "\r\nprotocol=time\r\nTimeOut=12\r\nLogFile=1\r\nBeep=1\r\nIconicStart=1\r\nDialogSize=1\r\n"
                  "DesktopLink=1\r\nStartupLink=0\r\nApplicationName=" + name +
                  "\r\nServerReferenceTime=1,24\r\nCurrentTimeDisplay=0,0,0\r\nAutoAdjust=0\r\nAutoTerminate=0\r\n"
                  "IndicatorLine=0\r\nWindowPos=0\r\nAdjustAt=0,0:0\r\nErrorRetry=0,1,10,0\r\n"
                  "[Debug]\r\nOptionButton=1\r\n[Servers]\r\n");
    EXPECT_EQ(platform::ShortcutTarget(desktop), target);
    EXPECT_FALSE(platform::FileExists(startup));

    // OK with the shortcuts swapped.
    drv::ClickButton(s, ctl::kDesktopLink);
    drv::ClickButton(s, ctl::kStartupLink);
    drv::ClickButton(s, ui::kIdOk);
    EXPECT_EQ(Notice(settings::SETTINGS_SAVED), s);
    exit_code = child.Wait(15000);
  });
  EXPECT_EQ(exit_code, 0);
  ASSERT_EQ(notes_.size(), 3u);
  EXPECT_EQ(std::to_string(notes_[0].first) + std::to_string(notes_[1].first) + std::to_string(notes_[2].first), "031");
  EXPECT_FALSE(platform::FileExists(desktop));
  EXPECT_EQ(platform::ShortcutTarget(startup), target);
  platform::RemoveFile(desktop);
  platform::RemoveFile(startup);
}

}  // namespace
}  // namespace qv::wintest
