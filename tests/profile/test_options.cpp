#include <gtest/gtest.h>

#include <cstdint>

#include "platform/spawn.h"
#include "profile/app_state.h"
#include "profile/options.h"

namespace qv::profile {
namespace {

TEST(Options, GetOptionValueQuotingRules) {
  const std::pair<const char*, const char*> cases[] = {
      {"-profile=\"C:\\Program Files\\Q\\Q.INI\" -geohwnd=132 xyz", "C:\\Program Files\\Q\\Q.INI"},
      {"-profile=\"C:\\open ended -geohwnd=5", "C:\\open ended -geohwnd=5"},
      {"-profile=C:\\a\\b.ini\t-geohwnd=1", "C:\\a\\b.ini"},
      {"-profile= -geohwnd=1", ""},
      {"-Profile=x", ""},      // case-sensitive
      {"x-profile=y z", "y"},  // anywhere
      {"-profile=a -profile=b", "a"},
      {"-profile=\"a\"\"b\" x", "a\"b"},          // a doubled quote is one
      {"-x=\"-profile=no\" -profile=yes", "yes"},  // quoted text is a value
  };
  for (const auto& [args, value] : cases) EXPECT_EQ(GetOptionValue(args, kProfileOption), value) << args;
}

TEST(Options, SettingsCommandLine) {
  EXPECT_EQ(FormatSettingsArguments("C:\\Q.INI", 66), "-profile=\"C:\\Q.INI\" -geohwnd=66 xyz");
  for (const char* no_profile : {"", "-profile= -geohwnd=12 xyz", "-profile=\"\" -geohwnd=12"})
    EXPECT_FALSE(ParseSettingsOptions(no_profile).has_value()) << no_profile;
  EXPECT_EQ(ParseSettingsOptions("-profile=q.ini xyz")->caller_window, 0);

  const std::pair<const char*, std::int32_t> handles[] = {
      {"abc", 0}, {"12ab", 12}, {"-2147483648", INT32_MIN}, {"2147483648", 0}};
  for (const auto& [value, handle] : handles) EXPECT_EQ(ParseWindowHandle(value), handle) << value;
}

// Every character a folder name may hold (on Linux any byte but "/"; Windows
// allows fewer), and names that look like options, reach the settings
// program as they were: through the words a Linux program receives and joins
// again, and through the command line a Windows program reads whole.
TEST(Options, AnyFolderNameSurvivesTheSettingsCommandLine) {
  std::string every;
  for (int c = 1; c < 256; ++c)
    if (c != '/') every.push_back(static_cast<char>(c));
  for (const std::string& folder : {every, std::string("My Q"), std::string("\""), std::string("q\" -geohwnd=7 \""),
                                   std::string("\"\"x\"\""), std::string("-geohwnd=99"), std::string("-Dsntp"),
                                   std::string("\t時計 ﾌｫﾙﾀﾞ\t"), std::string("end\\")}) {
    const std::string path = "/home/u/" + folder + "/Quorvel.INI";
    const std::string args = FormatSettingsArguments(path, -1234);
    for (const std::string& received : {JoinArguments(platform::SplitArguments(args)),
                                       std::string(StripProgramName(platform::BuildCommandLine("Quorcfg.exe", args)))}) {
      SCOPED_TRACE(received);
      const std::optional<SettingsOptions> parsed = ParseSettingsOptions(received);
      ASSERT_TRUE(parsed.has_value());
      EXPECT_EQ(parsed->profile_path, path);
      EXPECT_EQ(parsed->caller_window, -1234);
      EXPECT_FALSE(HasDebugSwitch(received, kSettingsDebugSwitch));
    }
  }
}

TEST(Options, DebugSwitchAnywhereCaseSensitive) {
  EXPECT_TRUE(HasDebugSwitch("abc/Dsntpxyz", kMainDebugSwitch));
  EXPECT_FALSE(HasDebugSwitch("-Dsntp /dsntp", kMainDebugSwitch));
  EXPECT_TRUE(HasDebugSwitch("x-Dsntpy", kSettingsDebugSwitch));
  ScanDebugSwitch("word/Dsntp", kMainDebugSwitch);
  EXPECT_TRUE(DebugSwitch());
  ScanDebugSwitch("-Dsntp", kMainDebugSwitch);
  EXPECT_FALSE(DebugSwitch()) << "the scan starts from off";
}

TEST(Options, PathsAndArgumentText) {
  EXPECT_EQ(MakeProfilePath("C:\\Tools\\Quorvel.exe"), "C:\\Tools\\Quorvel.INI");
  EXPECT_EQ(MakeProfilePath("/opt/q.d/Quorvel"), "/opt/q.d/Quorvel.INI");
  EXPECT_EQ(StripProgramName("\"C:\\Program Files\\Q\\Quorvel.exe\"  /Dsntp"), "/Dsntp");
  EXPECT_EQ(StripProgramName("Quorvel.exe\t-profile=\"a b\""), "-profile=\"a b\"");
  EXPECT_EQ(JoinArguments({"-profile=/home/u/My Q/Quorvel.INI", "-geohwnd=5", "a b", "say \"hi there\"", "/Dsntp"}),
            "-profile=\"/home/u/My Q/Quorvel.INI\" -geohwnd=5 \"a b\" \"say \"\"hi there\"\"\" /Dsntp");
}

}  // namespace
}  // namespace qv::profile
