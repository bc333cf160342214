// What quorvel-cli prints for monitoring, from hand-made results: times,
// seconds from nanoseconds, JSON strings, and the plugin status line.
#include "cli/cli_report.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "base/protocol.h"

namespace qv::cli {
namespace {

TEST(CliReport, TimesSecondsAndReferenceIds) {
  const std::pair<std::int64_t, const char*> times[] = {
      {0, "1970-01-01T00:00:00.000000Z"},
      {-1, "1969-12-31T23:59:59.999999Z"},
      {951782400000001, "2000-02-29T00:00:00.000001Z"},
      {4294967296000000, "2106-02-07T06:28:16.000000Z"},
      {1796677863123456, "2026-12-07T21:11:03.123456Z"},
      {253402300799999999, "9999-12-31T23:59:59.999999Z"},
  };
  for (const auto& [us, text] : times) EXPECT_EQ(IsoUtc(us), text) << us;

  const struct {
    std::int64_t ns;
    int decimals;
    const char* text;
  } seconds[] = {
      {1234500, 6, "0.001235"},  {-1234500, 6, "-0.001235"}, {-400, 6, "0.000000"},
      {60000000000, 6, "60.000000"}, {1, 9, "0.000000001"},   {2500000000, 0, "3"},
      {INT64_MIN, 9, "-9223372036.854775808"},
  };
  for (const auto& s : seconds) EXPECT_EQ(SecondsText(s.ns, s.decimals), s.text) << s.ns;

  EXPECT_EQ(ReferenceIdText(1, 0x47505300), "GPS");
  EXPECT_EQ(ReferenceIdText(0, 0x52415445), "RATE");
  EXPECT_EQ(ReferenceIdText(1, 0x01020300), "???");
  EXPECT_EQ(ReferenceIdText(2, 0x7F7F0100), "127.127.1.0");
}

TEST(CliReport, JsonStringsEscapeAndKeepUtf8Whole) {
  const std::pair<std::string, std::string> cases[] = {
      {"a\"b\\c/", R"("a\"b\\c/")"},
      {"\n\r\t\x01\x1f\x7f", R"("\n\r\t\u0001\u001f\u007f")"},
      {std::string("nul\0in", 6), R"("nul\u0000in")"},
      {"時刻 \xF0\x9F\x95\x92", "\"時刻 \xF0\x9F\x95\x92\""},
      {"\xff", R"("\ufffd")"},
      {"\xe6\x99", R"("\ufffd\ufffd")"},                // cut short
      {"\xed\xa0\x80", R"("\ufffd\ufffd\ufffd")"},      // a surrogate
      {"\xc0\xaf", R"("\ufffd\ufffd")"},                // overlong
      {"\xf4\x90\x80\x80", R"("\ufffd\ufffd\ufffd\ufffd")"},  // beyond U+10FFFF
      {"\x93\xfa\x96\x7b", R"("\ufffd\ufffd\ufffd{")"},  // code page 932
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(JsonString(text), json) << json;
}

engine::Result Measured(std::optional<std::int64_t> offset_ns, const char* status = "OK") {
  engine::Result result;
  result.stage = offset_ns ? engine::Stage::kOk : engine::Stage::kTimeOut;
  result.status = status;
  if (!offset_ns) result.detail.push_back('0');  // as a failed query's error number
  result.offset_ns = offset_ns;
  return result;
}

TEST(CliReport, OneStatusLineWorstStateWins) {
  constexpr std::int64_t kSecond = 1000000000;
  const struct {
    std::vector<Checked> checked;
    std::optional<std::int64_t> warn, crit;
    PluginState state;
    const char* line;
  } cases[] = {
      {{{"a", Measured(1234500)}}, 60 * kSecond, 120 * kSecond, PluginState::kOk,
       "NTP OK: Offset 0.001235 secs|offset=0.001235s;60.000000;120.000000;"},
      {{{"a", Measured(-2 * kSecond)}}, kSecond, 3 * kSecond, PluginState::kWarning,
       "NTP WARNING: Offset -2.000000 secs|offset=-2.000000s;1.000000;3.000000;"},
      {{{"a", Measured(kSecond)}}, kSecond, kSecond, PluginState::kOk,  // at the threshold: not beyond it
       "NTP OK: Offset 1.000000 secs|offset=1.000000s;1.000000;1.000000;"},
      {{{"a", Measured(kSecond + 1)}}, std::nullopt, kSecond, PluginState::kCritical,
       "NTP CRITICAL: Offset 1.000000 secs|offset=1.000000s;;1.000000;"},
      {{{"a", Measured(std::nullopt, "ERROR (TimeOut)")}}, kSecond, 2 * kSecond, PluginState::kUnknown,
       "NTP UNKNOWN: Offset unknown: ERROR (TimeOut):0|"},
      {{{"a", Measured(0)}, {"b", Measured(std::nullopt, "ERROR (TimeOut)")}, {"c'=|", Measured(-5 * kSecond)},
        {"d", Measured(9 * kSecond)}},
       kSecond, 10 * kSecond, PluginState::kWarning,
       "NTP WARNING: Offset -5.000000 secs (c'=|)|'offset a'=0.000000s;1.000000;10.000000; "
       "'offset c___'=-5.000000s;1.000000;10.000000; 'offset d'=9.000000s;1.000000;10.000000;"},
      {{{"a", Measured(0)}, {"b\n", Measured(std::nullopt, "ERROR (Connect)")}}, kSecond, kSecond,
       PluginState::kUnknown, "NTP UNKNOWN: Offset unknown: ERROR (Connect):0 (b )|'offset a'=0.000000s;1.000000;1.000000;"},
  };
  for (const auto& c : cases) {
    const PluginReport report = MonitoringReport(kSntp, c.checked, c.warn, c.crit);
    EXPECT_EQ(report.state, c.state) << c.line;
    EXPECT_EQ(report.line, c.line);
  }
  // TIME and DAYTIME: the server's whole seconds against the PC's reading.
  engine::Result time;
  time.status = "OK";
  time.server_utc_us = 1796677863000000;
  time.pc_utc_us = 1796677861500000;
  EXPECT_EQ(MonitoringReport(kTime, {{"t", time}}, kSecond, 2 * kSecond).line,
            "TIME WARNING: Offset 1.500000 secs|offset=1.500000s;1.000000;2.000000;");
}

}  // namespace
}  // namespace qv::cli
