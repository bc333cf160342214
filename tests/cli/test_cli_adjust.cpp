// quorvel-cli adjust, run only as an unprivileged user: the system refuses
// to set the clock, and the cli must say so ("ERROR (localtime-set)"), exit
// 1 and log the attempt.
//
// This machine's clock must never be set by a test. So `adjust` is started
// only through Unprivileged below: setpriv to uid/gid 65534 without groups,
// with no capabilities in any set (bounding set included) and no_new_privs,
// so that nothing it executes can gain CAP_SYS_TIME. Before the first run the
// same wrapper runs a probe that must show exactly that identity; when the
// probe cannot show it (setpriv missing, not root, another kernel view), the
// tests skip instead of running adjust.
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace qv::test {
namespace {

class Unprivileged {
 public:
  // The wrapper, proven to drop every privilege; nullopt with the reason
  // when it cannot be proven.
  static std::optional<Unprivileged> Prove(const TempDir& dir, std::string& why) {
    const std::string setpriv = QV_SETPRIV_PATH;
    if (setpriv.empty() || !std::filesystem::exists(setpriv)) {
      why = "setpriv is not installed";
      return std::nullopt;
    }
    Unprivileged wrapper(setpriv);
    std::vector<std::string> probe = wrapper.prefix_;
    probe.insert(probe.end(), {"/bin/sh", "-c",
                               "id -u; id -g; id -G; grep -E '^(Cap(Inh|Prm|Eff|Bnd|Amb)|NoNewPrivs):' /proc/self/status"});
    const CommandResult seen = RunCapture(probe, dir.File("probe"));
    const std::string zero = "\t0000000000000000\n";
    const std::string expected = "65534\n65534\n65534\nCapInh:" + zero + "CapPrm:" + zero + "CapEff:" + zero +
                                 "CapBnd:" + zero + "CapAmb:" + zero + "NoNewPrivs:\t1\n";
    if (seen.exit_code != 0 || seen.out != expected) {
      why = "cannot prove the dropped identity (exit " + std::to_string(seen.exit_code) + "): " + seen.out + seen.err;
      return std::nullopt;
    }
    std::vector<std::string> reach = wrapper.prefix_;
    reach.insert(reach.end(), {QV_CLI_PATH, "--help"});
    if (RunCapture(reach, dir.File("reach")).exit_code != 0) {
      why = "user 65534 cannot run " QV_CLI_PATH;
      return std::nullopt;
    }
    return wrapper;
  }

  // quorvel-cli adjust `args`, as that user; the only way this file runs it.
  CliRun Adjust(const std::vector<std::string>& args, const TempDir& dir) const {
    std::vector<std::string> cli_args{"adjust"};
    cli_args.insert(cli_args.end(), args.begin(), args.end());
    return RunCli(cli_args, dir, prefix_);
  }

 private:
  explicit Unprivileged(const std::string& setpriv)
      : prefix_{setpriv,          "--reuid=65534",      "--regid=65534",  "--clear-groups",
                "--no-new-privs", "--bounding-set=-all", "--inh-caps=-all", "--ambient-caps=-all"} {}

  std::vector<std::string> prefix_;
};

// The system clock's distance from the monotonic clock: a jump of the clock
// shows as a change of it.
double ClockSkew() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count() -
         duration<double>(steady_clock::now().time_since_epoch()).count();
}

TEST_F(CliTest, AdjustAsUnprivilegedUserIsRefused) {
  std::string why;
  const std::optional<Unprivileged> nobody = Unprivileged::Prove(dir_, why);
  if (!nobody) GTEST_SKIP() << why;
  StartServers({kOffset2, kPlain, kFixed});
  // The profile's folder must take the log that user writes.
  std::filesystem::permissions(dir_.Path(), std::filesystem::perms::all);
  const std::string profile = dir_.File("Quorvel.INI");
  const std::string log = dir_.File("Quorvel.log");

  const struct {
    const std::string& server;
    const char* protocol;
    const char* detail;
    const char* log_columns;  // protocol, mode and status columns
  } kCases[] = {
      {kOffset2, "SNTP", "", ",    SNTP, adjust, ERROR (localtime-set), "},
      {kPlain, "time", "0", ",    time, adjust, ERROR (localtime-set):0, "},
      {kFixed, "daytime", "0", ", daytime, adjust, ERROR (localtime-set):0, "},
  };
  std::string expected_log;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.protocol);
    const double skew = ClockSkew();
    const CliRun run = nobody->Adjust({"--profile", profile, "--log", "1", "--server", c.server, "--protocol",
                                       c.protocol},
                                      dir_);
    EXPECT_NEAR(ClockSkew(), skew, 0.5);
    EXPECT_EQ(run.exit_code(), 1) << run.command.err;
    EXPECT_EQ(run.Field("status"), "ERROR (localtime-set)");
    EXPECT_EQ(run.Field("detail"), c.detail);
    // SNTP: no new time was set, so none is shown; TIME and DAYTIME show
    // the server's text they tried to set.
    const std::string server_time = run.Field("server-time");
    const std::string protocol = c.protocol;
    if (protocol == "SNTP") {
      EXPECT_EQ(server_time, "");
    } else if (protocol == "daytime") {
      EXPECT_EQ(server_time, kFixedDaytimeLine);
    } else {
      EXPECT_FALSE(server_time.empty());
    }
    expected_log += run.Field("pc-time") + ", " + c.server + c.log_columns + server_time + "\n";
  }
  EXPECT_EQ(ReadWholeFile(log), expected_log);
}

}  // namespace
}  // namespace qv::test
