// Authenticated time against a real NTS server: chronyd (-x, never touching
// the clock) started by a ctest fixture with a certificate made for the
// test, and a UDP proxy here that the key exchange names as the NTP
// server, so that the test can play the man in the middle.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/nts_query.h"
#include "engine/operations.h"
#include "platform/cancel_signal.h"
#include "support/fake_clock.h"
#include "support/loopback_query_test.h"
#include "support/timeserver_fixture.h"

namespace qv::engine {
namespace {

const std::string kServer = test::LoopbackAddress(QV_NTS_OCTET);
const std::string kProxy = test::LoopbackAddress(QV_NTS_PROXY_OCTET);
const std::string kDir = std::string(QV_TIMESERVER_STATE_DIR) + "/nts-chronyd";

enum class Tamper { kNone, kFlipByte, kStripFields, kReplayOld, kSpoilCookieOnce };

sockaddr_in Address(const std::string& ip, std::uint16_t port) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  inet_pton(AF_INET, ip.c_str(), &a.sin_addr);
  return a;
}

// Forwards NTP between the client and chronyd, tampering as told.
class Proxy {
 public:
  Proxy() {
    client_side_ = socket(AF_INET, SOCK_DGRAM, 0);
    server_side_ = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in here = Address(kProxy, 123), there = Address(kServer, 123);
    bound_ = bind(client_side_, reinterpret_cast<const sockaddr*>(&here), sizeof here) == 0 &&
             connect(server_side_, reinterpret_cast<const sockaddr*>(&there), sizeof there) == 0;
    thread_ = std::thread([this] { Run(); });
  }
  ~Proxy() {
    stop_ = true;
    thread_.join();
    close(client_side_);
    close(server_side_);
  }
  bool bound() const { return bound_; }
  void Set(Tamper tamper) { tamper_ = tamper; }
  int requests() const { return requests_; }

 private:
  void Run() {
    sockaddr_in client{};
    std::vector<std::uint8_t> last_reply;
    while (!stop_) {
      pollfd fds[2] = {{client_side_, POLLIN, 0}, {server_side_, POLLIN, 0}};
      if (poll(fds, 2, 50) <= 0) continue;
      std::vector<std::uint8_t> buffer(4096);
      if (fds[0].revents & POLLIN) {
        socklen_t size = sizeof client;
        const ssize_t n = recvfrom(client_side_, buffer.data(), buffer.size(), 0, reinterpret_cast<sockaddr*>(&client), &size);
        if (n <= 0) continue;
        buffer.resize(static_cast<std::size_t>(n));
        ++requests_;
        // A byte inside the cookie (after the 48-byte header and the
        // 36-byte identifier field): the server cannot open it and NAKs.
        if (tamper_ == Tamper::kSpoilCookieOnce && buffer.size() > 100) {
          buffer[100] ^= 0x40;
          tamper_ = Tamper::kNone;
        }
        send(server_side_, buffer.data(), buffer.size(), 0);
      }
      if (fds[1].revents & POLLIN) {
        const ssize_t n = recv(server_side_, buffer.data(), buffer.size(), 0);
        if (n <= 0) continue;
        buffer.resize(static_cast<std::size_t>(n));
        std::vector<std::uint8_t> out = buffer;
        switch (tamper_.load()) {
          case Tamper::kFlipByte: out[44] ^= 0x01; break;  // the transmit time's last second bit
          case Tamper::kStripFields: out.resize(48); break;
          case Tamper::kReplayOld: out = last_reply; break;
          default: break;
        }
        last_reply = buffer;
        sendto(client_side_, out.data(), out.size(), 0, reinterpret_cast<const sockaddr*>(&client), sizeof client);
      }
    }
  }

  int client_side_ = -1, server_side_ = -1;
  bool bound_ = false;
  std::atomic<bool> stop_{false};
  std::atomic<Tamper> tamper_{Tamper::kNone};
  std::atomic<int> requests_{0};
  std::thread thread_;
};

class NtsTest : public test::LoopbackQueryTest {
 protected:
  void SetUp() override {
    test::LoopbackQueryTest::SetUp();
    if (test::ReadPidfile(kDir + "/nts-chronyd.pid").empty())
      GTEST_SKIP() << "chronyd not started by a ctest fixture (not installed here, or not run through ctest)";
    ASSERT_TRUE(proxy_.bound());
    ForgetNtsSessions();
  }
  static Request NtsRequest(const std::string& trust = kDir + "/server.crt", const std::string& server = kServer) {
    Request request = RequestFor(server, kSntp, 3);
    request.nts = true;
    request.nts_trust_file = trust;
    return request;
  }
  // chronyd serves a moment after it wrote its pidfile.
  Result FirstCheck() {
    Result result;
    for (int i = 0; i < 50; ++i) {
      result = Check(NtsRequest());
      if (result.ok()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return result;
  }
  Proxy proxy_;
};

TEST_F(NtsTest, AuthenticatedQueriesShareOneKeyExchange) {
  const Result first = FirstCheck();
  ASSERT_TRUE(first.ok()) << first.status << " " << first.detail;
  EXPECT_TRUE(first.authenticated);
  const std::uint64_t exchanges = NtsKeyExchangeCount();
  const int requests = proxy_.requests();
  // More queries than one exchange's eight cookies: the replies refill them.
  for (int i = 0; i < 10; ++i) {
    const Result r = Check(NtsRequest());
    ASSERT_TRUE(r.ok()) << r.status << " " << r.detail;
    EXPECT_TRUE(r.authenticated);
    // One clock on both sides: the offset is within the round trip.
    EXPECT_LT(std::llabs(*r.offset_ns), 1000000000LL);
  }
  EXPECT_EQ(NtsKeyExchangeCount(), exchanges);
  EXPECT_EQ(proxy_.requests(), requests + 10);

  // The same server without NTS is not said to be authenticated.
  const Result plain = Check(RequestFor(kServer, kSntp, 3));
  ASSERT_TRUE(plain.ok()) << plain.status;
  EXPECT_FALSE(plain.authenticated);
}

TEST_F(NtsTest, TamperedRepliesAreRefusedAndNothingIsSet) {
  ASSERT_TRUE(FirstCheck().ok());
  test::FakeClock clock;
  clock.SetUnixTime(1796000000);
  const struct {
    Tamper tamper;
    const char* detail;
  } kCases[] = {
      {Tamper::kFlipByte, "the reply's authenticator does not verify"},
      {Tamper::kStripFields, "the reply's unique identifier is not the request's"},
      {Tamper::kReplayOld, "the reply's unique identifier is not the request's"},
  };
  for (const auto& c : kCases) {
    proxy_.Set(c.tamper);
    const Result r = Adjust(NtsRequest());
    EXPECT_EQ(r.status, "ERROR (NTS: Authenticator)") << c.detail;
    EXPECT_EQ(r.detail, c.detail);
    EXPECT_FALSE(r.authenticated);
  }
  EXPECT_TRUE(clock.utc_sets().empty());
  // Untampered, the same adjustment sets the (fake) clock.
  proxy_.Set(Tamper::kNone);
  const Result r = Adjust(NtsRequest());
  EXPECT_TRUE(r.ok()) << r.status << " " << r.detail;
  EXPECT_EQ(clock.utc_sets().size(), 1u);
}

TEST_F(NtsTest, NakStartsANewKeyExchange) {
  ASSERT_TRUE(FirstCheck().ok());
  const std::uint64_t exchanges = NtsKeyExchangeCount();
  proxy_.Set(Tamper::kSpoilCookieOnce);
  const Result r = Check(NtsRequest());
  ASSERT_TRUE(r.ok()) << r.status << " " << r.detail;
  EXPECT_TRUE(r.authenticated);
  EXPECT_EQ(NtsKeyExchangeCount(), exchanges + 1);
}

TEST_F(NtsTest, UntrustedCertificateAndNoKeyExchangeServer) {
  const Result other = Check(NtsRequest(kDir + "/other.crt"));
  EXPECT_EQ(other.status, "ERROR (NTS: Certificate)");
  EXPECT_EQ(other.detail, "The certificate is NOT trusted. The certificate issuer is unknown.");

  const Result missing = Check(NtsRequest(kDir + "/no-such.crt"));
  EXPECT_EQ(missing.status, "ERROR (NTS: Certificate)");

  const std::uint64_t exchanges = NtsKeyExchangeCount();
  const Result closed = Check(NtsRequest(kDir + "/server.crt", test::kNobody));
  EXPECT_EQ(closed.status, "ERROR (NTS: Key Exchange)");
  EXPECT_EQ(closed.error_code, platform::kWsaEconnrefused);
  EXPECT_EQ(NtsKeyExchangeCount(), exchanges);
}

// A key exchange server that accepts and never answers: the query ends at
// its time-out, or at once when the runner abandons it.
TEST(NtsSilentServer, TimeOutAndCancelEndTheKeyExchange) {
  const std::string silent = test::LoopbackAddress(QV_NTS_SILENT_OCTET);
  const int listener = socket(AF_INET, SOCK_STREAM, 0);
  const sockaddr_in at = Address(silent, 4460);
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&at), sizeof at), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  QueryJob job;
  job.protocol = kSntp;
  job.server = silent;
  job.timeout = 1;
  job.nts = true;
  const Reply timed_out = QueryNtsServer(job);
  EXPECT_EQ(timed_out.stage, Stage::kTimeOut);

  platform::CancelSignal cancel;
  job.timeout = 600;
  job.cancel = &cancel;
  Reply cancelled;
  std::thread worker([&] { cancelled = QueryNtsServer(job); });
  cancel.Fire();
  worker.join();
  EXPECT_EQ(cancelled.stage, Stage::kUserCancelled);
  close(listener);
}

}  // namespace
}  // namespace qv::engine
