// Plays a user of an installed or unpacked Quorvel.exe (tools/release-windows):
// starts it where it is, clicks Check, waits for the server's time, closes it.
// Usage: installed_check PATH-OF-Quorvel.exe   (exit 0 when the check showed a time)
#include <cstdio>

#include "quorvel_e2e.h"

int main(int argc, char** argv) {
  using namespace qv::e2e;
  if (argc != 2) return 2;
  Running q(argv[1]);
  const qv::ui::WindowId w = q.MainWindow();
  if (!w || !drv::ClickButton(w, qv::main::kIdCheck)) return 1;
  const std::string shown = WaitForText(w, qv::main::kIdServerTime, IsTimeText);
  std::printf("installed_check: the server's time: %s\n", shown.c_str());
  drv::ClickButton(w, qv::ui::kIdOk);
  return IsTimeText(shown) && q.Ended(10000) == 0 ? 0 : 1;
}
