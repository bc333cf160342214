// SNTP, TIME and DAYTIME over IPv6 loopback (::1), against qv-timeserver
// serving ::1 with an offset. ctest runs this with a hosts file of its own
// in a private mount namespace (tests/engine/private-hosts): qv6.test is
// ::1 alone, qvboth.test an IPv4 address nobody serves and then ::1, and
// IPv4 ranks first; the machine's own /etc/hosts is never touched.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/ntp.h"
#include "engine/query_job.h"
#include "platform/net.h"
#include "platform/test_seams.h"
#include "support/loopback_query_test.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

using test::TimeServer;

class Ipv6Test : public test::LoopbackQueryTest {
 protected:
  // The reply came from the server with the offset (1.5 s), over ::1.
  static void ExpectServed(int protocol, const std::string& server) {
    SCOPED_TRACE(server + " by " + std::to_string(protocol));
    QueryJob job;
    job.protocol = protocol;
    job.server = server;
    job.timeout = 5;
    const Reply reply = QueryServer(job);
    ASSERT_EQ(reply.stage, Stage::kOk) << reply.error_code;
    EXPECT_EQ(reply.address, "::1");
    if (protocol == kSntp) {
      const std::int64_t t1 = ToMicros(ToMicroTime(reply.sntp.originate));
      EXPECT_NEAR(ToMicros(ToMicroTime(reply.sntp.receive)) - t1, 1500000, 100000);
    } else {
      EXPECT_EQ(reply.bytes.size() == 4, protocol == kTime);
      EXPECT_EQ(!reply.bytes.empty() && reply.bytes.back() == '\n', protocol == kDaytime);
    }
  }
};

std::vector<std::string> Texts(const platform::NetResult<std::vector<platform::IpAddress>>& found) {
  std::vector<std::string> texts;
  for (const platform::IpAddress& a : found.value) texts.push_back(platform::AddressText(a));
  return texts;
}

TEST_F(Ipv6Test, LiteralAddressesMakeNoLookup) {
  TimeServer server(test::servers::v6_offset);
  ASSERT_SERVER(server);
  int lookups = 0;
  platform::SetResolverForTesting([&](const std::string&) -> platform::NetResult<std::vector<platform::IpAddress>> {
    ++lookups;
    return {{}, platform::kWsaHostNotFound};
  });
  for (int protocol : {kSntp, kTime, kDaytime})
    for (const char* text : {"::1", "[::1]", "0:0:0:0:0:0:0:1"}) ExpectServed(protocol, text);
  platform::SetResolverForTesting(nullptr);
  EXPECT_EQ(lookups, 0);
}

TEST_F(Ipv6Test, NamesFromTheHostsFileAndTheirOrder) {
  const auto v6 = platform::ResolveAddresses("qv6.test");
  if (v6.error != 0) GTEST_SKIP() << "no private hosts file: run this test through ctest";
  EXPECT_EQ(Texts(v6), std::vector<std::string>{"::1"});
  EXPECT_EQ(Texts(platform::ResolveAddresses("qvboth.test")), (std::vector<std::string>{test::kNobody, "::1"}));

  TimeServer server(test::servers::v6_offset);
  ASSERT_SERVER(server);
  // The first address of qvboth.test refuses; its second answers.
  for (int protocol : {kSntp, kTime, kDaytime})
    for (const char* name : {"qv6.test", "qvboth.test"}) ExpectServed(protocol, name);

  // Through the whole check, the address travels in the result.
  const Result sntp = Check(RequestFor("qvboth.test", kSntp, 5));
  EXPECT_EQ(sntp.status, "OK");
  EXPECT_EQ(sntp.address, "::1");
  ASSERT_TRUE(sntp.offset_ns && sntp.round_trip_ns && sntp.stratum && sntp.server_utc_us);
  EXPECT_NEAR(*sntp.offset_ns, 1500000000, 100000000);
  EXPECT_GE(*sntp.round_trip_ns, 0);
  EXPECT_EQ(*sntp.stratum, 2);
  const Result time = Check(RequestFor("qv6.test", kTime, 5));
  EXPECT_EQ(time.status, "OK");
  EXPECT_EQ(time.address, "::1");
  ASSERT_TRUE(time.server_utc_us && time.pc_utc_us);
  EXPECT_NEAR(*time.server_utc_us - *time.pc_utc_us, 1500000, 1100000);  // whole seconds
  EXPECT_FALSE(time.stratum);
}

}  // namespace
}  // namespace qv::engine
