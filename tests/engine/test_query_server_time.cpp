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
#include "support/loopback_query_test.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using test::TimeServer;

// Slots of this file's servers (see test_query_server.cpp for the others).
// One set of options per slot: the Windows build starts them all at once.
enum Slot { kEpochSlot = 8, kBeforeEpochSlot, kCloseSlot, kSplitSlot, kDaytimeSlot, kNoLineFeedSlot, kLongSlot,
            kFullBufferSlot, kPlainSlot, kSilentSlot = 18, kNobodySlot = 20 };

#define ASSERT_SERVERS(...) \
  for (const TimeServer* s : {__VA_ARGS__}) ASSERT_TRUE(s->Ready()) << s->Problem()

class QueryServerTimeTest : public test::LoopbackQueryTest {};

TEST_F(QueryServerTimeTest, TimeAndDaytimeAnswers) {
  TimeServer epoch(kEpochSlot, {"--time-value", "2208988800"});
  TimeServer before(kBeforeEpochSlot, {"--time-value", "2208988799"});
  TimeServer closes(kCloseSlot, {"--time-close"});
  // 0x8A0B1234 sent as 8A 0B, a pause, 12 34: the single receive takes the
  // first half, the rest counts as zero and the value is still after 1970.
  TimeServer split(kSplitSlot, {"--time-value", "0x8A0B1234", "--time-split", "400"});
  TimeServer daytime(kDaytimeSlot, {"--daytime-text", "Sun Dec  6 11:36:06 2026\\r\\nsecond line\\r\\n"});
  TimeServer no_line_feed(kNoLineFeedSlot, {"--daytime", "nolf"});
  TimeServer too_long(kLongSlot, {"--daytime", "long"});
  // 512 bytes without a NUL or a line feed fill the buffer to its last byte.
  TimeServer full(kFullBufferSlot, {"--daytime-text", std::string(512, 'A')});
  TimeServer silent(kSilentSlot, {"--silent"});
  ASSERT_SERVERS(&epoch, &before, &closes, &split, &daytime, &no_line_feed, &too_long, &full, &silent);
  const char* const kIncorrect = "ERROR (TIME:IncorrectPacket)";
  struct {
    int protocol;
    std::string server;
    const char* status;
    std::string text;
    int error = 0;
    int timeout = 5;
  } cases[] = {
      {kTime, epoch.Address(), "OK", "Thu Jan 01 09:00:00 1970"},
      {kTime, split.Address(), "OK", FormatServerTime(MicroTime{0x8A0B0000u - 2208988800u, 0})},
      // Before 1970, and a server that closes without a word (the value
      // reads 0): refused without an error number, the text emptied.
      {kTime, before.Address(), kIncorrect, ""},
      {kTime, closes.Address(), kIncorrect, ""},
      {kDaytime, daytime.Address(), "OK", "Sun Dec  6 11:36:06 2026\r"},
      {kDaytime, no_line_feed.Address(), "OK", ""},
      {kDaytime, too_long.Address(), "OK", ""},
      {kDaytime, full.Address(), "OK", ""},
      // Transport failures keep the text.
      {kTime, test::LoopbackAddress(kNobodySlot), "ERROR (Connect)", "unchanged", platform::kWsaEconnrefused},
      {kDaytime, silent.Address(), "ERROR (TimeOut)", "unchanged", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.server);
    std::string text = "unchanged", status;
    int error = -1;
    const int result = QueryServerTime(c.protocol, c.server, c.timeout, 0, text, status, error);
    EXPECT_EQ(result, std::string(c.status) == "OK" ? 1 : 0);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(text, c.text);
    if (result == 0) {
      EXPECT_EQ(error, c.error);
    }
  }
}

TEST_F(QueryServerTimeTest, SntpShowsTheTransmitTimeUnchecked) {
  // A reference time of 0 and a swapped receive/transmit pair would fail
  // the SNTP checks; this path shows the transmit time regardless.
  TimeServer server(kPlainSlot, {"--offset", "-86400", "--ref-zero", "--swap-stamps"});
  ASSERT_SERVERS(&server);
  std::string text, status;
  int error = -1;
  const MicroTime before = NowMicroTime();
  EXPECT_EQ(QueryServerTime(kSntp, server.Address(), 5, 0, text, status, error), 1) << status;
  const MicroTime after = NowMicroTime();
  bool matches = false;
  for (std::uint32_t s = before.seconds - 86401; s <= after.seconds - 86400; ++s)
    matches = matches || text == FormatServerTime(MicroTime{s, 0});
  EXPECT_TRUE(matches) << text;
}

}  // namespace
}  // namespace qv::engine
