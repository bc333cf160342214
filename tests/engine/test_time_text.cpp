#include "engine/time_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/ctime.h"
#include "support/fake_clock.h"

namespace qv::engine {
namespace {

using platform::SystemTime;

TEST(TimeText, PcTimeServerTimesAndMonthNames) {
  test::FakeClock clock;
  clock.SetLocalReading({2026, 1, 2, 6, 9, 5, 3, 999});
  EXPECT_EQ("Tue Jan 06 09:05:03 2026", FormatLocalNow());
  clock.SetLocalReading({987, 13, 7, 31, 23, 59, 59, 0});  // a broken reading names nothing past the tables
  EXPECT_EQ("  31 23:59:59  987", FormatLocalNow());

  // In the C runtime's zone, seconds unsigned.
  ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
  EXPECT_EQ("Thu Jan 01 09:00:00 1970", FormatServerTime({0, 0}));
  EXPECT_EQ("Tue Jan 19 12:14:08 2038", FormatServerTime({2147483648u, 999999}));
  EXPECT_EQ("Sun Feb 07 15:28:15 2106", FormatServerTime({0xFFFFFFFFu, 0}));
  EXPECT_EQ("Sun Feb 07 2106 15:28:15.000007", FormatMicroTime({0xFFFFFFFFu, 7}));

  EXPECT_EQ(12, MonthFromName("Dec"));
  for (const char* no : {"dec", "Ja", "Jan\r", "December", ""}) EXPECT_EQ(0, MonthFromName(no)) << no;
}

TEST(TimeText, OnlyWholeFieldsReadAsATime) {
  const SystemTime dec6{2026, 12, 0, 6, 11, 36, 6, 0};
  struct {
    std::string text;
    std::optional<SystemTime> expected;
  } cases[] = {
      {"Sun Dec  6 11:36:06 2026\r", dec6},  // a DAYTIME line, its CR kept
      {"Sun Dec 06 11:36:06 2026", dec6},
      {" ::Sun Dec 6 11::36:06 2026 JST more", dec6},  // blanks and colons separate; later words ignored
      {"Wed Jan 01 00:00:00 1970", SystemTime{1970, 1, 0, 1, 0, 0, 0, 0}},
      {"Sun Feb 07 15:28:15 2106", SystemTime{2106, 2, 0, 7, 15, 28, 15, 0}},
      // Fields that only partly parse, or not at all.
      {"Sun Dec  6 22:xx:12 2026", {}},
      {"Sun Dec  6 -1:07:12 2026", {}},
      {"Sun Dec 6th 11:36:06 2026", {}},
      {"Sun Dec  6 11:36:06 2026xyz", {}},
      {"Sun Dec  6 11:36:06 2026\r\r", {}},
      {"Sun Dec +6 11:36:06 2026", {}},
      {"Sun Dec 006 11:36:06 2026", {}},  // longer than the line's shape
      {"Sun Dec  6 11:36:06 226", {}},
      {"Sun Dec 65542 11:36:06 2026", {}},
      // Another shape, too few fields, years beyond 1970..2106, no such day.
      {"06 DEC 2026 18:22:47 UTC", {}},
      {"Sun Dec  6 11:36:06", {}},
      {"", {}},
      {"Sun Dec 31 23:59:59 1969", {}},
      {"Sun Jan 01 00:00:00 2107", {}},
      {"Sun Feb 29 11:36:06 2026", {}},
      {"Sun Dec  6 24:00:00 2026", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseTimeText(c.text), c.expected) << c.text;
  // A view inside a larger buffer: nothing after its end counts.
  EXPECT_EQ(ParseTimeText(std::string_view("Sun Dec  6 11:36:06 2026999").substr(0, 24)), dec6);
}

TEST(TimeText, ServerTextIsMadeSafeToShow) {
  struct {
    std::string text;
    bool keep_final_cr;
    std::string safe;
  } cases[] = {
      {"Sun Dec  6 11:36:06 2026\r", true, "Sun Dec  6 11:36:06 2026\r"},
      {"Sun Dec  6 11:36:06 2026\r", false, "Sun Dec  6 11:36:06 2026?"},
      {"\x1b]0;owned\x07\x1b[2J\r2026\r", true, "?]0;owned??[2J?2026\r"},
      {std::string("a\0b\t\x7f\xc3\xa9", 7), false, "a?b????"},
  };
  for (const auto& c : cases) EXPECT_EQ(SanitizeServerText(c.text, c.keep_final_cr), c.safe);
}

}  // namespace
}  // namespace qv::engine
