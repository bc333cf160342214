// Shows one dialog on the Linux GUI host and saves a picture of the screen:
// the review set beside the Windows pictures (tools/wine-screenshot).
//   fltk_demo form|runner-main|runner-settings|box OUT.png
#include <cstdio>
#include <string>
#include <thread>

#include "hosts/fltk/fltk_driver.h"
#include "hosts/fltk/fltk_host.h"
#include "runner/runner_template.h"
#include "support/scripted_dialog.h"
#include "win/test_templates.h"

using namespace qv;

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: fltk_demo form|runner-main|runner-settings|box OUT.png\n");
    return 2;
  }
  const std::string which = argv[1], out = argv[2];
  ui::fltk::FltkHost host("QuorvelDemo");
  if (!host.has_display()) return 1;
  ui::SetHost(&host);
  ui::fltk_driver::Attach(&host);
  ui::DialogTemplate tmpl = wintest::FormTemplate();
  if (which == "runner-main") tmpl = runner::RunnerTemplate(runner::Variant::kMain);
  if (which == "runner-settings") tmpl = runner::RunnerTemplate(runner::Variant::kSettings);
  tmpl.x = tmpl.y = 10;
  test::ScriptedDialog dialog(tmpl);
  dialog.on_init = [&](test::ScriptedDialog& d) {
    ui::HostWindow& w = *d.Window();
    if (which == "form") {
      for (const char* item : {"ntp.example", "時刻サーバー", "127.0.0.1"}) w.AddItem(wintest::kCombo, item);
      w.Select(wintest::kCombo, 1);
      w.SetText(wintest::kName, "東京");
      w.SetText(wintest::kFirst, "7");
      w.SetCheck(wintest::kAgree, 1);
      w.SetCheck(wintest::kRadioB, 1);
      for (const char* item : {"SNTP", "time", "daytime"}) w.AddItem(wintest::kList, item);
    } else if (which != "box") {
      w.SetCaption(which == "runner-main" ? "Quorvel" : "Quorvel  <Setting>");
      w.SetText(runner::kIdServerText, "ntp.example.jp");
      w.SetText(runner::kIdCountdown, "10");
    }
  };
  bool ok = true;
  std::thread driver([&] {
    const ui::WindowId w = ui::fltk_driver::WaitForDialog([](ui::WindowId) { return true; });
    if (which == "box") {
      std::thread([] { ui::ShowMessage("ﾛｸﾞﾌｧｲﾙ /tmp/quorvel.log を消去します。", ui::kMbOkCancel | ui::kMbIconWarning); })
          .detach();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(800));
    ok = ui::fltk_driver::Screenshot(out);
    ui::fltk_driver::CloseAll();
    (void)w;
  });
  dialog.DoModal();
  driver.join();
  return ok ? 0 : 1;
}
