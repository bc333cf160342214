// Answers that must never set the clock, and those that must set it right,
// each from a qv-timeserver fault mode on loopback through the operations
// the programs call, with the fake clock to see what would be set.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/ntp.h"
#include "engine/operations.h"
#include "engine/time_text.h"
#include "platform/ctime.h"
#include "support/fake_clock.h"
#include "support/loopback_query_test.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using platform::SystemTime;
using test::ServerSpec;
using test::TimeServer;
namespace servers = test::servers;

class AnswersTest : public test::LoopbackQueryTest {
 protected:
  void SetUp() override {
    LoopbackQueryTest::SetUp();
    // The PC's clock reads the real time, so that a believable server
    // measures an offset near 0 and a forged one stands out.
    clock_.SetUtcFileTime(platform::RealClock().UtcFileTime());
  }
  Result Run(const std::string& address, int protocol, bool adjust) {
    return adjust ? Adjust(RequestFor(address, protocol, 1)) : Check(RequestFor(address, protocol, 1));
  }
  test::FakeClock clock_;
};

TEST_F(AnswersTest, NoUntrustworthyAnswerSetsTheClock) {
  const struct {
    const ServerSpec* server;
    int protocol;
    const char *status, *detail, *server_time;
  } kCases[] = {
      // Replies from anyone but the server are not heard. (A closed port, a
      // reset, unusable SNTP replies and DAYTIME lines, from the bytes:
      // QueryServer.*, test_sntp.cpp, OperationsTest.*.)
      {&servers::an_other_source, kSntp, "ERROR (TimeOut)", "0", ""},
      // TIME in pieces or cut short, before 1970.
      {&servers::an_time_close, kTime, "ERROR (TIME:IncorrectPacket)", "0", ""},
      {&servers::an_time_short, kTime, "ERROR (TIME:IncorrectPacket)", "0", ""},
      {&servers::an_time_before, kTime, "ERROR (TIME:IncorrectPacket)", "0", ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.server->name);
    TimeServer server(*c.server);
    ASSERT_SERVER(server);
    const auto start = std::chrono::steady_clock::now();
    const Result result = Run(server.Address(), c.protocol, true);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.detail, c.detail);
    EXPECT_EQ(result.server_time, c.server_time);
  }
  EXPECT_TRUE(clock_.utc_sets().empty());
  EXPECT_TRUE(clock_.local_sets().empty());
  EXPECT_EQ(clock_.refused_calls(), 0);  // nothing even reached the clock
}

TEST_F(AnswersTest, TrustworthyAnswersSetTheirTime) {
  TimeServer stray(servers::an_stray), split(servers::an_time_split), epoch(servers::an_time_epoch);
  for (const TimeServer* s : {&stray, &split, &epoch}) ASSERT_SERVER(*s);

  // Forged replies 1000 s ahead arrive first, from another port: ignored.
  const Result sntp = Run(stray.Address(), kSntp, true);
  ASSERT_EQ(sntp.status, "OK");
  // Far from the forged 1000 s: the real answer is off by at most half its
  // round trip, which the time-out bounds however loaded the machine is.
  EXPECT_LT(std::abs(*sntp.offset_ns), 100'000'000'000);
  SystemTime now;
  ASSERT_TRUE(MicroTimeToSystemTime(NowMicroTime(), now));
  ASSERT_EQ(clock_.utc_sets().size(), 1u);
  EXPECT_EQ(clock_.utc_sets()[0].year, now.year);
  EXPECT_EQ(clock_.utc_sets()[0].day, now.day);

  const struct {
    const TimeServer* server;
    int protocol;
    const char* server_time;
    SystemTime set;
  } kCases[] = {
      {&split, kTime, "Wed Jan 25 14:20:00 1995", {1995, 1, 0, 25, 14, 20, 0, 0}},  // both halves of 3000000000
      {&epoch, kTime, "Thu Jan 01 09:00:00 1970", {1970, 1, 0, 1, 9, 0, 0, 0}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.server_time);
    EXPECT_EQ(Run(c.server->Address(), c.protocol, false).server_time, c.server_time);  // a check sets nothing
    const Result result = Run(c.server->Address(), c.protocol, true);
    EXPECT_EQ(result.status, "OK");
    EXPECT_EQ(result.server_time, c.server_time);
    ASSERT_FALSE(clock_.local_sets().empty());
    EXPECT_EQ(clock_.local_sets().back(), c.set);
  }
  EXPECT_EQ(clock_.local_sets().size(), 2u);
}

// A server that stamps its receive and transmit times from one clock
// reading: each of many replies, with fractions as the real clock gives
// them, holds the request 0 s and passes.
TEST_F(AnswersTest, OneReadingAsReceiveAndTransmitTimeAlwaysPasses) {
  TimeServer server(servers::an_one_reading);
  ASSERT_SERVER(server);
  for (int i = 0; i < 1000; ++i) {
    const Result result = Check(RequestFor(server.Address(), kSntp, 5));
    ASSERT_EQ(result.status, "OK") << "reply " << i << ": " << result.detail;
  }
}

}  // namespace
}  // namespace qv::engine
