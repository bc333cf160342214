#include "engine/result_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "engine/ntp.h"
#include "platform/ctime.h"
#include "platform/file.h"
#include "profile/temp_dir.h"
#include "support/run_command.h"

namespace qv::engine {
namespace {

namespace fs = std::filesystem;
using test::Utf8;

std::string ReadBytes(const fs::path& p) { return platform::ReadWholeFile(Utf8(p)).bytes; }

Request RequestFor(const std::string& server, int protocol) {
  Request request;
  request.server = server;
  request.protocol = protocol;
  return request;
}

Result ResultOf(Mode mode, const std::string& status, const std::string& detail, const std::string& server_time) {
  Result result;
  result.mode = mode;
  result.stage = status == "OK" ? Stage::kOk : Stage::kConnect;
  result.status = status;
  result.detail = detail;
  result.server_time = server_time;
  result.pc_time = "Tue Jan 06 09:05:03 2026";
  return result;
}

Result At(Result result, const std::string& address) {
  result.address = address;
  return result;
}

class ResultLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    // What text mode stores for "\n" here, learnt from the C library itself.
    std::FILE* f = std::fopen(Utf8(dir_ / "probe").c_str(), "w");
    ASSERT_TRUE(f && std::fputs("\n", f) >= 0 && std::fclose(f) == 0);
    newline_ = ReadBytes(dir_ / "probe");
  }
  std::string Lines(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? newline_ : std::string(1, c);
    return out;
  }

  test::TempDir temp_;
  const fs::path dir_ = temp_.path();
  std::string newline_;
};

TEST_F(ResultLogTest, ResultLinesAreByteExactAndAppended) {
  const std::string log = ResultLogPath(Utf8(dir_ / "Quorvel.INI"));
  EXPECT_EQ(log, Utf8(dir_ / "Quorvel.log"));
  ASSERT_TRUE(platform::ReplaceFileAtomically(log, "earlier" + newline_));
  const struct {
    Request request;
    Result result;
  } kLines[] = {
      // A name shows the address asked; an address text stays as given.
      {RequestFor("ntp.example", kSntp), At(ResultOf(Mode::kCheck, "OK", "", "Sun Dec 06 11:36:06 2026"), "2001:db8::1")},
      {RequestFor("127.0.0.9", kTime), At(ResultOf(Mode::kAdjust, "OK", "0", "Sun Dec 06 11:36:07 2026"), "127.0.0.9")},
      {RequestFor("[::1]", kTime), At(ResultOf(Mode::kCheck, "ERROR (Connect)", "10061", ""), "::1")},
      {RequestFor("d.example", kDaytime), ResultOf(Mode::kAdjust, "OK", "0", "Sun Dec  6 11:36:08 2026\r")},
      {RequestFor("d.example", kDaytime), ResultOf(Mode::kCheck, "ERROR (Connect)", "10061", "")},
      {RequestFor("n.example", kSntp), ResultOf(Mode::kCheck, "ERROR (SNTP: Bad Response)", "", "")},
      {RequestFor("odd", 5), ResultOf(Mode::kCheck, "ERROR (TimeOut)", "0", "x")},
  };
  for (const auto& line : kLines) EXPECT_EQ(WriteResultLog(log, line.request, line.result), LogWrite::kWritten);
  EXPECT_EQ("earlier" + newline_ +
                Lines("Tue Jan 06 09:05:03 2026, ntp.example (2001:db8::1),    SNTP,  check, OK, Sun Dec 06 11:36:06 2026\n"
                      "Tue Jan 06 09:05:03 2026, 127.0.0.9,    time, adjust, OK, Sun Dec 06 11:36:07 2026\n"
                      "Tue Jan 06 09:05:03 2026, [::1],    time,  check, ERROR (Connect):10061, \n"
                      "Tue Jan 06 09:05:03 2026, d.example, daytime, adjust, OK, Sun Dec  6 11:36:08 2026\r\n"
                      "Tue Jan 06 09:05:03 2026, d.example, daytime,  check, ERROR (Connect):10061, \n"
                      "Tue Jan 06 09:05:03 2026, n.example,    SNTP,  check, ERROR (SNTP: Bad Response), \n"
                      "Tue Jan 06 09:05:03 2026, odd,        ,  check, ERROR (TimeOut):0, x\n"),
            ReadBytes(dir_ / "Quorvel.log"));
}

TEST_F(ResultLogTest, DetailRecordsAreWholeEvenWhenWrittenAtOnce) {
  SntpPacket reply;
  reply.reference = {1699996400u + kNtpFromUnixDelta, 30065};  // 7 us
  reply.originate = {1700000000u + kNtpFromUnixDelta, 0};
  reply.receive = {1700000002u + kNtpFromUnixDelta, 214748365};  // 50000 us
  reply.transmit = {kNtpFromUnixDelta - 1, 0xFFFFFFFFu};
  const MicroTime arrival{1700000000u, 100000};
  const std::string four = "Wed Nov 15 2023 06:13:20.000007\nWed Nov 15 2023 07:13:20.000000\n"
                           "Wed Nov 15 2023 07:13:22.050000\nSun Feb 07 2106 15:28:15.1000000\n";
  EXPECT_EQ(DetailRecord("ntp.example", reply, &arrival), "ntp.example\n" + four + "Wed Nov 15 2023 07:13:20.100000\n");
  EXPECT_EQ(DetailRecord("127.0.0.1", reply, nullptr), "127.0.0.1\n" + four + "( check only )\n");

  // Writers in parallel, as two programs with the debug switch: each
  // record lands in one piece.
  const std::string log = DetailLogPath(Utf8(dir_ / "Quorvel.INI"));
  constexpr int kWriters = 8, kRecords = 50;
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([&, w] {
      for (int r = 0; r < kRecords; ++r)
        EXPECT_EQ(WriteSntpDetailLog(log, "writer" + std::to_string(w), reply, &arrival), LogWrite::kWritten);
    });
  }
  for (std::thread& t : writers) t.join();
  const std::string content = ReadBytes(dir_ / "Quorvel.sntp.log");
  const std::string body = Lines(four + "Wed Nov 15 2023 07:13:20.100000\n");
  int records = 0;
  for (std::size_t at = 0; at < content.size(); ++records) {
    std::size_t length = 0;
    for (int w = 0; w < kWriters && length == 0; ++w) {
      const std::string record = Lines("writer" + std::to_string(w) + "\n") + body;
      if (content.compare(at, record.size(), record) == 0) length = record.size();
    }
    ASSERT_NE(length, 0u) << "a torn record at byte " << at;
    at += length;
  }
  EXPECT_EQ(records, kWriters * kRecords);
}

TEST_F(ResultLogTest, FailuresAreReturnedNotShown) {
  // A folder that does not exist: nothing is created, nothing shown.
  const std::string missing = ResultLogPath(Utf8(dir_ / "missing" / "Quorvel.INI"));
  EXPECT_EQ(WriteResultLog(missing, RequestFor("s", kSntp), ResultOf(Mode::kCheck, "OK", "", "t")),
            LogWrite::kOpenFailed);
  EXPECT_EQ(WriteSntpDetailLog(DetailLogPath(Utf8(dir_ / "missing" / "Q.INI")), "s", SntpPacket{}, nullptr),
            LogWrite::kOpenFailed);
  EXPECT_FALSE(fs::exists(dir_ / "missing"));

  // A full disk, and a FIFO nobody reads, which must not block the caller.
  std::error_code ec;
  fs::create_symlink("/dev/full", dir_ / "full.log", ec);
  if (ec || !fs::exists("/dev/full") || !test::RunCommand({"mkfifo", Utf8(dir_ / "fifo.log")}))
    GTEST_SKIP() << "no /dev/full or FIFO here";
  const Result line = ResultOf(Mode::kCheck, "OK", "", "t");
  EXPECT_EQ(WriteResultLog(Utf8(dir_ / "full.log"), RequestFor("s", kSntp), line), LogWrite::kWriteFailed);
  EXPECT_EQ(WriteResultLog(Utf8(dir_ / "fifo.log"), RequestFor("s", kSntp), line), LogWrite::kOpenFailed);
}

TEST_F(ResultLogTest, LogNamesBesideTheProfile) {
  EXPECT_EQ(LogFileName("/a.b/c.d", "sntp.log"), "/a.b/c.sntp.log");  // the last dot
  EXPECT_EQ(ResultLogPath("Quorvel"), "log");                          // no dot: the ending alone
  EXPECT_EQ(DetailLogPath("C:\\Tools\\Quorvel.INI"), "C:\\Tools\\Quorvel.sntp.log");
  const fs::path japanese = dir_ / fs::path(u8"時刻合わせ");  // UTF-8 paths reach the OS intact
  fs::create_directories(japanese);
  EXPECT_EQ(WriteResultLog(ResultLogPath(Utf8(japanese / "Quorvel.INI")), RequestFor("s", kDaytime),
                           ResultOf(Mode::kCheck, "OK", "", "t")),
            LogWrite::kWritten);
  EXPECT_EQ(Lines("Tue Jan 06 09:05:03 2026, s, daytime,  check, OK, t\n"), ReadBytes(japanese / "Quorvel.log"));
}

}  // namespace
}  // namespace qv::engine
