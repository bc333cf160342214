#include "engine/result_log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/sntp.h"
#include "platform/ctime.h"
#include "platform/file.h"
#include "ui/headless/headless_host.h"
#include "engine/environment.h"

namespace qv::engine {
namespace {

namespace fs = std::filesystem;

std::string Utf8(const fs::path& p) {
  std::u8string s = p.u8string();
  return std::string(s.begin(), s.end());
}
std::string ReadBytes(const fs::path& p) { return platform::ReadWholeFile(Utf8(p)).bytes; }
void SetProfilePath(const std::string& path) {
  SetEnvironment({path, false, "HostNotFound", [](const std::string& text) { ui::ShowMessage(text); }});
}

class ResultLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui::SetHost(&host_);
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    dir_ = fs::temp_directory_path() /
           ("qv-log-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    SetProfilePath(Utf8(dir_ / "Quorvel.INI"));
    // What text mode stores for "\n" here, learnt from the C library itself.
    std::FILE* f = std::fopen(Utf8(dir_ / "probe").c_str(), "w");
    ASSERT_TRUE(f && std::fputs("\n", f) >= 0 && std::fclose(f) == 0);
    newline_ = ReadBytes(dir_ / "probe");
  }
  void TearDown() override {
    ui::SetHost(nullptr);
    SetProfilePath("");
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }
  std::string Lines(const std::string& text) {
    std::string out;
    for (char c : text) out += c == '\n' ? newline_ : std::string(1, c);
    return out;
  }

  ui::HeadlessHost host_;
  fs::path dir_;
  std::string newline_;
};

TEST_F(ResultLogTest, BothLogsAreByteExactAndAppended) {
  const std::string pc = "Tue Jan 06 09:05:03 2026";
  ASSERT_TRUE(platform::ReplaceFileAtomically(Utf8(dir_ / "Quorvel.log"), "earlier" + newline_));
  EXPECT_EQ(1, WriteResultLog(pc, "ntp.example", 0, 0, "OK", "Sun Dec 06 11:36:06 2026"));
  EXPECT_EQ(1, WriteResultLog(pc, "127.0.0.9", 1, 1, "OK", "Sun Dec 06 11:36:07 2026"));
  EXPECT_EQ(1, WriteResultLog(pc, "d.example", 2, 1, "OK", "Sun Dec  6 11:36:08 2026\r"));
  EXPECT_EQ(1, WriteResultLog(pc, "d.example", 2, 0, "ERROR (Connect):10061", ""));
  EXPECT_EQ(1, WriteResultLog(pc, "odd", 5, 0, "ERROR (TimeOut):0", "x"));
  EXPECT_EQ("earlier" + newline_ +
                Lines("Tue Jan 06 09:05:03 2026, ntp.example,    SNTP,  check, OK, Sun Dec 06 11:36:06 2026\n"
                      "Tue Jan 06 09:05:03 2026, 127.0.0.9,    time, adjust, OK, Sun Dec 06 11:36:07 2026\n"
                      "Tue Jan 06 09:05:03 2026, d.example, daytime, adjust, OK, Sun Dec  6 11:36:08 2026\r\n"
                      "Tue Jan 06 09:05:03 2026, d.example, daytime,  check, ERROR (Connect):10061, \n"
                      "Tue Jan 06 09:05:03 2026, odd,        ,  check, ERROR (TimeOut):0, x\n"),
            ReadBytes(dir_ / "Quorvel.log"));

  // The detail record: the server, four timestamps, the arrival or "( check only )".
  std::uint8_t reply[kSntpPacketSize] = {};
  const MicroTime times[4] = {{1699996400u, 7}, {1700000000u, 0}, {1700000002u, 50000}, {0xFFFFFFFFu, 1000000}};
  for (int i = 0; i < 4; ++i) {
    std::memcpy(reply + 16 + 8 * i, &times[i].seconds, 4);
    std::memcpy(reply + 20 + 8 * i, &times[i].micros, 4);
  }
  const MicroTime arrival{1700000000u, 100000};
  EXPECT_EQ(1, WriteSntpDetailLog("ntp.example", reply, &arrival));
  EXPECT_EQ(1, WriteSntpDetailLog("127.0.0.1", reply, nullptr));
  const std::string four = "Wed Nov 15 2023 06:13:20.000007\nWed Nov 15 2023 07:13:20.000000\n"
                           "Wed Nov 15 2023 07:13:22.050000\nSun Feb 07 2106 15:28:15.1000000\n";
  EXPECT_EQ(Lines("ntp.example\n" + four + "Wed Nov 15 2023 07:13:20.100000\n127.0.0.1\n" + four +
                  "( check only )\n"),
            ReadBytes(dir_ / "Quorvel.sntp.log"));
  EXPECT_TRUE(host_.message_boxes().empty());
}

TEST_F(ResultLogTest, LogNamesBesideTheProfile) {
  EXPECT_EQ("/a.b/c.sntp.log", LogFileName("/a.b/c.d", "sntp.log"));  // the last dot
  const fs::path before = fs::current_path();
  fs::current_path(dir_);
  SetProfilePath("Quorvel");  // no dot: the ending alone
  EXPECT_EQ(1, WriteResultLog("pc", "s", 0, 1, "OK", "t"));
  fs::current_path(before);
  EXPECT_EQ(Lines("pc, s,    SNTP, adjust, OK, t\n"), ReadBytes(dir_ / "log"));

  const fs::path japanese = dir_ / fs::path(u8"時刻合わせ");  // UTF-8 paths reach the OS intact
  fs::create_directories(japanese);
  SetProfilePath(Utf8(japanese / "Quorvel.INI"));
  EXPECT_EQ(1, WriteResultLog("pc", "s", 2, 0, "OK", "t"));
  EXPECT_EQ(Lines("pc, s, daytime,  check, OK, t\n"), ReadBytes(japanese / "Quorvel.log"));
}

TEST_F(ResultLogTest, UnopenableLogShowsTheMessageAndWritesNothing) {
  SetProfilePath(Utf8(dir_ / "missing" / "Quorvel.INI"));
  std::uint8_t reply[kSntpPacketSize] = {};
  EXPECT_EQ(0, WriteResultLog("pc", "s", 0, 0, "OK", "t"));
  EXPECT_EQ(0, WriteSntpDetailLog("s", reply, nullptr));
  ASSERT_EQ(2u, host_.message_boxes().size());
  for (const auto& box : host_.message_boxes()) {
    EXPECT_EQ("Can not open the logfile", box.text);
    EXPECT_EQ(ui::kMbOk | ui::kMbIconWarning, box.flags);
  }
  EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

}  // namespace
}  // namespace qv::engine
