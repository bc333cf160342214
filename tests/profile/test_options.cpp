#include <gtest/gtest.h>

#include "profile/app_state.h"
#include "profile/options.h"

namespace qv::profile {
namespace {

TEST(Options, GetOptionValueQuotingRules) {
  struct Case {
    const char* args;
    const char* value;
  } cases[] = {
      {"-profile=\"C:\\Program Files\\Q\\Q.INI\" -geohwnd=132 xyz", "C:\\Program Files\\Q\\Q.INI"},
      {"-profile=\"C:\\open ended -geohwnd=5", "C:\\open ended -geohwnd=5"},
      {"-profile=C:\\a\\b.ini -geohwnd=1", "C:\\a\\b.ini"},
      {"-profile=C:\\a\\b.ini\t-geohwnd=1", "C:\\a\\b.ini"},
      {"-profile= -geohwnd=1", ""},
      {"-Profile=x", ""},      // case-sensitive
      {"x-profile=y z", "y"},  // anywhere
      {"-profile=a -profile=b", "a"},
  };
  for (const Case& c : cases) EXPECT_EQ(GetOptionValue(c.args, kProfileOption), c.value) << c.args;
}

TEST(Options, SettingsCommandLine) {
  auto parsed = ParseSettingsOptions(FormatSettingsArguments("C:\\My Tools\\Quorvel.INI", -1234));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->profile_path, "C:\\My Tools\\Quorvel.INI");
  EXPECT_EQ(parsed->caller_window, -1234);
  EXPECT_EQ(FormatSettingsArguments("C:\\Q.INI", 66), "-profile=\"C:\\Q.INI\" -geohwnd=66 xyz");
  EXPECT_FALSE(ParseSettingsOptions("").has_value());
  EXPECT_FALSE(ParseSettingsOptions("-profile= -geohwnd=12 xyz").has_value());
  EXPECT_FALSE(ParseSettingsOptions("-profile=\"\" -geohwnd=12").has_value());
  EXPECT_EQ(ParseSettingsOptions("-profile=q.ini xyz")->caller_window, 0);

  struct Case {
    const char* value;
    std::int32_t handle;
  } handles[] = {{"", 0}, {"abc", 0}, {"12ab", 12}, {"-7", -7}, {"-2147483648", INT32_MIN}, {"2147483648", 0}};
  for (const Case& c : handles) EXPECT_EQ(ParseWindowHandle(c.value), c.handle) << c.value;
}

TEST(Options, DebugSwitchAnywhereCaseSensitive) {
  EXPECT_TRUE(HasDebugSwitch("abc/Dsntpxyz", kMainDebugSwitch));
  EXPECT_FALSE(HasDebugSwitch("-Dsntp /dsntp", kMainDebugSwitch));
  EXPECT_TRUE(HasDebugSwitch("x-Dsntpy", kSettingsDebugSwitch));
  EXPECT_FALSE(HasDebugSwitch("/Dsntp", kSettingsDebugSwitch));
  SetDebugSwitch(true);
  ScanDebugSwitch("-Dsntp", kMainDebugSwitch);
  EXPECT_FALSE(DebugSwitch()) << "the scan starts from off";
  ScanDebugSwitch("word/Dsntp", kMainDebugSwitch);
  EXPECT_TRUE(DebugSwitch());
  SetDebugSwitch(false);
}

TEST(Options, PathsAndArgumentText) {
  EXPECT_EQ(MakeProfilePath("C:\\Tools\\Quorvel.exe"), "C:\\Tools\\Quorvel.INI");
  EXPECT_EQ(MakeProfilePath("/opt/q.d/Quorvel"), "/opt/q.d/Quorvel.INI");
  EXPECT_EQ(MakeProfilePath(""), "");

  EXPECT_EQ(StripProgramName("\"C:\\Program Files\\Q\\Quorvel.exe\"  /Dsntp"), "/Dsntp");
  EXPECT_EQ(StripProgramName("Quorvel.exe\t-profile=\"a b\""), "-profile=\"a b\"");
  EXPECT_EQ(StripProgramName("\"unclosed"), "");
  std::string args = JoinArguments({"-profile=/home/u/My Q/Quorvel.INI", "-geohwnd=5", "a b"});
  EXPECT_EQ(args, "-profile=\"/home/u/My Q/Quorvel.INI\" -geohwnd=5 \"a b\"");
}

}  // namespace
}  // namespace qv::profile
