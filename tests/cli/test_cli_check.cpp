// quorvel-cli check: the offset it prints, the engine's failures carried to
// its lines and exit code, its defaults from the profile, and the logs it
// writes beside the profile.
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace qv::test {
namespace {

const std::regex kPcTime(R"([A-Z][a-z]{2} [A-Z][a-z]{2} \d\d \d\d:\d\d:\d\d \d{4})");

TEST_F(CliTest, SntpOffsetAgainstOffsetAndPlainServer) {
  for (const auto& [server, offset] : {std::pair{Address(servers::cli_offset), 2.0}, std::pair{Address(servers::cli_plain), 0.0}}) {
    const CliRun run = Cli({"check", "--protocol", "SNTP", "--server", server, "--profile", File("q.INI")});
    EXPECT_EQ(run.command.exit_code, 0) << run.command.err;
    EXPECT_EQ(run.names, (std::vector<std::string>{"status", "detail", "server-time", "pc-time", "offset"}));
    EXPECT_EQ(run.Field("status"), "OK");
    EXPECT_TRUE(std::regex_match(run.Field("server-time"), kPcTime)) << run.Field("server-time");
    EXPECT_TRUE(std::regex_match(run.Field("offset"), std::regex(R"([+-]\d+\.\d{6})"))) << run.Field("offset");
    // Within what a loaded machine (or a sanitized build) adds to one path:
    // the offset is measured, not its precision (the benchmark does that).
    EXPECT_NEAR(std::atof(run.Field("offset").c_str()), offset, 0.05) << server;
  }
}

// A failure's lines and exit code (every stage and its text: the engine's
// tests).
TEST_F(CliTest, LoopbackFailuresPrintTheirStage) {
  const struct {
    std::string server;
    const char *protocol, *status, *detail;
  } kCases[] = {
      {Address(servers::cli_silent), "SNTP", "ERROR (TimeOut)", "0"},
      {test::kNobody, "time", "ERROR (Connect)", "10061"},
      {Address(servers::cli_fixed), "SNTP", "ERROR (SNTP: ReferenceTimestamp)", "Thu Feb  7 15:28:16 2036.0"},  // reference 0
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.status);
    const CliRun run = Cli({"check", "--profile", File("q.INI"), "--timeout", "1", "--reference-check", "1",
                            "--server", c.server, "--protocol", c.protocol});
    EXPECT_EQ(run.command.exit_code, 1) << run.command.err;
    EXPECT_EQ(run.names, (std::vector<std::string>{"status", "detail", "server-time", "pc-time"}));
    EXPECT_EQ(run.Field("status"), c.status);
    EXPECT_EQ(run.Field("detail"), c.detail);
    EXPECT_EQ(run.Field("server-time"), "");
    EXPECT_TRUE(std::regex_match(run.Field("pc-time"), kPcTime)) << run.Field("pc-time");
  }
  EXPECT_EQ(Cli({"check", "--profile", File("q.INI"), "--reference-check", "0", "--server", Address(servers::cli_fixed),
                 "--protocol", "SNTP"}).Field("status"),
            "OK");
}

// Section "Options" of the profile, and the flags that override it.
TEST_F(CliTest, FurtherServersByProfileOrFlag) {
  const std::string plain = Address(servers::cli_plain), ahead = Address(servers::cli_offset);
  std::ofstream(File("q.INI")) << "[Servers]\n" << test::kNobody << "\n" << plain << "\n" << ahead
                               << "\n[Options]\nFallback=1\n";
  const struct {
    std::vector<std::string> flags;
    const char *status, *answered_by, *asked;
  } kCases[] = {
      {{}, "OK", plain.c_str(), "ERROR (Recv):10054"},
      // The down default replaced; the first two answers differ by 2 s.
      {{"--agreement", "1"}, "ERROR (Agreement)", test::kNobody.c_str(), "OK"},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args{"check", "--profile", File("q.INI"), "--server", test::kNobody, "--protocol", "SNTP"};
    args.insert(args.end(), c.flags.begin(), c.flags.end());
    const CliRun run = Cli(args);
    EXPECT_EQ(run.Field("status"), c.status) << run.command.out;
    EXPECT_EQ(run.Field("answered-by"), c.answered_by);
    EXPECT_EQ(run.Field("asked").substr(run.Field("asked").find(' ') + 1), c.asked);
    EXPECT_EQ(run.command.exit_code, std::string(c.status) == "OK" ? 0 : 1);
  }
}

TEST_F(CliTest, UsageErrorsExitTwoWithMessage) {
  const std::string profile = File("q.INI");
  // Each option's own message: CliArgs. Then no server from option or profile,
  // and NTS asked for a protocol that has none.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {}, {"sync"}, {"check", "--timeout", "soon"}, {"check", "--profile", profile},
           {"check", "--profile", profile, "--server", "x", "--protocol", "time", "--nts"}}) {
    const CliRun run = Cli(args);
    SCOPED_TRACE(args.empty() ? "(no arguments)" : args.back());
    EXPECT_EQ(run.command.exit_code, 2);
    EXPECT_EQ(run.command.out, "");
    EXPECT_EQ(run.command.err.rfind("quorvel-cli: ", 0), 0u) << run.command.err;
  }
  EXPECT_FALSE(std::filesystem::exists(profile));
}

// The profile's server, protocol, time-out and log switch, each overridden
// by its option; the result log byte for byte, column widths included.
TEST_F(CliTest, ProfileGivesDefaultsAndOptionsOverrideThem) {
  const std::string profile = File("Quorvel.INI"), fixed = Address(servers::cli_fixed),
                    silent = Address(servers::cli_silent);
  std::ofstream(profile) << "[Property]\r\nDefaultServer=" << fixed
                         << "\r\nprotocol=daytime\r\nTimeOut=2\r\nlogfile=1\r\n";
  CliRun run = Cli({"check", "--profile", profile});
  EXPECT_EQ(run.Field("server-time"), kFixedDaytimeLine);
  std::string log = run.Field("pc-time") + ", " + fixed + ", daytime,  check, OK, " + kFixedDaytimeLine + "\n";
  run = Cli({"check", "--profile", profile, "--server", silent});
  EXPECT_EQ(run.Field("status"), "ERROR (TimeOut)");
  EXPECT_GT(run.command.seconds, 1.8);
  EXPECT_LT(run.command.seconds, 2.8);
  log += run.Field("pc-time") + ", " + silent + ", daytime,  check, ERROR (TimeOut):0, \n";

  EXPECT_EQ(Cli({"check", "--profile", profile, "--protocol", "time", "--log", "0"}).Field("server-time"),
            kFixedTimeText);
  run = Cli({"check", "--profile", profile, "--server", silent, "--timeout", "1", "--log", "0"});
  EXPECT_LT(run.command.seconds, 1.8);
  EXPECT_EQ(ReadWholeFile(File("Quorvel.log")), log);
  EXPECT_FALSE(std::filesystem::exists(File("Quorvel.sntp.log")));  // that one only with --debug

  // A missing profile reads as defaults (TIME, no log) and is not created.
  const std::string missing = File("missing.INI");
  EXPECT_EQ(Cli({"check", "--profile", missing, "--server", fixed}).Field("server-time"), kFixedTimeText);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(std::filesystem::exists(File("missing.log")));
}

TEST_F(CliTest, DebugWritesTheSntpDetailRecord) {
  const CliRun run =
      Cli({"check", "--profile", File("Quorvel.INI"), "--server", Address(servers::cli_offset), "--protocol", "SNTP",
           "--debug"});
  ASSERT_EQ(run.command.exit_code, 0) << run.command.err;
  // The server, then reference, originate, receive, transmit and arrival
  // time; the transmit time is the server time the check printed.
  const std::string record = ReadWholeFile(File("Quorvel.sntp.log"));
  const std::string t = R"(([A-Z][a-z]{2} [A-Z][a-z]{2} \d\d) (\d{4}) (\d\d:\d\d:\d\d)\.\d{6}\n)";
  std::smatch m;
  const std::regex shape(Address(servers::cli_offset) + "\n" + t + t + t + t + t);
  ASSERT_TRUE(std::regex_match(record, m, shape)) << record;
  EXPECT_EQ(m[10].str() + " " + m[12].str() + " " + m[11].str(), run.Field("server-time"));
}

// Ctrl-C (SIGINT) is the runner's Cancel button: the query ends at once,
// as cancelled.
TEST_F(CliTest, InterruptCancelsTheQuery) {
  const std::string line = ShellLine({QV_CLI_PATH, "check", "--profile", File("q.INI"), "--server",
                                      Address(servers::cli_silent), "--protocol", "SNTP", "--timeout", "30"});
  const CommandResult run =
      RunCapture({"sh", "-c", line + "& pid=$!; sleep 0.5; kill -INT $pid; wait $pid"}, File("run"));
  EXPECT_EQ(run.exit_code, 1) << run.err;
  EXPECT_NE(run.out.find("status: ERROR (UserCancelled)\n"), std::string::npos) << run.out;
  EXPECT_LT(run.seconds, 5);
}

// A log that cannot be written is said on stderr, and the exit status tells
// it from a failed query.
TEST_F(CliTest, LogFailuresAreReported) {
  std::filesystem::create_symlink("/dev/full", File("full.log"));
  std::filesystem::create_directory(File("dir.sntp.log"));
  const struct {
    std::vector<std::string> args;
    int exit_code;
    const char* err;
  } kCases[] = {
      {{"--profile", File("full.INI"), "--log", "1"}, 3, "could not write the result log"},
      {{"--profile", File("missing/q.INI"), "--log", "1"}, 3, "Can not open the logfile: result log"},
      {{"--profile", File("dir.INI"), "--debug"}, 3, "Can not open the logfile: SNTP detail log"},
      {{"--profile", File("full.INI"), "--log", "1", "--timeout", "0", "--server", Address(servers::cli_silent)}, 1,
       "could not write the result log"},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args{"check", "--server", Address(servers::cli_plain), "--protocol", "SNTP"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const CliRun run = Cli(args);
    SCOPED_TRACE(run.command.err);
    EXPECT_EQ(run.command.exit_code, c.exit_code);
    EXPECT_NE(run.command.err.find(c.err), std::string::npos);
    EXPECT_EQ(run.Field("status"), c.exit_code == 3 ? "OK" : "ERROR (TimeOut)");
  }
}

}  // namespace
}  // namespace qv::test
