// quorvel-cli adjust, only ever as an unprivileged user: the system refuses
// to set the clock, and the cli says so, exits 1 and logs the attempt.
//
// The wrapper drops to uid/gid 65534 without groups, clears every
// capability set (bounding set included) and sets no_new_privs, so nothing
// it runs can gain CAP_SYS_TIME. A probe through the same wrapper must show
// exactly that before adjust runs; when it cannot, the test skips.
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "cli_fixture.h"

namespace qv::test {
namespace {

class Unprivileged {
 public:
  static std::optional<Unprivileged> Prove(const std::string& scratch, std::string& why) {
    const Unprivileged wrapper;
    if (!std::filesystem::exists(QV_SETPRIV_PATH)) {
      why = "setpriv is not installed";
      return std::nullopt;
    }
    std::vector<std::string> probe = wrapper.prefix_;
    probe.insert(probe.end(), {"/bin/grep", "-E", "^(Uid|Gid|Groups|Cap...|NoNewPrivs):", "/proc/self/status"});
    const CommandResult seen = RunCapture(probe, scratch);
    const std::string ids = "\t65534\t65534\t65534\t65534\n", none = "\t0000000000000000\n";
    if (seen.exit_code != 0 || seen.out != "Uid:" + ids + "Gid:" + ids + "Groups:\t \nCapInh:" + none + "CapPrm:" +
                                               none + "CapEff:" + none + "CapBnd:" + none + "CapAmb:" + none +
                                               "NoNewPrivs:\t1\n") {
      why = "cannot prove the dropped identity: " + seen.out + seen.err;
      return std::nullopt;
    }
    return wrapper;
  }

  CliRun Adjust(const std::string& scratch, std::vector<std::string> args) const {
    args.insert(args.begin(), "adjust");
    return RunCli(scratch, args, prefix_);
  }

 private:
  Unprivileged() = default;
  const std::vector<std::string> prefix_{QV_SETPRIV_PATH, "--reuid=65534",       "--regid=65534",  "--clear-groups",
                                         "--no-new-privs", "--bounding-set=-all", "--inh-caps=-all",
                                         "--ambient-caps=-all"};
};

// The system clock less the monotonic one: a clock jump changes it.
double ClockSkew() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch() - steady_clock::now().time_since_epoch()).count();
}

TEST_F(CliTest, AdjustAsUnprivilegedUserIsRefused) {
  std::string why;
  const std::optional<Unprivileged> nobody = Unprivileged::Prove(File("probe"), why);
  if (!nobody) GTEST_SKIP() << why;
  std::filesystem::permissions(dir_.path(), std::filesystem::perms::all);  // that user writes the log here
  const struct {
    const char *protocol, *columns;  // columns: protocol, mode and status in the log
  } kCases[] = {{"SNTP", ",    SNTP, adjust, ERROR (localtime-set), "},
                {"time", ",    time, adjust, ERROR (localtime-set):0, "},
                {"daytime", ", daytime, adjust, ERROR (localtime-set):0, "}};
  const std::string plain = Address(servers::cli_plain);
  std::string expected_log;
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.protocol);
    const double skew = ClockSkew();
    // The plain server: were the clock ever set, it would get the time it has.
    const CliRun run = nobody->Adjust(
        File("run"), {"--profile", File("Quorvel.INI"), "--log", "1", "--server", plain, "--protocol", c.protocol});
    EXPECT_NEAR(ClockSkew(), skew, 0.5);
    EXPECT_EQ(run.command.exit_code, 1) << run.command.err;
    EXPECT_EQ(run.Field("status"), "ERROR (localtime-set)");
    // Why, and on stderr what to do about it; the log keeps its form.
    EXPECT_EQ(run.Field("detail"), "no right to set the clock, and no time service installed");
    EXPECT_NE(run.command.err.find("setcap cap_sys_time+ep '" + std::string(QV_CLI_PATH) + "'"), std::string::npos)
        << run.command.err;
    // SNTP shows no new time, as none was set, but the offset it measured;
    // TIME and DAYTIME the text they tried.
    const bool sntp = std::string(c.protocol) == "SNTP";
    EXPECT_EQ(run.Field("server-time").empty(), sntp) << run.Field("server-time");
    EXPECT_EQ(run.names.back(), sntp ? "offset" : "pc-time");
    if (sntp) {
      EXPECT_LT(std::abs(std::atof(run.Field("offset").c_str())), 0.01);
    }
    expected_log += run.Field("pc-time") + ", " + plain + c.columns + run.Field("server-time") + "\n";
  }
  EXPECT_EQ(ReadWholeFile(File("Quorvel.log")), expected_log);
}

// Nobody to confirm a large step: refused before the clock is asked.
TEST_F(CliTest, StepBeyondTheLimitIsRefused) {
  std::string why;
  const std::optional<Unprivileged> nobody = Unprivileged::Prove(File("probe"), why);
  if (!nobody) GTEST_SKIP() << why;
  const double skew = ClockSkew();
  const CliRun run = nobody->Adjust(File("run"), {"--profile", File("Quorvel.INI"), "--server",
                                                  Address(servers::cli_offset), "--protocol", "SNTP", "--max-offset", "1"});
  EXPECT_NEAR(ClockSkew(), skew, 0.5);
  EXPECT_EQ(run.command.exit_code, 1);
  EXPECT_EQ(run.Field("status"), "ERROR (OffsetGuard)");
  EXPECT_EQ(run.Field("detail").rfind("step of +2.", 0), 0u) << run.Field("detail");
}

}  // namespace
}  // namespace qv::test
