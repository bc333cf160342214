#include <gtest/gtest.h>

#include <climits>

#include "profile/int_scan.h"

namespace qv::profile {
namespace {

TEST(IntScan, FollowsTheCLibraryRules) {
  struct Case {
    const char* text;
    const char* format;
    int count;
    int a, b, c;  // outputs, starting at -1 each
  } cases[] = {
      {"1,8:30", "%i,%i:%i", 3, 1, 8, 30},
      {"1,08:30", "%i,%i:%i", 2, 1, 0, -1},  // octal 0, stops at the 8
      {"1,010:0x1f", "%i,%i:%i", 3, 1, 8, 31},
      {"1,0X1F:07", "%i,%i:%i", 3, 1, 31, 7},
      {" -3, +4: 5", "%i,%i:%i", 3, -3, 4, 5},  // blanks before each number
      {"1 ,2", "%i,%i", 1, 1, -1, -1},          // a blank is not the ","
      {"1,2", "%i,%i,%i", 2, 1, 2, -1},
      {"", "%i,%i", 0, -1, -1, -1},
      {"x", "%i", 0, -1, -1, -1},
      {"-", "%i", 0, -1, -1, -1},
      {"0xg", "%i,", 1, 0, -1, -1},  // "0x" without a digit is the number 0
      {"12abc", "%i,", 1, 12, -1, -1},
      {"99999999999,-99999999999", "%i,%i", 2, INT_MAX, INT_MIN, -1},
      {"0x7fffffff", "%i", 1, INT_MAX, -1, -1},
      {"-2147483648", "%i", 1, INT_MIN, -1, -1},
      {"50%", "%i%%", 1, 50, -1, -1},
      {"7  ,  8", "%i , %i", 2, 7, 8, -1},
  };
  for (const Case& c : cases) {
    int a = -1, b = -1, v = -1;
    EXPECT_EQ(ScanInts(c.text, c.format, {&a, &b, &v}), c.count) << c.text;
    EXPECT_EQ(a, c.a) << c.text;
    EXPECT_EQ(b, c.b) << c.text;
    EXPECT_EQ(v, c.c) << c.text;
  }
}

TEST(IntScan, NeverWritesBeyondTheOutputsGiven) {
  int a = -1;
  EXPECT_EQ(ScanInts("1,2,3", "%i,%i,%i", {&a}), 1);
  EXPECT_EQ(a, 1);
  EXPECT_EQ(ScanInts("1,2", "%i,%i", {nullptr, &a}), 2);
  EXPECT_EQ(a, 2);
}

}  // namespace
}  // namespace qv::profile
