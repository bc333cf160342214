// The engine against real peers on loopback: chronyd for SNTP,
// inetutils-inetd's and xinetd's built-in TIME and DAYTIME services; and our
// own qv-timeserver against an independent client, rdate.
//
// chronyd runs with -x (it never adjusts the clock) and, in addition,
// without CAP_SYS_TIME in its capability bounding set, so that even a
// mistake in its configuration could not set this machine's time. Either
// peer missing: the test is skipped. The Windows build finds both started by
// ctest fixtures (tests/engine/CMakeLists.txt); xinetd and rdate are tried
// in the native build only. xinetd is not installed but unpacked by
// tools/setup-deps (it conflicts with inetutils-inetd as a package).
// Peers that print times run with TZ=UTC so that their texts can be
// checked against this machine's clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "engine/adjust.h"
#include "engine/query_job.h"
#include "engine/query_server_time.h"
#include "engine/run_query.h"
#include "engine/sntp.h"
#include "engine/time_text.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "support/fake_clock.h"
#include "support/timeserver_fixture.h"

#ifndef QV_XINETD_PATH
#define QV_XINETD_PATH "/opt/qv-xinetd/usr/sbin/xinetd"
#endif

namespace qv::engine {
namespace {

constexpr int kChronySlot = 25;
constexpr int kInetdSlot = 26;
constexpr int kXinetdSlot = 27;
constexpr int kRdateSlot = 28;

const int kNetStarted = platform::NetStartup();

double Seconds(MicroTime t) { return t.seconds + t.micros * 1e-6; }

// `format` applied to a UTC second, in the C locale. "%e" (the day padded
// with a blank) is done here: the Windows C runtime does not know it.
std::string FormatUtc(std::int64_t unix_seconds, const char* format) {
  const std::time_t t = static_cast<std::time_t>(unix_seconds);
  const std::tm* broken = std::gmtime(&t);
  std::string pattern = format;
  if (const std::size_t at = pattern.find("%e"); at != std::string::npos) {
    char day[8];
    std::snprintf(day, sizeof day, "%2d", broken->tm_mday);
    pattern.replace(at, 2, day);
  }
  char text[128] = {};
  std::strftime(text, sizeof text, pattern.c_str(), broken);
  return text;
}

// Whether `text` is `format` of some second from `first` to `last`.
bool IsTimeBetween(const std::string& text, std::int64_t first, std::int64_t last, const char* format,
                   bool upper = false) {
  for (std::int64_t s = first; s <= last; ++s) {
    std::string expected = FormatUtc(s, format);
    if (upper) std::transform(expected.begin(), expected.end(), expected.begin(), [](unsigned char c) {
      return static_cast<char>(std::toupper(c));
    });
    if (text == expected) return true;
  }
  return false;
}

// A peer daemon named by its pidfile in the state directory.
class Peer {
 public:
  Peer(std::string name, std::string comm) : name_(std::move(name)), comm_(std::move(comm)) {}
  ~Peer() {
#ifndef QV_TIMESERVER_EXTERNAL
    if (started_) test::RunCommand({QV_TIMESERVER_PATH, "--stop", test::PidfilePath(name_), "--comm", comm_});
#endif
  }

  // Native: starts the daemon with `command` (after writing `config`). Both
  // builds: false with a reason when the peer is not there to test.
  bool Start(const std::vector<std::string>& programs, const std::string& config,
             const std::vector<std::string>& command, std::string& reason) {
#ifdef QV_TIMESERVER_EXTERNAL
    (void)programs, (void)config, (void)command;
    std::vector<std::string> lines;
    if (test::ReadPidfile(test::PidfilePath(name_), lines)) return true;
    reason = name_ + " was not started by a ctest fixture (peer missing on the build machine?)";
    return false;
#else
    for (const std::string& program : programs) {
      if (!std::filesystem::exists(program)) {
        reason = program + " is not installed";
        return false;
      }
    }
    std::filesystem::create_directories(Dir());
    std::ofstream(ConfigPath()) << config;
    test::RunCommand({QV_TIMESERVER_PATH, "--stop", test::PidfilePath(name_), "--comm", comm_});
    started_ = test::RunCommand(command);
    if (!started_) reason = "could not start " + name_;
    return started_;
#endif
  }

  std::string Dir() const { return std::string(QV_TIMESERVER_STATE_DIR) + "/" + name_; }
  std::string ConfigPath() const { return Dir() + "/" + name_ + ".conf"; }

 private:
  std::string name_;
  std::string comm_;
  bool started_ = false;
};

// Retries until the daemon answers (it binds a moment after it detaches).
template <typename Query>
bool Eventually(Query query) {
  for (int i = 0; i < 50; ++i) {
    if (query()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return false;
}

class InteropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kNetStarted, 0);
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    SetQueryRunner([](QueryJob& job) {
      std::thread worker([&job] { job.result = QueryServer(job); });
      worker.join();
    });
  }
  void TearDown() override { SetQueryRunner(nullptr); }
};

TEST_F(InteropTest, ChronydOffsetIsNearZero) {
  const std::string address = test::LoopbackAddress(kChronySlot);
  Peer chronyd("chronyd", "chronyd");
  const std::string config = "bindaddress " + address +
                             "\nport 123\nallow 127.0.0.0/8\nlocal stratum 8\ncmdport 0\n"
                             "pidfile " + test::PidfilePath("chronyd") +
                             "\ndriftfile " + chronyd.Dir() + "/drift\n";
  std::string reason;
  if (!chronyd.Start({"/usr/sbin/chronyd", "/usr/bin/setpriv"}, config,
                     {"/usr/bin/setpriv", "--bounding-set=-sys_time", "/usr/sbin/chronyd", "-x", "-u", "root", "-f",
                      chronyd.ConfigPath()},
                     reason))
    GTEST_SKIP() << reason;

  std::string status, detail;
  ASSERT_TRUE(Eventually([&] {
    status.clear();
    return QuerySntpOffset(address, 1, 0, 1, 24, nullptr, nullptr, nullptr, status, detail) == 1;
  })) << status << " " << detail;

  // Offsets and round trips of a run of queries, each through the full
  // check (reference time within 24 hours, round trip, hold time).
  std::vector<double> offsets;
  std::vector<double> delays;
  for (int i = 0; i < 20; ++i) {
    std::uint8_t reply[kSntpPacketSize] = {};
    MicroTime arrival{};
    std::string query_status;
    int error = 0;
    ASSERT_EQ(RunQuery(kSntp, address, 2, 0, reply, kSntpPacketSize, &arrival, query_status, error), 1)
        << query_status << " " << error;
    double offset = 0;
    std::string check_status = "OK";
    ASSERT_EQ(CheckSntpReply(reply, arrival, offset, check_status, detail, 1, 24), 1) << check_status;
    const double t1 = Seconds(LoadMicroTime(reply + sntp_field::kOriginate));
    const double t2 = Seconds(LoadMicroTime(reply + sntp_field::kReceive));
    const double t3 = Seconds(LoadMicroTime(reply + sntp_field::kTransmit));
    offsets.push_back(offset);
    delays.push_back((Seconds(arrival) - t1) - (t3 - t2));
  }
  std::sort(offsets.begin(), offsets.end());
  std::sort(delays.begin(), delays.end());
  std::printf("chronyd on %s: offset min %+.6f median %+.6f max %+.6f s, round trip median %.6f s\n",
              address.c_str(), offsets.front(), offsets[offsets.size() / 2], offsets.back(), delays[delays.size() / 2]);
  // The same clock on both sides: what is left is timestamp resolution and
  // the time the two programs take to stamp a packet.
  EXPECT_LT(std::fabs(offsets[offsets.size() / 2]), 0.002);
  EXPECT_LT(delays[delays.size() / 2], 0.05);

  // The server time text of the unchecked path agrees with our clock.
  std::string text;
  int error = 0;
  const MicroTime before = NowMicroTime();
  ASSERT_EQ(QueryServerTime(kSntp, address, 2, 0, text, status, error), 1) << status;
  const MicroTime after = NowMicroTime();
  EXPECT_TRUE(text == FormatServerTime(before) || text == FormatServerTime(after)) << text;
}

std::int64_t UnixNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

// A FakeClock for AdjustLocalClock: local readings at a fixed valid time,
// so that the PC time text is known.
constexpr platform::SystemTime kFakeLocal{2026, 12, 0, 6, 20, 36, 6, 0};
constexpr const char* kFakeLocalText = "Sun Dec 06 20:36:06 2026";

TEST_F(InteropTest, InetdTimeAndDaytime) {
  const std::string address = test::LoopbackAddress(kInetdSlot);
  Peer inetd("inetd", "inetutils-inetd");
  const std::string config = address + ":time stream tcp nowait root internal\n" + address +
                             ":daytime stream tcp nowait root internal\n";
  std::string reason;
  if (!inetd.Start({"/usr/sbin/inetutils-inetd", "/usr/bin/env"}, config,
                   {"/usr/bin/env", "TZ=UTC", "/usr/sbin/inetutils-inetd",
                    "--pidfile=" + test::PidfilePath("inetd"), inetd.ConfigPath()},
                   reason))
    GTEST_SKIP() << reason;

  // Its TIME answer may be 8 bytes (a 64-bit count); the one 4-byte
  // receive still reads the right value.
  std::string text, status;
  int error = 0;
  MicroTime before{}, after{};
  ASSERT_TRUE(Eventually([&] {
    before = NowMicroTime();
    const bool ok = QueryServerTime(kTime, address, 2, 0, text, status, error) == 1;
    after = NowMicroTime();
    return ok;
  })) << status << " " << error;
  EXPECT_TRUE(text == FormatServerTime({before.seconds, 0}) || text == FormatServerTime({after.seconds, 0}))
      << text;

  // Its DAYTIME line is the C library's: two blanks before a one-digit day.
  std::int64_t first = UnixNow();
  ASSERT_EQ(QueryServerTime(kDaytime, address, 2, 0, text, status, error), 1) << status;
  EXPECT_TRUE(IsTimeBetween(text, first, UnixNow(), "%a %b %e %H:%M:%S %Y\r")) << text;

  // Adjusting from it sets exactly the time its text shows, as local time.
  test::FakeClock clock;
  clock.SetLocalTime(kFakeLocal);
  std::string server_time, pc_time;
  first = UnixNow();
  ASSERT_EQ(AdjustLocalClock(kDaytime, address, 2, 0, server_time, pc_time, status, error), 1) << status;
  const std::int64_t last = UnixNow();
  EXPECT_EQ(status, "OK");
  EXPECT_EQ(pc_time, kFakeLocalText);
  ASSERT_EQ(clock.local_sets().size(), 1u) << server_time;
  EXPECT_TRUE(clock.utc_sets().empty());
  const platform::SystemTime set = clock.local_sets()[0];
  EXPECT_EQ(set, ParseTimeText(server_time));
  bool matches_clock = false;
  for (std::int64_t s = first; s <= last; ++s) {
    platform::SystemTime utc{};
    ASSERT_TRUE(platform::BreakDownUtc(s, utc));
    utc.day_of_week = 0;  // the text's weekday is not read back
    matches_clock = matches_clock || utc == set;
  }
  EXPECT_TRUE(matches_clock) << server_time;
}

// xinetd's DAYTIME line has another shape ("06 DEC 2026 18:22:47 UTC"):
// a check shows it, an adjustment must refuse it without touching the clock.
TEST_F(InteropTest, XinetdDaytimeOfAnotherShape) {
  const std::string address = test::LoopbackAddress(kXinetdSlot);
  Peer xinetd("xinetd", "xinetd");
  std::string config = "defaults\n{\n\tinstances = 20\n\tlog_type = FILE " + xinetd.Dir() + "/xinetd.log\n}\n";
  for (const char* service : {"time", "daytime"}) {
    config += std::string("service ") + service + "\n{\n\ttype = INTERNAL\n\tid = " + service +
              "-stream\n\tsocket_type = stream\n\tprotocol = tcp\n\tuser = root\n\twait = no\n\tbind = " + address +
              "\n}\n";
  }
  // It stays in the foreground (-dontfork) under `timeout`, so that a
  // crashed test leaves it running for five minutes at most.
  const std::string start = "TZ=UTC exec /usr/bin/timeout 300 " QV_XINETD_PATH " -f '" + xinetd.ConfigPath() +
                            "' -dontfork -pidfile '" + test::PidfilePath("xinetd") + "' </dev/null >/dev/null 2>&1 &";
  std::string reason;
  if (!xinetd.Start({QV_XINETD_PATH, "/usr/bin/timeout"}, config, {"/bin/sh", "-c", start}, reason))
    GTEST_SKIP() << reason;

  std::string text, status;
  int error = -1;
  MicroTime before{}, after{};
  ASSERT_TRUE(Eventually([&] {
    before = NowMicroTime();
    const bool ok = QueryServerTime(kTime, address, 2, 0, text, status, error) == 1;
    after = NowMicroTime();
    return ok;
  })) << status << " " << error;
  EXPECT_TRUE(text == FormatServerTime({before.seconds, 0}) || text == FormatServerTime({after.seconds, 0}))
      << text;

  // (A success leaves the error code as it was: the retries above set it.)
  error = 0;
  std::int64_t first = UnixNow();
  ASSERT_EQ(QueryServerTime(kDaytime, address, 2, 0, text, status, error), 1) << status;
  EXPECT_EQ(status, "OK");
  EXPECT_EQ(error, 0);
  EXPECT_TRUE(IsTimeBetween(text, first, UnixNow(), "%d %b %Y %H:%M:%S UTC\r", true)) << text;

  // The text reads back as month 0: the clock refuses it, nothing is set.
  test::FakeClock clock;
  clock.SetLocalTime(kFakeLocal);
  std::string server_time = "stale", pc_time = "stale";
  first = UnixNow();
  EXPECT_EQ(AdjustLocalClock(kDaytime, address, 2, 0, server_time, pc_time, status, error), 0);
  EXPECT_EQ(status, "ERROR (localtime-set)");
  EXPECT_EQ(error, 0);
  EXPECT_TRUE(IsTimeBetween(server_time, first, UnixNow(), "%d %b %Y %H:%M:%S UTC\r", true)) << server_time;
  EXPECT_EQ(pc_time, kFakeLocalText);
  EXPECT_TRUE(clock.local_sets().empty());
  EXPECT_TRUE(clock.utc_sets().empty());
  EXPECT_EQ(clock.refused_calls(), 1);
}

// An independent client reads what our server sends: rdate, print only, and
// as nobody so that it could not set the clock even if asked to.
TEST_F(InteropTest, RdatePrintsWhatTimeserverSends) {
#ifdef QV_TIMESERVER_EXTERNAL
  GTEST_SKIP() << "rdate runs in the native build";
#else
  for (const char* program : {"/usr/sbin/rdate", "/usr/bin/setpriv"}) {
    if (!std::filesystem::exists(program)) GTEST_SKIP() << program << " is not installed";
  }
  const std::string scratch = std::string(QV_TIMESERVER_STATE_DIR) + "/rdate";
  const auto rdate = [&](const std::string& address, bool sntp) {
    std::vector<std::string> words{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups",
                                   "/usr/sbin/rdate", "-p"};
    if (sntp) words.push_back("-n");
    words.push_back(address);
    return test::RunCapture(words, scratch, {"TZ=UTC"});
  };

  // TIME: chosen values, the last one the final second of the NTP era.
  const struct {
    const char* value;
    const char* shown;
  } kTimes[] = {{"3000000000", "Wed Jan 25 05:20:00 UTC 1995\n"},
                {"3999999999", "Sat Oct  3 07:06:39 UTC 2026\n"},
                {"4294967295", "Thu Feb  7 06:28:15 UTC 2036\n"}};
  for (const auto& t : kTimes) {
    test::TimeServer server(kRdateSlot, {"--time-value", t.value});
    ASSERT_TRUE(server.Ready()) << server.Problem();
    const test::CommandResult run = rdate(server.Address(), false);
    EXPECT_EQ(run.exit_code, 0) << run.err;
    EXPECT_EQ(run.out, t.shown) << t.value;
  }

  // SNTP (rdate -n), with the server's clock a year and a half-second ahead.
  constexpr std::int64_t kAhead = 365 * 86400;
  test::TimeServer server(kRdateSlot, {"--offset", std::to_string(kAhead) + ".5"});
  ASSERT_TRUE(server.Ready()) << server.Problem();
  const std::int64_t first = UnixNow();
  const test::CommandResult run = rdate(server.Address(), true);
  const std::int64_t last = UnixNow() + 1;  // the half second may carry
  EXPECT_EQ(run.exit_code, 0) << run.err;
  EXPECT_TRUE(IsTimeBetween(run.out, first + kAhead, last + kAhead, "%a %b %e %H:%M:%S UTC %Y\n")) << run.out;
#endif
}

}  // namespace
}  // namespace qv::engine
