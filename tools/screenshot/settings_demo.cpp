// Review artefact: Quorcfg.exe unfolded, with its option buttons, the status
// line preview and the running time, for tools/wine-screenshot; closed again
// after the given number of seconds.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/file.h"
#include "hosts/win32/program_driver.h"
#include "hosts/win32/ui_driver.h"

int main(int argc, char** argv) {
  using namespace qv;
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qv-settings-demo";
  std::filesystem::create_directories(folder);
  const std::string profile = (folder / "Quorvel.INI").string();
  platform::ReplaceFileAtomically(
      profile,
      "[Servers]\r\nntp.example.jp\r\ntime.example.org\r\n[Property]\r\nDefaultServer=ntp.example.jp\r\n"
      "protocol=SNTP\r\nServerReferenceTime=1,24\r\nCurrentTimeDisplay=1,2,0\r\nLogFile=1\r\nIndicatorLine=1\r\n"
      "TimeOut=5\r\nDialogSize=1\r\nAdjustAt=1,6:30\r\nErrorRetry=1,3,10,1\r\nDesktopLink=0\r\n[Debug]\r\n"
      "OptionButton=1\r\n");
  ui::driver::ChildProcess child(QV_QUORCFG_EXE, "-profile=\"" + profile + "\" -geohwnd=0 xyz");
  const ui::WindowId w = child.WaitForDialog([](ui::WindowId) { return true; }, 20000);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  if (w) ui::driver::PostClose(w);
  const int code = child.Wait(10000);
  std::filesystem::remove_all(folder);
  return code;
}
