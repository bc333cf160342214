// XDG desktop entries for shortcuts, the folders they go to, the icon they
// show, and xdg-open, in a home folder of the test's own; and the settings
// program's shortcuts made for real.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "base/text.h"
#include "platform/shell.h"
#include "profile/temp_dir.h"
#include "settings/shell_calls.h"
#include "support/run_command.h"
#include "support/scoped_env.h"
#include "support/wait_until.h"
#include "ui/icon_paint.h"

namespace qv::platform {
namespace {

namespace fs = std::filesystem;

// What a folder holds, by name.
std::set<std::string> Listing(const std::string& folder) {
  std::set<std::string> names;
  std::error_code ignored;
  for (const auto& entry : fs::directory_iterator(folder, ignored)) names.insert(entry.path().filename().string());
  return names;
}

// desktop-file-validate's verdict: empty when the entry is valid.
std::string Invalidity(const std::string& entry, const std::string& scratch) {
  const auto check = qv::test::RunCapture({"desktop-file-validate", entry}, scratch);
  if (check.exit_code == 0 && check.out.find("error") == std::string::npos) return {};
  return check.out + check.err + " (exit " + std::to_string(check.exit_code) + ")";
}

// HOME the test's own and the XDG variables unset; they and PATH come back
// at the end.
struct OwnHome {
  explicit OwnHome(const std::string& home) {
    for (const char* name : {"XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "XDG_DATA_HOME"}) unsetenv(name);
    setenv("HOME", home.c_str(), 1);
  }
  qv::test::ScopedEnv saved{"HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "XDG_DATA_HOME", "PATH"};
};

class ShellTest : public ::testing::Test {
 protected:
  static void Write(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
  }

  qv::test::TempDir dir_;
  std::string home_ = dir_.File("home");
  OwnHome own_home_{home_};
};

TEST_F(ShellTest, FoldersFollowTheXdgSettings) {
  struct Case {
    const char* user_dirs;      // user-dirs.dirs line, nullptr: no file
    const char* desktop_env;    // XDG_DESKTOP_DIR, nullptr: unset
    const char* config_env;     // XDG_CONFIG_HOME, nullptr: unset
    std::string desktop, startup;
  } cases[] = {
      {nullptr, nullptr, nullptr, home_ + "/Desktop", home_ + "/.config/autostart"},
      {"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"\n", nullptr, nullptr, home_ + "/Schreibtisch",
       home_ + "/.config/autostart"},
      {"# comment\nXDG_DESKTOP_DIR=\"/srv/desk top/\"\n", "/ignored", nullptr, "/srv/desk top",
       home_ + "/.config/autostart"},
      {nullptr, "/env/desk", "relative/config", "/env/desk", home_ + "/.config/autostart"},
      {nullptr, nullptr, "/etc/xdg-user", home_ + "/Desktop", "/etc/xdg-user/autostart"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.desktop);
    std::filesystem::remove_all(home_);
    if (c.user_dirs) Write(home_ + "/.config/user-dirs.dirs", c.user_dirs);
    qv::test::ScopedEnv::Set("XDG_DESKTOP_DIR", c.desktop_env);
    qv::test::ScopedEnv::Set("XDG_CONFIG_HOME", c.config_env);
    EXPECT_EQ(ShellFolderPath(ShellFolder::kDesktop), c.desktop);
    EXPECT_EQ(ShellFolderPath(ShellFolder::kStartup), c.startup);
  }
}

// Each entry is valid for desktop-file-validate, starts its program whatever
// the path holds, and reads back to the same target; the folder holds the
// entries alone (no lock, no temporary). Texts an entry cannot hold are
// refused.
TEST_F(ShellTest, DesktopEntriesAreValidAndResolveBack) {
  const std::string startup = ShellFolderPath(ShellFolder::kStartup);
  ASSERT_FALSE(fs::exists(startup));
  const ShortcutLook look{"時計を合わせます", "/icons/quorvel.png", "Quorvel"};
  struct Case {
    std::string name, target;
    ShortcutLook look;
    bool made;
  } cases[] = {{"Quorvel", "/opt/quorvel/Quorvel", look, true},
               {"My Clock", "/home/u/my programs/Quorvel", {}, true},
               {"時計", "/データ/時計/Quorvel", look, true},
               {" lead", "/odd/\"quoted\" $HOME `cmd` 100% back\\slash;x/Quorvel", {}, true},
               {"\x8E\x9E\x8C\x76", "/opt/quorvel/Quorvel", {}, false},  // CP932, not UTF-8
               {"bell\x07", "/opt/quorvel/Quorvel", {}, false},
               {"Quorvel", "/opt/\xFF/Quorvel", {}, false}};
  std::set<std::string> want;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const std::string link = ShortcutPath(startup, c.name);
    ASSERT_EQ(MakeShortcut(link, c.target, c.name, c.look), c.made);
    if (!c.made) continue;
    want.insert(c.name + ".desktop");
    struct stat st {};
    ASSERT_EQ(stat(link.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(ShortcutTarget(link), c.target);
    EXPECT_EQ(Invalidity(link, dir_.File("validate")), "");
    const std::string text = qv::test::ReadWholeFile(link);
    for (const std::string& line : {"Comment=" + c.look.comment, "Icon=" + c.look.icon_path,
                                   "StartupWMClass=" + c.look.window_class})
      EXPECT_EQ(text.find("\n" + line + "\n") != std::string::npos, !c.look.comment.empty()) << line;
  }
  EXPECT_EQ(Listing(startup), want);
  // Replacing one keeps a single entry with the new target; a lock file an
  // earlier version left beside it goes.
  const std::string link = ShortcutPath(startup, "Quorvel");
  Write(link + ".lock", "");
  ASSERT_TRUE(MakeShortcut(link, "/new/Quorvel", "Quorvel"));
  EXPECT_EQ(ShortcutTarget(link), "/new/Quorvel");
  EXPECT_EQ(Listing(startup), want);
  Write(link + ".lock", "");
  EXPECT_TRUE(RemoveShortcut(link));
  EXPECT_FALSE(fs::exists(link));
  EXPECT_FALSE(fs::exists(link + ".lock"));
  EXPECT_TRUE(RemoveShortcut(link)) << "gone already is no failure";
  EXPECT_EQ(ShortcutTarget(link), "");
}

// The icon goes into the user's hicolor theme, one PNG per size, pixel for
// pixel (straight alpha kept); an unchanged icon is not written again.
TEST_F(ShellTest, IconsAreInstalledIntoTheUsersTheme) {
  const std::vector<IconPixels> images = {{2, {0xFF102030, 0x80FF0000, 0x00000000, 0xFFFFFFFF}},
                                          {16, std::vector<std::uint32_t>(256, 0xC0336699)}};
  for (const char* data_home : {"", "/data home"}) {
    SCOPED_TRACE(data_home);
    const std::string base = *data_home ? dir_.File("x") + data_home : home_ + "/.local/share";
    qv::test::ScopedEnv::Set("XDG_DATA_HOME", *data_home ? base.c_str() : nullptr);
    const std::string path = InstallIcon("quorvel", images);
    EXPECT_EQ(path, base + "/icons/hicolor/16x16/apps/quorvel.png") << "the largest";
    for (const IconPixels& image : images) {
      const std::string size = std::to_string(image.size);
      const std::string png = base + "/icons/hicolor/" + size + "x" + size + "/apps/quorvel.png";
      const auto rgba = qv::test::RunCapture({"convert", png, "-depth", "8", "rgba:-"}, dir_.File("convert"));
      ASSERT_EQ(rgba.exit_code, 0) << rgba.err;
      std::string want;
      for (std::uint32_t p : image.argb)
        for (int shift : {16, 8, 0, 24}) want.push_back(static_cast<char>(p >> shift));
      EXPECT_EQ(rgba.out, want) << png;
      EXPECT_EQ(Listing(base + "/icons/hicolor/" + size + "x" + size + "/apps"), std::set<std::string>{"quorvel.png"});
    }
    struct stat before {}, after {};
    ASSERT_EQ(stat(path.c_str(), &before), 0);
    EXPECT_EQ(InstallIcon("quorvel", images), path);
    ASSERT_EQ(stat(path.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "left as it was";
  }
  EXPECT_EQ(InstallIcon("../up", images), "");
  EXPECT_EQ(InstallIcon("bad", {{3, {1, 2}}}), "") << "pixels that make no square";
}

// xdg-open gets the path as one argument and is not waited for.
TEST_F(ShellTest, OpensThroughXdgOpen) {
  const std::string bin = dir_.File("bin"), record = dir_.File("opened");
  Write(bin + "/xdg-open", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" >\"" + record + ".tmp\"\nmv \"" + record +
                               ".tmp\" \"" + record + "\"\n");
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
  setenv("PATH", (bin + ":" + std::getenv("PATH")).c_str(), 1);
  for (const auto& [file, seen] : std::vector<std::pair<std::string, std::string>>{
           {"/a b/Quorvel.INI", "1|/a b/Quorvel.INI"}, {"-rf", "1|./-rf"}}) {
    std::filesystem::remove(record);
    ASSERT_TRUE(OpenWithDefaultApplication(file, 0));
    qv::test::WaitUntil([&] { return std::filesystem::exists(record); });
    EXPECT_EQ(qv::test::ReadWholeFile(record), seen);
  }
  EXPECT_FALSE(OpenWithDefaultApplication("", 0));
}

// The settings program's shortcuts (which it makes or removes: its own
// tests) show the main program's art, installed into the theme, and name
// its windows' class.
TEST_F(ShellTest, TheSettingsProgramsShortcutShowsItsIconAndClass) {
  const std::string link = ShortcutPath(ShellFolderPath(ShellFolder::kDesktop), "時計");
  ASSERT_TRUE(settings::RealShell().MakeShortcut(link, "/opt/quorvel/Quorvel", "時計"));
  EXPECT_EQ(Invalidity(link, dir_.File("validate")), "");
  const std::string text = qv::test::ReadWholeFile(link);
  const std::string icon = home_ + "/.local/share/icons/hicolor/256x256/apps/quorvel.png";
  for (const std::string& line : {std::string("Name=時計"), "Icon=" + icon, std::string("StartupWMClass=Quorvel")})
    EXPECT_NE(text.find("\n" + line + "\n"), std::string::npos) << text;
  EXPECT_TRUE(fs::is_regular_file(icon));
}

}  // namespace
}  // namespace qv::platform

namespace qv::settings::test {
namespace {

static_assert(IsUtf8("時計 Quorvel") && IsUtf8("") && !IsUtf8("\xC0\xAF") && !IsUtf8("\xED\xA0\x80") &&
              !IsUtf8("\xF4\x90\x80\x80") && !IsUtf8("\xE6\x99"));

// A profile the Windows programs wrote holds its texts in CP932, which this
// system reads byte for byte.
TEST(ShortcutName, Utf8ElseCp932ElseNothing) {
  const std::pair<std::string, std::optional<std::string>> cases[] = {
      {"", ""},
      {"My Clock", "My Clock"},
      {"時計", "時計"},
      {"\x8E\x9E\x8C\x76", "時計"},
      {"\xB8\xB5\xB0\xD9", "ｸｵｰﾙ"},  // half-width kana: one byte each
      {"\x82", std::nullopt},         // a lead byte and nothing after it
      {"\xFD", std::nullopt},         // no character at all
  };
  for (const auto& [stored, text] : cases) EXPECT_EQ(ShortcutNameText(stored), text) << stored;
}

}  // namespace
}  // namespace qv::settings::test
