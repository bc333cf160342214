// XDG desktop entries for shortcuts, the folders they go to, and xdg-open,
// in a home folder of the test's own.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "platform/shell.h"
#include "profile/temp_dir.h"
#include "support/run_command.h"

namespace qv::platform {
namespace {

class ShellTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR", "PATH"})
      if (const char* value = std::getenv(name)) saved_.emplace_back(name, value);
    setenv("HOME", home_.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("XDG_DESKTOP_DIR");
  }
  void TearDown() override {
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DESKTOP_DIR"}) unsetenv(name);
    for (const auto& [name, value] : saved_) setenv(name.c_str(), value.c_str(), 1);
  }
  static void Write(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path) << text;
  }

  qv::test::TempDir dir_;
  std::string home_ = dir_.File("home");
  std::vector<std::pair<std::string, std::string>> saved_;
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
    c.desktop_env ? setenv("XDG_DESKTOP_DIR", c.desktop_env, 1) : unsetenv("XDG_DESKTOP_DIR");
    c.config_env ? setenv("XDG_CONFIG_HOME", c.config_env, 1) : unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(ShellFolderPath(ShellFolder::kDesktop), c.desktop);
    EXPECT_EQ(ShellFolderPath(ShellFolder::kStartup), c.startup);
  }
}

// Each entry is valid for desktop-file-validate, starts its program whatever
// the path holds, and reads back to the same target.
TEST_F(ShellTest, DesktopEntriesAreValidAndResolveBack) {
  const std::string startup = ShellFolderPath(ShellFolder::kStartup);
  ASSERT_FALSE(std::filesystem::exists(startup));
  struct Case {
    std::string name, target;
  } cases[] = {{"Quorvel", "/opt/quorvel/Quorvel"},
               {"My Clock", "/home/u/my programs/Quorvel"},
               {"時計", "/データ/時計/Quorvel"},
               {" lead", "/odd/\"quoted\" $HOME `cmd` 100% back\\slash;x/Quorvel"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.target);
    const std::string link = ShortcutPath(startup, c.name);
    EXPECT_EQ(link, startup + "/" + c.name + ".desktop");
    ASSERT_TRUE(MakeShortcut(link, c.target, c.name));
    struct stat st {};
    ASSERT_EQ(stat(link.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0755u);
    EXPECT_EQ(ShortcutTarget(link), c.target);
    const auto check = qv::test::RunCapture({"desktop-file-validate", link}, dir_.File("validate"));
    EXPECT_EQ(check.exit_code, 0) << check.out << check.err;
    EXPECT_EQ(check.out.find("error"), std::string::npos) << check.out;
  }
  // Replacing one keeps a single entry with the new target.
  const std::string link = ShortcutPath(startup, "Quorvel");
  ASSERT_TRUE(MakeShortcut(link, "/new/Quorvel", "Quorvel"));
  EXPECT_EQ(ShortcutTarget(link), "/new/Quorvel");
  EXPECT_TRUE(RemoveFile(link));
  EXPECT_FALSE(std::filesystem::exists(link));
  EXPECT_TRUE(RemoveFile(link)) << "gone already is no failure";
  EXPECT_EQ(ShortcutTarget(link), "");
}

// xdg-open gets the path as one argument and is not waited for.
TEST_F(ShellTest, OpensThroughXdgOpen) {
  const std::string bin = dir_.File("bin"), record = dir_.File("opened");
  Write(bin + "/xdg-open", "#!/bin/sh\nprintf '%s|%s' \"$#\" \"$1\" >\"" + record + ".tmp\"\nmv \"" + record +
                               ".tmp\" \"" + record + "\"\n");
  std::filesystem::permissions(bin + "/xdg-open", std::filesystem::perms::owner_all);
  std::string path = bin;
  for (const auto& [name, value] : saved_)
    if (name == "PATH") path += ":" + value;
  setenv("PATH", path.c_str(), 1);
  for (const auto& [file, seen] : std::vector<std::pair<std::string, std::string>>{
           {"/a b/Quorvel.INI", "1|/a b/Quorvel.INI"}, {"-rf", "1|./-rf"}}) {
    std::filesystem::remove(record);
    ASSERT_TRUE(OpenWithDefaultApplication(file, 0));
    for (int i = 0; i < 500 && !std::filesystem::exists(record); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(qv::test::ReadWholeFile(record), seen);
  }
  EXPECT_FALSE(OpenWithDefaultApplication("", 0));
}

}  // namespace
}  // namespace qv::platform
