#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "profile/ini.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;

TEST(Ini, ReadsFilesAsWindowsWritesThem) {
  IniDocument doc = IniDocument::Parse(
      "; by hand\r\n\r\n[Property]\r\nLogFile=1\r\n  TimeOut =  7  \r\n; Beep=1\r\nlogfile=0\r\n\r\n"
      "[ Debug ]\nEmpty=\nPath=C:\\a=b\n\x83\x5B=\x96\xBC\n");
  EXPECT_EQ(doc.Lookup("property", "LOGFILE"), "1") << "case-insensitive, first duplicate wins";
  EXPECT_EQ(doc.Lookup("Property", "TimeOut"), "7") << "blanks around name and value";
  EXPECT_EQ(doc.Lookup("Property", "Beep"), std::nullopt) << "comment line";
  EXPECT_EQ(doc.Lookup("DEBUG", "Path"), "C:\\a=b") << "LF line ends, value past a second '='";
  EXPECT_EQ(doc.Lookup("Debug", "\x83\x7B"), std::nullopt) << "bytes above 0x7F are not folded";
  EXPECT_EQ(doc.Lookup("Debug", "\x83\x5B"), "\x96\xBC");
  EXPECT_EQ(doc.ReadInt("Debug", "Empty", 42), 42);
}

TEST(Ini, IntegersReadAsDecimal) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {{"12", 12}, {"-5", -5}, {"08", 8}, {"0x10", 0}, {"12abc", 12}, {"abc", {}}, {"", {}},
               {"-", {}}, {"99999999999", INT_MAX}, {"-99999999999", INT_MIN}, {"-2147483648", INT_MIN}};
  for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
}

TEST(Ini, WritesKeepOtherLinesAndDelete) {
  IniDocument doc = IniDocument::Parse("; keep\n[A]\nx = 1\nX=2\n\n[B]\ny=2\n[a]\nx=5\n");
  ASSERT_TRUE(doc.WriteString("a", "new", "3"));
  ASSERT_TRUE(doc.WriteString("A", "X", "9"));
  ASSERT_TRUE(doc.WriteString("C", "z", ""));
  EXPECT_EQ(doc.Serialize(), "; keep\r\n[A]\r\nx=9\r\nX=2\r\nnew=3\r\n\r\n[B]\r\ny=2\r\n[a]\r\nx=5\r\n[C]\r\nz=\r\n");

  ASSERT_TRUE(doc.WriteString("A", "x", std::nullopt));
  EXPECT_EQ(doc.Lookup("A", "x"), std::nullopt) << "a duplicate must not surface";
  ASSERT_TRUE(doc.WriteString("a", std::nullopt, std::nullopt));
  EXPECT_FALSE(doc.HasSection("A")) << "every copy of the section goes";
  EXPECT_TRUE(doc.WriteString("Z", std::nullopt, std::nullopt));
  EXPECT_EQ(doc.Serialize(), "; keep\r\n[B]\r\ny=2\r\n[C]\r\nz=\r\n");
}

TEST(Ini, RefusesWhatTheFileCouldNotHold) {
  IniDocument doc;
  EXPECT_FALSE(doc.WriteString("Property", "k", "a\r\n[Property]\r\nAutoAdjust=1"));
  EXPECT_FALSE(doc.WriteString("Property", "k", "a\0b"s));
  for (const char* key : {"a=b", ";k", "[k", "", " k"}) EXPECT_FALSE(doc.WriteString("P", key, "1")) << key;
  for (const char* section : {"P]", "", "P\n"}) EXPECT_FALSE(doc.WriteString(section, "k", "1")) << section;
  EXPECT_FALSE(doc.WriteSection("Servers", "ok\0[Property]\0\0"s));
  EXPECT_FALSE(doc.WriteSection("Servers", "; comment\0\0"s));
  EXPECT_EQ(doc.Serialize(), "");
}

TEST(Ini, SectionBlocks) {
  IniDocument doc = IniDocument::Parse("[Servers]\nntp.example.jp\n; c\n\n  b = c \n[Other]\nx=1\n");
  SectionBlock block = doc.ReadSection("servers", 512);
  EXPECT_EQ(block.text, "ntp.example.jp\0b = c\0\0"s) << "entries as in the file";
  EXPECT_EQ(block.length, 21u);
  // Whole entries only; the final NUL always fits.
  EXPECT_EQ(doc.ReadSection("Servers", 16).text, "ntp.example.jp\0\0"s);
  EXPECT_EQ(doc.ReadSection("Servers", 15).text, "\0"s);

  ASSERT_TRUE(doc.WriteSection("SERVERS", "one\0two=2\0\0ignored\0"s));
  EXPECT_EQ(doc.Serialize(), "[Servers]\r\none\r\ntwo=2\r\n[Other]\r\nx=1\r\n") << "replaced in place";
}

TEST(Ini, OddBytesSurviveARewrite) {
  const std::string odd = "\xEF\xBB\xBF[A]\r\nk=v\0tail\r\nlone\rcr\r\n[unclosed\r\nx=1"s;
  IniDocument doc = IniDocument::Parse(odd);
  EXPECT_EQ(doc.Lookup("A", "k"), "v") << "a stray NUL ends what can be read";
  EXPECT_EQ(doc.Lookup("unclosed", "x"), "1");
  EXPECT_EQ(doc.Serialize(), odd + "\r\n");
}

}  // namespace
}  // namespace qv::profile
