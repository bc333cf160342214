// Running the real quorvel-cli against qv-timeserver on loopback, one fault
// mode per server.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "profile/temp_dir.h"
#include "support/run_command.h"
#include "support/timeserver_fixture.h"

namespace qv::test {

// The servers of this test, from the table QV_TIMESERVERS; nobody ever
// listens on kNobody.
namespace servers = test::servers;
inline const ServerSpec* const kServers[] = {&servers::cli_plain, &servers::cli_offset, &servers::cli_silent,
                                             &servers::cli_fixed};
// cli_fixed's TIME and DAYTIME answers as the cli shows them (zone JST-9).
inline constexpr const char* kFixedTimeText = "Wed Jan 25 14:20:00 1995";
inline constexpr const char* kFixedDaytimeLine = "Fri Jan 13 01:02:03 2017\r";

// One run: exit code and stderr, and the "name: value" lines it printed.
struct CliRun {
  CommandResult command;
  std::vector<std::string> names;  // in printed order
  std::map<std::string, std::string> fields;
  std::string Field(const std::string& name) const { return fields.count(name) ? fields.at(name) : "<missing>"; }
};

// `prefix` quorvel-cli `args`. `adjust` runs only behind a prefix, and only
// test_cli_adjust.cpp's proven unprivileged one gives it. Every run's system
// bus is one that cannot exist: a refused set asks the clock service there,
// never the machine's.
inline CliRun RunCli(const std::string& scratch, const std::vector<std::string>& args,
                     std::vector<std::string> prefix = {}) {
  CliRun run;
  if (prefix.empty() && std::find(args.begin(), args.end(), "adjust") != args.end()) {
    ADD_FAILURE() << "quorvel-cli adjust must not run with this process's privileges";
    return run;
  }
  prefix.push_back(QV_CLI_PATH);
  prefix.insert(prefix.end(), args.begin(), args.end());
  run.command = RunCapture(prefix, scratch, {"DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + scratch + ".no-bus"});
  std::istringstream out(run.command.out);
  for (std::string line; std::getline(out, line);) {
    const std::size_t colon = line.find(": ");
    run.names.push_back(line.substr(0, colon));
    run.fields[run.names.back()] = colon == std::string::npos ? "" : line.substr(colon + 2);
  }
  return run;
}

// The servers, and a fresh folder for each test's files.
class CliTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const ServerSpec* spec : kServers) servers_[spec] = std::make_unique<TimeServer>(*spec);
  }
  static void TearDownTestSuite() { servers_.clear(); }
  void SetUp() override {
    for (const auto& [spec, server] : servers_) ASSERT_SERVER(*server);
  }
  std::string File(const std::string& name) const { return dir_.File(name); }
  static std::string Address(const ServerSpec& spec) { return servers_.at(&spec)->Address(); }
  CliRun Cli(const std::vector<std::string>& args) const { return RunCli(File("run"), args); }

  static inline std::map<const ServerSpec*, std::unique_ptr<TimeServer>> servers_;
  TempDir dir_;
};

}  // namespace qv::test
