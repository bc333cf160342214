// The engine against real peers on loopback: chronyd for SNTP, and
// inetutils-inetd's built-in TIME and DAYTIME services.
//
// chronyd runs with -x (it never adjusts the clock) and, in addition,
// without CAP_SYS_TIME in its capability bounding set, so that even a
// mistake in its configuration could not set this machine's time. Either
// peer missing: the test is skipped. The Windows build finds both started by
// ctest fixtures (tests/engine/CMakeLists.txt).
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "engine/query_job.h"
#include "engine/query_server_time.h"
#include "engine/run_query.h"
#include "engine/sntp.h"
#include "engine/time_text.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

constexpr int kChronySlot = 25;
constexpr int kInetdSlot = 26;

const int kNetStarted = platform::NetStartup();

double Seconds(MicroTime t) { return t.seconds + t.micros * 1e-6; }

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

TEST_F(InteropTest, InetdTimeAndDaytime) {
  const std::string address = test::LoopbackAddress(kInetdSlot);
  Peer inetd("inetd", "inetutils-inetd");
  const std::string config = address + ":time stream tcp nowait root internal\n" + address +
                             ":daytime stream tcp nowait root internal\n";
  std::string reason;
  if (!inetd.Start({"/usr/sbin/inetutils-inetd"}, config,
                   {"/usr/sbin/inetutils-inetd", "--pidfile=" + test::PidfilePath("inetd"), inetd.ConfigPath()},
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

  ASSERT_EQ(QueryServerTime(kDaytime, address, 2, 0, text, status, error), 1) << status;
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\r') << text;
  const platform::SystemTime parsed = ParseTimeText(text);
  EXPECT_GE(parsed.month, 1);
  EXPECT_LE(parsed.month, 12);
  EXPECT_GE(parsed.day, 1);
  EXPECT_LE(parsed.day, 31);
  EXPECT_GE(parsed.year, 2020);
}

}  // namespace
}  // namespace qv::engine
