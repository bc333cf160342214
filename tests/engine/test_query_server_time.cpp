// TIME and DAYTIME answers turned into server time texts, through RunQuery
// and a runner that runs the transport on a worker thread, against
// qv-timeserver on loopback.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "engine/query_job.h"
#include "engine/query_server_time.h"
#include "engine/run_query.h"
#include "engine/sntp.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using test::TimeServer;

// Slots of this file's servers (see test_query_server.cpp for the others).
// One set of options per slot: the Windows build starts them all at once.
constexpr int kEpochSlot = 8;
constexpr int kBeforeEpochSlot = 9;
constexpr int kCloseSlot = 10;
constexpr int kSplitSlot = 11;
constexpr int kDaytimeSlot = 12;
constexpr int kNoLineFeedSlot = 13;
constexpr int kLongSlot = 14;
constexpr int kFullBufferSlot = 15;
constexpr int kPlainSlot = 16;
constexpr int kOtherShapeSlot = 17;
constexpr int kSilentSlot = 18;
constexpr int kNobodySlot = 20;

const int kNetStarted = platform::NetStartup();

#define ASSERT_SERVER(server) ASSERT_TRUE((server).Ready()) << (server).Problem()

class QueryServerTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(kNetStarted, 0);
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    // The simplest runner: the transport on a worker thread, joined.
    SetQueryRunner([](QueryJob& job) {
      std::thread worker([&job] { job.result = QueryServer(job); });
      worker.join();
    });
  }
  void TearDown() override { SetQueryRunner(nullptr); }

  struct Outcome {
    int result = -1;
    std::string text = "unchanged";
    std::string status;
    int error = -1;
  };
  static Outcome Ask(int protocol, const std::string& server, int timeout = 5) {
    Outcome out;
    out.result = QueryServerTime(protocol, server, timeout, 0, out.text, out.status, out.error);
    return out;
  }
};

TEST_F(QueryServerTimeTest, TimeValuesFrom1970On) {
  TimeServer epoch(kEpochSlot, {"--time-value", "2208988800"});
  TimeServer before(kBeforeEpochSlot, {"--time-value", "2208988799"});
  TimeServer closes(kCloseSlot, {"--time-close"});
  for (const TimeServer* server : {&epoch, &before, &closes}) ASSERT_SERVER(*server);

  Outcome out = Ask(kTime, epoch.Address());
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.status, "OK");
  EXPECT_EQ(out.text, "Thu Jan 01 09:00:00 1970");

  // Before 1970, and a server that closes without a word (the value reads
  // 0): refused without an error number, the text emptied.
  for (const TimeServer* server : {&before, &closes}) {
    out = Ask(kTime, server->Address());
    EXPECT_EQ(out.result, 0) << server->Address();
    EXPECT_EQ(out.status, "ERROR (TIME:IncorrectPacket)");
    EXPECT_EQ(out.text, "");
    EXPECT_EQ(out.error, 0);
  }
}

TEST_F(QueryServerTimeTest, TimeValueSplitAcrossPacketsKeepsWhatArrivedFirst) {
  // 0x8A0B1234 sent as 8A 0B, a pause, 12 34: the single receive takes the
  // first half, the rest counts as zero and the value is still after 1970.
  TimeServer split(kSplitSlot, {"--time-value", "0x8A0B1234", "--time-split", "400"});
  ASSERT_SERVER(split);
  const Outcome out = Ask(kTime, split.Address());
  EXPECT_EQ(out.result, 1) << out.status;
  EXPECT_EQ(out.text, FormatServerTime(MicroTime{0x8A0B0000u - 2208988800u, 0}));
}

TEST_F(QueryServerTimeTest, DaytimeFirstLineAsReceived) {
  TimeServer daytime(kDaytimeSlot, {"--daytime-text", "Sun Dec  6 11:36:06 2026\\r\\nsecond line\\r\\n"});
  TimeServer no_line_feed(kNoLineFeedSlot, {"--daytime", "nolf"});
  TimeServer too_long(kLongSlot, {"--daytime", "long"});
  // 512 bytes without a NUL or a line feed fill the buffer to its last byte.
  TimeServer full(kFullBufferSlot, {"--daytime-text", std::string(512, 'A')});
  TimeServer other(kOtherShapeSlot, {"--daytime", "other"});
  for (const TimeServer* server : {&daytime, &no_line_feed, &too_long, &full, &other}) ASSERT_SERVER(*server);

  Outcome out = Ask(kDaytime, daytime.Address());
  EXPECT_EQ(out.result, 1);
  EXPECT_EQ(out.status, "OK");
  EXPECT_EQ(out.text, "Sun Dec  6 11:36:06 2026\r");

  for (const TimeServer* server : {&no_line_feed, &too_long, &full}) {
    out = Ask(kDaytime, server->Address());
    EXPECT_EQ(out.result, 1) << server->Address();
    EXPECT_EQ(out.status, "OK");
    EXPECT_EQ(out.text, "") << server->Address();
  }

  // Another shape passes through untouched (reading it is not our job).
  out = Ask(kDaytime, other.Address());
  EXPECT_EQ(out.result, 1);
  ASSERT_GE(out.text.size(), 5u);
  EXPECT_EQ(out.text.substr(out.text.size() - 5), " UTC\r");
}

TEST_F(QueryServerTimeTest, TransportFailuresKeepTheText) {
  TimeServer silent(kSilentSlot, {"--silent"});
  ASSERT_SERVER(silent);
  Outcome out = Ask(kTime, test::LoopbackAddress(kNobodySlot));
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.status, "ERROR (Connect)");
  EXPECT_EQ(out.error, platform::kWsaEconnrefused);
  EXPECT_EQ(out.text, "unchanged");

  out = Ask(kDaytime, silent.Address(), 0);
  EXPECT_EQ(out.result, 0);
  EXPECT_EQ(out.status, "ERROR (TimeOut)");
  EXPECT_EQ(out.text, "unchanged");
}

TEST_F(QueryServerTimeTest, SntpShowsTheTransmitTimeUnchecked) {
  // A reference time of 0 and a swapped receive/transmit pair would fail
  // the SNTP checks; this path shows the transmit time regardless.
  TimeServer server(kPlainSlot, {"--offset", "-86400", "--ref-zero", "--swap-stamps"});
  ASSERT_SERVER(server);
  const MicroTime before = NowMicroTime();
  const Outcome out = Ask(kSntp, server.Address());
  const MicroTime after = NowMicroTime();
  EXPECT_EQ(out.result, 1) << out.status;
  EXPECT_EQ(out.status, "OK");
  bool matches = false;
  for (std::uint32_t s = before.seconds - 86401; s <= after.seconds - 86400; ++s)
    matches = matches || out.text == FormatServerTime(MicroTime{s, 0});
  EXPECT_TRUE(matches) << out.text;
}

}  // namespace
}  // namespace qv::engine
