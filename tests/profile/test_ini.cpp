#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "base/text.h"
#include "profile/ini.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;

constexpr unsigned kUtf8 = platform::kUtf8CodePage;

// "[S]\r\n" + body as Notepad saves it as "Unicode": FF FE, then UTF-16LE.
std::string Utf16File(const std::string& utf8, bool big_endian = false) {
  std::string file(big_endian ? "\xFE\xFF" : "\xFF\xFE");
  file.append(Utf8ToUtf16(utf8, big_endian));
  return file;
}

// Where our reading departs from the system's on purpose, and files the
// system's own reader is not held to. (The quotes, blanks, line ends,
// encodings, headers and duplicates as the system reads them:
// ProfileWindows.ReadsAsTheSystemReadsBeforeAndAfterOurWrite.)
TEST(Ini, ReadsFilesAsWindowsProgramsWriteThem) {
  const std::string odd = "[C]\r\n;c=5\r\nn=v\0tail\r\n"s;
  struct Case {
    const char* what;
    std::string file;
    const char* section;
    const char* key;
    std::optional<std::string> value;
  } cases[] = {
      {"a Ctrl-Z right after the value", "[S]\r\nk=v\x1A", "S", "k", "v"},
      {"UTF-16LE, beyond ASCII", Utf16File("[S]\r\nj=\xE6\x99\x82\xF0\x9F\x95\x92\r\n"), "S", "j",
       "\xE6\x99\x82\xF0\x9F\x95\x92"},
      {"UTF-16LE, the first and last pairs, at the very end",  // U+10000 (D800 DC00), U+10FFFF (DBFF DFFF)
       "\xFF\xFE[\0S\0]\0\n\0k\0=\0\x00\xD8\x00\xDC\xFF\xDB\xFF\xDF"s, "S", "k", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {"a comment is no key", odd, "C", ";c", std::nullopt},
      {"a NUL ends what can be read", odd, "C", "n", "v"},
      {"lines before any header belong nowhere", "k=1\r\n[S]\r\n", "S", "k", std::nullopt},
  };
  for (const Case& c : cases) {
    IniDocument doc = IniDocument::Parse(c.file, kUtf8);
    EXPECT_EQ(doc.Lookup(c.section, c.key), c.value) << c.what;
  }
}

TEST(Ini, IntegersAsWindowsReadsThem) {
  struct Case {
    const char* text;
    std::optional<int> value;
  } cases[] = {// (Those the system reads alike: ProfileWindows.*.)
               {"08", 8},     {"0X10", 16},  {"0x", 0},        {"0xg", 0},          {"0o17", 0},
               {"abc", {}},   {"", {}},      {"-", {}},        {"99999999999", INT_MAX},
               {"-99999999999", INT_MIN},    {"-2147483648", INT_MIN},              {"0xFFFFFFFF", INT_MAX}};
  for (const Case& c : cases) EXPECT_EQ(ParseProfileInt(c.text), c.value) << c.text;
}

TEST(Ini, WritesKeepOtherLinesAndDelete) {
  IniDocument doc = IniDocument::Parse("; keep\n[A]\nx = 1\nX=2\n\n[B]\ny=2\n[a]\nx=5\n", kUtf8);
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

TEST(Ini, ValuesReadBackAsWritten) {
  for (const char* value : {" padded ", "\"quoted\"", "'single'", "\"", "\"\"", "a=b", "\tx", "\xE6\x99\x82"}) {
    IniDocument doc(kUtf8);
    ASSERT_TRUE(doc.WriteString("S", "k", value)) << value;
    EXPECT_EQ(IniDocument::Parse(doc.Serialize(), kUtf8).Lookup("S", "k"), value) << doc.Serialize();
  }
}

TEST(Ini, RefusesWhatTheFileCouldNotHold) {
  IniDocument doc = IniDocument::Parse("", kUtf8);
  EXPECT_FALSE(doc.WriteString("Property", "k", "a\r\n[Property]\r\nAutoAdjust=1"));
  EXPECT_FALSE(doc.WriteString("Property", "k", "a\rb"));
  EXPECT_FALSE(doc.WriteString("Property", "k", "a\0b"s));
  for (const char* key : {"a=b", ";k", "[k", "", " k", "k\x1A"}) EXPECT_FALSE(doc.WriteString("P", key, "1")) << key;
  for (const char* section : {"P]", "", "P\n", "\vP"}) EXPECT_FALSE(doc.WriteString(section, "k", "1")) << section;
  EXPECT_FALSE(doc.WriteSection("Servers", "ok\0[Property]\0\0"s));
  EXPECT_FALSE(doc.WriteSection("Servers", "; comment\0\0"s));
  EXPECT_EQ(doc.Serialize(), "");

  // A Western code page has no form for Japanese text: nothing is stored
  // as "?" or as UTF-8 bytes; a UTF-16 file takes it.
  IniDocument western(1252);
  EXPECT_FALSE(western.WriteString("TZ", "tz0", "\xE6\x9D\xB1\xE4\xBA\xAC"));
  EXPECT_TRUE(western.WriteString("TZ", "tz1", "caf\xC3\xA9"));
  EXPECT_EQ(western.Serialize(), "[TZ]\r\ntz1=caf\xE9\r\n");
  IniDocument unicode = IniDocument::Parse(Utf16File(""), 1252);
  EXPECT_TRUE(unicode.WriteString("TZ", "tz0", "\xE6\x9D\xB1\xE4\xBA\xAC"));
  EXPECT_FALSE(unicode.WriteString("TZ", "tz0", "\xFF")) << "not UTF-8";
}

TEST(Ini, DoubleByteTextInTheJapaneseCodePage) {
  // CP932: "ア" is 83 41 and "ヂ" is 83 61 (their second bytes are "A" and
  // "a"); "ゾ" is 83 5D (its second byte is "]"); "時計" is 8E 9E 8C 76.
  IniDocument doc =
      IniDocument::Parse("[\x83\x5D]\r\n\x83\x41=1\r\n[Property]\r\nApplicationName=\x8E\x9E\x8C\x76\r\n", 932);
  EXPECT_EQ(doc.Lookup("\xE3\x82\xBE", "\xE3\x82\xA2"), "1") << "section name holding a 5D byte";
  EXPECT_EQ(doc.Lookup("\xE3\x82\xBE", "\xE3\x83\x82"), std::nullopt) << "a second byte is never folded";
  EXPECT_EQ(doc.ReadString("Property", "ApplicationName"), "\xE6\x99\x82\xE8\xA8\x88");

  ASSERT_TRUE(doc.WriteString("TZ", "tz0", "0,-9,\xE6\x9D\xB1\xE4\xBA\xAC,,JST-9"));
  EXPECT_TRUE(doc.Serialize().ends_with("[TZ]\r\ntz0=0,-9,\x93\x8C\x8B\x9E,,JST-9\r\n"))
      << "stored in CP932, not UTF-8";
  EXPECT_EQ(IniDocument::Parse(doc.Serialize(), 932).ReadString("tz", "TZ0"), "0,-9,\xE6\x9D\xB1\xE4\xBA\xAC,,JST-9");
}

TEST(Ini, RewritesKeepTheFilesForm) {
  struct Case {
    const char* what;
    std::string before, after;  // after writing [S] n=v
  } cases[] = {
      {"CR only", "[S]\rk=a\r[T]\rk=b\r", "[S]\r\nk=a\r\nn=v\r\n[T]\r\nk=b\r\n"},
      {"CR CR LF", "[S]\r\r\nk=a\r\r\n", "[S]\r\nk=a\r\nn=v\r\n"},
      {"LF, no final line end", "; c\n[S]\nk=a\n\n[T]", "; c\r\n[S]\r\nk=a\r\nn=v\r\n\r\n[T]\r\n"},
      {"Ctrl-Z stays last", "[T]\r\nk=b\r\n\x1A", "[T]\r\nk=b\r\n[S]\r\nn=v\r\n\x1A"},
      {"untouched odd lines keep their bytes", "[S]\r\n k = \"q\" \r\nx=1\0y\r\n"s,
       "[S]\r\n k = \"q\" \r\nx=1\0y\r\nn=v\r\n"s},
      {"UTF-8 mark", "\xEF\xBB\xBF[S]\r\n", "\xEF\xBB\xBF[S]\r\nn=v\r\n"},
      {"UTF-16LE", Utf16File("[S]\rk=\xE6\x99\x82\r"), Utf16File("[S]\r\nk=\xE6\x99\x82\r\nn=v\r\n")},
      {"UTF-16BE", Utf16File("[S]\n", true), Utf16File("[S]\r\nn=v\r\n", true)},
      {"UTF-16 unpaired surrogate and odd last byte", "\xFF\xFE[\0S\0]\0\n\0k\0=\0\x00\xD8\n\0!"s,
       "\xFF\xFE[\0S\0]\0\r\0\n\0k\0=\0\x00\xD8\r\0\n\0n\0=\0v\0\r\0\n\0!"s},
  };
  for (const Case& c : cases) {
    IniDocument doc = IniDocument::Parse(c.before, kUtf8);
    ASSERT_TRUE(doc.WriteString("S", "n", "v")) << c.what;
    EXPECT_EQ(doc.Serialize(), c.after) << c.what;
  }
}

TEST(Ini, SectionBlocks) {
  IniDocument doc = IniDocument::Parse("[Servers]\nntp.example.jp\n; c\n\n  b = \"c\" \n[Other]\nx=1\n", kUtf8);
  SectionBlock block = doc.ReadSection("servers", 512);
  EXPECT_EQ(block.text, "ntp.example.jp\0b = \"c\"\0\0"s) << "entries as in the file, quotes kept";
  EXPECT_EQ(block.length, 23u);
  // Whole entries only; the final NUL always fits.
  EXPECT_EQ(doc.ReadSection("Servers", 16).text, "ntp.example.jp\0\0"s);
  EXPECT_EQ(doc.ReadSection("Servers", 15).text, "\0"s);

  ASSERT_TRUE(doc.WriteSection("SERVERS", "one\0two=2\0\0ignored\0"s));
  EXPECT_EQ(doc.Serialize(), "[Servers]\r\none\r\ntwo=2\r\n[Other]\r\nx=1\r\n") << "replaced in place, comments too";
}

}  // namespace
}  // namespace qv::profile
