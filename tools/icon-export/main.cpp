// icon-export: writes the programs' clock art as PNG files into a hicolor
// icon theme under FOLDER (FOLDER/icons/hicolor/<n>x<n>/apps/<name>.png), as
// the package installs them, through the same encoder the settings program
// uses for a user's shortcuts.
// Usage: icon-export FOLDER
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/shell.h"
#include "ui/icon_paint.h"

namespace {

bool Export(const char* name, qv::ui::ClockArt art) {
  std::vector<qv::platform::IconPixels> images;
  for (const qv::ui::IconImage& image : qv::ui::ClockIcon(art).images) images.push_back({image.size, image.argb});
  if (qv::platform::InstallIcon(name, images).empty()) {
    std::fprintf(stderr, "icon-export: cannot write the icons of %s\n", name);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2 || argv[1][0] != '/') {
    std::fputs("usage: icon-export ABSOLUTE-FOLDER\n", stderr);
    return 2;
  }
  // The user's data folder is where InstallIcon puts a theme: here, ours.
  setenv("XDG_DATA_HOME", argv[1], 1);
  return Export("quorvel", qv::ui::ClockArt::kDial) && Export("quorcfg", qv::ui::ClockArt::kDialWithGear) ? 0 : 1;
}
