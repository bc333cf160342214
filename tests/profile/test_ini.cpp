#include <gtest/gtest.h>

#include <string>

#include "profile/ini.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;

TEST(Ini, ReadsFilesAsWindowsWritesThem) {
  IniDocument doc = IniDocument::Parse(
      "; written by hand\r\n"
      "\r\n"
      "[Property]\r\n"
      "LogFile=1\r\n"
      "  TimeOut =  7  \r\n"
      "; DialogSize=1\r\n"
      "protocol=SNTP\r\n"
      "logfile=0\r\n"
      "\r\n"
      "[ Debug ]\n"
      "OptionButton=1\n"
      "Empty=\n"
      "Path=C:\\a=b\\c\n");
  EXPECT_EQ(doc.Lookup("Property", "LogFile"), "1");
  EXPECT_EQ(doc.Lookup("property", "LOGFILE"), "1") << "case-insensitive, first duplicate wins";
  EXPECT_EQ(doc.Lookup("Property", "TimeOut"), "7") << "blanks around name and value";
  EXPECT_EQ(doc.Lookup("Property", "DialogSize"), std::nullopt) << "comment line";
  EXPECT_EQ(doc.Lookup("Property", "; DialogSize"), std::nullopt);
  EXPECT_EQ(doc.Lookup("DEBUG", "optionbutton"), "1") << "LF line ends, blanks in header";
  EXPECT_EQ(doc.Lookup("Debug", "Empty"), "");
  EXPECT_EQ(doc.Lookup("Debug", "Path"), "C:\\a=b\\c") << "value runs past a second '='";
  EXPECT_EQ(doc.Lookup("Debug", "Missing"), std::nullopt);
  EXPECT_EQ(doc.Lookup("Nothing", "LogFile"), std::nullopt);
  EXPECT_EQ(doc.ReadInt("Property", "TimeOut", 3), 7);
  EXPECT_EQ(doc.ReadInt("Debug", "Empty", 42), 42);
  EXPECT_EQ(doc.ReadString("Nothing", "x"), "");
}

TEST(Ini, ValuesAreOpaqueBytes) {
  // Code page 932: trail bytes may be ASCII letters, '[' or '\\'.
  const std::string sjis = "\x83\x5B\x83\x6F\x96\xBC";
  IniDocument doc;
  ASSERT_TRUE(doc.WriteString("Property", "DefaultServer", sjis));
  IniDocument again = IniDocument::Parse(doc.Serialize());
  EXPECT_EQ(again.Lookup("Property", "DefaultServer"), sjis);
  // Case folding touches ASCII letters only.
  EXPECT_FALSE(EqualsIgnoreCase("\xC4", "\xE4"));
  EXPECT_TRUE(EqualsIgnoreCase("LogFile", "lOGfILE"));
}

TEST(Ini, IntegersReadAsDecimal) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {
      {"12", 12},   {"-5", -5},          {"+3", 3},
      {"08", 8},    {"0x10", 0},         {"12abc", 12},
      {"abc", {}},  {"", {}},            {"-", {}},
      {" 4", 4},    {"99999999999", INT_MAX}, {"-99999999999", INT_MIN},
      {"-2147483648", INT_MIN},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
}

TEST(Ini, WritesKeepUntouchedLinesAndAddAtTheEnd) {
  IniDocument doc = IniDocument::Parse("; keep me\n[A]\nx = 1\n\n[B]\ny=2\n");
  ASSERT_TRUE(doc.WriteString("a", "new", "3"));
  ASSERT_TRUE(doc.WriteString("A", "X", "9"));
  ASSERT_TRUE(doc.WriteString("C", "z", "4"));
  EXPECT_EQ(doc.Serialize(),
            "; keep me\r\n[A]\r\nx=9\r\nnew=3\r\n\r\n[B]\r\ny=2\r\n[C]\r\nz=4\r\n");
}

TEST(Ini, MissingValueDeletesKeyMissingKeyDeletesSection) {
  IniDocument doc = IniDocument::Parse("[A]\nk=1\nK=2\nj=3\n[B]\nb=1\n[a]\nk=5\n");
  ASSERT_TRUE(doc.WriteString("A", "k", std::nullopt));
  EXPECT_EQ(doc.Lookup("A", "k"), std::nullopt) << "a duplicate must not surface";
  EXPECT_EQ(doc.Lookup("A", "j"), "3");
  ASSERT_TRUE(doc.WriteString("a", std::nullopt, std::nullopt));
  EXPECT_FALSE(doc.HasSection("A")) << "every copy of the section goes";
  EXPECT_EQ(doc.Serialize(), "[B]\r\nb=1\r\n");
  // Deleting what is not there succeeds and changes nothing.
  EXPECT_TRUE(doc.WriteString("Z", "k", std::nullopt));
  EXPECT_TRUE(doc.WriteString("Z", std::nullopt, std::nullopt));
  EXPECT_EQ(doc.Serialize(), "[B]\r\nb=1\r\n");
  // An empty value is a value, not a deletion.
  ASSERT_TRUE(doc.WriteString("B", "b", ""));
  EXPECT_EQ(doc.Lookup("B", "b"), "");
}

TEST(Ini, RefusesWhatTheFileCouldNotHold) {
  IniDocument doc;
  EXPECT_FALSE(doc.WriteString("Property", "k", "a\r\n[Property]\r\nAutoAdjust=1"));
  EXPECT_FALSE(doc.WriteString("Property", "a=b", "1"));
  EXPECT_FALSE(doc.WriteString("Property", ";k", "1"));
  EXPECT_FALSE(doc.WriteString("Property", "[k", "1"));
  EXPECT_FALSE(doc.WriteString("Property", "", "1"));
  EXPECT_FALSE(doc.WriteString("Prop]erty", "k", "1"));
  EXPECT_FALSE(doc.WriteString("", "k", "1"));
  EXPECT_FALSE(doc.WriteString("Property", "k", "a\0b"s));
  EXPECT_FALSE(doc.WriteSection("Servers", "ok\0[Property]\0\0"s));
  EXPECT_FALSE(doc.WriteSection("Servers", "; comment\0\0"s));
  EXPECT_EQ(doc.Serialize(), "");
}

TEST(Ini, SectionBlocks) {
  IniDocument doc = IniDocument::Parse(
      "[Servers]\nntp.example.jp\n; comment\n\n  b = c \nname=with=equals\n[Other]\nx=1\n");
  SectionBlock block = doc.ReadSection("servers", 512);
  EXPECT_EQ(block.text, "ntp.example.jp\0b = c\0name=with=equals\0\0"s) << "entries as in the file";
  EXPECT_EQ(block.length, block.text.size() - 1);

  // Capacity: whole entries only, the list's final NUL always fits.
  EXPECT_EQ(doc.ReadSection("Servers", 16).text, "ntp.example.jp\0\0"s);
  EXPECT_EQ(doc.ReadSection("Servers", 15).text, "\0"s);
  EXPECT_EQ(doc.ReadSection("Servers", 22).text, "ntp.example.jp\0b = c\0\0"s);
  EXPECT_EQ(doc.ReadSection("Servers", 22).length, 21u);

  SectionBlock missing = doc.ReadSection("Nothing", 512);
  EXPECT_EQ(missing.text, "\0"s);
  EXPECT_EQ(missing.length, 0u);

  ASSERT_TRUE(doc.WriteSection("SERVERS", "one\0two=2\0\0ignored\0"s));
  EXPECT_EQ(doc.ReadSection("Servers", 512).text, "one\0two=2\0\0"s);
  EXPECT_EQ(doc.Lookup("Servers", "two"), "2");
  EXPECT_EQ(doc.SectionNames(), (std::vector<std::string>{"Servers", "Other"})) << "replaced in place";

  ASSERT_TRUE(doc.WriteSection("New", "a\0"s)) << "a block may lack its final NUL";
  EXPECT_EQ(doc.ReadSection("New", 512).text, "a\0\0"s);
  EXPECT_EQ(doc.SectionNames().back(), "New");
}

TEST(Ini, ClearSectionLeavesAnEmptyLastSectionThatWriteSectionFills) {
  IniDocument doc = IniDocument::Parse("[Servers]\na\nb\n[Property]\nTimeOut=5\n");
  ASSERT_TRUE(doc.ClearSection("Servers"));
  EXPECT_EQ(doc.Serialize(), "[Property]\r\nTimeOut=5\r\n[Servers]\r\n");
  EXPECT_EQ(doc.ReadSection("Servers", 512).length, 0u);
  ASSERT_TRUE(doc.WriteSection("Servers", "x\0y\0\0"s));
  EXPECT_EQ(doc.Serialize(), "[Property]\r\nTimeOut=5\r\n[Servers]\r\nx\r\ny\r\n");

  IniDocument fresh;
  ASSERT_TRUE(fresh.ClearSection("Servers"));
  EXPECT_EQ(fresh.Serialize(), "[Servers]\r\n");
}

TEST(Ini, ParsesOddBytesWithoutLosingThem) {
  const std::string odd = "\xEF\xBB\xBF[A]\r\nk=v\0tail\r\nlone\rcr\r\n[unclosed\r\nx=1"s;
  IniDocument doc = IniDocument::Parse(odd);
  EXPECT_EQ(doc.Lookup("A", "k"), "v") << "a stray NUL ends what can be read";
  EXPECT_EQ(doc.Lookup("unclosed", "x"), "1");
  EXPECT_EQ(doc.Serialize(), "\xEF\xBB\xBF[A]\r\nk=v\0tail\r\nlone\rcr\r\n[unclosed\r\nx=1\r\n"s);
}

}  // namespace
}  // namespace qv::profile
