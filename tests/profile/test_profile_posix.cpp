// The profile file on Linux: links, things that are not files, owners and
// modes, folders the user may not write, and quorvel-cli's report of a
// profile it cannot read. Users other than root are played by setpriv.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "support/run_command.h"
#include "support/scoped_env.h"
#include "temp_dir.h"
#include "writer.h"

namespace qv::profile {
namespace {

namespace fs = std::filesystem;
using test::WriteBytes;

const std::vector<std::string> kAsNobody = {QV_SETPRIV_PATH, "--reuid=65534", "--regid=65534", "--clear-groups"};
const std::string kAsNobodyPrefix = test::ShellLine(kAsNobody);

std::string Shell(const std::vector<std::string>& words) {
  return test::RunCapture(words, (fs::temp_directory_path() / "qv_profile_shell").string()).out;
}
std::string StatOf(const std::string& path) { return Shell({"stat", "-c", "%u:%g:%a:%i", path}); }

// Root runs these tests; they need setpriv to act as another user.
bool CanActAsNobody() {
  std::vector<std::string> words = kAsNobody;
  words.push_back("true");
  return fs::exists(QV_SETPRIV_PATH) && test::RunCommand(words);
}


// An installed copy's profile folder: $XDG_CONFIG_HOME when absolute, else
// ~/.config; made private, and refused when it is not the user's own.
TEST(ProfilePosix, UserConfigFolderIsMadePrivateInTheXdgPlace) {
  if (!CanActAsNobody()) GTEST_SKIP() << "needs root and setpriv";
  test::TempDir dir;
  const std::string home = test::Utf8(dir.path());
  test::ScopedEnv env({"XDG_CONFIG_HOME", "HOME"});
  test::ScopedEnv::Set("HOME", home.c_str());
  test::ScopedEnv::Set("XDG_CONFIG_HOME", "relative/ignored");
  EXPECT_EQ(platform::UserConfigFolder(), home + "/.config/quorvel");
  EXPECT_EQ(StatOf(home + "/.config/quorvel").substr(0, 8), "0:0:700:");
  test::ScopedEnv::Set("XDG_CONFIG_HOME", (home + "/x/y").c_str());
  EXPECT_EQ(platform::UserConfigFolder(), home + "/x/y/quorvel");
  Shell({"chown", "65534:65534", home + "/x/y/quorvel"});
  EXPECT_EQ(platform::UserConfigFolder(), "");  // another user's
}

TEST(ProfilePosix, LinksNameTheFileTheyPointTo) {
  test::TempDir dir(/*fast=*/true);
  fs::create_directory(dir.File("real"));
  const std::string target = dir.File("real/q.ini"), link = dir.File("q.ini"), dangling = dir.File("gone.ini");
  ASSERT_TRUE(ProfileFile(target).WriteString("A", "k", "1"));
  fs::create_symlink(target, link);
  fs::create_symlink(dir.File("real/nothing.ini"), dangling);

  ASSERT_TRUE(ProfileFile(link).WriteString("A", "k", "2"));
  EXPECT_TRUE(fs::is_symlink(link)) << "the link stays a link";
  EXPECT_EQ(ProfileFile(target).ReadString("A", "k"), "2");

  const ProfileResult refused = SaveSettings(dangling, test::SettingsSet(0));
  EXPECT_FALSE(refused.ok);
  EXPECT_EQ(refused.problem, "is a symbolic link to nothing");
  EXPECT_FALSE(fs::exists(dir.File("real/nothing.ini"))) << "a link to nothing is no new file";
  EXPECT_EQ(LoadProfile(dangling).status, ProfileRead::Status::kMissing);

  // Two writers naming one profile by the link and by its real path.
  EXPECT_EQ(test::KeysLostByTwoWriters(link, target, 500), 0);
}

TEST(ProfilePosix, WhatIsNoFileIsRefusedWithoutWaiting) {
  test::TempDir dir;
  const std::string fifo = dir.File("fifo.ini");
  ASSERT_TRUE(test::RunCommand({"mkfifo", fifo}));
  for (const std::string& path : {fifo, std::string("/dev/zero")}) {
    const ProfileLoad load = LoadProfile(path);  // would block, or grow without end
    EXPECT_EQ(load.status, ProfileRead::Status::kUnreadable) << path;
    EXPECT_EQ(load.problem, "is not a regular file");
    EXPECT_FALSE(SaveSettings(path, test::SettingsSet(0)).ok) << path;
  }
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"fifo.ini"});
}

// A save by root keeps the user's ownership; where the user may not write
// the folder, the user's save writes the file in place under the lock.
TEST(ProfilePosix, OwnersModesAndFoldersTheUserMayNotWrite) {
  if (!CanActAsNobody()) GTEST_SKIP() << "needs root and setpriv";
  test::TempDir dir;
  const std::string owned = dir.File("owned.ini");
  WriteBytes(owned, "[A]\r\n");
  ASSERT_TRUE(test::RunCommand({"chown", "65534:65534", owned}));
  fs::permissions(owned, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const std::string before = StatOf(owned);
  ASSERT_TRUE(ProfileFile(owned).WriteString("A", "k", "root"));
  const std::string after = StatOf(owned);
  EXPECT_EQ(after.substr(0, after.rfind(':')), "65534:65534:640");
  EXPECT_NE(after, before) << "replaced: a new file";

  // The folder is root's; the file is the user's.
  const std::string mine = dir.File("mine.ini"), roots = dir.File("roots.ini"), absent = dir.File("absent.ini");
  WriteBytes(mine, test::SavedForm(test::SettingsSet(1)));
  WriteBytes(roots, "[Race]\r\n");
  ASSERT_TRUE(test::RunCommand({"chown", "65534:65534", mine}));
  const std::string inode = StatOf(mine);
  EXPECT_EQ(test::RunWriter("keys " + mine + " a 3", kAsNobodyPrefix), 0);
  EXPECT_EQ(ProfileFile(mine).ReadInt("Race", "a2", -1), 2);
  EXPECT_EQ(StatOf(mine), inode) << "written in place";
  EXPECT_EQ(test::WhichSettingsSet(LoadProfile(mine).settings), 1) << "the rest kept";
  // Refused, and nothing is created.
  EXPECT_NE(test::RunWriter("keys " + roots + " a 1", kAsNobodyPrefix), 0);
  EXPECT_NE(test::RunWriter("keys " + absent + " a 1", kAsNobodyPrefix), 0);
  EXPECT_EQ(ProfileFile(roots).Load().Serialize(), "[Race]\r\n");
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"mine.ini", "owned.ini", "roots.ini"}));

  // A reader never sees half of an in-place save.
  const test::LoadsDuringSaves loads = test::LoadWhileSaving(mine, 200, kAsNobodyPrefix);
  EXPECT_EQ(loads.writer_exit, 0);
  EXPECT_EQ(loads.mixed, 0);
  EXPECT_GT(loads.seen[0] + loads.seen[1], 0);
  EXPECT_EQ(StatOf(mine), inode);
}

// (Other reasons a profile cannot be read: ProfileFile.UnreadableProfilesAreReportedAndNeverWritten.)
TEST(ProfilePosix, QuorvelCliReportsAProfileItCannotRead) {
  test::TempDir dir;
  const std::string folder = dir.File("folder.ini");
  fs::create_directory(folder);
  const test::CommandResult run =
      test::RunCapture({QV_CLI_PATH, "check", "--profile", folder, "--server", "127.0.0.1"}, dir.File("cli"));
  EXPECT_EQ(run.exit_code, 2);
  EXPECT_EQ(run.err, "quorvel-cli: cannot read the profile " + folder + ": is a folder\n");
}

}  // namespace
}  // namespace qv::profile
