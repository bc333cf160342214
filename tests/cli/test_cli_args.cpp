// quorvel-cli's command line, and the integer and protocol rules it takes
// from the shared vocabulary: exact bounds, and nothing but the number.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/protocol.h"
#include "base/text.h"
#include "cli/cli_args.h"

namespace qv::cli {
namespace {

TEST(CliArgs, NumbersWithinTheirExactBoundsAndNothingElse) {
  const struct {
    std::vector<std::string> args;
    bool ok;
  } kCases[] = {
      {{"check", "--timeout", "0"}, true},       {{"check", "--timeout", "3600"}, true},
      {{"check", "--timeout", "-1"}, false},     {{"check", "--timeout", "3601"}, false},
      {{"check", "--timeout", "5s"}, false},     {{"check", "--timeout", "+5"}, false},
      {{"check", "--timeout", " 5"}, false},     {{"check", "--timeout", ""}, false},
      {{"check", "--timeout=99999999999"}, false},
      {{"check", "--reference-hours", "1"}, true}, {{"check", "--reference-hours", "24"}, true},
      {{"check", "--reference-hours", "0"}, false}, {{"check", "--reference-hours", "25"}, false},
      {{"check", "--beep", "1"}, true},          {{"check", "--log", "2"}, false},
      {{"check", "--protocol", "daytime"}, true}, {{"check", "--protocol", "Daytime"}, false},
  };
  for (const auto& c : kCases) {
    std::string error;
    const std::optional<CliArgs> parsed = ParseCliArgs(c.args, error);
    EXPECT_EQ(parsed.has_value(), c.ok) << c.args.back() << ": " << error;
    EXPECT_EQ(error.empty(), c.ok);
  }
  std::string error;
  const auto parsed = ParseCliArgs({"adjust", "--timeout=3600", "--reference-hours", "24", "--protocol", "SNTP"}, error);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->command, Command::kAdjust);
  EXPECT_EQ(parsed->timeout, 3600);
  EXPECT_EQ(parsed->reference_hours, 24);
  EXPECT_EQ(parsed->protocol, kSntp);
}

TEST(SharedVocabulary, IntegersProtocolsAndCaseFolding) {
  EXPECT_EQ(ParseInt<int>("2147483647"), 2147483647);
  EXPECT_EQ(ParseInt<int>("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"2147483648", "-2147483649", "1e3", "0x10", "12 ", "", "-"})
    EXPECT_EQ(ParseInt<int>(bad), std::nullopt) << bad;
  EXPECT_EQ(ParseInt<unsigned short>("65535"), 65535);
  EXPECT_EQ(ParseInt<unsigned short>("-0"), std::nullopt);
  EXPECT_EQ(ParseIntIn("7", 7, 7), 7);

  for (int p : {kSntp, kTime, kDaytime}) EXPECT_EQ(ProtocolFromWord(ProtocolWord(p)), p);
  EXPECT_EQ(ProtocolWord(3), "");
  EXPECT_EQ(ProtocolFromWord("sntp"), std::nullopt);

  EXPECT_TRUE(StartsWithIgnoringCase("NTP.Example.JP", "ntp.ex"));
  EXPECT_FALSE(StartsWithIgnoringCase("ntp", "ntp.ex"));
  EXPECT_TRUE(EqualsIgnoringCase("SNTP", "sntp"));
  EXPECT_FALSE(EqualsIgnoringCase("\xC3\x89", "\xC3\xA9"));  // ASCII only, whatever the locale
  EXPECT_EQ(AsciiUpper('z'), 'Z');
  EXPECT_EQ(AsciiLower('@'), '@');
}

}  // namespace
}  // namespace qv::cli
