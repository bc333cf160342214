// The transport over real loopback sockets against qv-timeserver: what a
// query hands back on success and on every failure loopback can produce.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "engine/ntp.h"
#include "engine/query_job.h"
#include "platform/cancel_signal.h"
#include "platform/net.h"
#include "platform/test_seams.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::TimeServer;
namespace servers = test::servers;

const int kNetStarted = platform::NetStartup();
constexpr bool kWine = QV_UNDER_WINE;  // where a reset reads as the end of the stream

QueryJob Job(int protocol, const std::string& server, int timeout = 5) {
  QueryJob job;
  job.protocol = protocol;
  job.server = server;
  job.timeout = timeout;
  return job;
}

TEST(QueryServer, SntpReplyIsReceivedDecodedAndTimed) {
  ASSERT_EQ(kNetStarted, 0);
  TimeServer server(servers::ts_offset);  // 2.5 s ahead
  ASSERT_SERVER(server);
  const MicroTime before = NowMicroTime();
  const Reply reply = QueryServer(Job(kSntp, server.Address()));
  const MicroTime after = NowMicroTime();
  ASSERT_EQ(reply.stage, Stage::kOk) << reply.error_code;

  // The arrival lies within the query, the originate timestamp is our own
  // transmit time, and the server's stamps carry its offset.
  EXPECT_GE(ToMicros(reply.arrival), ToMicros(before));
  EXPECT_LE(ToMicros(reply.arrival), ToMicros(after));
  const std::int64_t t1 = ToMicros(ToMicroTime(reply.sntp.originate)), t2 = ToMicros(ToMicroTime(reply.sntp.receive));
  EXPECT_NEAR(t1, ToMicros(before), 10000);
  EXPECT_NEAR(t2 - t1, 2500000, 50000);
  EXPECT_GE(ToMicros(ToMicroTime(reply.sntp.transmit)), t2);
  EXPECT_NEAR(ToMicros(ToMicroTime(reply.sntp.reference)), t2 - 16000000, 1000);
  EXPECT_EQ(reply.sntp.mode, 4);
  EXPECT_EQ(reply.detail_log, LogWrite::kNotAsked);
}

// (TIME in pieces and cut short: test_answers.cpp.) 600 bytes of DAYTIME
// without a line feed: 512 are read.
TEST(QueryServer, DaytimeReadsAtMost512Bytes) {
  TimeServer full(servers::ts_daytime_full);
  ASSERT_SERVER(full);
  const Reply reply = QueryServer(Job(kDaytime, full.Address()));
  EXPECT_EQ(reply.stage, Stage::kOk);
  EXPECT_EQ(reply.bytes, std::vector<std::uint8_t>(512, 'A'));
}

TEST(QueryServer, FailuresNameTheirStage) {
  TimeServer silent(servers::ts_silent), long_reply(servers::ts_long), short_reply(servers::ts_short),
      wrong_originate(servers::ts_wrong_originate), reset(servers::ts_reset);
  for (const TimeServer* s : {&silent, &long_reply, &short_reply, &wrong_originate, &reset}) ASSERT_SERVER(*s);
  struct Case {
    int protocol;
    std::string server;
    int timeout;
    Stage stage;
    int error;
    int min_ms = 0;  // a silent server lets the whole timeout pass, and not much more
  } cases[] = {
      {kSntp, silent.Address(), 0, Stage::kTimeOut, 0},
      {kSntp, silent.Address(), 1, Stage::kTimeOut, 0, 990},
      {kTime, silent.Address(), 1, Stage::kTimeOut, 0, 990},
      {kSntp, long_reply.Address(), 5, Stage::kRecv, platform::kWsaEmsgsize},
      {kSntp, short_reply.Address(), 5, Stage::kRecvPacket, 0},
      {kSntp, wrong_originate.Address(), 5, Stage::kSntpIncorrectPacket, 0},  // answers another request
      // A closed port: refused at once, by every protocol.
      {kSntp, test::kNobody, 5, Stage::kRecv, platform::kWsaEconnreset},
      {kTime, test::kNobody, 5, Stage::kConnect, platform::kWsaEconnrefused},
      {kDaytime, test::kNobody, 5, Stage::kConnect, platform::kWsaEconnrefused},
      {kTime, reset.Address(), 5, kWine ? Stage::kOk : Stage::kRecv, kWine ? 0 : platform::kWsaEconnreset},
      {kDaytime, reset.Address(), 5, kWine ? Stage::kOk : Stage::kRecv, kWine ? 0 : platform::kWsaEconnreset},
      {kSntp, silent.Address(), -1, Stage::kSelect, platform::kWsaEinval},
      {7, silent.Address(), 5, Stage::kSocket, platform::kWsaEinval},  // no such protocol
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(StageName(c.stage)) + " from " + c.server + " by " + std::to_string(c.protocol));
    const auto start = steady_clock::now();
    const Reply reply = QueryServer(Job(c.protocol, c.server, c.timeout));
    const auto took = steady_clock::now() - start;
    EXPECT_EQ(reply.stage, c.stage);
    EXPECT_EQ(reply.error_code, c.error);
    EXPECT_GE(took, milliseconds(c.min_ms));
    EXPECT_LT(took, milliseconds(1500));
  }
}

TEST(QueryServer, NameLookupOnlyForNames) {
  TimeServer server(servers::ts_plain);
  ASSERT_SERVER(server);
  // A stand-in resolver: no query may leave this machine for a name server.
  int lookups = 0;
  platform::SetResolverForTesting([&](const std::string& name) -> platform::NetResult<std::uint32_t> {
    ++lookups;
    if (name != "timeserver.test") return {0, platform::kWsaHostNotFound};
    return {platform::ParseDottedIPv4(server.Address()).value_or(0)};
  });
  EXPECT_EQ(QueryServer(Job(kTime, server.Address())).stage, Stage::kOk);
  EXPECT_EQ(lookups, 0);
  EXPECT_EQ(QueryServer(Job(kTime, "timeserver.test")).stage, Stage::kOk);
  EXPECT_EQ(lookups, 1);
  const Reply unknown = QueryServer(Job(kSntp, "nonexistent.invalid"));
  EXPECT_EQ(unknown.stage, Stage::kHostNotFound);
  EXPECT_EQ(unknown.error_code, platform::kWsaHostNotFound);
  platform::SetResolverForTesting(nullptr);
}

TEST(QueryServer, CancelEndsWaitsAndHangingConnectsAtOnce) {
  TimeServer silent(servers::ts_silent);
  // Never accepts, and its backlog holds one connection: once fillers take
  // it, a connect waits for the system's time-out unless cancelled.
  TimeServer no_accept(servers::ts_no_accept);
  ASSERT_SERVER(silent);
  ASSERT_SERVER(no_accept);
  const std::optional<std::uint32_t> address = platform::ParseDottedIPv4(no_accept.Address());
  ASSERT_TRUE(address);
  std::vector<platform::SocketHandle> fillers;
  for (int i = 0; i < 2; ++i) {
    fillers.push_back(platform::OpenSocket(platform::SocketKind::kStream).value);
    platform::CancelSignal give_up;
    std::thread stopper([&] {
      std::this_thread::sleep_for(milliseconds(200));
      give_up.Fire();
    });
    platform::ConnectSocket(fillers.back(), {*address, 37}, &give_up);
    stopper.join();
  }

  for (auto [protocol, server] : {std::pair{kSntp, silent.Address()}, std::pair{kTime, silent.Address()},
                                  std::pair{kTime, no_accept.Address()}}) {
    SCOPED_TRACE(server);
    platform::CancelSignal cancel;
    QueryJob job = Job(protocol, server, 30);
    job.cancel = &cancel;
    Reply reply;
    std::thread worker([&] { reply = QueryServer(job); });
    std::this_thread::sleep_for(milliseconds(300));
    const auto fired = steady_clock::now();
    cancel.Fire();
    worker.join();
    EXPECT_LT(steady_clock::now() - fired, milliseconds(500));
    EXPECT_EQ(reply.stage, Stage::kUserCancelled);
    EXPECT_EQ(reply.error_code, 0);
  }
  for (platform::SocketHandle filler : fillers) platform::CloseSocket(filler);

  // A signal that fired before the query began stops it before any socket.
  platform::CancelSignal fired;
  fired.Fire();
  QueryJob early = Job(kSntp, silent.Address(), 30);
  early.cancel = &fired;
  EXPECT_EQ(QueryServer(early).stage, Stage::kUserCancelled);
}

TEST(Net, DottedAddressesAndLocalNames) {
  const std::pair<const char*, std::uint32_t> dotted[] = {
      {"127.0.0.1", 0x7F000001}, {"255.255.255.255", 0xFFFFFFFF}, {"127.10.2.3", 0x7F0A0203}};
  for (const auto& [text, value] : dotted) EXPECT_EQ(platform::ParseDottedIPv4(text), value) << text;
  for (const char* text : {"127.1", "127.2.3.256", "127.2.3.4.5", "127.2.3.", " 127.2.3.4", "127.2.3.0004", "", "127..2.3"})
    EXPECT_FALSE(platform::ParseDottedIPv4(text)) << text;
  // From the hosts file: no name server is asked.
  const platform::NetResult<std::uint32_t> local = platform::ResolveIPv4("localhost");
  EXPECT_EQ(local.error, 0);
  EXPECT_EQ(local.value, 0x7F000001u);
  EXPECT_EQ(platform::ResolveIPv4("").error, platform::kWsaHostNotFound);
}

}  // namespace
}  // namespace qv::engine
