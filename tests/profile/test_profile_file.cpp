#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>

#include "generation.h"
#include "platform/file.h"
#include "profile/program_profile.h"
#include "temp_dir.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;
namespace fs = std::filesystem;

using test::WriteBytes;

std::string FileText(const std::string& path) { return platform::ReadWholeFile(path).bytes; }

TEST(ProfileFile, MissingProfileReadsAsDefaultsAndFirstWriteCreatesIt) {
  test::TempDir dir;
  ProfileFile profile(dir.File("Quorvel.INI"));
  const ProfileLoad missing = LoadProfile(profile.path());
  EXPECT_EQ(missing.status, ProfileRead::Status::kMissing);
  EXPECT_EQ(missing.settings.time_out, 5);
  EXPECT_EQ(missing.main.time_out, 3);
  EXPECT_EQ(missing.application_name, "Quorvel");
  EXPECT_TRUE(profile.WriteString("Property", "x", std::nullopt));
  EXPECT_FALSE(platform::FileExists(profile.path())) << "a deletion creates nothing";

  WriteBytes(profile.path(), "; by hand\n[Property]\nAdjustAt = 1,7:30\n\n[TZ]\n");
  ASSERT_TRUE(profile.WriteInt("Property", "TimeOut", -7));
  EXPECT_EQ(FileText(profile.path()), "; by hand\r\n[Property]\r\nAdjustAt = 1,7:30\r\nTimeOut=-7\r\n\r\n[TZ]\r\n");
  EXPECT_EQ(LoadProfile(profile.path()).main.daily_hour, 7);
  EXPECT_FALSE(platform::FileExists(profile.path() + ".tmp")) << "no temporary file left behind";
}

// The programs' saves: each one transaction, in the fixed order, reading
// back through the one load.
TEST(ProfileFile, ProgramsLoadOnceAndSaveInOneStep) {
  test::TempDir dir;
  const std::string path = dir.File("Quorvel.INI");
  WriteBytes(path, "[Servers]\r\n; list\r\nold\r\n[Property]\r\n; mine\r\nDefaultServer=\"kept\"\r\n"
                   "WindowPos=0,120,80,1\r\nApplicationName='My Clock'\r\n");
  SettingsProperties s = test::SettingsSet(1);
  s.server.clear();
  ASSERT_TRUE(SaveSettings(path, s).ok);
  ASSERT_TRUE(SaveMainWindowPos(path, 1, -8, 300, 2).ok);
  ASSERT_TRUE(WriteTimeZoneRecords(path, {"0,-9,JST,,", "0,-9,JST,,JST-9", "0,-9,JST,,JST-9"}).ok);
  EXPECT_EQ(FileText(path),
            "[Property]\r\n; mine\r\nDefaultServer=\"kept\"\r\nWindowPos=1,-8,300,2\r\nApplicationName='My Clock'\r\n"
            "protocol=daytime\r\nServerReferenceTime=0,12\r\nCurrentTimeDisplay=1,2,1\r\nLogFile=1\r\nBeep=1\r\n"
            "AutoAdjust=1\r\nAutoTerminate=1\r\nIndicatorLine=1\r\nDesktopLink=1\r\nStartupLink=1\r\nTimeOut=17\r\n"
            "DialogSize=1\r\nIconicStart=1\r\nAdjustAt=1,8:30\r\nErrorRetry=1,3,15,2\r\n"
            "[Servers]\r\nc.example.org\r\n[TZ]\r\ntz0=0,-9,JST,,\r\ntz1=0,-9,JST,,JST-9\r\ntz2=0,-9,JST,,JST-9\r\n");
  const ProfileLoad load = LoadProfile(path);
  EXPECT_EQ(load.status, ProfileRead::Status::kOk);
  EXPECT_EQ(load.main.server, "kept") << "an empty name leaves it; quotes dropped";
  EXPECT_EQ(load.settings.servers, std::vector<std::string>{"c.example.org"});
  EXPECT_EQ(std::vector<int>({load.main_window.on, load.main_window.left, load.main_window.top}),
            std::vector<int>({1, -8, 300}));
  EXPECT_EQ(load.application_name, "My Clock");
  s.server = "kept";
  EXPECT_EQ(test::SavedForm(load.settings), test::SavedForm(s));
  EXPECT_EQ(dir.Names(), std::vector<std::string>{"Quorvel.INI"}) << "no lock or other file beside it";
}

TEST(ProfileFile, UnreadableProfilesAreReportedAndNeverWritten) {
  test::TempDir dir;
  const std::string folder = dir.File("folder.ini"), utf32 = dir.File("utf32.ini");
  fs::create_directory(folder);
  WriteBytes(utf32, "\xFF\xFE\0\0[\0\0\0"s);
  struct Case {
    std::string path, problem;
  } cases[] = {{folder, "is a folder"}, {utf32, "UTF-32"}};
  for (const Case& c : cases) {
    const ProfileLoad load = LoadProfile(c.path);
    EXPECT_EQ(load.status, ProfileRead::Status::kUnreadable) << c.path;
    EXPECT_NE(load.problem.find(c.problem), std::string::npos) << load.problem;
    EXPECT_EQ(load.settings.time_out, 5) << "defaults";
    const ProfileResult saved = SaveSettings(c.path, test::SettingsSet(1));
    EXPECT_FALSE(saved.ok) << c.path;
    EXPECT_NE(saved.problem.find(c.problem), std::string::npos) << saved.problem;
  }
  EXPECT_TRUE(fs::is_directory(folder));
  EXPECT_EQ(fs::file_size(utf32), 8u);
  EXPECT_FALSE(ProfileFile("").WriteString("Property", "TimeOut", "5"));
  EXPECT_FALSE(ProfileFile(dir.File("no/such/folder.ini")).WriteString("A", "b", "c"));
  EXPECT_FALSE(fs::exists(dir.File("no")));

  // What is read is capped: a path naming an endless file must not grow memory.
  WriteBytes(dir.File("eleven"), "0123456789A");
  const platform::FileContents capped = platform::ReadWholeFile(dir.File("eleven"), 10);
  EXPECT_EQ(capped.status, platform::FileContents::Status::kError);
  EXPECT_EQ(capped.bytes, "");
  EXPECT_EQ(platform::ReadWholeFile(dir.File("eleven"), 11).bytes, "0123456789A");

  // A writer that cannot have the lock in time changes nothing.
  {
    platform::FileTransaction holder(dir.File("q.ini"));
    ASSERT_TRUE(holder.ok());
    std::thread([&] {
      platform::FileTransaction waiter(dir.File("q.ini"), 50);
      EXPECT_FALSE(waiter.ok());
      EXPECT_EQ(waiter.problem(), "is locked by another program");
      EXPECT_FALSE(waiter.Commit("x"));
    }).join();
  }
  EXPECT_FALSE(ProfileFile(dir.File("q.ini")).WriteString("P", "a=b", "1"));
  EXPECT_EQ(dir.Names(), (std::vector<std::string>{"eleven", "folder.ini", "utf32.ini"})) << "nothing created";
}

// A file saved by Notepad as "Unicode" and one with quoted values read as
// Windows reads them, and stay readable by it after our save.
TEST(ProfileFile, NotepadUnicodeAndQuotedValues) {
  test::TempDir dir;
  const std::string unicode = dir.File("unicode.ini"), quoted = dir.File("quoted.ini");
  const std::string body =
      "[Property]\r\nDefaultServer=\"ntp.example.org\"\r\nTimeOut='7'\r\nApplicationName=\xE6\x99\x82\xE8\xA8\x88\r\n";
  WriteBytes(unicode, "\xFF\xFE" + Utf8ToUtf16(body, false));
  WriteBytes(quoted, body.substr(0, body.find("Application")));
  for (const std::string& path : {unicode, quoted}) {
    ProfileLoad load = LoadProfile(path);
    EXPECT_EQ(load.main.server, "ntp.example.org") << path;
    EXPECT_EQ(load.main.time_out, 7) << path;
    EXPECT_EQ(load.settings.time_out, 7) << path;
    ASSERT_TRUE(SaveSettings(path, test::SettingsSet(0)).ok) << path;
    load = LoadProfile(path);
    EXPECT_EQ(test::WhichSettingsSet(load.settings), 0) << path;
  }
  EXPECT_EQ(LoadProfile(unicode).application_name, "\xE6\x99\x82\xE8\xA8\x88");
  EXPECT_TRUE(FileText(unicode).starts_with("\xFF\xFE[\0P\0"s)) << "written back as UTF-16LE";
}

}  // namespace
}  // namespace qv::profile
