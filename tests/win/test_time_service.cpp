// The time service end to end under Wine, in a prefix of its own as the
// unprivileged user 65534 (tests/win/quorvel-unprivileged): quorvel-cli
// installs it; a program refused the right to set the clock has it set by
// the service; callers that misbehave never stop it from serving; removed,
// it is reported missing. Wine refuses any set more than half a second
// from its own clock and sets nothing otherwise, so the servers below answer
// a program's own query an hour off (refused) and the service's exactly.
#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/operations.h"
#include "engine/service_wire.h"
#include "hosts/headless/headless_host.h"
#include "main/main_dialog.h"
#include "platform/clock.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "platform/time_service.h"
#include "platform/win32/utf16.h"
#include "quorvel_e2e.h"
#include "runner/query_runner.h"
#include "support/timeserver_fixture.h"

namespace qv::e2e {
namespace {

using Bytes = std::vector<std::uint8_t>;
using platform::ClockRefusal;
using platform::ServiceCallEnd;

const std::string kCli = BuiltProgram("quorvel-cli.exe", QV_CLI_EXE);
const std::string kQuorvel = BuiltProgram("Quorvel.exe", QV_QUORVEL_EXE);
const std::string kQuorcfg = BuiltProgram("Quorcfg.exe", QV_QUORCFG_EXE);
// The first answer an hour off, every later one exact.
const std::string kFirstOffEngine = qv::test::TimeServer(qv::test::servers::svc_first_engine).Address();
const std::string kFirstOffMain = qv::test::TimeServer(qv::test::servers::svc_first_main).Address();
const std::string kFirstOffCli = qv::test::TimeServer(qv::test::servers::svc_first_cli).Address();
const std::string kHourOff = qv::test::TimeServer(qv::test::servers::svc_hour_off).Address();
const std::string kSilent = qv::test::TimeServer(qv::test::servers::svc_silent).Address();

// quorvel-cli with these arguments; its exit code (-1: still running).
int Cli(const std::string& arguments) {
  std::uint32_t error = 0;
  auto child = platform::ChildProcess::Start("\"" + kCli + "\"", arguments, error);
  EXPECT_TRUE(child) << error;
  int code = -1;
  return child && child->Wait(120000, code) ? code : -1;
}

// Framed, but no request.
const Bytes kGarbage{3, 0, 0, 0, 1, 2, 3};

platform::ServiceCall Call(const Bytes& request, int seconds = 20) {
  return platform::CallTimeService(request, std::chrono::seconds(seconds), nullptr);
}

Bytes Request(const std::string& server, int timeout = 3) {
  return engine::EncodeServiceRequest({kSntp, server, timeout, true, 24});
}

std::optional<engine::ServiceAnswer> AnswerOf(const platform::ServiceCall& call) {
  if (call.end != ServiceCallEnd::kAnswered) return std::nullopt;
  const auto reply = engine::DecodeServiceReply(call.reply);
  return reply ? std::optional(reply->answer) : std::nullopt;
}

// A raw caller: the pipe opened as a caller opens it (once an instance is
// free), left to the test.
HANDLE OpenPipe() {
  const std::wstring name = platform::Widen(platform::kTimeServicePipe);
  HANDLE pipe = INVALID_HANDLE_VALUE;
  qv::test::WaitUntil([&] {
    pipe = CreateFileW(name.c_str(), FILE_READ_DATA | FILE_WRITE_DATA | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE, 0, nullptr,
                       OPEN_EXISTING, 0, nullptr);
    return pipe != INVALID_HANDLE_VALUE || GetLastError() != ERROR_PIPE_BUSY;
  }, 20000, 20);
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (pipe != INVALID_HANDLE_VALUE) SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr);
  return pipe;
}

class TimeService : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(platform::NetStartup(), 0);
    ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
    ui::SetHost(&host_);
    runner::InstallQueryRunner(runner::Variant::kMain);
  }
  void SetUp() override {
    // Setting the clock, even by Wine's rules, is for a process that
    // provably cannot reach this machine's clock.
    if (!platform::ProvenUnableToSetClock()) GTEST_SKIP() << "this process might be able to set the clock";
  }
  static engine::Result Adjust(const std::string& server) {
    return engine::Adjust(engine::MakeRequest(kSntp, server, 3, 0, 1, 24, "", "HostNotFound"));
  }
  static inline ui::HeadlessHost host_;
};

// Each program states it runs as its user, aware of the system's DPI, on
// the Windows versions it names: read back from the built files.
TEST_F(TimeService, EveryProgramCarriesItsManifest) {
  for (const std::string& exe : {kQuorvel, kQuorcfg, kCli}) {
    SCOPED_TRACE(exe);
    HMODULE module = LoadLibraryExW(platform::Widen(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(found, nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(text, SizeofResource(module, found));
    for (const char* part : {"level=\"asInvoker\"", ">true</dpiAware>", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
                             "{e2011457-1546-43c5-a5fe-008deee3d3f0}"})
      EXPECT_NE(manifest.find(part), std::string::npos) << part;
    FreeLibrary(module);
  }
}

TEST_F(TimeService, InstalledItSetsTheClockForAProgramRefusedTheRight) {
  // From a console, the service mode only says what it is for.
  EXPECT_EQ(Cli("service"), 2);
  Cli("remove-service");  // one an interrupted run left
  ASSERT_EQ(Cli("install-service"), 0);
  EXPECT_EQ(Cli("install-service"), 5);  // already installed
  platform::ServiceCall last;
  ASSERT_TRUE(qv::test::WaitUntil([&] { return AnswerOf(last = Call(kGarbage)).has_value(); }, 60000, 100))
      << "the service never answered: " << static_cast<int>(last.end) << ", error " << last.os_error;

  const struct {
    const std::string& server;
    engine::Stage stage;
    ClockRefusal refusal;
    const char* set_by;
  } kCases[] = {
      // This process is refused an hour off; the service's own query is exact.
      {kFirstOffEngine, engine::Stage::kOk, ClockRefusal::kNone, engine::kTimeServiceName},
      // The service is refused too: its refusal is the answer.
      {kHourOff, engine::Stage::kClockSet, ClockRefusal::kNoRight, ""},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.server);
    const engine::Result result = Adjust(c.server);
    EXPECT_EQ(result.stage, c.stage) << result.status << " " << result.detail;
    EXPECT_EQ(result.refusal, c.refusal);
    EXPECT_EQ(result.set_by, c.set_by);
    EXPECT_EQ(result.ok(), IsTimeText(result.server_time)) << result.server_time;
  }

  // The CLI and the main program, each refused the right on its own.
  EXPECT_EQ(Cli("adjust --protocol SNTP --timeout 3 --server " + kFirstOffCli), 0);
  QuorvelCopy copy(kQuorvel, "q", "QuorvelS", "[Property]\r\nDefaultServer=" + kFirstOffMain + "\r\nprotocol=SNTP\r\n");
  Running q(copy.exe());
  const ui::WindowId w = q.MainWindow();
  ASSERT_NE(w, 0);
  EXPECT_TRUE(drv::ClickButton(w, main::kIdAdjust));
  const ui::WindowId notice = drv::WaitForDialogOf(
      q.pid(), [](ui::WindowId d) { return drv::ControlOf(d, main::kIdNoticeFirst) != 0; }, 60000);
  ASSERT_NE(notice, 0);
  EXPECT_EQ(drv::ControlText(notice, main::kIdNoticeSecond), "<< ADJUSTED!! >>");
  EXPECT_TRUE(IsTimeText(WaitForText(w, main::kIdServerTime, IsTimeText)));
  drv::ClickButton(w, ui::kIdOk);
  EXPECT_EQ(q.Ended(20000), 0);
}

TEST_F(TimeService, CallersThatMisbehaveNeverStopItServing) {
  // Garbage, less than a length, and a request past the bound: refused, or
  // the pipe closed.
  for (const Bytes& bad : {kGarbage, Bytes{1, 2, 3}, Bytes(4000, 0x51)}) {
    const platform::ServiceCall call = Call(bad);
    if (call.end == ServiceCallEnd::kAnswered) {
      EXPECT_EQ(AnswerOf(call), engine::ServiceAnswer::kRefused);
    }
  }
  // Half a request, never finished: the service gives up on it and closes.
  HANDLE half = OpenPipe();
  ASSERT_NE(half, INVALID_HANDLE_VALUE);
  const Bytes whole = Request(kHourOff);
  DWORD n = 0;
  ASSERT_TRUE(WriteFile(half, whole.data(), 6, &n, nullptr));
  std::uint8_t sink[16];
  EXPECT_FALSE(ReadFile(half, sink, sizeof sink, &n, nullptr));  // blocks until the service drops it
  CloseHandle(half);

  // While one caller's adjustment runs (a silent server: its whole time-out),
  // a second one is told the service is busy. The first may itself meet the
  // second's garbage being served: it asks again, as a caller told busy does.
  std::atomic<bool> first_done{false};
  platform::ServiceCall first;
  std::thread caller([&] {
    do first = Call(Request(kSilent, 8), 30);
    while (AnswerOf(first) == engine::ServiceAnswer::kBusy);
    first_done = true;
  });
  std::optional<engine::ServiceAnswer> second;
  EXPECT_TRUE(qv::test::WaitUntil(
      [&] { return (second = AnswerOf(Call(kGarbage))) == engine::ServiceAnswer::kBusy || first_done; }, 30000, 20));
  EXPECT_EQ(second, engine::ServiceAnswer::kBusy);
  caller.join();
  ASSERT_EQ(first.end, ServiceCallEnd::kAnswered);
  const auto timed_out = engine::DecodeServiceReply(first.reply);
  ASSERT_TRUE(timed_out);
  EXPECT_EQ(timed_out->result.stage, engine::Stage::kTimeOut);

  // And after all that, a good request is served.
  const platform::ServiceCall good = Call(Request(kHourOff));
  ASSERT_EQ(AnswerOf(good), engine::ServiceAnswer::kResult);
  EXPECT_EQ(engine::DecodeServiceReply(good.reply)->result.refusal, ClockRefusal::kNoRight);
}

TEST_F(TimeService, RemovedItIsReportedMissing) {
  ASSERT_EQ(Cli("remove-service"), 0);
  EXPECT_EQ(Cli("remove-service"), 5);  // not installed
  const engine::Result result = Adjust(kHourOff);
  EXPECT_EQ(result.stage, engine::Stage::kClockSet);
  EXPECT_EQ(result.refusal, ClockRefusal::kHelperMissing);
}

}  // namespace
}  // namespace qv::e2e
