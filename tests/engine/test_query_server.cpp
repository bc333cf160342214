// The transport over real loopback sockets against qv-timeserver: what a
// query hands back on success and on every failure loopback can produce.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "engine/query_job.h"
#include "engine/sntp.h"
#include "platform/cancel_signal.h"
#include "engine/environment.h"
#include "platform/net.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::TimeServer;

// Slots (addresses) of this file's servers; test_query_server_time.cpp and
// test_interop.cpp use others. Nobody ever listens on kNobodySlot.
enum Slot { kPlainSlot, kSilentSlot, kLongSlot, kShortSlot, kWrongOriginateSlot, kNoAcceptSlot, kOffsetSlot };
constexpr int kNobodySlot = 20;

const int kNetStarted = platform::NetStartup();

// One job with its own outputs, as RunQuery would fill it.
struct Query {
  std::uint8_t reply[512] = {};
  MicroTime arrival{};
  std::string status = "untouched";
  int error = -1;
  QueryJob job;

  Query(int protocol, const std::string& server, int timeout = 5) {
    job.protocol = protocol;
    job.server = server;
    job.timeout = timeout;
    job.reply = reply;
    job.reply_size = protocol == kSntp ? kSntpPacketSize : protocol == kDaytime ? 512 : 4;
    job.receive_time = &arrival;
    job.status = &status;
    job.error_code = &error;
  }
  int Run() { return QueryServer(job); }
};

double Seconds(MicroTime t) { return t.seconds + t.micros * 1e-6; }
double Stamp(const Query& q, int field) { return Seconds(LoadMicroTime(q.reply + field)); }

#define ASSERT_SERVER(server) ASSERT_TRUE((server).Ready()) << (server).Problem()

TEST(QueryServer, SntpReplyIsReceivedConvertedAndTimed) {
  ASSERT_EQ(kNetStarted, 0);
  TimeServer server(kOffsetSlot, {"--offset", "2.5"});
  ASSERT_SERVER(server);
  Query query(kSntp, server.Address());
  const MicroTime before = NowMicroTime();
  ASSERT_EQ(query.Run(), 1) << query.status << " " << query.error;
  const MicroTime after = NowMicroTime();
  EXPECT_EQ(query.status, "OK");
  EXPECT_EQ(query.job.socket, platform::kNoSocket);

  // The arrival lies within the query, the originate timestamp is our own
  // transmit time, and the server's stamps carry its 2.5 s offset.
  EXPECT_GE(Seconds(query.arrival), Seconds(before));
  EXPECT_LE(Seconds(query.arrival), Seconds(after));
  const double t1 = Stamp(query, sntp_field::kOriginate), t2 = Stamp(query, sntp_field::kReceive);
  EXPECT_NEAR(t1, Seconds(before), 0.01);
  EXPECT_NEAR(t2 - t1, 2.5, 0.05);
  EXPECT_GE(Stamp(query, sntp_field::kTransmit), t2);
  EXPECT_NEAR(Stamp(query, sntp_field::kReference), t2 - 16, 0.001);

  double offset = 0;
  std::string status = "OK", detail;
  ASSERT_EQ(CheckSntpReply(query.reply, query.arrival, offset, status, detail, 1, 24), 1) << status;
  // Loose: a process's first exchange may pay one-time costs between
  // stamping the request and sending it (several ms under Wine).
  EXPECT_NEAR(offset, 2.5, 0.03);
}

TEST(QueryServer, FailuresNameTheirStageAndCloseTheSocket) {
  TimeServer silent(kSilentSlot, {"--silent"});
  TimeServer long_reply(kLongSlot, {"--sntp-length", "49"});
  TimeServer short_reply(kShortSlot, {"--sntp-length", "47"});
  TimeServer wrong_originate(kWrongOriginateSlot, {"--wrong-originate"});
  for (const TimeServer* server : {&silent, &long_reply, &short_reply, &wrong_originate}) ASSERT_SERVER(*server);
  const std::string nobody = test::LoopbackAddress(kNobodySlot);
  struct Case {
    int protocol;
    std::string server;
    int timeout;
    const char* stage;
    int error;
    int min_ms = 0;  // a silent server lets the whole timeout pass, and not much more
  } cases[] = {
      {kSntp, silent.Address(), 0, "TimeOut", 0},
      {kSntp, silent.Address(), 1, "TimeOut", 0, 990},
      {kSntp, long_reply.Address(), 5, "Recv", platform::kWsaEmsgsize},
      {kSntp, short_reply.Address(), 5, "RecvPacket", 0},
      {kSntp, wrong_originate.Address(), 5, "SNTP:IncorrectPacket", 0},  // answers another request
      {kTime, nobody, 5, "Connect", platform::kWsaEconnrefused},
      {kDaytime, nobody, 5, "Connect", platform::kWsaEconnrefused},
      {kSntp, silent.Address(), -1, "Select", platform::kWsaEinval},
      {7, silent.Address(), 5, "Socket", platform::kWsaEinval},  // no such protocol
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stage) + " from " + c.server);
    Query query(c.protocol, c.server, c.timeout);
    const auto start = steady_clock::now();
    EXPECT_EQ(query.Run(), 0);
    const auto took = steady_clock::now() - start;
    EXPECT_EQ(query.status, c.stage);
    EXPECT_EQ(query.error, c.error);
    EXPECT_EQ(query.job.socket, platform::kNoSocket);
    EXPECT_GE(took, milliseconds(c.min_ms));
    EXPECT_LT(took, milliseconds(1500));
  }
}

TEST(QueryServer, NameLookupOnlyForNamesAndItsFailureText) {
  TimeServer server(kPlainSlot);
  ASSERT_SERVER(server);
  // A stand-in resolver: no query may leave this machine for a name server.
  int lookups = 0;
  platform::SetResolverForTesting([&](const std::string& name, std::uint32_t& address) {
    ++lookups;
    if (name != "timeserver.test") return platform::kWsaHostNotFound;
    return platform::ParseDottedIPv4(server.Address(), address) ? 0 : platform::kWsaNoRecovery;
  });
  EXPECT_EQ(Query(kTime, server.Address()).Run(), 1);
  EXPECT_EQ(lookups, 0);
  EXPECT_EQ(Query(kTime, "timeserver.test").Run(), 1);
  EXPECT_EQ(lookups, 1);

  // The program's own text for the stage, "HostNotFound" by default.
  for (const char* text : {"HostNotFound", "main: host not found"}) {
    Environment env;
    env.host_not_found = text;
    SetEnvironment(env);
    Query unknown(kSntp, "nonexistent.invalid");
    EXPECT_EQ(unknown.Run(), 0);
    EXPECT_EQ(unknown.status, text);
    EXPECT_EQ(unknown.error, platform::kWsaHostNotFound);
    EXPECT_EQ(unknown.job.socket, platform::kNoSocket);
  }
  SetEnvironment({});
  platform::SetResolverForTesting(nullptr);
}

TEST(QueryServer, CancelEndsWaitsAndHangingConnectsAtOnce) {
  TimeServer silent(kSilentSlot, {"--silent"});
  // Never accepts, and its backlog holds one connection: once fillers take
  // it, a connect waits for the system's time-out unless cancelled.
  TimeServer no_accept(kNoAcceptSlot, {"--no-accept"});
  ASSERT_SERVER(silent);
  ASSERT_SERVER(no_accept);
  std::uint32_t address = 0;
  ASSERT_TRUE(platform::ParseDottedIPv4(no_accept.Address(), address));
  int error = 0;
  std::vector<platform::SocketHandle> fillers;
  for (int i = 0; i < 2; ++i) {
    fillers.push_back(platform::OpenSocket(platform::SocketKind::kStream, error));
    platform::CancelSignal give_up;
    std::thread stopper([&] {
      std::this_thread::sleep_for(milliseconds(200));
      give_up.Fire();
    });
    platform::ConnectSocket(fillers.back(), {address, 37}, &give_up, error);
    stopper.join();
  }

  for (auto [protocol, server] : {std::pair{kSntp, silent.Address()}, std::pair{kTime, silent.Address()},
                                  std::pair{kTime, no_accept.Address()}}) {
    SCOPED_TRACE(server);
    Query query(protocol, server, 30);
    platform::CancelSignal cancel;
    query.job.cancel = &cancel;
    int result = -1;
    std::thread worker([&] { result = query.Run(); });
    std::this_thread::sleep_for(milliseconds(300));
    const auto fired = steady_clock::now();
    cancel.Fire();
    worker.join();
    EXPECT_LT(steady_clock::now() - fired, milliseconds(500));
    EXPECT_EQ(result, 0);
    EXPECT_EQ(query.status, "UserCancelled");
    EXPECT_EQ(query.error, 0);
    EXPECT_EQ(query.job.socket, platform::kNoSocket);
  }
  for (platform::SocketHandle filler : fillers) platform::CloseSocket(filler);

  // A signal that fired before the query began stops it before any socket.
  platform::CancelSignal fired;
  fired.Fire();
  Query early(kSntp, silent.Address(), 30);
  early.job.cancel = &fired;
  EXPECT_EQ(early.Run(), 0);
  EXPECT_EQ(early.status, "UserCancelled");
}

TEST(Net, DottedAddressesAndLocalNames) {
  const std::pair<const char*, std::uint32_t> dotted[] = {
      {"127.0.0.1", 0x7F000001}, {"255.255.255.255", 0xFFFFFFFF}, {"127.10.2.3", 0x7F0A0203}};
  for (const auto& [text, value] : dotted) {
    std::uint32_t address = 0;
    EXPECT_TRUE(platform::ParseDottedIPv4(text, address)) << text;
    EXPECT_EQ(address, value) << text;
  }
  for (const char* text : {"127.1", "127.2.3.256", "127.2.3.4.5", "127.2.3.", " 127.2.3.4", "127.2.3.0004", "", "127..2.3"}) {
    std::uint32_t address = 0;
    EXPECT_FALSE(platform::ParseDottedIPv4(text, address)) << text;
  }
  // From the hosts file: no name server is asked.
  std::uint32_t address = 0;
  EXPECT_EQ(platform::ResolveIPv4("localhost", address), 0);
  EXPECT_EQ(address, 0x7F000001u);
  EXPECT_EQ(platform::ResolveIPv4("", address), platform::kWsaHostNotFound);
}

}  // namespace
}  // namespace qv::engine
