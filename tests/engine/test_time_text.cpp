#include "engine/time_text.h"

#include <gtest/gtest.h>

#include <string>

#include "engine/sntp.h"
#include "platform/ctime.h"
#include "support/fake_clock.h"

namespace qv::engine {
namespace {

using platform::SystemTime;

TEST(TimeText, FormatLocalNowAndMonthNames) {
  test::FakeClock clock;
  clock.SetLocalReading({2026, 1, 2, 6, 9, 5, 3, 999});
  EXPECT_EQ("Tue Jan 06 09:05:03 2026", FormatLocalNow());
  clock.SetLocalReading({987, 13, 7, 31, 23, 59, 59, 0});  // a broken reading names nothing past the tables
  EXPECT_EQ("  31 23:59:59  987", FormatLocalNow());
  EXPECT_EQ(12, MonthFromName("Dec"));
  for (const char* no : {"dec", "Ja", "Jan\r"}) EXPECT_EQ(0, MonthFromName(no)) << no;
}

TEST(TimeText, ParseTimeText) {
  ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
  const SystemTime dec6{2026, 12, 0, 6, 11, 36, 6, 0};
  struct {
    std::string text;
    SystemTime expected;
    bool settable = false;
  } cases[] = {
      {"Sun Dec  6 11:36:06 2026\r", dec6, true},  // DAYTIME line, CR kept
      {FormatServerTime({0xFFFFFFFFu, 0}), {2106, 2, 0, 7, 15, 28, 15, 0}, true},
      {" ::Sun Dec 6x 11::36:06 2026JST more", dec6, true},
      // Odd or short lines: fields the text does not give stay 0.
      {"", {}},
      {"Sun Dec  6 11:36:06", {0, 12, 0, 6, 11, 36, 6, 0}},
      {"Sun Dec +6 11:36:06 -2026", {0, 12, 0, 0, 11, 36, 6, 0}},
      // An overlong number stays impossible instead of wrapping to 6.
      {"Sun Dec 65542 11:36:06 2026", {2026, 12, 0, 65535, 11, 36, 6, 0}},
  };
  for (const auto& c : cases) {
    SystemTime t = ParseTimeText(c.text);
    EXPECT_EQ(c.expected, t) << c.text;
    EXPECT_EQ(c.settable, platform::IsValidSystemTime(t)) << c.text;
  }
  // A view inside a larger buffer: nothing after its end counts.
  EXPECT_EQ(dec6, ParseTimeText(std::string_view("Sun Dec  6 11:36:06 2026999").substr(0, 24)));
}

}  // namespace
}  // namespace qv::engine
