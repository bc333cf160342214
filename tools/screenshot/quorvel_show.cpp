// Shows Quorvel.exe for a review screenshot (tools/wine-screenshot): a copy
// with a profile that fills the status line and the clock, closed with its
// Close button after the given seconds.
#include <cstdlib>
#include <thread>

#include "win/quorvel_e2e.h"

int main(int argc, char** argv) {
  using namespace qv::e2e;
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
  QuorvelCopy copy(BuiltProgram("Quorvel.exe", QV_QUORVEL_EXE), "q", "Quorvel",
                   "[Property]\r\nDefaultServer=ntp.example.jp\r\nprotocol=SNTP\r\nTimeOut=10\r\nindicatorline=1\r\n"
                   "logfile=1\r\nbeep=1\r\nAdjustAt=1,7:30\r\nErrorRetry=1,3,10,0\r\nCurrentTimeDisplay=1,1,0\r\n"
                   "WindowPos=1,40,40,1\r\n");
  Running q(copy.exe());
  const qv::ui::WindowId w = q.MainWindow();
  if (!w) return 1;
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  drv::ClickButton(w, qv::ui::kIdOk);
  return q.Ended(10000) == 0 ? 0 : 1;
}
