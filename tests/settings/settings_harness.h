// The settings dialog on the headless host with a manual clock: a profile in
// a fresh folder, a fake engine and a fake shell, and a stand-in for the main
// program's window that records the notifications.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <memory>
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
#include "ui/headless/headless_host.h"

namespace qv::settings::test {

using ui::HeadlessHost;
using ui::HeadlessWindow;

class FakeEngine final : public EngineCalls {
 public:
  CheckOutcome outcome{true, "Tue Jan 06 09:05:03 2026", "Tue Jan 06 09:05:01 2026", "OK", ""};
  std::vector<CheckRequest> checks, logs;
  std::function<void()> during_check;  // runs inside Check (the dialog is waiting)

  CheckOutcome Check(const CheckRequest& request) override {
    checks.push_back(request);
    if (during_check) during_check();
    return outcome;
  }
  void LogCheck(const CheckRequest& request, const CheckOutcome&) override { logs.push_back(request); }
};

// Records each call as a line: "make <link> -> <target>", "remove <path>",
// "open <path>".
class FakeShell final : public ShellCalls {
 public:
  std::string desktop = "DESK", startup = "START";
  std::vector<std::string> calls;
  std::intptr_t last_owner = 0;

  std::string FolderPath(platform::ShellFolder folder) override {
    return folder == platform::ShellFolder::kDesktop ? desktop : startup;
  }
  bool MakeShortcut(const std::string& path, const std::string& target, const std::string&) override {
    calls.push_back("make " + path + " -> " + target);
    return true;
  }
  bool RemoveFile(const std::string& path) override {
    calls.push_back("remove " + path);
    return true;
  }
  bool Open(const std::string& path, std::intptr_t owner) override {
    calls.push_back("open " + path);
    last_owner = owner;
    return true;
  }
};

// The main program's window, as far as the settings dialog sees it.
class MainStub final : public ui::Dialog {
 public:
  explicit MainStub(ui::Rect normal) : ui::Dialog(Template()), normal_(normal) {}
  std::vector<std::pair<std::uintptr_t, std::intptr_t>> notes;  // code, settings window

 protected:
  bool OnInitDialog() override {
    ui::WindowPlacement p;
    p.normal = normal_;
    Window()->SetPlacement(p);
    return true;
  }
  std::intptr_t OnMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override {
    if (msg == WM_SETTINGS_NOTIFY) notes.emplace_back(wparam, lparam);
    return 0;
  }

 private:
  static const ui::DialogTemplate& Template() {
    static const ui::DialogTemplate t{512, 0, 0, 100, 50, ui::style::kPopup | ui::style::kCaption, "Quorvel", "",
                                      9, {}};
    return t;
  }
  ui::Rect normal_;
};

using Step = std::function<void(HeadlessHost&)>;

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
    ui::SetHost(nullptr);
  }

  void WriteProfile(const std::string& text) { std::ofstream(profile_, std::ios::binary) << text; }
  std::string ProfileText() const { return qv::test::ReadWholeFile(profile_); }
  std::string Stored(const std::string& key) const {
    return profile::IniDocument::Parse(ProfileText()).ReadString("Property", key);
  }

  // Opens the dialog and plays the steps; the last one must end it. The
  // result is the modal result.
  int Open(std::vector<Step> steps) {
    auto calls = MakeProfileCalls(profile_);
    SettingsDialog dialog(Services{calls.get(), &engine_, &shell_, [this](unsigned ms) { pauses_.push_back(ms); }},
                          profile_, 0);
    dialog_ = &dialog;
    for (Step& step : steps) host_.Then(std::move(step));
    const int result = dialog.DoModal(0);
    dialog_ = nullptr;
    return result;
  }

  // The same over a main window whose normal rectangle is `main_rect`; its
  // notifications land in `notes`.
  int OpenOverMain(ui::Rect main_rect, std::vector<Step> steps,
                   std::vector<std::pair<std::uintptr_t, std::intptr_t>>& notes) {
    MainStub main(main_rect);
    int result = -1;
    host_.Then([&](HeadlessHost& h) {
      auto calls = MakeProfileCalls(profile_);
      SettingsDialog dialog(Services{calls.get(), &engine_, &shell_, [](unsigned) {}}, profile_, main.Id());
      dialog_ = &dialog;
      result = dialog.DoModal(main.Id());
      dialog_ = nullptr;
      h.Then([&](HeadlessHost& hh) { hh.Active()->End(ui::kIdOkResult); });
    });
    for (Step& step : steps) host_.Then(std::move(step));
    main.DoModal(0);
    notes = main.notes;
    return result;
  }

  HeadlessWindow& W() const { return *host_.Active(); }
  const HeadlessWindow::Control& C(int id) const { return *W().control(id); }

  HeadlessHost host_{HeadlessHost::ClockKind::kManual};
  qv::test::TempDir dir_;
  std::string profile_ = dir_.File("Quorvel.INI");
  FakeEngine engine_;
  FakeShell shell_;
  std::vector<unsigned> pauses_;
  SettingsDialog* dialog_ = nullptr;
};

// A step that checks something and goes on.
inline Step Expect(std::function<void()> check) {
  return [check = std::move(check)](HeadlessHost&) { check(); };
}
inline Step ClickOn(int id) {
  return [id](HeadlessHost& h) { EXPECT_TRUE(h.Click(id)) << "control " << id << " unreachable"; };
}
inline Step TypeInto(int id, std::string text) {
  return [id, text = std::move(text)](HeadlessHost& h) { EXPECT_TRUE(h.Type(id, text)) << "control " << id; };
}

}  // namespace qv::settings::test
