// The transport over real loopback sockets against qv-timeserver: what a
// query hands back on success and on every failure loopback can produce.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
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

platform::IpAddress Ip(const std::string& text) { return platform::ParseIpLiteral(text).value_or(platform::IpAddress{}); }

// A stand-in resolver, so that no query leaves this machine for a name
// server: `names` and their addresses, in order; counts its lookups.
class FakeNames {
 public:
  explicit FakeNames(std::map<std::string, std::vector<std::string>> names) : names_(std::move(names)) {
    platform::SetResolverForTesting([this](const std::string& name) -> platform::NetResult<std::vector<platform::IpAddress>> {
      ++lookups;
      if (!names_.count(name)) return {{}, platform::kWsaHostNotFound};
      std::vector<platform::IpAddress> addresses;
      for (const std::string& text : names_.at(name)) addresses.push_back(Ip(text));
      return {addresses};
    });
  }
  ~FakeNames() { platform::SetResolverForTesting(nullptr); }
  int lookups = 0;

 private:
  std::map<std::string, std::vector<std::string>> names_;
};

TEST(QueryServer, NameLookupOnlyForNames) {
  TimeServer server(servers::ts_plain);
  ASSERT_SERVER(server);
  FakeNames names({{"timeserver.test", {server.Address()}}});
  EXPECT_EQ(QueryServer(Job(kTime, server.Address())).stage, Stage::kOk);
  // An IPv6 text is no name either (whether ::1 serves depends on other tests).
  EXPECT_EQ(QueryServer(Job(kTime, "[::1]", 1)).address, "::1");
  EXPECT_EQ(names.lookups, 0);
  const Reply named = QueryServer(Job(kTime, "timeserver.test"));
  EXPECT_EQ(named.stage, Stage::kOk);
  EXPECT_EQ(named.address, server.Address());
  EXPECT_EQ(names.lookups, 1);
  const Reply unknown = QueryServer(Job(kSntp, "nonexistent.invalid"));
  EXPECT_EQ(unknown.stage, Stage::kHostNotFound);
  EXPECT_EQ(unknown.error_code, platform::kWsaHostNotFound);
  EXPECT_EQ(unknown.address, "");
}

// A name's addresses are asked in turn within the one time-out: a refusal
// moves on at once, silence after its share of the time; an address that
// accepted a stream is the server, whatever it then does.
TEST(QueryServer, AddressesInTurnWithinOneTimeOut) {
  TimeServer plain(servers::ts_plain), silent(servers::ts_silent);
  ASSERT_SERVER(plain);
  ASSERT_SERVER(silent);
  FakeNames names({{"refused-first.test", {test::kNobody, plain.Address()}},
                   {"silent-first.test", {silent.Address(), plain.Address()}},
                   {"answered-first.test", {plain.Address(), test::kNobody}}});
  const struct {
    int protocol;
    const char* name;
    int timeout;
    Stage stage;
    std::string address;
    int min_ms, max_ms;
  } kCases[] = {
      {kSntp, "refused-first.test", 5, Stage::kOk, plain.Address(), 0, 1500},
      {kTime, "refused-first.test", 5, Stage::kOk, plain.Address(), 0, 1500},
      {kDaytime, "refused-first.test", 5, Stage::kOk, plain.Address(), 0, 1500},
      {kSntp, "silent-first.test", 2, Stage::kOk, plain.Address(), 990, 2500},  // half of the time each
      {kTime, "silent-first.test", 1, Stage::kTimeOut, silent.Address(), 990, 2500},
      {kSntp, "answered-first.test", 5, Stage::kOk, plain.Address(), 0, 1500},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(std::string(c.name) + " by " + std::to_string(c.protocol));
    const auto start = steady_clock::now();
    const Reply reply = QueryServer(Job(c.protocol, c.name, c.timeout));
    const auto took = steady_clock::now() - start;
    EXPECT_EQ(reply.stage, c.stage) << reply.error_code;
    EXPECT_EQ(reply.address, c.address);
    EXPECT_GE(took, milliseconds(c.min_ms));
    EXPECT_LT(took, milliseconds(c.max_ms));
  }
  // Every address refused: the last refusal is the outcome.
  FakeNames refusing({{"nobody.test", {test::kNobody, test::kNobody}}});
  const Reply refused = QueryServer(Job(kTime, "nobody.test"));
  EXPECT_EQ(refused.stage, Stage::kConnect);
  EXPECT_EQ(refused.error_code, platform::kWsaEconnrefused);
  EXPECT_EQ(refused.address, test::kNobody);
}

TEST(QueryServer, CancelEndsWaitsAndHangingConnectsAtOnce) {
  TimeServer silent(servers::ts_silent);
  // Never accepts, and its backlog holds one connection: once fillers take
  // it, a connect waits for the system's time-out unless cancelled.
  TimeServer no_accept(servers::ts_no_accept);
  ASSERT_SERVER(silent);
  ASSERT_SERVER(no_accept);
  const std::optional<platform::IpAddress> address = platform::ParseIpLiteral(no_accept.Address());
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

TEST(Net, AddressTextsAndLocalNames) {
  const std::pair<const char*, std::uint32_t> dotted[] = {
      {"127.0.0.1", 0x7F000001}, {"255.255.255.255", 0xFFFFFFFF}, {"127.10.2.3", 0x7F0A0203}};
  for (const auto& [text, value] : dotted) EXPECT_EQ(platform::ParseDottedIPv4(text), value) << text;
  for (const char* text : {"127.1", "127.2.3.256", "127.2.3.4.5", "127.2.3.", " 127.2.3.4", "127.2.3.0004", "", "127..2.3"})
    EXPECT_FALSE(platform::ParseDottedIPv4(text)) << text;

  // Address texts as given, and as shown (RFC 5952 section 4).
  const std::pair<const char*, const char*> literals[] = {
      {"127.0.0.1", "127.0.0.1"},
      {"::1", "::1"},
      {"[::1]", "::1"},
      {"::", "::"},
      {"1::", "1::"},
      {"2001:DB8:0:0:1:0:0:1", "2001:db8::1:0:0:1"},  // the first of two equal runs
      {"2001:0db8:0:1:1:1:1:1", "2001:db8:0:1:1:1:1:1"},  // one zero group stays
      {"2001:db8::2:1", "2001:db8::2:1"},
      {"0:0:1:0:0:0:0:0", "0:0:1::"},  // the longer run
      {"::ffff:127.0.2.1", "::ffff:7f00:201"},
      {"fe80::1:2:3:4:5:6", "fe80:0:1:2:3:4:5:6"},
  };
  for (const auto& [text, shown] : literals) {
    const std::optional<platform::IpAddress> address = platform::ParseIpLiteral(text);
    ASSERT_TRUE(address) << text;
    EXPECT_EQ(platform::AddressText(*address), shown) << text;
  }
  for (const char* text : {":::", "1:::2", "::1::", "1:2:3:4:5:6:7:8:9", "1:2:3:4:5:6:7", "12345::", "g::1", "1:", ":1",
                           "::1%1", "[::1", "::1]", "[127.2.3.4]", "1:2:3:4:5:6:7:8::", "::1.2.3", "127.2.3.4::", "[]",
                           "localhost", "::1 "})
    EXPECT_FALSE(platform::ParseIpLiteral(text)) << text;

  // From the hosts file: no name server is asked.
  const platform::NetResult<std::vector<platform::IpAddress>> local = platform::ResolveAddresses("localhost");
  EXPECT_EQ(local.error, 0);
  std::vector<std::string> texts;
  for (const platform::IpAddress& a : local.value) texts.push_back(platform::AddressText(a));
  EXPECT_NE(std::find(texts.begin(), texts.end(), "127.0.0.1"), texts.end());
  EXPECT_EQ(platform::ResolveAddresses("").error, platform::kWsaHostNotFound);
}

}  // namespace
}  // namespace qv::engine
