// quorvel-cli for monitoring: several servers in one run, one JSON object
// per result read back by a JSON parser (Python's) against the fields'
// types, and the plugin status line with its exit status.
#include <regex>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace qv::test {
namespace {

// Reads every line of stdin as JSON and checks each field's type; prints
// one line per object: server, address, status, and whether the SNTP
// fields are there.
constexpr const char* kSchemaCheck = R"PY(
import json, re, sys
iso = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{6}Z$")
fields = ["server", "address", "protocol", "mode", "status", "detail", "server_text", "server_time",
          "pc_time", "offset", "round_trip", "stratum", "reference_id", "authenticated"]
for line in sys.stdin.read().splitlines():
    o = json.loads(line)
    assert list(o) == fields, list(o)
    for k in ["server", "protocol", "mode", "status", "detail", "server_text"]:
        assert isinstance(o[k], str), k
    assert o["address"] is None or isinstance(o["address"], str)
    for k in ["server_time", "pc_time"]:
        assert o[k] is None or iso.match(o[k]), (k, o[k])
    for k in ["offset", "round_trip"]:
        assert o[k] is None or type(o[k]) in (int, float), k
    assert o["stratum"] is None or type(o["stratum"]) is int
    assert o["reference_id"] is None or isinstance(o["reference_id"], str)
    assert type(o["authenticated"]) is bool
    sntp = [o[k] is not None for k in ["offset", "round_trip", "stratum", "reference_id"]]
    assert all(sntp) or not any(sntp), sntp
    print("|".join([o["server"], str(o["address"]), o["status"], "sntp" if all(sntp) else "-"]))
)PY";

TEST_F(CliTest, JsonLinesOverIpv4AndIpv6) {
  if (std::string(QV_PYTHON).empty()) GTEST_SKIP() << "no python3 to read the JSON with";
  const std::string plain = Address(servers::cli_plain);
  const CliRun run = Cli({"check", "--profile", File("q.INI"), "--protocol", "SNTP", "--timeout", "1", "--json",
                          "--server", "::1", "--server", plain, "--server", "[::1]", "--server", kNobody});
  EXPECT_EQ(run.command.exit_code, 1) << run.command.err;  // one of them failed
  std::ofstream(File("out.json")) << run.command.out;
  const CommandResult parsed = RunCapture({"sh", "-c", std::string(QV_PYTHON) + " -c \"$0\" < \"$1\"", kSchemaCheck,
                                           File("out.json")},
                                          File("py"));
  ASSERT_EQ(parsed.exit_code, 0) << parsed.err << run.command.out;
  EXPECT_EQ(parsed.out, "::1|::1|OK|sntp\n" + plain + "|" + plain + "|OK|sntp\n[::1]|::1|OK|sntp\n" + kNobody + "|" +
                            kNobody + "|ERROR (Recv)|-\n");
  // ::1 is cli_offset's, 2 s ahead: the offset exact from integers.
  std::smatch offset;
  ASSERT_TRUE(std::regex_search(run.command.out, offset, std::regex(R"("offset":(\d+\.\d{9}),)"))) << run.command.out;
  EXPECT_NEAR(std::stod(offset[1]), 2.0, 0.05);
  // TIME has no SNTP fields.
  const CliRun time = Cli({"check", "--profile", File("q.INI"), "--protocol", "time", "--json", "--server", "::1"});
  EXPECT_EQ(time.command.exit_code, 0);
  EXPECT_NE(time.command.out.find(R"("offset":null,"round_trip":null,"stratum":null,"reference_id":null,"authenticated":false})"),
            std::string::npos)
      << time.command.out;
}

TEST_F(CliTest, ThresholdsGiveOneStatusLineAndTheExitStatus) {
  const std::string offset = Address(servers::cli_offset), plain = Address(servers::cli_plain),
                    silent = Address(servers::cli_silent);
  const std::string number = R"(-?\d+\.\d{6})";
  const struct {
    std::vector<std::string> args;
    int exit_code;
    std::string line;  // a pattern
  } kCases[] = {
      {{"--server", plain, "--warn", "1", "--crit", "3"}, 0,
       "NTP OK: Offset " + number + " secs\\|offset=" + number + "s;1\\.000000;3\\.000000;"},
      {{"--server", offset, "--warn", "1", "--crit", "3"}, 1, "NTP WARNING: Offset [12]\\.\\d{6} secs\\|offset=.*"},
      {{"--server", "::1", "--warn", "0.5", "--crit", "1.5"}, 2, "NTP CRITICAL: Offset [12]\\.\\d{6} secs\\|.*"},
      {{"--server", silent, "--warn", "1", "--crit", "3"}, 3, "NTP UNKNOWN: Offset unknown: ERROR \\(TimeOut\\):0\\|"},
      // Several: the worst state, the server that has it, every offset.
      {{"--server", plain, "--server", silent, "--server", offset, "--warn", "1", "--crit", "3"}, 1,
       "NTP WARNING: Offset [12]\\.\\d{6} secs \\(" + offset + "\\)\\|'offset " + plain + "'=" + number +
           "s;1\\.000000;3\\.000000; 'offset " + offset + "'=" + number + "s;1\\.000000;3\\.000000;"},
      {{"--protocol", "time", "--server", plain, "--crit", "5"}, 0, "TIME OK: Offset " + number + " secs\\|.*"},
  };
  // A usage error is UNKNOWN to a monitor, not CRITICAL.
  EXPECT_EQ(Cli({"check", "--profile", File("q.INI"), "--warn", "soon"}).command.exit_code, 3);
  EXPECT_EQ(Cli({"check", "--profile", File("q.INI"), "--warn", "1"}).command.exit_code, 3);  // no server
  for (const auto& c : kCases) {
    std::vector<std::string> args{"check", "--profile", File("q.INI"), "--protocol", "SNTP", "--timeout", "1"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = Cli(args);
    SCOPED_TRACE(c.line);
    EXPECT_EQ(run.command.exit_code, c.exit_code) << run.command.err;
    EXPECT_TRUE(std::regex_match(run.command.out, std::regex(c.line + "\n"))) << run.command.out;
  }
}

}  // namespace
}  // namespace qv::test
