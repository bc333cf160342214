// Shows a real dialog for a few seconds and ends by itself, for screenshots:
//   runner_demo [seconds] [main|settings|form]
// "main" and "settings" show the query runner counting down from `seconds`
// over a query that never answers; "form" shows the hosts' test form.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "main/strings.h"
#include "platform/cancel_signal.h"
#include "platform/win32/dialog_host.h"
#include "runner/query_runner.h"
#include "settings/strings.h"
#include "test_templates.h"

namespace {

class TimedDialog : public qv::ui::Dialog {
 public:
  TimedDialog(const qv::ui::DialogTemplate& t, int seconds) : Dialog(t), seconds_(seconds) {}

 protected:
  bool OnInitDialog() override {
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
