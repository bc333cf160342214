#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/file.h"
#include "profile/app_state.h"
#include "profile/profile.h"
#include "profile/properties.h"
#include "temp_dir.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

std::string FileText(const std::string& path) { return platform::ReadWholeFile(path).bytes; }

TEST(ProfileFile, MissingProfileReadsAsDefaultsAndFirstWriteCreatesIt) {
  test::TempDir dir;
  ProfileFile profile(dir.File("Quorvel.INI"));
  EXPECT_EQ(LoadSettingsProperties(profile).time_out, 5);
  EXPECT_TRUE(profile.WriteString("Property", "x", std::nullopt));
  EXPECT_FALSE(platform::FileExists(profile.path())) << "a deletion creates nothing";

  ASSERT_TRUE(platform::ReplaceFileAtomically(profile.path(), "; by hand\n[Property]\nAdjustAt = 1,7:30\n\n[TZ]\n"));
  ASSERT_TRUE(profile.WriteInt("Property", "TimeOut", -7));
  EXPECT_EQ(FileText(profile.path()), "; by hand\r\n[Property]\r\nAdjustAt = 1,7:30\r\nTimeOut=-7\r\n\r\n[TZ]\r\n");
  EXPECT_EQ(LoadMainProperties(profile).daily_hour, 7);
  EXPECT_FALSE(platform::FileExists(profile.path() + ".tmp")) << "no temporary file left behind";
}

TEST(ProfileFile, ProcessWideOperationsOnTheProfilePath) {
  test::TempDir dir;
  SetProfilePath(dir.File("Quorvel.INI"));
  EXPECT_TRUE(ProfileWriteSection("Servers", "s1\0\0"s));
  EXPECT_TRUE(ProfileWriteString("Property", "protocol", "SNTP"));
  EXPECT_TRUE(ProfileWriteInt("Property", "LogFile", 1));
  EXPECT_EQ(ProfileReadString("Property", "protocol"), "SNTP");
  EXPECT_EQ(ProfileReadInt("Property", "logfile", 0), 1);
  EXPECT_TRUE(ProfileClearSection("Servers"));
  EXPECT_EQ(FileText(ProfilePath()), "[Property]\r\nprotocol=SNTP\r\nLogFile=1\r\n[Servers]\r\n");
  EXPECT_TRUE(ProfileWriteSection("Servers", "s2\0\0"s));
  EXPECT_EQ(ProfileReadSection("Servers", 512).text, "s2\0\0"s);
  EXPECT_TRUE(ProfileWriteString("Property", std::nullopt, std::nullopt));
  EXPECT_EQ(FileText(ProfilePath()), "[Servers]\r\ns2\r\n");
  SetProfilePath("");
}

TEST(ProfileFile, WritesFailRatherThanDamage) {
  test::TempDir dir;
  // A folder where the profile should be: it exists but cannot be read.
  const std::string folder = dir.File("Quorvel.INI");
  fs::create_directory(folder);
  EXPECT_EQ(ProfileFile(folder).ReadInt("Property", "TimeOut", 3), 3);
  EXPECT_FALSE(ProfileFile(folder).WriteString("Property", "TimeOut", "5"));
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_FALSE(ProfileFile("").WriteString("Property", "TimeOut", "5"));
  EXPECT_FALSE(ProfileFile(dir.File("no/such/folder.ini")).WriteString("A", "b", "c"));

  const std::string path = dir.File("ro.ini");
  ASSERT_TRUE(ProfileFile(path).WriteString("A", "k", "5"));
  fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  if (!std::ofstream(path, std::ios::app).is_open()) {  // not for a user who may write anything
    EXPECT_FALSE(ProfileFile(path).WriteString("A", "k", "9")) << "a read-only profile stays";
    EXPECT_EQ(ProfileFile(path).ReadString("A", "k"), "5");
  }
  fs::permissions(path, fs::perms::owner_write, fs::perm_options::add);
}

TEST(ProfileFile, WritesThroughASymbolicLink) {
  test::TempDir dir;
  fs::create_directory(dir.File("real"));
  const std::string target = dir.File("real/q.ini");
  const std::string link = dir.File("q.ini");
  ASSERT_TRUE(ProfileFile(target).WriteString("A", "k", "1"));
  std::error_code error;
  fs::create_symlink(target, link, error);
  if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
  ASSERT_TRUE(ProfileFile(link).WriteString("A", "k", "2"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ProfileFile(target).ReadString("A", "k"), "2");
}

}  // namespace
}  // namespace qv::profile
