// quorvel-cli's defaults from the profile, and the logs it writes beside it:
// the result log byte for byte as engine::WriteResultLog formats it, and the
// SNTP detail record with --debug.
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "cli_fixture.h"
#include "engine/result_log.h"
#include "platform/headless/headless_host.h"
#include "profile/app_state.h"

namespace qv::test {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A log with a profile of its own, written by the engine in this process.
class ReferenceLog {
 public:
  explicit ReferenceLog(const TempDir& dir) : profile_(dir.File("reference.INI")), log_(dir.File("reference.log")) {
    ui::SetHost(&host_);
  }
  ~ReferenceLog() {
    ui::SetHost(nullptr);
    profile::SetProfilePath("");
  }
  // The line for a cli run of `protocol` with the status column `column`.
  void Add(const CliRun& run, const std::string& server, int protocol, int adjust, const std::string& column) {
    profile::SetProfilePath(profile_);
    ASSERT_EQ(engine::WriteResultLog(run.Field("pc-time"), server, protocol, adjust, column,
                                     run.Field("server-time")),
              1);
  }
  std::string Bytes() const { return ReadWholeFile(log_); }

 private:
  ui::HeadlessHost host_;
  std::string profile_, log_;
};

TEST_F(CliTest, ProfileGivesDefaultsAndOptionsOverrideThem) {
  StartServers({kFixed, kSilent});
  const std::string profile = dir_.File("Quorvel.INI");
  std::ofstream(profile) << "[Property]\r\nDefaultServer=" << kFixed
                         << "\r\nprotocol=daytime\r\nTimeOut=2\r\nlogfile=1\r\n";
  const std::string log = dir_.File("Quorvel.log");

  // No options: the profile's server, protocol and log switch.
  CliRun run = RunCli({"check", "--profile", profile}, dir_);
  EXPECT_EQ(run.exit_code(), 0) << run.command.err;
  EXPECT_EQ(run.Field("server-time"), kFixedDaytimeLine);
  EXPECT_EQ(Lines(ReadWholeFile(log)).size(), 1u);

  // Its time-out too: the silent server is given up after 2 seconds.
  run = RunCli({"check", "--profile", profile, "--server", kSilent}, dir_);
  EXPECT_EQ(run.Field("status"), "ERROR (TimeOut)");
  EXPECT_GT(run.command.seconds, 1.8);
  EXPECT_LT(run.command.seconds, 2.8);
  EXPECT_EQ(Lines(ReadWholeFile(log)).size(), 2u);

  // Options win over every one of them.
  run = RunCli({"check", "--profile", profile, "--protocol", "time", "--log", "0"}, dir_);
  EXPECT_EQ(run.exit_code(), 0) << run.command.err;
  EXPECT_EQ(run.Field("server-time"), kFixedTimeText);
  run = RunCli({"check", "--profile", profile, "--server", kSilent, "--timeout", "1", "--log", "0"}, dir_);
  EXPECT_EQ(run.Field("status"), "ERROR (TimeOut)");
  EXPECT_LT(run.command.seconds, 1.8);
  EXPECT_EQ(Lines(ReadWholeFile(log)).size(), 2u);

  // A missing profile reads as defaults: TIME, 3 seconds, no log; and it
  // is not created.
  const std::string missing = dir_.File("missing.INI");
  run = RunCli({"check", "--profile", missing, "--server", kFixed}, dir_);
  EXPECT_EQ(run.exit_code(), 0) << run.command.err;
  EXPECT_EQ(run.Field("server-time"), kFixedTimeText);
  run = RunCli({"check", "--profile", missing, "--server", kSilent}, dir_);
  EXPECT_EQ(run.Field("status"), "ERROR (TimeOut)");
  EXPECT_GT(run.command.seconds, 2.8);
  EXPECT_LT(run.command.seconds, 3.8);
  EXPECT_FALSE(std::filesystem::exists(missing));
  EXPECT_FALSE(std::filesystem::exists(dir_.File("missing.log")));
}

TEST_F(CliTest, ResultLogLinesAreWhatTheEngineWrites) {
  StartServers({kPlain, kSilent, kFixed});
  const std::string profile = dir_.File("Quorvel.INI");
  ReferenceLog reference(dir_);
  const struct {
    std::string server;
    const char* protocol_word;
    int protocol;
    std::vector<std::string> more;
    const char* column;   // the status column
    const char* columns;  // protocol and mode columns
  } kCases[] = {
      {kPlain, "SNTP", 0, {}, "OK", ",    SNTP,  check, "},
      {kPlain, "time", 1, {}, "OK", ",    time,  check, "},
      {kPlain, "daytime", 2, {}, "OK", ", daytime,  check, "},
      {kNobody, "time", 1, {}, "ERROR (Connect):10061", ",    time,  check, "},
      {kSilent, "SNTP", 0, {"--timeout", "0"}, "ERROR (TimeOut):0", ",    SNTP,  check, "},
      {kFixed, "SNTP", 0, {"--reference-check", "1"}, "ERROR (SNTP: ReferenceTimestamp):Thu Feb  7 15:28:16 2036.0",
       ",    SNTP,  check, "},
  };
  for (const auto& c : kCases) {
    std::vector<std::string> args{"check", "--profile", profile, "--log", "1", "--server", c.server, "--protocol",
                                  c.protocol_word};
    args.insert(args.end(), c.more.begin(), c.more.end());
    const CliRun run = RunCli(args, dir_);
    SCOPED_TRACE(c.column);
    reference.Add(run, c.server, c.protocol, 0, c.column);
    const std::string line = Lines(ReadWholeFile(dir_.File("Quorvel.log"))).back();
    EXPECT_EQ(line, run.Field("pc-time") + ", " + c.server + c.columns + c.column + ", " + run.Field("server-time"));
  }
  EXPECT_EQ(ReadWholeFile(dir_.File("Quorvel.log")), reference.Bytes());
  // No detail record without --debug.
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Quorvel.sntp.log")));
}

TEST_F(CliTest, DebugWritesTheSntpDetailRecord) {
  StartServers({kOffset2});
  const std::string profile = dir_.File("Quorvel.INI");
  // TIME and DAYTIME exchanges have no record.
  EXPECT_EQ(RunCli({"check", "--profile", profile, "--server", kOffset2, "--debug"}, dir_).exit_code(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("Quorvel.sntp.log")));

  const CliRun run =
      RunCli({"check", "--profile", profile, "--server", kOffset2, "--protocol", "SNTP", "--debug"}, dir_);
  ASSERT_EQ(run.exit_code(), 0) << run.command.err;
  const std::vector<std::string> lines = Lines(ReadWholeFile(dir_.File("Quorvel.sntp.log")));
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], kOffset2);
  // Reference, originate, receive, transmit, arrival: "%a %b %d %Y %H:%M:%S.%06u".
  const std::regex stamp(R"(([A-Z][a-z]{2} [A-Z][a-z]{2} \d\d) (\d{4}) (\d\d:\d\d:\d\d)\.\d{6})");
  for (std::size_t i = 1; i < 6; ++i) EXPECT_TRUE(std::regex_match(lines[i], stamp)) << lines[i];
  // The transmit time is the server time the check printed.
  std::smatch m;
  ASSERT_TRUE(std::regex_match(lines[4], m, stamp));
  EXPECT_EQ(m[1].str() + " " + m[3].str() + " " + m[2].str(), run.Field("server-time"));
}

}  // namespace
}  // namespace qv::test
