// Shortcuts through the shell link object, resolved back the same way, in a
// folder of the test's own.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/file.h"
#include "platform/shell.h"
#include "profile/temp_dir.h"

namespace qv::platform {
namespace {

TEST(ShellWin, ShortcutsResolveBackToTheirTarget) {
  qv::test::TempDir dir;
  // UTF-8 from here on: blanks and Japanese in the folder and the target.
  const std::string folder = dir.File("links") + "\\リンク 先";
  const std::string link = ShortcutPath(folder, "時計 Quorvel");
  EXPECT_EQ(link, folder + "\\時計 Quorvel.lnk");
  // Targets that exist, as the main program does beside its profile.
  for (const std::string& target : {dir.File("links") + "\\時計\\Quorvel.exe", dir.File("Quorvel.exe")}) {
    SCOPED_TRACE(target);
    const std::string folder_of_target = target.substr(0, target.rfind('\\'));
    std::filesystem::create_directories(std::filesystem::path(std::u8string(folder_of_target.begin(), folder_of_target.end())));
    ASSERT_TRUE(ReplaceFileAtomically(target, "MZ"));
    ASSERT_TRUE(MakeShortcut(link, target, "時計 Quorvel")) << "the folder is made as needed";
    EXPECT_TRUE(FileExists(link));
    EXPECT_EQ(ShortcutTarget(link), target);
  }
  EXPECT_TRUE(RemoveFile(link));
  EXPECT_FALSE(FileExists(link));
  EXPECT_TRUE(RemoveFile(link)) << "gone already is no failure";
  EXPECT_EQ(ShortcutTarget(link), "");
}

TEST(ShellWin, FoldersAndOpening) {
  for (ShellFolder folder : {ShellFolder::kDesktop, ShellFolder::kStartup}) {
    const std::string path = ShellFolderPath(folder);
    EXPECT_GT(path.size(), 3u);
    EXPECT_NE(path.back(), '\\');
  }
  EXPECT_EQ(ExecutableSuffix(), ".exe");
  EXPECT_FALSE(OpenWithDefaultApplication("", 0));
}

}  // namespace
}  // namespace qv::platform
