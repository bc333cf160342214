#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/file.h"
#include "profile/app_state.h"
#include "profile/profile.h"
#include "profile/properties.h"
#include "temp_dir.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;

std::string FileText(const std::string& path) { return platform::ReadWholeFile(path).bytes; }

TEST(ProfileFile, MissingFileReadsAsDefaultsAndFirstWriteCreatesIt) {
  test::TempDir dir;
  ProfileFile profile(dir.File("Quorvel.INI"));
  EXPECT_EQ(profile.ReadInt("Property", "TimeOut", 3), 3);
  EXPECT_EQ(profile.ReadString("Property", "DefaultServer"), "");
  EXPECT_EQ(profile.ReadSection("Servers", 512).length, 0u);
  EXPECT_EQ(LoadMainProperties(profile).time_out, 3);
  EXPECT_EQ(LoadSettingsProperties(profile).time_out, 5);

  // Deleting from a missing profile does not create it.
  EXPECT_TRUE(profile.WriteString("Property", "x", std::nullopt));
  EXPECT_FALSE(platform::FileExists(profile.path()));

  ASSERT_TRUE(profile.WriteInt("Property", "TimeOut", -7));
  EXPECT_EQ(FileText(profile.path()), "[Property]\r\nTimeOut=-7\r\n");
  EXPECT_EQ(profile.ReadInt("property", "timeout", 3), -7);
  EXPECT_FALSE(platform::FileExists(profile.path() + ".tmp")) << "no temporary file left behind";
}

TEST(ProfileFile, ReadsAFileWrittenElsewhereAndKeepsItsOtherLines) {
  test::TempDir dir;
  const std::string path = dir.File("p.ini");
  ASSERT_TRUE(platform::ReplaceFileAtomically(path, "; hand-made\n[Property]\nAdjustAt = 1,7:30\n\n[TZ]\ntz0=x\n"));
  ProfileFile profile(path);
  EXPECT_EQ(LoadMainProperties(profile).daily_hour, 7);
  ASSERT_TRUE(profile.WriteString("Property", "Beep", "1"));
  EXPECT_EQ(FileText(path), "; hand-made\r\n[Property]\r\nAdjustAt = 1,7:30\r\nBeep=1\r\n\r\n[TZ]\r\ntz0=x\r\n");
}

TEST(ProfileFile, ClearThenWriteSection) {
  test::TempDir dir;
  ProfileFile profile(dir.File("p.ini"));
  ASSERT_TRUE(profile.WriteSection("Servers", "a\0b\0\0"s));
  ASSERT_TRUE(profile.WriteString("Property", "TimeOut", "5"));
  ASSERT_TRUE(profile.ClearSection("Servers"));
  EXPECT_EQ(FileText(profile.path()), "[Property]\r\nTimeOut=5\r\n[Servers]\r\n");
  ASSERT_TRUE(profile.WriteSection("Servers", "c\0\0"s));
  EXPECT_EQ(FileText(profile.path()), "[Property]\r\nTimeOut=5\r\n[Servers]\r\nc\r\n");
  EXPECT_EQ(profile.ReadSection("Servers", 512).text, "c\0\0"s);
}

TEST(ProfileFile, ProcessWideOperationsUseTheProfilePath) {
  test::TempDir dir;
  const std::string saved = ProfilePath();
  SetProfilePath(dir.File("Quorvel.INI"));
  EXPECT_TRUE(ProfileWriteString("Property", "protocol", "SNTP"));
  EXPECT_TRUE(ProfileWriteInt("Property", "LogFile", 1));
  EXPECT_EQ(ProfileReadString("Property", "protocol"), "SNTP");
  EXPECT_EQ(ProfileReadInt("Property", "logfile", 0), 1);
  EXPECT_TRUE(ProfileWriteSection("Servers", "s1\0\0"s));
  EXPECT_TRUE(ProfileClearSection("Servers"));
  EXPECT_TRUE(ProfileWriteSection("Servers", "s2\0\0"s));
  EXPECT_EQ(ProfileReadSection("Servers", 512).text, "s2\0\0"s);
  EXPECT_TRUE(ProfileWriteString("Property", std::nullopt, std::nullopt));
  EXPECT_EQ(ProfileReadString("Property", "protocol"), "");
  SetProfilePath(saved);
}

TEST(ProfileFile, AnUnreadableProfileIsNeverOverwritten) {
  test::TempDir dir;
  // A folder where the profile should be: it exists but cannot be read.
  const std::string path = dir.File("Quorvel.INI");
  std::filesystem::create_directory(path);
  ProfileFile profile(path);
  EXPECT_EQ(profile.ReadInt("Property", "TimeOut", 3), 3);
  EXPECT_FALSE(profile.WriteString("Property", "TimeOut", "5"));
  EXPECT_TRUE(std::filesystem::is_directory(path));

  ProfileFile nowhere("");
  EXPECT_FALSE(nowhere.WriteString("Property", "TimeOut", "5"));
  EXPECT_FALSE(ProfileFile(dir.File("no/such/folder.ini")).WriteString("A", "b", "c"));
}

TEST(ProfileFile, LockIsExclusiveAndWaitsWithADeadline) {
  test::TempDir dir;
  const std::string lock_path = dir.File("p.ini.lock");
  {
    platform::InterProcessLock first(lock_path);
    ASSERT_TRUE(first.locked());
    platform::InterProcessLock second(lock_path, 50);
    EXPECT_FALSE(second.locked());
  }
  platform::InterProcessLock again(lock_path, 50);
  EXPECT_TRUE(again.locked()) << "released with its holder";
}

TEST(ProfileFile, AppendLine) {
  test::TempDir dir;
  const std::string path = dir.File("Quorvel.log");
  EXPECT_EQ(platform::AppendLine(path, "one"), platform::AppendResult::kOk);
  EXPECT_EQ(platform::AppendLine(path, "two"), platform::AppendResult::kOk);
  EXPECT_EQ(FileText(path), "one\r\ntwo\r\n");
  EXPECT_EQ(platform::AppendLine(dir.File("no/such/x.log"), "x"), platform::AppendResult::kOpenFailed);
  EXPECT_TRUE(platform::RemoveFile(path));
  EXPECT_FALSE(platform::FileExists(path));
  EXPECT_TRUE(platform::RemoveFile(path)) << "already gone";
  EXPECT_EQ(platform::ReadWholeFile(path).status, platform::FileContents::Status::kMissing);
}

}  // namespace
}  // namespace qv::profile
