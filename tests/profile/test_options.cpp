#include <gtest/gtest.h>

#include <cstdint>

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
  };
  for (const auto& [args, value] : cases) EXPECT_EQ(GetOptionValue(args, kProfileOption), value) << args;
}

TEST(Options, SettingsCommandLine) {
  EXPECT_EQ(FormatSettingsArguments("C:\\Q.INI", 66), "-profile=\"C:\\Q.INI\" -geohwnd=66 xyz");
  auto parsed = ParseSettingsOptions(FormatSettingsArguments("C:\\My Tools\\Quorvel.INI", -1234));
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->profile_path, "C:\\My Tools\\Quorvel.INI");
  EXPECT_EQ(parsed->caller_window, -1234);
  for (const char* no_profile : {"", "-profile= -geohwnd=12 xyz", "-profile=\"\" -geohwnd=12"})
    EXPECT_FALSE(ParseSettingsOptions(no_profile).has_value()) << no_profile;
  EXPECT_EQ(ParseSettingsOptions("-profile=q.ini xyz")->caller_window, 0);

  const std::pair<const char*, std::int32_t> handles[] = {
      {"abc", 0}, {"12ab", 12}, {"-2147483648", INT32_MIN}, {"2147483648", 0}};
  for (const auto& [value, handle] : handles) EXPECT_EQ(ParseWindowHandle(value), handle) << value;
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
  EXPECT_EQ(JoinArguments({"-profile=/home/u/My Q/Quorvel.INI", "-geohwnd=5", "a b"}),
            "-profile=\"/home/u/My Q/Quorvel.INI\" -geohwnd=5 \"a b\"");
}

}  // namespace
}  // namespace qv::profile
