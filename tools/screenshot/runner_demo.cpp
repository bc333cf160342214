// Shows a real dialog for a few seconds and ends by itself, for screenshots:
//   runner_demo [seconds] [main|settings|form|icons]
// "main" and "settings" show the query runner counting down from `seconds`
// over a query that never answers; "form" shows the hosts' test form;
// "icons" the programs' clock art on a window and on buttons.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "hosts/win32/dialog_host.h"
#include "runner/query_runner.h"
#include "settings/strings.h"
#include "win/test_templates.h"
#include "ui/icon_paint.h"

namespace {

constexpr int kIconsDialog = 990;

class TimedDialog : public qv::ui::Dialog {
 public:
  TimedDialog(const qv::ui::DialogTemplate& t, int seconds) : Dialog(t), seconds_(seconds) {}

 protected:
  bool OnInitDialog() override {
    if (Template().id == kIconsDialog) {
      // The window icon as the main program sets it; both programs' button images.
      Window()->SetIcon(100);
      Window()->SetButtonIcon(1, 501);
      Window()->SetButtonIcon(2, 128);
      Window()->SetTimer(1, static_cast<unsigned>(seconds_) * 1000);
      return true;
    }
    Window()->SetText(qv::wintest::kName, "time.example.jp");
    Window()->SetText(qv::wintest::kFirst, "10");
    Window()->AddItem(qv::wintest::kCombo, "SNTP");
    Window()->Select(qv::wintest::kCombo, 0);
    Window()->SetTimer(1, static_cast<unsigned>(seconds_) * 1000);
    return true;
  }
  void OnTimer(std::uintptr_t) override { EndDialog(qv::ui::kIdOkResult); }

 private:
  int seconds_;
};

// Two big buttons for the art, the way the programs' Adjust and Check
// buttons show theirs, and a label for each.
qv::ui::DialogTemplate IconsTemplate() {
  using namespace qv::ui::style;
  using qv::ui::ControlClass;
  qv::ui::DialogTemplate t{kIconsDialog, 0, 0, 150, 62, kPopup | kCaption | kSysMenu | kDsModalFrame | kDsSetFont,
                           "Quorvel", "ＭＳ Ｐゴシック", 9, {}};
  t.controls.push_back({1, ControlClass::Button, "調整 &J", 10, 6, 40, 33, kVisible | kBsDefPushButton});
  t.controls.push_back({2, ControlClass::Button, "ﾁｪｯｸ &C", 60, 6, 40, 33, kVisible | kBsPushButton});
  t.controls.push_back({-1, ControlClass::Static, "501", 10, 44, 40, 8, kVisible | kSsCenter});
  t.controls.push_back({-1, ControlClass::Static, "128", 60, 44, 40, 8, kVisible | kSsCenter});
  return t;
}

qv::engine::Reply NeverAnswers(const qv::engine::QueryJob& job) {
  while (!job.cancel->Fired()) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  return qv::engine::Reply{};
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 5;
  const std::string what = argc > 2 ? argv[2] : "main";
  qv::ui::Win32Host host;
  qv::ui::SetHost(&host);

  if (what == "icons") {
    static const qv::ui::IconTable icons = {{100, qv::ui::ClockIcon(qv::ui::ClockArt::kDial)},
                                            {501, qv::ui::ClockIcon(qv::ui::ClockArt::kDial)},
                                            {128, qv::ui::ClockIcon(qv::ui::ClockArt::kDialWithGear)}};
    qv::ui::SetIconTable(&icons);
    const qv::ui::DialogTemplate t = IconsTemplate();
    TimedDialog d(t, seconds);
    return d.DoModal() == 1 ? 0 : 1;
  }
  if (what == "form") {
    const qv::ui::DialogTemplate t = qv::wintest::FormTemplate();
    TimedDialog d(t, seconds);
    return d.DoModal() == 1 ? 0 : 1;
  }
  const bool settings = what == "settings";
  qv::ui::SetStringTable(settings ? &qv::settings::Strings() : &qv::main::Strings());
  qv::engine::QueryJob job;
  job.server = "ntp.example.jp";
  job.timeout = seconds;
  qv::runner::QueryRunnerDialog dialog(settings ? qv::runner::Variant::kSettings : qv::runner::Variant::kMain,
                                       NeverAnswers);
  const int modal = dialog.Run(job);
  const std::string status = qv::engine::StatusText(dialog.reply().stage, "HostNotFound");
  std::printf("modal %d, status %s\n", modal, status.c_str());
  qv::runner::WaitForWorkers(std::chrono::seconds(5));
  return dialog.reply().stage == qv::engine::Stage::kTimeOut ? 0 : 1;
}
