#include <gtest/gtest.h>

#include <climits>

#include "profile/int_scan.h"

namespace qv::profile {
namespace {

TEST(IntScan, FollowsTheCLibraryRules) {
  struct Case {
    const char* text;
    const char* format;
    int count, a, b, c;  // outputs start at -1
  } cases[] = {
      {"1,8:30", "%i,%i:%i", 3, 1, 8, 30},
      {"1,08:30", "%i,%i:%i", 2, 1, 0, -1},  // octal 0, stops at the 8
      {"1,010:0x1f", "%i,%i:%i", 3, 1, 8, 31},
      {" -3, +4: 5", "%i,%i:%i", 3, -3, 4, 5},
      {"1 ,2", "%i,%i", 1, 1, -1, -1},
      {"", "%i,%i", 0, -1, -1, -1},
      {"-", "%i", 0, -1, -1, -1},
      {"0xg", "%i,", 1, 0, -1, -1},
      {"99999999999,-0x80000000", "%i,%i", 2, INT_MAX, INT_MIN, -1},
      {"50%,7", "%i%%, %i", 2, 50, 7, -1},
      {"1,2,3", "%i,%i,%i,%i", 3, 1, 2, 3},  // more conversions than outputs
  };
  for (const Case& c : cases) {
    int a = -1, b = -1, v = -1;
    EXPECT_EQ(ScanInts(c.text, c.format, {&a, &b, &v}), c.count) << c.text;
    EXPECT_EQ(a, c.a) << c.text;
    EXPECT_EQ(b, c.b) << c.text;
    EXPECT_EQ(v, c.c) << c.text;
  }
}

}  // namespace
}  // namespace qv::profile
