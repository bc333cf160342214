// quorvel-cli check: what it prints and how it exits, for answers and for
// each failure stage that loopback can produce.
#include <cmath>
#include <regex>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace qv::test {
namespace {

// "Sun Dec 06 19:10:19 2026": the PC time text.
const std::regex kPcTime(R"([A-Z][a-z]{2} [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d \d{4})");

TEST_F(CliTest, SntpOffsetAgainstOffsetAndPlainServer) {
  StartServers({kOffset2, kPlain});
  const struct {
    const std::string& server;
    double offset;
  } kCases[] = {{kOffset2, 2.0}, {kPlain, 0.0}};
  for (const auto& c : kCases) {
    const CliRun run = RunCli({"check", "--protocol", "SNTP", "--server", c.server, "--profile", dir_.File("q.INI")},
                              dir_);
    EXPECT_EQ(run.exit_code(), 0) << run.command.err;
    EXPECT_EQ(run.names, (std::vector<std::string>{"status", "detail", "server-time", "pc-time", "offset"}));
    EXPECT_EQ(run.Field("status"), "OK");
    EXPECT_EQ(run.Field("detail"), "");
    EXPECT_TRUE(std::regex_match(run.Field("server-time"), kPcTime)) << run.Field("server-time");
    EXPECT_TRUE(std::regex_match(run.Field("pc-time"), kPcTime)) << run.Field("pc-time");
    // Printed as "%+.6f".
    const std::string offset = run.Field("offset");
    EXPECT_TRUE(std::regex_match(offset, std::regex(R"([+-]\d+\.\d{6})"))) << offset;
    EXPECT_NEAR(std::atof(offset.c_str()), c.offset, 0.001) << c.server;
  }
}

TEST_F(CliTest, EachLoopbackFailureStage) {
  StartServers({kSilent, kLongAndClose, kShort, kWrongOriginate, kFixed});
  const struct {
    std::vector<std::string> args;
    const char* status;
    const char* detail;
  } kCases[] = {
      {{"--server", kSilent, "--protocol", "SNTP", "--timeout", "1"}, "ERROR (TimeOut)", "0"},
      {{"--server", kSilent, "--protocol", "time", "--timeout", "0"}, "ERROR (TimeOut)", "0"},
      {{"--server", kNobody, "--protocol", "time"}, "ERROR (Connect)", "10061"},
      {{"--server", kNobody, "--protocol", "daytime"}, "ERROR (Connect)", "10061"},
      {{"--server", kLongAndClose, "--protocol", "SNTP"}, "ERROR (Recv)", "10040"},
      {{"--server", kShort, "--protocol", "SNTP"}, "ERROR (RecvPacket)", "0"},
      {{"--server", kWrongOriginate, "--protocol", "SNTP"}, "ERROR (SNTP:IncorrectPacket)", "0"},
      {{"--server", kLongAndClose, "--protocol", "time"}, "ERROR (TIME:IncorrectPacket)", "0"},
      {{"--server", kFixed, "--protocol", "SNTP", "--reference-check", "1"}, "ERROR (SNTP: ReferenceTimestamp)",
       kZeroReferenceText},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args{"check", "--profile", dir_.File("q.INI"), "--timeout", "3"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = RunCli(args, dir_);
    SCOPED_TRACE(c.args[1] + " " + c.args[3]);
    EXPECT_EQ(run.exit_code(), 1) << run.command.err;
    EXPECT_EQ(run.names, (std::vector<std::string>{"status", "detail", "server-time", "pc-time"}));
    EXPECT_EQ(run.Field("status"), c.status);
    EXPECT_EQ(run.Field("detail"), c.detail);
    EXPECT_EQ(run.Field("server-time"), "");
    EXPECT_TRUE(std::regex_match(run.Field("pc-time"), kPcTime)) << run.Field("pc-time");
    // Only the silent server makes anyone wait, and only as long as asked.
    EXPECT_LT(run.command.seconds, c.args[1] == kSilent ? 2.0 : 1.0);
  }

  // The same reference passes with the check off.
  const CliRun run = RunCli({"check", "--profile", dir_.File("q.INI"), "--server", kFixed, "--protocol", "SNTP",
                             "--reference-check", "0"},
                            dir_);
  EXPECT_EQ(run.exit_code(), 0);
  EXPECT_EQ(run.Field("status"), "OK");
}

TEST_F(CliTest, UsageErrorsExitTwoWithMessage) {
  const std::string profile = dir_.File("q.INI");
  const std::vector<std::vector<std::string>> kCases = {
      {},
      {"sync"},
      {"check", "--timeout", "soon"},
      {"check", "--timeout", "-1"},
      {"check", "--protocol", "ntp"},
      {"check", "--protocol", "sntp"},
      {"check", "--log", "2"},
      {"check", "--reference-hours", "25"},
      {"check", "--server"},
      {"check", "--server="},
      {"adjust", "--frobnicate", "1"},
      // Neither option nor profile names a server.
      {"check", "--profile", profile},
      {"adjust", "--profile", profile},
  };
  for (const auto& args : kCases) {
    const CliRun run = RunCli(args, dir_);
    SCOPED_TRACE(args.empty() ? "(no arguments)" : args.back());
    EXPECT_EQ(run.exit_code(), 2);
    EXPECT_EQ(run.command.out, "");
    EXPECT_EQ(run.command.err.rfind("quorvel-cli: ", 0), 0u) << run.command.err;
  }
  EXPECT_FALSE(std::filesystem::exists(profile));

  const CliRun help = RunCli({"--help"}, dir_);
  EXPECT_EQ(help.exit_code(), 0);
  EXPECT_EQ(help.command.out.rfind("usage: quorvel-cli ", 0), 0u) << help.command.out;
}

}  // namespace
}  // namespace qv::test
