#include <gtest/gtest.h>

#include <string>

#include "profile/ini.h"
#include "profile/properties.h"

namespace qv::profile {
namespace {

using namespace std::string_literals;

IniDocument WithProperty(std::string_view key, std::string_view value) {
  IniDocument doc;
  doc.WriteString("Property", key, value);
  return doc;
}

TEST(Properties, MissingProfileReadsAsDefaults) {
  IniDocument empty;
  MainProperties m = LoadMainProperties(empty);
  EXPECT_EQ(m.server, "");
  EXPECT_EQ(m.protocol, kProtocolTime);
  EXPECT_EQ(m.protocol_name, "time");
  EXPECT_EQ(m.reference_check, 1);
  EXPECT_EQ(m.reference_hours, 24);
  EXPECT_EQ(m.time_out, 3);
  EXPECT_EQ(m.clock_on + m.clock_format + m.clock_position, 0);
  EXPECT_EQ(m.log_file + m.beep + m.auto_adjust + m.auto_terminate + m.iconic_start + m.indicator_line, 0);
  EXPECT_EQ(m.window_pos + m.retry_on + m.retry_limit + m.retry_value + m.retry_unit, 0);
  EXPECT_EQ(m.daily_on + m.daily_hour + m.daily_minute, 0);

  SettingsProperties s = LoadSettingsProperties(empty);
  EXPECT_TRUE(s.servers.empty());
  EXPECT_EQ(s.protocol, kProtocolSntp);
  EXPECT_EQ(s.reference_check, 1);
  EXPECT_EQ(s.reference_hours, 24);
  EXPECT_EQ(s.time_out, 5);
  EXPECT_EQ(s.retry_on, 0);
  EXPECT_EQ(s.retry_count, 1);
  EXPECT_EQ(s.retry_interval, 10);
  EXPECT_EQ(s.retry_unit, 0);
  EXPECT_EQ(s.option_button, 0);
  EXPECT_EQ(ReadApplicationName(empty), "Quorvel");
  EXPECT_EQ(ReadApplicationName(WithProperty("ApplicationName", "Zeit")), "Zeit");
}

TEST(Properties, ProtocolIsComparedWithExactCase) {
  struct Case {
    const char* stored;
    int main_protocol;
    const char* main_name;
    int settings_protocol;
  } cases[] = {
      {"SNTP", kProtocolSntp, "SNTP", kProtocolSntp},
      {"time", kProtocolTime, "time", kProtocolTime},
      {"Time", kProtocolTime, "time", kProtocolSntp},
      {"sntp", kProtocolTime, "time", kProtocolSntp},
      {"daytime", kProtocolDaytime, "daytime", kProtocolDaytime},
      {"Daytime", kProtocolTime, "time", kProtocolSntp},
  };
  for (const Case& c : cases) {
    IniDocument doc = WithProperty("protocol", c.stored);
    MainProperties m = LoadMainProperties(doc);
    EXPECT_EQ(m.protocol, c.main_protocol) << c.stored;
    EXPECT_EQ(m.protocol_name, c.main_name) << c.stored;
    EXPECT_EQ(LoadSettingsProperties(doc).protocol, c.settings_protocol) << c.stored;
  }
}

TEST(Properties, ListsInBothViews) {
  struct Case {
    const char* key;
    const char* stored;
    std::vector<int> main;      // the main view's fields of that key
    std::vector<int> settings;  // the settings view's
  } cases[] = {
      {"AdjustAt", "1,08:30", {1, 0, 0}, {1, 0, 0}},
      {"AdjustAt", "1,8:30", {1, 8, 30}, {1, 8, 30}},
      {"AdjustAt", "1,24:60", {1, 0, 0}, {1, 0, 0}},
      {"AdjustAt", "2,7:5", {0, 7, 5}, {0, 7, 5}},
      {"CurrentTimeDisplay", "1,2", {0, 0, 0}, {0, 0, 0}},
      {"CurrentTimeDisplay", "1,5,1", {1, 0, 1}, {1, 0, 1}},
      {"CurrentTimeDisplay", "2,2,2", {0, 2, 0}, {0, 2, 0}},
      {"ErrorRetry", "1,20,500,1", {1, 20, 500, 1}, {1, 1, 10, 1}},
      {"ErrorRetry", "1,3", {1, 3, 0, 0}, {1, 3, 10, 0}},
      {"ErrorRetry", "0,10,99,3", {0, 10, 99, 3}, {0, 10, 99, 0}},
      {"ServerReferenceTime", "1,0", {1, 24}, {1, 24}},
      {"ServerReferenceTime", "5,12", {1, 12}, {1, 12}},
      {"ServerReferenceTime", "0", {0, 24}, {0, 24}},
      {"WindowPos", "1,120,80,1", {1}, {1}},
      {"WindowPos", "2,120,80,1", {0}, {0}},
      {"WindowPos", "x", {0}, {0}},
  };
  for (const Case& c : cases) {
    IniDocument doc = WithProperty(c.key, c.stored);
    MainProperties m = LoadMainProperties(doc);
    SettingsProperties s = LoadSettingsProperties(doc);
    std::string key = c.key;
    std::vector<int> got_m, got_s;
    if (key == "AdjustAt") {
      got_m = {m.daily_on, m.daily_hour, m.daily_minute};
      got_s = {s.adjust_on, s.adjust_hour, s.adjust_minute};
    } else if (key == "CurrentTimeDisplay") {
      got_m = {m.clock_on, m.clock_format, m.clock_position};
      got_s = {s.clock_on, s.clock_format, s.clock_position};
    } else if (key == "ErrorRetry") {
      got_m = {m.retry_on, m.retry_limit, m.retry_value, m.retry_unit};
      got_s = {s.retry_on, s.retry_count, s.retry_interval, s.retry_unit};
    } else if (key == "ServerReferenceTime") {
      got_m = {m.reference_check, m.reference_hours};
      got_s = {s.reference_check, s.reference_hours};
    } else {
      got_m = {m.window_pos};
      got_s = {s.window_pos};
    }
    EXPECT_EQ(got_m, c.main) << c.key << "=" << c.stored << " (main)";
    EXPECT_EQ(got_s, c.settings) << c.key << "=" << c.stored << " (settings)";
  }
}

TEST(Properties, FlagsAndTimeOutPerProgram) {
  IniDocument doc = IniDocument::Parse(
      "[Property]\nlogfile=1\nBeep=2\nAutoAdjust=1\nAutoTerminate=-1\nIndicatorLine=2\n"
      "DesktopLink=3\nStartupLink=0\nTimeOut=0\nDialogSize=1\nIconicStart=01\n"
      "[Debug]\nOptionButton=1\n");
  MainProperties m = LoadMainProperties(doc);
  SettingsProperties s = LoadSettingsProperties(doc);
  EXPECT_EQ(m.log_file, 1);
  EXPECT_EQ(s.log_file, 1) << "keys match without regard to case";
  EXPECT_EQ(m.beep, 0);
  EXPECT_EQ(s.beep, 0);
  EXPECT_EQ(m.auto_adjust, 1);
  EXPECT_EQ(m.auto_terminate, 0);
  EXPECT_EQ(m.indicator_line, 0) << "main: only 1 means on";
  EXPECT_EQ(s.indicator_line, 1) << "settings: any value but 0 means on";
  EXPECT_EQ(s.desktop_link, 1);
  EXPECT_EQ(s.startup_link, 0);
  EXPECT_EQ(m.time_out, 0) << "main takes the stored time-out unchanged";
  EXPECT_EQ(s.time_out, 5);
  EXPECT_EQ(s.dialog_size, 1);
  EXPECT_EQ(m.iconic_start, 1) << "flags are decimal integers";
  EXPECT_EQ(s.option_button, 1);

  EXPECT_EQ(LoadSettingsProperties(WithProperty("TimeOut", "31")).time_out, 5);
  EXPECT_EQ(LoadSettingsProperties(WithProperty("TimeOut", "30")).time_out, 30);
  EXPECT_EQ(LoadMainProperties(WithProperty("TimeOut", "99")).time_out, 99);
}

TEST(Properties, MainReloadKeepsThePreviousReferenceNumbers) {
  MainProperties previous = LoadMainProperties(WithProperty("ServerReferenceTime", "0,6"));
  ASSERT_EQ(previous.reference_check, 0);
  ASSERT_EQ(previous.reference_hours, 6);

  MainProperties absent = LoadMainProperties(IniDocument(), previous);
  EXPECT_EQ(absent.reference_check, 0);
  EXPECT_EQ(absent.reference_hours, 6);

  MainProperties partial = LoadMainProperties(WithProperty("ServerReferenceTime", "1"), previous);
  EXPECT_EQ(partial.reference_check, 1);
  EXPECT_EQ(partial.reference_hours, 6);

  // Every other list starts from its defaults again.
  previous.daily_hour = 7;
  previous.retry_limit = 4;
  previous.window_pos = 1;
  previous.clock_on = 1;
  MainProperties other = LoadMainProperties(IniDocument(), previous);
  EXPECT_EQ(other.daily_hour, 0);
  EXPECT_EQ(other.retry_limit, 0);
  EXPECT_EQ(other.window_pos, 0);
  EXPECT_EQ(other.clock_on, 0);
}

TEST(Properties, MainWindowPosition) {
  IniDocument doc;
  ASSERT_TRUE(WriteMainWindowPos(doc, 1, -8, 300, 2));
  EXPECT_EQ(doc.ReadString("Property", "WindowPos"), "1,-8,300,2");
  StoredWindowPos pos = ReadMainWindowPos(doc);
  EXPECT_EQ(pos.on, 1);
  EXPECT_EQ(pos.left, -8);
  EXPECT_EQ(pos.top, 300);
  StoredWindowPos none = ReadMainWindowPos(IniDocument());
  EXPECT_EQ(none.on, 0);
}

TEST(Properties, SettingsRewriteOfWindowPos) {
  EXPECT_EQ(RewriteWindowPos("0,120,80,1", 1), "1,120,80,1");
  EXPECT_EQ(RewriteWindowPos("1,120,80,1", 0), "0,120,80,1");
  EXPECT_EQ(RewriteWindowPos("", 1), "1");
  EXPECT_EQ(RewriteWindowPos("", 0), "0");
  EXPECT_EQ(RewriteWindowPos("1", 1), "1");
  EXPECT_EQ(RewriteWindowPos("17", 0), "0");

  // Saving twice with the option on must leave it on for the main program.
  IniDocument doc;
  SettingsProperties s;
  s.window_pos = 1;
  SaveSettingsProperties(doc, s);
  SaveSettingsProperties(doc, s);
  EXPECT_EQ(doc.ReadString("Property", "WindowPos"), "1");
  EXPECT_EQ(LoadMainProperties(doc).window_pos, 1);
}

TEST(Properties, SettingsSaveWritesEveryKeyInOrder) {
  IniDocument doc = IniDocument::Parse(
      "[Servers]\nold\n[Property]\nDefaultServer=kept\nApplicationName=Zeit\nWindowPos=0,120,80,1\n");
  SettingsProperties s;
  s.servers = {"ntp.nict.jp", "a=b", "ntp.example.jp"};
  s.server = "";
  s.protocol = kProtocolDaytime;
  s.reference_check = 0;
  s.reference_hours = 12;
  s.clock_on = 1;
  s.clock_format = 2;
  s.clock_position = 1;
  s.log_file = 1;
  s.indicator_line = 1;
  s.time_out = 9;
  s.window_pos = 1;
  s.adjust_on = 1;
  s.adjust_hour = 8;
  s.adjust_minute = 5;
  s.retry_on = 1;
  s.retry_count = 3;
  s.retry_interval = 15;
  s.retry_unit = 1;
  ASSERT_TRUE(SaveSettingsProperties(doc, s));
  EXPECT_EQ(doc.Serialize(),
            "[Property]\r\n"
            "DefaultServer=kept\r\n"
            "ApplicationName=Zeit\r\n"
            "WindowPos=1,120,80,1\r\n"
            "protocol=daytime\r\n"
            "ServerReferenceTime=0,12\r\n"
            "CurrentTimeDisplay=1,2,1\r\n"
            "LogFile=1\r\nBeep=0\r\nAutoAdjust=0\r\nAutoTerminate=0\r\nIndicatorLine=1\r\n"
            "DesktopLink=0\r\nStartupLink=0\r\nTimeOut=9\r\nDialogSize=0\r\nIconicStart=0\r\n"
            "AdjustAt=1,8:5\r\n"
            "ErrorRetry=1,3,15,1\r\n"
            "[Servers]\r\n"
            "ntp.nict.jp\r\na=b\r\nntp.example.jp\r\n");

  SettingsProperties back = LoadSettingsProperties(doc);
  EXPECT_EQ(back.servers, s.servers) << "a line holding '=' stays one entry";
  EXPECT_EQ(back.server, "kept");
  EXPECT_EQ(back.protocol, s.protocol);
  EXPECT_EQ(back.adjust_hour, 8);
  EXPECT_EQ(back.retry_interval, 15);
  EXPECT_EQ(back.window_pos, 1);

  s.protocol = -1;
  s.server = "ntp.nict.jp";
  SaveSettingsProperties(doc, s);
  EXPECT_EQ(doc.ReadString("Property", "protocol"), "");
  EXPECT_EQ(doc.ReadString("Property", "DefaultServer"), "ntp.nict.jp");
}

TEST(Properties, ServerBlockHolds512Characters) {
  std::vector<std::string> servers;
  for (int i = 0; i < 40; ++i) servers.push_back("server" + std::to_string(100 + i) + ".example.jp");
  // 20 characters each: 24 names and their NULs take 504, a 25th would need
  // 525 with the final NUL.
  std::string block = PackServerBlock(servers);
  EXPECT_EQ(block.size(), 24u * 21 + 1);
  std::vector<std::string> kept(servers.begin(), servers.begin() + 24);
  EXPECT_EQ(UnpackSectionBlock(block), kept);

  IniDocument doc;
  SettingsProperties s;
  s.servers = servers;
  SaveSettingsProperties(doc, s);
  EXPECT_EQ(LoadSettingsProperties(doc).servers, kept) << "what is saved is read back whole";

  EXPECT_EQ(PackServerBlock({}), "\0"s);
  EXPECT_EQ(PackServerBlock({"ok", "[bad", ";bad", "  ", "bad\r\nx", "fine"}), "ok\0fine\0\0"s);
  std::string exact(510, 'x');  // 510 + NUL + final NUL = 512
  EXPECT_EQ(PackServerBlock({exact}).size(), 512u);
  EXPECT_EQ(PackServerBlock({exact + "x"}), "\0"s);
}

TEST(Properties, TimeZoneRecords) {
  std::string record = FormatTimeZoneRecord(0, -9, "JST", "", "JST-9");
  EXPECT_EQ(record, "0,-9,JST,,JST-9");
  IniDocument doc;
  ASSERT_TRUE(WriteTimeZoneRecord(doc, 1, record));
  EXPECT_EQ(doc.ReadString("TZ", "tz1"), "0,-9,JST,,JST-9");
}

}  // namespace
}  // namespace qv::profile
