#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "profile/ini.h"
#include "base/text.h"
#include "profile/properties.h"
#include "profile/server_options.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;

IniDocument With(std::string_view key, std::string_view value) {
  IniDocument doc;
  doc.WriteString("Property", key, value);
  return doc;
}

// The fields of one key in each view.
std::vector<int> MainFields(const MainProperties& m, const std::string& key) {
  if (key == "AdjustAt") return {m.daily_on, m.daily_hour, m.daily_minute};
  if (key == "CurrentTimeDisplay") return {m.clock_on, m.clock_format, m.clock_position};
  if (key == "ErrorRetry") return {m.retry_on, m.retry_limit, m.retry_value, m.retry_unit};
  if (key == "ServerReferenceTime") return {m.reference_check, m.reference_hours};
  if (key == "protocol") return {m.protocol};
  if (key == "TimeOut") return {m.time_out};
  if (key == "IndicatorLine") return {m.indicator_line};
  return {m.window_pos};
}
std::vector<int> SettingsFields(const SettingsProperties& s, const std::string& key) {
  if (key == "AdjustAt") return {s.adjust_on, s.adjust_hour, s.adjust_minute};
  if (key == "CurrentTimeDisplay") return {s.clock_on, s.clock_format, s.clock_position};
  if (key == "ErrorRetry") return {s.retry_on, s.retry_count, s.retry_interval, s.retry_unit};
  if (key == "ServerReferenceTime") return {s.reference_check, s.reference_hours};
  if (key == "protocol") return {s.protocol};
  if (key == "TimeOut") return {s.time_out};
  if (key == "IndicatorLine") return {s.indicator_line};
  return {s.window_pos};
}

TEST(Properties, EachKeyInBothViews) {
  struct Case {
    const char* key;
    const char* stored;  // nullptr: key missing
    std::vector<int> main, settings;
  } cases[] = {
      {"AdjustAt", "1,08:30", {1, 0, 0}, {1, 0, 0}},
      {"AdjustAt", "2,24:60", {0, 0, 0}, {0, 0, 0}},
      {"CurrentTimeDisplay", "1,2", {0, 0, 0}, {0, 0, 0}},
      {"CurrentTimeDisplay", "1,5,1", {1, 0, 1}, {1, 0, 1}},
      {"ErrorRetry", "1,20,500,1", {1, 20, 500, 1}, {1, 1, 10, 1}},
      {"ErrorRetry", "0,10,99,3", {0, 10, 99, 3}, {0, 10, 99, 0}},
      {"ErrorRetry", "1,11,0,2", {1, 11, 0, 2}, {1, 1, 10, 2}},
      {"ErrorRetry", nullptr, {0, 0, 0, 0}, {0, 1, 10, 0}},
      {"ServerReferenceTime", "1,0", {1, 24}, {1, 24}},
      {"ServerReferenceTime", "5,12", {1, 12}, {1, 12}},
      {"ServerReferenceTime", nullptr, {1, 24}, {1, 24}},
      {"WindowPos", "2,120,80,1", {0}, {0}},
      {"protocol", "Time", {kTime}, {kSntp}},
      {"protocol", "sntp", {kTime}, {kSntp}},
      {"protocol", "daytime", {kDaytime}, {kDaytime}},
      {"protocol", nullptr, {kTime}, {kSntp}},
      {"TimeOut", "0", {0}, {5}},
      {"TimeOut", nullptr, {3}, {5}},
      {"IndicatorLine", "2", {0}, {1}},
  };
  for (const Case& c : cases) {
    IniDocument doc = c.stored ? With(c.key, c.stored) : IniDocument();
    SCOPED_TRACE(std::string(c.key) + "=" + (c.stored ? c.stored : "(missing)"));
    EXPECT_EQ(MainFields(LoadMainProperties(doc), c.key), c.main) << "main";
    EXPECT_EQ(SettingsFields(LoadSettingsProperties(doc), c.key), c.settings) << "settings";
  }
  EXPECT_EQ(LoadSettingsProperties(IniDocument::Parse("[Debug]\noptionbutton=1\n")).option_button, 1);
}

TEST(Properties, NumberListsScanAsTheCLibraryDoes) {
  struct Case {
    const char* text;
    const char* format;
    int count, a, b, c;  // outputs start at -1
  } cases[] = {
      {"1,08:30", "%i,%i:%i", 2, 1, 0, -1},  // octal 0, stops at the 8
      {"1,010:0x1f", "%i,%i:%i", 3, 1, 8, 31},
      {" -3, +4: 5", "%i,%i:%i", 3, -3, 4, 5},
      {"1 ,2", "%i,%i", 1, 1, -1, -1},
      {"-", "%i", 0, -1, -1, -1},
      {"0xg", "%i,", 1, 0, -1, -1},
      {"99999999999,-0x80000000", "%i,%i", 2, INT_MAX, INT_MIN, -1},
      {"50%,7", "%i%%, %i", 2, 50, 7, -1},
      {"1,2,3", "%i,%i,%i,%i", 3, 1, 2, 3},  // more conversions than outputs
  };
  for (const Case& c : cases) {
    int a = -1, b = -1, v = -1;
    EXPECT_EQ(ScanInts(c.text, c.format, {&a, &b, &v}), c.count) << c.text;
    EXPECT_EQ(std::vector<int>({a, b, v}), std::vector<int>({c.a, c.b, c.c})) << c.text;
  }
}

TEST(Properties, MainReloadKeepsOnlyThePreviousReferenceNumbers) {
  MainProperties previous = LoadMainProperties(With("ServerReferenceTime", "0,6"));
  MainProperties partial = LoadMainProperties(With("ServerReferenceTime", "1"), previous);
  EXPECT_EQ(std::vector<int>({partial.reference_check, partial.reference_hours}), std::vector<int>({1, 6}));
  previous.daily_hour = 7;
  previous.window_pos = 1;
  MainProperties absent = LoadMainProperties(IniDocument(), previous);
  EXPECT_EQ(std::vector<int>({absent.reference_check, absent.reference_hours, absent.daily_hour, absent.window_pos}),
            std::vector<int>({0, 6, 0, 0}));
}

TEST(Properties, WindowPosition) {
  IniDocument doc;
  ASSERT_TRUE(WriteMainWindowPos(doc, 1, -8, 300, 2));
  StoredWindowPos pos = ReadMainWindowPos(doc);
  EXPECT_EQ(std::vector<int>({pos.on, pos.left, pos.top}), std::vector<int>({1, -8, 300}));
  EXPECT_EQ(RewriteWindowPos("0,120,80,1", 1), "1,120,80,1");
  EXPECT_EQ(RewriteWindowPos("", 0), "0");
  // Two saves with the option on must leave it on for the main program.
  SettingsProperties s;
  s.window_pos = 1;
  doc = IniDocument();
  SaveSettingsProperties(doc, s);
  SaveSettingsProperties(doc, s);
  EXPECT_EQ(LoadMainProperties(doc).window_pos, 1);
}

// (The save order: test_profile_file.cpp and the settings program's tests.)
TEST(Properties, SettingsSaveKeepsOddServerLinesAndAnUnknownProtocolEmpty) {
  IniDocument doc;
  SettingsProperties s;
  s.servers = {"ntp.nict.jp", "a=b"};
  s.protocol = -1;
  ASSERT_TRUE(SaveSettingsProperties(doc, s).ok);
  EXPECT_EQ(LoadSettingsProperties(doc).servers, s.servers) << "a line holding '=' stays one entry";
  EXPECT_EQ(doc.ReadString("Property", "protocol"), "");
}

// Names the profile cannot hold are refused before anything is written;
// the block counts the file's own characters (what fits 512 with ASCII
// names: test_settings_servers.cpp).
TEST(Properties, ServerNamesAndTheBlockInTheFilesOwnCharacters) {
  const std::string tokei = "\xE6\x99\x82\xE8\xA8\x88";  // 時計: two characters
  struct Case {
    unsigned code_page;
    std::vector<std::string> listed;
    std::string chosen;
    ServerNameProblem problem;
    std::string name, character;
  } cases[] = {
      {1252, {"ok", tokei + ".example.jp"}, "", ServerNameProblem::kCodePage, tokei + ".example.jp", "\xE6\x99\x82"},
      {1252, {"ok"}, "x" + tokei, ServerNameProblem::kCodePage, "x" + tokei, "\xE6\x99\x82"},
      {932, {tokei + ".example.jp"}, tokei, ServerNameProblem::kNone, "", ""},
      {932, {"[name]"}, "", ServerNameProblem::kNotALine, "[name]", ""},
      {932, {" ;x"}, "", ServerNameProblem::kNotALine, " ;x", ""},
      {932, {"  "}, "", ServerNameProblem::kNotALine, "  ", ""},
      {932, {"ok"}, "[chosen]", ServerNameProblem::kNone, "", ""},  // a value may start so
      {932, {"ok"}, "a\nb", ServerNameProblem::kLineBreak, "a\nb", ""},
  };
  for (const Case& c : cases) {
    IniDocument doc(c.code_page);
    ASSERT_TRUE(doc.WriteString("Property", "TimeOut", "9"));
    const std::string before = doc.Serialize();
    SettingsProperties s;
    s.servers = c.listed;
    s.server = c.chosen;
    const ServerNameCheck check = CheckServerNames(doc, c.listed, c.chosen);
    SCOPED_TRACE(c.name + " in " + std::to_string(c.code_page));
    EXPECT_EQ(check.problem, c.problem);
    EXPECT_EQ(check.name, c.name);
    EXPECT_EQ(check.character, c.character);
    const ProfileResult saved = SaveSettingsProperties(doc, s);
    EXPECT_EQ(saved.ok, c.problem == ServerNameProblem::kNone) << saved.problem;
    if (!saved.ok) {
      EXPECT_EQ(doc.Serialize(), before) << "nothing written";
      EXPECT_NE(saved.problem.find(c.name), std::string::npos) << saved.problem;
    }
  }
  // 512 of the file's characters: a ten-character Japanese name takes 20 in
  // CP932 (30 as UTF-8), so 24 of them fit with their zeros, and read back.
  std::string name;
  for (int i = 0; i < 10; ++i) name += tokei.substr(i % 2 * 3, 3);
  IniDocument doc(932);
  const std::vector<std::string> many(30, name);
  EXPECT_EQ(UnpackSectionBlock(PackServerBlock(doc, many)).size(), 24u);
  std::string all;
  for (const std::string& n : many) all += n + '\0';
  ASSERT_TRUE(doc.WriteSection("Servers", all));
  EXPECT_EQ(LoadSettingsProperties(doc).servers.size(), 24u) << "reading counts alike";
  EXPECT_EQ(PackServerBlock(IniDocument(platform::kUtf8CodePage), {"ok", "[bad", std::string(511, 'x')}), "ok\0\0"s);
}

// Absent, every option is off; a flag is on only as 1; numbers out of range
// take their defaults; what is saved reads back the same.
TEST(Properties, ServerOptionsDefaultOffAndRoundTrip) {
  IniDocument doc;
  EXPECT_EQ(LoadServerOptions(doc), ServerOptions{});
  doc.WriteString("Options", "Fallback", "2");
  doc.WriteString("Options", "Agreement", "1");
  doc.WriteString("Options", "AgreementTolerance", "0");
  doc.WriteString("Options", "OffsetGuardSeconds", "-5");
  ServerOptions read = LoadServerOptions(doc);
  EXPECT_EQ(read.fallback, 0);
  EXPECT_EQ(read.agreement, 1);
  EXPECT_EQ(read.agreement_tolerance_ms, 500);
  EXPECT_EQ(read.offset_guard_seconds, 1000);

  const ServerOptions all{1, 1, 250, 1, 30, 1, 1, "/etc/q v/ca.pem"};
  IniDocument saved;
  ASSERT_TRUE(SaveServerOptions(saved, all).ok);
  EXPECT_EQ(LoadServerOptions(saved), all);
  EXPECT_TRUE(saved.Lookup("Property", "Fallback") == std::nullopt);
}

}  // namespace
}  // namespace qv::profile
