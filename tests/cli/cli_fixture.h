// Running the real quorvel-cli against qv-timeserver on loopback, one fault
// mode per address (the engine tests use others: ctest -j runs them all).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/timeserver_fixture.h"

namespace qv::test {

inline const std::string kPlain = LoopbackAddress(23), kOffset2 = LoopbackAddress(24),
                         kSilent = LoopbackAddress(25), kLongAndClose = LoopbackAddress(26),
                         kShort = LoopbackAddress(31), kWrongOriginate = LoopbackAddress(53),
                         kFixed = LoopbackAddress(54), kNobody = LoopbackAddress(55);  // nobody listens on kNobody
// kFixed's TIME and DAYTIME answers as the cli shows them (zone JST-9).
inline constexpr const char* kFixedTimeText = "Wed Jan 25 14:20:00 1995";
inline constexpr const char* kFixedDaytimeLine = "Fri Jan 13 01:02:03 2017\r";

// The servers on those addresses, up for the whole test program.
inline const std::map<std::string, std::vector<std::string>> kServers{
    {kPlain, {}},
    {kOffset2, {"--offset", "2"}},
    {kSilent, {"--silent"}},
    {kLongAndClose, {"--sntp-length", "49", "--time-close"}},
    {kShort, {"--sntp-length", "47"}},
    {kWrongOriginate, {"--wrong-originate"}},
    {kFixed, {"--ref-zero", "--time-value", "3000000000", "--daytime-text", "Fri Jan 13 01:02:03 2017\\r\\n"}}};

// One run: exit code and stderr, and the "name: value" lines it printed.
struct CliRun {
  CommandResult command;
  std::vector<std::string> names;  // in printed order
  std::map<std::string, std::string> fields;
  std::string Field(const std::string& name) const { return fields.count(name) ? fields.at(name) : "<missing>"; }
};

// `prefix` quorvel-cli `args`. `adjust` runs only behind a prefix, and only
// test_cli_adjust.cpp's proven unprivileged one gives it.
inline CliRun RunCli(const std::string& scratch, const std::vector<std::string>& args,
                     std::vector<std::string> prefix = {}) {
  CliRun run;
  if (prefix.empty() && std::find(args.begin(), args.end(), "adjust") != args.end()) {
    ADD_FAILURE() << "quorvel-cli adjust must not run with this process's privileges";
    return run;
  }
  prefix.push_back(QV_CLI_PATH);
  prefix.insert(prefix.end(), args.begin(), args.end());
  run.command = RunCapture(prefix, scratch);
  std::istringstream out(run.command.out);
  for (std::string line; std::getline(out, line);) {
    const std::size_t colon = line.find(": ");
    run.names.push_back(line.substr(0, colon));
    run.fields[run.names.back()] = colon == std::string::npos ? "" : line.substr(colon + 2);
  }
  return run;
}

// The servers, and a temporary directory for each test's files.
class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const auto& [address, options] : kServers)
      servers_.push_back(std::make_unique<TimeServer>(std::stoi(address.substr(address.rfind('.') + 1)), options));
  }
  static void TearDownTestSuite() { servers_.clear(); }
  void SetUp() override {
    for (const auto& server : servers_) ASSERT_TRUE(server->Ready()) << server->Problem();
    const auto dir = std::filesystem::temp_directory_path() / ("qv-cli-" + std::to_string(std::random_device{}()));
    ASSERT_TRUE(std::filesystem::create_directory(dir));
    dir_ = dir;
  }
  void TearDown() override {
    std::error_code ignored;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
  }
  std::string File(const std::string& name) const { return (dir_ / name).string(); }
  CliRun Cli(const std::vector<std::string>& args) const { return RunCli(File("run"), args); }

  static inline std::vector<std::unique_ptr<TimeServer>> servers_;
  std::filesystem::path dir_;
};

}  // namespace qv::test
