// The settings dialog on the headless host with a manual clock: a profile in
// a fresh folder, a fake engine and shell, and a stand-in for the main
// program's window that records the notifications.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "profile/ini.h"
#include "profile/temp_dir.h"
#include "settings/icons.h"
#include "settings/settings_dialog.h"
#include "settings/settings_template.h"
#include "settings/strings.h"
#include "support/run_command.h"
#include "support/scripted_host.h"

namespace qv::settings::test {

using HeadlessHost = qv::test::ScriptedHost;
using Step = std::function<void(HeadlessHost&)>;
using Notes = std::vector<std::pair<std::uintptr_t, std::intptr_t>>;  // code, settings window

class FakeEngine final : public EngineCalls {
 public:
  FakeEngine() {
    outcome.status = "OK";
    outcome.server_time = "Tue Jan 06 09:05:03 2026";
    outcome.pc_time = "Tue Jan 06 09:05:01 2026";
  }
  engine::Result outcome;
  std::vector<engine::Request> checks;
  int logs = 0;
  std::function<void()> during_check;
  engine::Result Check(const engine::Request& request) override {
    checks.push_back(request);
    if (during_check) during_check();
    return outcome;
  }
  engine::LogWrite LogCheck(const engine::Request&, const engine::Result&) override {
    ++logs;
    return engine::LogWrite::kWritten;
  }
};

// Each call as a line: "make <link> -> <target>", "remove <path>", "open <path>".
class FakeShell final : public ShellCalls {
 public:
  std::string desktop = "DESK";
  std::vector<std::string> calls;
  std::intptr_t owner = 0;
  std::string FolderPath(platform::ShellFolder f) override { return f == platform::ShellFolder::kDesktop ? desktop : "START"; }
  bool MakeShortcut(const std::string& path, const std::string& target, const std::string&) override {
    return calls.push_back("make " + path + " -> " + target), true;
  }
  bool RemoveShortcut(const std::string& path) override { return calls.push_back("remove " + path), true; }
  bool RemoveFile(const std::string& path) override { return calls.push_back("remove " + path), true; }
  bool Open(const std::string& path, std::intptr_t by) override {
    owner = by;
    return calls.push_back("open " + path), true;
  }
};

// The main program's window as the settings dialog sees it.
class MainStub final : public ui::Dialog {
 public:
  explicit MainStub(ui::Rect normal) : ui::Dialog(kTemplate), normal_(normal) {}
  Notes notes;

 protected:
  bool OnInitDialog() override {
    Window()->SetPlacement({ui::kSwShowNormal, false, {-1, -1}, normal_});
    return true;
  }
  std::intptr_t OnMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    if (msg == WM_SETTINGS_NOTIFY) notes.emplace_back(wparam, lparam);
    return 0;
  }

 private:
  static inline const ui::DialogTemplate kTemplate{512, 0, 0, 100, 50, ui::style::kPopup | ui::style::kCaption,
                                                   "Quorvel", "", 9, {}};
  ui::Rect normal_;
};

class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetHost(&host_);
    ui::SetStringTable(&Strings());
    ui::SetIconTable(&Icons());
    host_.SetStallLimit(std::chrono::seconds(5));
  }
  void TearDown() override {
    EXPECT_FALSE(host_.stalled()) << "a script left the dialog open";
    for (const auto& box : host_.message_boxes())
      EXPECT_EQ(box.flags & 0xF0, ui::kMbIconWarning) << "every message carries the warning icon: " << box.text;
    ui::SetHost(nullptr);
  }

  void WriteProfile(const std::string& text) { std::ofstream(profile_, std::ios::binary) << text; }
  std::string ProfileText() const { return qv::test::ReadWholeFile(profile_); }
  std::string Stored(const std::string& key) const {
    return profile::IniDocument::Parse(ProfileText()).ReadString("Property", key);
  }

  // Opens the dialog (over a main window when `notes` is given) and plays
  // the steps; the last one must end it. The modal result.
  int Open(std::vector<Step> steps, Notes* notes = nullptr, ui::Rect main_rect = {100, 100, 400, 300}) {
    MainStub main(main_rect);
    int result = -1;
    const auto run = [&](ui::WindowId owner) {
      auto calls = MakeProfileCalls(profile_);
      SettingsDialog dialog(Services{calls.get(), engine_used_, shell_used_, [this](unsigned ms) { pauses_.push_back(ms); }},
                            profile_, owner);
      dialog_ = &dialog;
      result = dialog.DoModal(owner);
      dialog_ = nullptr;
    };
    if (!notes) {
      for (Step& step : steps) host_.Then(std::move(step));
      run(0);
      return result;
    }
    host_.Then([&](HeadlessHost& h) {
      run(main.Id());
      h.Then([](HeadlessHost& hh) { hh.Active()->End(ui::kIdOkResult); });
    });
    for (Step& step : steps) host_.Then(std::move(step));
    main.DoModal(0);
    *notes = main.notes;
    return result;
  }

  ui::HeadlessWindow& W() const { return *host_.Active(); }

  HeadlessHost host_;
  qv::test::TempDir dir_;
  std::string profile_ = dir_.File("Quorvel.INI");
  FakeEngine engine_;
  FakeShell shell_;
  ShellCalls* shell_used_ = &shell_;  // the dialog's: the fake unless a test says otherwise
  EngineCalls* engine_used_ = &engine_;
  std::vector<unsigned> pauses_;
  SettingsDialog* dialog_ = nullptr;
};

inline Step Expect(std::function<void()> check) {
  return [check = std::move(check)](HeadlessHost&) { check(); };
}
inline Step ClickOn(int id) {
  return [id](HeadlessHost& h) { EXPECT_TRUE(h.Click(id)) << "control " << id << " unreachable"; };
}
inline Step TypeInto(int id, std::string text) {
  return [id, text = std::move(text)](HeadlessHost& h) { EXPECT_TRUE(h.Type(id, text)) << "control " << id; };
}
inline Step Esc() {
  return [](HeadlessHost& h) { h.PressEsc(); };
}

}  // namespace qv::settings::test
