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
  const std::string kTimeout = "--timeout must be a number of seconds (0..3600)";
  const std::string kHours = "--reference-hours must be 1..24";
  const struct {
    std::vector<std::string> args;
    std::string error;  // empty: accepted
  } kCases[] = {
      {{"check", "--timeout", "0"}, ""},         {{"check", "--timeout", "3600"}, ""},
      {{"check", "--timeout", "-1"}, kTimeout},  {{"check", "--timeout", "3601"}, kTimeout},
      {{"check", "--timeout", "5s"}, kTimeout},  {{"check", "--timeout", "+5"}, kTimeout},
      {{"check", "--timeout", " 5"}, kTimeout},  {{"check", "--timeout", ""}, kTimeout},
      {{"check", "--timeout=99999999999"}, kTimeout},
      {{"check", "--reference-hours", "1"}, ""}, {{"check", "--reference-hours", "24"}, ""},
      {{"check", "--reference-hours", "0"}, kHours}, {{"check", "--reference-hours", "25"}, kHours},
      {{"check", "--beep", "1"}, ""},            {{"check", "--log", "2"}, "--log must be 0 or 1"},
      {{"check", "--protocol", "daytime"}, ""},
      {{"check", "--protocol", "Daytime"}, "--protocol must be SNTP, time or daytime"},
      {{"check", "--debug", "-h"}, ""},          {{"check", "--server"}, "option --server needs a value"},
      {{"check", "--bogus"}, "unknown option --bogus"},  // a trailing unknown word is no missing value
      {{"check", "--bogus", "1"}, "unknown option --bogus"}, {{"check", "--bogus=1"}, "unknown option --bogus"},
      {{"check", "extra", "--debug"}, "unknown option extra"},
      {{"check", "--nts", "--nts-trust", "ca.pem"}, ""},  {{"check", "--nts-trust"}, "option --nts-trust needs a value"},
      {{"check", "--nts-trust="}, "--nts-trust needs a certificate file"}, {{"check", "--nts=1"}, "unknown option --nts"},
  };
  for (const auto& c : kCases) {
    std::string error;
    const std::optional<CliArgs> parsed = ParseCliArgs(c.args, error);
    EXPECT_EQ(parsed.has_value(), c.error.empty()) << c.args.back();
    EXPECT_EQ(error, c.error) << c.args.back();
  }
  std::string error;
  const auto parsed = ParseCliArgs({"adjust", "--timeout=3600", "--reference-hours", "24", "--protocol", "SNTP"}, error);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->command, Command::kAdjust);
  EXPECT_EQ(parsed->timeout, 3600);
  EXPECT_EQ(parsed->reference_hours, 24);
  EXPECT_EQ(parsed->protocol, kSntp);
  EXPECT_EQ(parsed->nts, std::nullopt);
  const auto nts = ParseCliArgs({"check", "--nts-trust=ca.pem", "--nts"}, error);
  ASSERT_TRUE(nts);
  EXPECT_EQ(nts->nts, 1);
  EXPECT_EQ(nts->nts_trust, "ca.pem");
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
