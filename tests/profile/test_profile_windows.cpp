// Our reading of profile files held against the Windows profile services
// (GetPrivateProfileString, -Int, -Section) on the same files, before and
// after our own write. Runs twice: in the prefix's Western code page and
// with the Japanese one (CP932).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "generation.h"
#include "platform/codepage.h"
#include "platform/win32/system_profile.h"
#include "profile/program_profile.h"
#include "temp_dir.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;
namespace win = platform::system_profile;
using test::WriteBytes;

constexpr const char* kMissing = "<missing>";


std::string Ansi(const std::string& utf8) {
  return platform::Utf8ToCodePage(platform::AnsiCodePage(), utf8).value_or("<no ANSI form>");
}

struct Query {
  const char* section;
  const char* key;
  // Why our reading differs from the system's on purpose; nullptr: it agrees.
  const char* string_differs = nullptr;
  const char* int_differs = nullptr;
};

// Every way each query reads, ours beside the system's; "" when all agree.
// Integers are compared where the values are meant as numbers (text reads
// as the default here, as 0 in Windows).
std::string Differences(const std::string& path, const std::vector<Query>& queries, bool integers) {
  std::string out;
  const IniDocument doc = ProfileFile(path).Load();
  for (const Query& q : queries) {
    const std::string where = std::string(q.section) + "." + q.key + ": ";
    const std::string ours = doc.Lookup(q.section, q.key).value_or(kMissing);
    if (!q.string_differs) {
      const std::string wide = win::GetStringW(q.section, q.key, kMissing, path);
      if (wide != ours) out += where + "W gives [" + wide + "], we [" + ours + "]\n";
      const std::string narrow = win::GetStringA(Ansi(q.section), Ansi(q.key), kMissing, path);
      if (Ansi(ours) != "<no ANSI form>" && narrow != Ansi(ours))
        out += where + "A gives [" + narrow + "], we [" + Ansi(ours) + "]\n";
    }
    if (integers && !q.int_differs) {
      const int theirs = win::GetIntA(Ansi(q.section), Ansi(q.key), -99, path);
      const int mine = doc.ReadInt(q.section, q.key, -99);
      if (theirs != mine) out += where + "Int gives " + std::to_string(theirs) + ", we " + std::to_string(mine) + "\n";
    }
  }
  return out;
}

const char* const kCommentNoKey = "a ';' line is a comment; Wine reads it as a key";
const char* const kLettersDefault = "letters give the default (Windows: 0)";
const char* const kSaturates = "overflow saturates (Windows wraps around)";
const char* const kUndocumentedBase = "only 0x is documented; Wine also reads 0o and 0b";

struct FileCase {
  const char* what;
  std::string bytes;
  std::vector<Query> queries;
  bool integers = false;
};

std::vector<FileCase> Files() {
  const std::string unicode = "[S]\r\nk=\"x \"\r\nj=\xE6\x99\x82\r\nn='7'\r\n";
  return {
      {"quotes, blanks and control characters",
       "[S]\r\nq1=\"a b\"\r\nq2='x'\r\nq3=\"a'\r\nq4=\"\r\nq5= \" a \" \r\nq6=\"\"\r\nq7=\"42\"\r\n"
       "t1=\tv\t\r\nt2=\vv\v\r\nt3=v\f\x1A\r\nt4=v\x01\r\nn=' 7 '\r\n",
       {{"S", "q1"}, {"S", "q2"}, {"S", "q3"}, {"S", "q4"}, {"S", "q5"}, {"S", "q6"}, {"S", "q7"}, {"S", "n"},
        {"S", "t1"}, {"S", "t2"}, {"S", "t3"}, {"S", "t4"}}},
      {"CR-only lines", "[S]\rk1=a\rk2=b\r", {{"S", "k1"}, {"s", "K2"}}},
      {"CR CR LF lines", "[S]\r\r\nk1=1\r\r\nk2=12\r\r\n", {{"S", "k1"}, {"S", "k2"}}, true},
      {"LF lines, a final Ctrl-Z", "[S]\nk=v\n\x1A", {{"S", "k"}}},
      {"headers, odd lines, duplicates",
       "; by hand\r\n[A]\r\nk=1\r\n[B\r\nk=2\r\nj=3\r\n[C]x\r\nnoeq\r\n k = x = y \r\n;c=5\r\nK=dup\r\n",
       {{"A", "j"}, {"B", "k"}, {"C", "k"}, {"C", "noeq"}, {"C", ";c", kCommentNoKey, kCommentNoKey}, {"X", "k"}}},
      {"UTF-16LE as Notepad saves it", "\xFF\xFE" + Utf8ToUtf16(unicode, false),
       {{"S", "k"}, {"S", "j"}, {"S", "n"}}},
      {"UTF-16BE", "\xFE\xFF" + Utf8ToUtf16(unicode, true), {{"S", "k"}, {"S", "j"}}},
      {"UTF-8 behind a mark", "\xEF\xBB\xBF" + unicode, {{"S", "k"}, {"S", "j"}}},
      {"integers",
       "[I]\r\ni1=0x10\r\ni2=010\r\ni3=-5\r\ni4=abc\r\ni5=12abc\r\ni6=99999999999\r\ni7=+3\r\ni8=-0x10\r\n"
       "i9=0o17\r\ni10=0b101\r\ni11=4294967295\r\ni12=\r\ni13=0xFFFFFFFF\r\ni14=\"42\"\r\ni15=' 7 '\r\n",
       {{"I", "i1"}, {"I", "i2"}, {"I", "i3"}, {"I", "i4", nullptr, kLettersDefault}, {"I", "i5"},
        {"I", "i6", nullptr, kSaturates}, {"I", "i7"}, {"I", "i8"}, {"I", "i9", nullptr, kUndocumentedBase},
        {"I", "i10", nullptr, kUndocumentedBase}, {"I", "i11", nullptr, kSaturates}, {"I", "i12"},
        {"I", "i13", nullptr, kSaturates}, {"I", "i14"}, {"I", "i15"}},
       true},
  };
}

TEST(ProfileWindows, ReadsAsTheSystemReadsBeforeAndAfterOurWrite) {
  test::TempDir dir;
  int n = 0;
  for (const FileCase& c : Files()) {
    const std::string path = dir.File("case" + std::to_string(n++) + ".ini");
    WriteBytes(path, c.bytes);
    EXPECT_EQ(Differences(path, c.queries, c.integers), "") << c.what;
    // Our write keeps the file readable by the system, every key the same.
    ASSERT_TRUE(ProfileFile(path).WriteString("Added", "k", " padded ")) << c.what;
    EXPECT_EQ(Differences(path, c.queries, c.integers), "") << c.what << ", after our write";
    EXPECT_EQ(win::GetStringW("Added", "k", kMissing, path), " padded ") << c.what;
  }
}

TEST(ProfileWindows, SectionsAsTheSystemReadsThem) {
  test::TempDir dir;
  const std::string path = dir.File("sections.ini");
  WriteBytes(path, "[Servers]\r\nntp.example.jp\r\n; note\r\n\r\n\"q\"=1\r\nb=c\r\n[Other]\r\nx=1\r\n");
  EXPECT_EQ(ProfileFile(path).ReadSection("servers", 65536).text, win::GetSectionA("servers", path));
  EXPECT_EQ(ProfileFile(path).ReadSection("none", 65536).text, win::GetSectionA("none", path));
}

// A file another program holds open without letting it be replaced is
// written in place, as the system's own services would write it.
TEST(ProfileWindows, AFileHeldOpenIsWrittenInPlace) {
  test::TempDir dir;
  const std::string path = dir.File("held.ini");
  ASSERT_TRUE(SaveSettings(path, test::SettingsSet(0)).ok);
  {
    win::HeldOpen held(path);
    ASSERT_TRUE(held.ok());
    const ProfileResult saved = SaveSettings(path, test::SettingsSet(1));
    EXPECT_TRUE(saved.ok) << saved.problem;
  }
  EXPECT_EQ(test::WhichSettingsSet(LoadProfile(path).settings), 1);
  EXPECT_EQ(win::GetStringW("Property", "TimeOut", kMissing, path), "17");
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
}

// On a Japanese system: CP932 text read and written as the system does, a
// second byte that looks like "A" or "]" never taken for one.
TEST(ProfileWindows, JapaneseCodePage) {
  if (platform::AnsiCodePage() != 932) GTEST_SKIP() << "runs with the Japanese code page (LC_ALL=ja_JP.UTF-8)";
  test::TempDir dir;
  const std::string path = dir.File("ja.ini");
  // "[ゾ]" (83 5D), "ア=1" (83 41); "ヂ" is 83 61.
  WriteBytes(path, "[\x83\x5D]\r\n\x83\x41=1\r\n");
  ASSERT_TRUE(win::WriteStringA("Property", "ApplicationName", "\x8E\x9E\x8C\x76", path));  // 時計
  const std::vector<Query> queries = {{"\xE3\x82\xBE", "\xE3\x82\xA2"},
                                      {"\xE3\x82\xBE", "\xE3\x83\x82"},
                                      {"Property", "ApplicationName"}};
  EXPECT_EQ(Differences(path, queries, false), "");
  EXPECT_EQ(LoadProfile(path).application_name, "\xE6\x99\x82\xE8\xA8\x88");

  const std::string zone = "0,-9,\xE6\x9D\xB1\xE4\xBA\xAC (\xE6\xA8\x99\xE6\xBA\x96\xE6\x99\x82),,JST-9";
  ASSERT_TRUE(WriteTimeZoneRecords(path, {zone, zone, zone}).ok);
  EXPECT_EQ(win::GetStringW("TZ", "tz2", kMissing, path), zone);
  EXPECT_EQ(win::GetStringA("TZ", "tz2", kMissing, path), "0,-9,\x93\x8C\x8B\x9E (\x95\x57\x8F\x80\x8E\x9E),,JST-9")
      << "stored in CP932, never as UTF-8";
  EXPECT_EQ(Differences(path, queries, false), "") << "after our write";
}

}  // namespace
}  // namespace qv::profile
