// Review artefact: Quorcfg.exe unfolded, with its option buttons, the status
// line preview and the running time, for tools/wine-screenshot; closed again
// after the given number of seconds. With "options" after them, its options
// dialog open over it, with the agreement and the PC's zone chosen.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/file.h"
#include "hosts/win32/program_driver.h"
#include "hosts/win32/ui_driver.h"
#include "settings/options_template.h"
#include "settings/settings_template.h"

int main(int argc, char** argv) {
  using namespace qv;
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 8;
  const bool options = argc > 2 && std::string(argv[2]) == "options";
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "qv-settings-demo";
  std::filesystem::create_directories(folder);
  const std::string profile = (folder / "Quorvel.INI").string();
  platform::ReplaceFileAtomically(
      profile,
      "[Servers]\r\nntp.example.jp\r\ntime.example.org\r\n[Property]\r\nDefaultServer=ntp.example.jp\r\n"
      "protocol=SNTP\r\nServerReferenceTime=1,24\r\nCurrentTimeDisplay=1,2,0\r\nLogFile=1\r\nIndicatorLine=1\r\n"
      "TimeOut=5\r\nDialogSize=1\r\nAdjustAt=1,6:30\r\nErrorRetry=1,3,10,1\r\nDesktopLink=0\r\n[Debug]\r\n"
      "OptionButton=1\r\n[Options]\r\nAgreement=1\r\nAgreementTolerance=250\r\nLocalZone=1\r\n");
  ui::driver::ChildProcess child(QV_QUORCFG_EXE, "-profile=\"" + profile + "\" -geohwnd=0 xyz");
  namespace drv = ui::driver;
  const auto has = [](int control) { return [control](ui::WindowId d) { return drv::ControlOf(d, control) != 0; }; };
  const ui::WindowId w = child.WaitForDialog(has(settings::ctl::kProtocol), 20000);
  ui::WindowId o = 0;
  if (w && options && drv::PostCommand(w, settings::ctl::kOptions))
    o = child.WaitForDialog(has(settings::opt::kLocalZone), 10000);
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  if (o) drv::PostClose(o);
  if (w) {
    if (o) std::this_thread::sleep_for(std::chrono::milliseconds(500));
    drv::PostClose(w);
  }
  const int code = child.Wait(10000);
  std::filesystem::remove_all(folder);
  return code;
}
