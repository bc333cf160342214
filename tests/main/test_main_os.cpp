// The main program's OS services: the single-instance lock, starting a
// process and noticing its end, the C runtime's zone state, and the
// dial-up decision.
#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

#include "main/dialup_check.h"
#include "main_fixture.h"
#include "platform/command_line.h"
#include "platform/ctime.h"
#include "platform/czone_state.h"
#include "platform/instance.h"
#include "platform/spawn.h"
#include "support/wait_until.h"

namespace qv::main {
namespace {

using platform::InstanceLock;

TEST(InstanceLock, OneHolderPerName) {
  const std::string name = "QvLockTest" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
  {
    const InstanceLock first(name);
    ASSERT_EQ(first.state(), InstanceLock::State::kHeld);
    EXPECT_EQ(InstanceLock(name).state(), InstanceLock::State::kAlreadyRunning);
    EXPECT_EQ(InstanceLock(name + "-copy").state(), InstanceLock::State::kHeld) << "another file name, another program";
  }
  EXPECT_EQ(InstanceLock(name).state(), InstanceLock::State::kHeld) << "released with its holder";
}

// (How the settings program's argument text splits into words:
// Options.AnyFolderNameSurvivesTheSettingsCommandLine.)
TEST(Spawn, LongCommandLineReachesTheProgramWholeAndItsEndIsNoticed) {
  // Far beyond 255 characters, with blanks and Japanese in the path.
  std::string path = "/tmp/設定 フォルダ/";
  while (path.size() < 400) path += "長いフォルダ名 long folder/";
  path += "Quorvel.INI";
  const std::string arguments = "-profile=\"" + path + "\" -geohwnd=1234 xyz";
  const std::string program = platform::NativeProgramName("qv_echo_args.exe");
  const std::string out = platform::ExecutableFolder() + "qv_echo_args.out";
  std::remove(out.c_str());

  std::uint32_t error = 0;
  auto child = platform::ChildProcess::Start(program, arguments, error);
  ASSERT_TRUE(child) << "error " << error;
  std::atomic<int> noticed{-1};
  std::atomic<bool> other_thread{false};
  const auto self = std::this_thread::get_id();
  child->OnExit([&](int code) {
    other_thread = std::this_thread::get_id() != self;
    noticed = code;
  });
  int code = -1;
  ASSERT_TRUE(child->Wait(20000, code));
  EXPECT_EQ(code, 3);
  qv::test::WaitUntil([&] { return noticed >= 0; });
  EXPECT_EQ(noticed, 3);
  EXPECT_TRUE(other_thread);

  std::stringstream written;
  written << std::ifstream(out, std::ios::binary).rdbuf();
  const std::string expected = platform::NativeCommandLine()
                                   ? "line:" + platform::BuildCommandLine(program, arguments)
                                   : "-profile=" + path + "\n-geohwnd=1234\nxyz\n";
  EXPECT_EQ(written.str(), expected);
  EXPECT_GT(arguments.size(), 255u);
}

TEST(Spawn, MissingProgramIsAnError) {
  std::uint32_t error = 0;
  EXPECT_EQ(platform::ChildProcess::Start("qv-no-such-program-here", "", error), nullptr);
  EXPECT_NE(error, 0u);
}

TEST(CRuntimeZone, StateAfterTzAndTheDaylightFlag) {
  ASSERT_TRUE(platform::SetCRuntimeZone("CET-1CEST"));
  platform::CRuntimeZoneState z = platform::ReadCRuntimeZone();
  EXPECT_EQ(z.seconds_west, -3600);
  EXPECT_EQ(z.daylight, 1);
  EXPECT_EQ(z.tz, "CET-1CEST");
  platform::ClearCRuntimeDaylight();
  EXPECT_EQ(platform::ReadCRuntimeZone().daylight, 0);
  ASSERT_TRUE(platform::SetCRuntimeZone("JST-9"));
  z = platform::ReadCRuntimeZone();
  EXPECT_EQ(std::make_tuple(z.daylight, z.seconds_west / 3600, z.tz), std::make_tuple(0, -9L, std::optional<std::string>("JST-9")));
}

#ifdef _WIN32
// The value as the registry holds it, whatever its type (what it decides:
// DecisionTable). Only values that let queries out, as other tests query.
TEST(Dialup, TheValueReadsAsStored) {
  const std::string value_name =
      "\"HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\" /v EnableAutodial";
  const auto reg = [](const std::string& arguments) {
    std::uint32_t error = 0;
    auto child = platform::ChildProcess::Start("reg", arguments, error);
    int code = -1;
    return child && child->Wait(30000, code) && code == 0;
  };
  using State = platform::AutodialValue::State;
  const std::pair<const char*, platform::AutodialValue> rows[] = {
      {nullptr, {State::kMissing, {}}},
      {"/t REG_DWORD /d 256", {State::kRead, {0, 1, 0, 0}}},
      {"/t REG_BINARY /d 0005", {State::kRead, {0, 5}}},
  };
  for (const auto& [value, want] : rows) {
    SCOPED_TRACE(value ? value : "missing");
    if (value)
      ASSERT_TRUE(reg("add " + value_name + " " + value + " /f"));
    else
      reg("delete " + value_name + " /f");
    const platform::AutodialValue got = platform::ReadAutodialValue();
    EXPECT_EQ(got.state, want.state);
    EXPECT_EQ(got.data, want.data);
  }
  reg("delete " + value_name + " /f");
}
#endif

TEST(Dialup, DecisionTable) {
  using State = platform::AutodialValue::State;
  struct Row {
    State state;
    std::vector<std::uint8_t> data;
    std::uintptr_t connection;  // what the one-entry enumeration found
    int setting;
    bool may_query, enumerated;
  } rows[] = {
      {State::kRead, {0}, 0, 0, true, false},
      {State::kRead, {1}, 0, 1, false, true},
      {State::kRead, {1}, 0x1234, 1, true, true},
      {State::kRead, {1, 0, 0, 0}, 0x1234, 1, true, true},  // a 32-bit number reads as its first byte
      {State::kRead, {2}, 0x1234, -1, false, false},
      {State::kRead, {}, 0x1234, -1, false, false},
      {State::kFailed, {}, 0x1234, -1, false, false},
      // Missing key or value: a machine without dial-up, so no dialling.
      {State::kMissing, {}, 0, 0, true, false},
  };
  for (const Row& r : rows) {
    test::FakeDialup probe;
    probe.value = {r.state, r.data};
    probe.connection = r.connection;
    EXPECT_EQ(AutodialSetting(probe.value), r.setting);
    EXPECT_EQ(CheckDialup(probe), r.may_query) << r.setting;
    EXPECT_EQ(probe.reads, 1);
    EXPECT_EQ(probe.finds, r.enumerated ? 1 : 0);
  }
}

}  // namespace
}  // namespace qv::main
