// The transport over real loopback sockets against qv-timeserver: what a
// query hands back on success and on every failure loopback can produce.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/query_job.h"
#include "engine/sntp.h"
#include "platform/cancel_signal.h"
#include "platform/dialog.h"
#include "platform/net.h"
#include "profile/app_state.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;
using test::TimeServer;

// Slots (addresses) of this file's servers; test_query_server_time.cpp and
// test_interop.cpp use others.
constexpr int kPlainSlot = 0;
constexpr int kSilentSlot = 1;
constexpr int kLongSlot = 2;
constexpr int kShortSlot = 3;
constexpr int kWrongOriginateSlot = 4;
constexpr int kNoAcceptSlot = 5;
constexpr int kOffsetSlot = 6;
constexpr int kNobodySlot = 20;  // no server ever listens here

const int kNetStarted = platform::NetStartup();

// One job with its own outputs, as RunQuery would fill it.
struct Query {
  std::uint8_t reply[512] = {};
  MicroTime arrival{};
  std::string status = "untouched";
  int error = -1;
  QueryJob job;

  Query(int protocol, const std::string& server, int timeout = 5) {
    static const int reply_sizes[] = {kSntpPacketSize, 4, 512};
    job.protocol = protocol;
    job.server = server;
    job.timeout = timeout;
    job.reply = reply;
    job.reply_size = protocol >= 0 && protocol <= 2 ? reply_sizes[protocol] : 4;
    job.receive_time = &arrival;
    job.status = &status;
    job.error_code = &error;
  }
  int Run() { return QueryServer(job); }
};

double Seconds(MicroTime t) { return t.seconds + t.micros * 1e-6; }

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

  // The arrival time lies within the query, the originate timestamp is our
  // own transmit time, and the server's stamps carry its 2.5 s offset.
  EXPECT_GE(Seconds(query.arrival), Seconds(before));
  EXPECT_LE(Seconds(query.arrival), Seconds(after));
  const double t1 = Seconds(LoadMicroTime(query.reply + sntp_field::kOriginate));
  const double t2 = Seconds(LoadMicroTime(query.reply + sntp_field::kReceive));
  const double t3 = Seconds(LoadMicroTime(query.reply + sntp_field::kTransmit));
  EXPECT_NEAR(t1, Seconds(before), 0.01);
  EXPECT_NEAR(t2 - t1, 2.5, 0.05);
  EXPECT_GE(t3, t2);
  EXPECT_NEAR(Seconds(LoadMicroTime(query.reply + sntp_field::kReference)), t2 - 16, 0.001);

  double offset = 0;
  std::string status = "OK", detail;
  ASSERT_EQ(CheckSntpReply(query.reply, query.arrival, offset, status, detail, 1, 24), 1) << status;
  // Loose: a process's first exchange may pay one-time costs between
  // stamping the request and sending it (several ms under Wine).
  EXPECT_NEAR(offset, 2.5, 0.03);
}

TEST(QueryServer, StreamRepliesTakeOneReceive) {
  TimeServer server(kPlainSlot);
  ASSERT_SERVER(server);

  Query time(kTime, server.Address());
  ASSERT_EQ(time.Run(), 1) << time.status << " " << time.error;
  const std::uint32_t value = (std::uint32_t{time.reply[0]} << 24) | (time.reply[1] << 16) | (time.reply[2] << 8) |
                              time.reply[3];
  EXPECT_NEAR(static_cast<double>(value - 2208988800u), Seconds(NowMicroTime()), 2.0);
  EXPECT_EQ(time.job.socket, platform::kNoSocket);

  Query daytime(kDaytime, server.Address());
  ASSERT_EQ(daytime.Run(), 1) << daytime.status << " " << daytime.error;
  const std::string text(reinterpret_cast<const char*>(daytime.reply));
  EXPECT_EQ(text.size(), 26u) << text;  // "Sun Dec  6 11:36:06 2026\r\n"
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
}

TEST(QueryServer, FailuresNameTheirStageAndCloseTheSocket) {
  TimeServer silent(kSilentSlot, {"--silent"});
  TimeServer long_reply(kLongSlot, {"--sntp-length", "49"});
  TimeServer short_reply(kShortSlot, {"--sntp-length", "47"});
  TimeServer wrong_originate(kWrongOriginateSlot, {"--wrong-originate"});
  for (const TimeServer* server : {&silent, &long_reply, &short_reply, &wrong_originate}) ASSERT_SERVER(*server);

  struct Case {
    const char* what;
    int protocol;
    std::string server;
    int timeout;
    const char* stage;
    int error;
  } cases[] = {
      {"silent, timeout 0", kSntp, silent.Address(), 0, "TimeOut", 0},
      {"49-byte reply", kSntp, long_reply.Address(), 5, "Recv", platform::kWsaEmsgsize},
      {"47-byte reply", kSntp, short_reply.Address(), 5, "RecvPacket", 0},
      {"answer to another request", kSntp, wrong_originate.Address(), 5, "SNTP:IncorrectPacket", 0},
      {"TIME, nobody listening", kTime, test::LoopbackAddress(kNobodySlot), 5, "Connect", platform::kWsaEconnrefused},
      {"DAYTIME, nobody listening", kDaytime, test::LoopbackAddress(kNobodySlot), 5, "Connect",
       platform::kWsaEconnrefused},
      {"negative timeout", kSntp, silent.Address(), -1, "Select", platform::kWsaEinval},
      {"no such protocol", 7, silent.Address(), 5, "Socket", platform::kWsaEinval},
  };
  for (const Case& c : cases) {
    Query query(c.protocol, c.server, c.timeout);
    const auto start = steady_clock::now();
    EXPECT_EQ(query.Run(), 0) << c.what;
    EXPECT_EQ(query.status, c.stage) << c.what;
    EXPECT_EQ(query.error, c.error) << c.what;
    EXPECT_EQ(query.job.socket, platform::kNoSocket) << c.what;
    EXPECT_LT(steady_clock::now() - start, milliseconds(1500)) << c.what;
  }

  // A silent server lets the whole timeout pass, and not much more.
  Query query(kSntp, silent.Address(), 1);
  const auto start = steady_clock::now();
  EXPECT_EQ(query.Run(), 0);
  const auto waited = steady_clock::now() - start;
  EXPECT_EQ(query.status, "TimeOut");
  EXPECT_EQ(query.error, 0);
  EXPECT_GE(waited, milliseconds(990));
  EXPECT_LT(waited, milliseconds(1500));
  EXPECT_EQ(query.job.socket, platform::kNoSocket);
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

  Query dotted(kTime, server.Address());
  EXPECT_EQ(dotted.Run(), 1) << dotted.status;
  EXPECT_EQ(lookups, 0);

  Query named(kTime, "timeserver.test");
  EXPECT_EQ(named.Run(), 1) << named.status;
  EXPECT_EQ(lookups, 1);

  // Without a string table the stage name is the literal; the main
  // program's text (112) wins over the settings program's (106).
  ui::SetStringTable(nullptr);
  Query unknown(kSntp, "nonexistent.invalid");
  EXPECT_EQ(unknown.Run(), 0);
  EXPECT_EQ(unknown.status, "HostNotFound");
  EXPECT_EQ(unknown.error, platform::kWsaHostNotFound);
  EXPECT_EQ(unknown.job.socket, platform::kNoSocket);

  const ui::StringTable settings_strings{{106, "settings: host not found"}};
  ui::SetStringTable(&settings_strings);
  Query in_settings(kSntp, "nonexistent.invalid");
  EXPECT_EQ(in_settings.Run(), 0);
  EXPECT_EQ(in_settings.status, "settings: host not found");

  const ui::StringTable main_strings{{106, "other text"}, {112, "main: host not found"}};
  ui::SetStringTable(&main_strings);
  Query in_main(kSntp, "nonexistent.invalid");
  EXPECT_EQ(in_main.Run(), 0);
  EXPECT_EQ(in_main.status, "main: host not found");

  ui::SetStringTable(nullptr);
  platform::SetResolverForTesting(nullptr);
}

// Runs the query on a worker, fires its cancel signal after `delay` and
// returns how long the worker took after that.
steady_clock::duration CancelAfter(Query& query, milliseconds delay) {
  platform::CancelSignal cancel;
  query.job.cancel = &cancel;
  int result = -1;
  std::thread worker([&] { result = query.Run(); });
  std::this_thread::sleep_for(delay);
  const auto fired = steady_clock::now();
  cancel.Fire();
  worker.join();
  const auto took = steady_clock::now() - fired;
  query.job.cancel = nullptr;
  EXPECT_EQ(result, 0);
  return took;
}

TEST(QueryServer, CancelEndsWaitsAtOnceAndClosesTheSocket) {
  TimeServer silent(kSilentSlot, {"--silent"});
  ASSERT_SERVER(silent);

  for (int protocol : {kSntp, kTime}) {
    Query query(protocol, silent.Address(), 30);
    EXPECT_LT(CancelAfter(query, milliseconds(300)), milliseconds(500)) << protocol;
    EXPECT_EQ(query.status, "UserCancelled");
    EXPECT_EQ(query.error, 0);
    EXPECT_EQ(query.job.socket, platform::kNoSocket);
  }

  // A signal that fired before the query began stops it before any socket.
  platform::CancelSignal fired;
  fired.Fire();
  Query early(kSntp, silent.Address(), 30);
  early.job.cancel = &fired;
  EXPECT_EQ(early.Run(), 0);
  EXPECT_EQ(early.status, "UserCancelled");
  EXPECT_EQ(early.job.socket, platform::kNoSocket);
}

TEST(QueryServer, CancelEndsAConnectThatHangs) {
  // The server never accepts and its backlog holds one connection: once a
  // first connection fills it, further connects wait for the system's
  // connect time-out, which only the cancel signal may cut short.
  TimeServer server(kNoAcceptSlot, {"--no-accept"});
  ASSERT_SERVER(server);
  std::uint32_t address = 0;
  ASSERT_TRUE(platform::ParseDottedIPv4(server.Address(), address));
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

  Query query(kTime, server.Address(), 30);
  EXPECT_LT(CancelAfter(query, milliseconds(300)), milliseconds(500));
  EXPECT_EQ(query.status, "UserCancelled");
  EXPECT_EQ(query.job.socket, platform::kNoSocket);
  for (platform::SocketHandle filler : fillers) platform::CloseSocket(filler);
}

TEST(QueryServer, DebugSwitchWritesTheSntpDetailRecord) {
  TimeServer server(kPlainSlot);
  ASSERT_SERVER(server);
  const std::filesystem::path dir = std::filesystem::temp_directory_path() / "qv-query-server-log";
  std::error_code ignored;
  std::filesystem::remove_all(dir, ignored);
  std::filesystem::create_directories(dir);
  const std::string saved_profile = profile::ProfilePath();
  profile::SetProfilePath((dir / "quorvel.ini").string());
  const std::filesystem::path log = dir / "quorvel.sntp.log";

  Query quiet(kSntp, server.Address());
  EXPECT_EQ(quiet.Run(), 1) << quiet.status;
  EXPECT_FALSE(std::filesystem::exists(log));

  profile::SetDebugSwitch(true);
  Query logged(kSntp, server.Address());
  EXPECT_EQ(logged.Run(), 1) << logged.status;
  profile::SetDebugSwitch(false);
  std::string first_line;
  std::getline(std::ifstream(log), first_line);
  if (!first_line.empty() && first_line.back() == '\r') first_line.pop_back();
  EXPECT_EQ(first_line, server.Address());

  profile::SetProfilePath(saved_profile);
  std::filesystem::remove_all(dir, ignored);
}

TEST(Net, DottedAddressesAndLocalNames) {
  struct {
    const char* text;
    bool dotted;
    std::uint32_t address;
  } cases[] = {
      {"127.0.0.1", true, 0x7F000001},   {"255.255.255.255", true, 0xFFFFFFFF}, {"0.0.0.0", true, 0},
      {"10.1.2.3", true, 0x0A010203},    {"127.1", false, 0},                  {"1.2.3.256", false, 0},
      {"1.2.3.4.5", false, 0},           {"1.2.3.", false, 0},                 {" 1.2.3.4", false, 0},
      {"1.2.3.4 ", false, 0},            {"1.2.3.0004", false, 0},             {"", false, 0},
      {"ntp.example.org", false, 0},     {"1..2.3", false, 0},
  };
  for (const auto& c : cases) {
    std::uint32_t address = 0;
    EXPECT_EQ(platform::ParseDottedIPv4(c.text, address), c.dotted) << c.text;
    if (c.dotted) {
      EXPECT_EQ(address, c.address) << c.text;
    }
  }

  // From the hosts file: no name server is asked.
  std::uint32_t address = 0;
  EXPECT_EQ(platform::ResolveIPv4("localhost", address), 0);
  EXPECT_EQ(address, 0x7F000001u);
  EXPECT_EQ(platform::ResolveIPv4("", address), platform::kWsaHostNotFound);
}

}  // namespace
}  // namespace qv::engine
