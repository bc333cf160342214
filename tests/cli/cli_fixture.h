// Running the real quorvel-cli binary against qv-timeserver on loopback.
//
// Addresses (one fault mode each, started per test by qv::test::TimeServer;
// the engine tests use 127.0.0.2-22 and 27-30 natively, 32-52 and 57-58 for
// the Windows build, so ctest -j can run all of them at once):
//   .23 plain, .24 offset +2 s, .25 silent, .26 SNTP 49 bytes and TIME close,
//   .31 SNTP 47 bytes, .53 wrong originate, .54 reference 0 with a fixed TIME
//   value and DAYTIME line, .55 nobody listens.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "support/run_command.h"
#include "support/timeserver_fixture.h"

namespace qv::test {

inline const std::string kPlain = "127.0.0.23";
inline const std::string kOffset2 = "127.0.0.24";
inline const std::string kSilent = "127.0.0.25";
inline const std::string kLongAndClose = "127.0.0.26";
inline const std::string kShort = "127.0.0.31";
inline const std::string kWrongOriginate = "127.0.0.53";
inline const std::string kFixed = "127.0.0.54";
inline const std::string kNobody = "127.0.0.55";

// What kFixed answers, and how the cli shows it (C-runtime zone JST-9).
inline constexpr const char* kFixedTimeValue = "3000000000";
inline constexpr const char* kFixedTimeText = "Wed Jan 25 14:20:00 1995";
inline constexpr const char* kFixedDaytimeLine = "Fri Jan 13 01:02:03 2017\r";
// Reference timestamp 0, as the reference check reports it ("%c" then ".%i").
inline constexpr const char* kZeroReferenceText = "Thu Feb  7 15:28:16 2036.0";

inline int SlotOf(const std::string& address) { return std::stoi(address.substr(address.rfind('.') + 1)); }

// A server on `address` (QV_TIMESERVER_ADDRESS_BASE is 0 here).
inline std::vector<std::string> OptionsFor(const std::string& address) {
  if (address == kOffset2) return {"--offset", "2"};
  if (address == kSilent) return {"--silent"};
  if (address == kLongAndClose) return {"--sntp-length", "49", "--time-close"};
  if (address == kShort) return {"--sntp-length", "47"};
  if (address == kWrongOriginate) return {"--wrong-originate"};
  if (address == kFixed)
    return {"--ref-zero", "--time-value", kFixedTimeValue, "--daytime-text", "Fri Jan 13 01:02:03 2017\\r\\n"};
  return {};
}

// A fresh directory under the system's temporary directory, removed with
// everything in it at the end.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (int i = 0; i < 100 && path_.empty(); ++i) {
      auto candidate = base / ("qv-cli-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) path_ = candidate;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool Ok() const { return !path_.empty(); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

// One run of quorvel-cli: its exit code, its "name: value" lines and stderr.
struct CliRun {
  CommandResult command;
  std::vector<std::string> names;  // in printed order
  std::map<std::string, std::string> fields;

  int exit_code() const { return command.exit_code; }
  std::string Field(const std::string& name) const {
    auto it = fields.find(name);
    return it == fields.end() ? "<missing>" : it->second;
  }
};

inline CliRun ParseCliOutput(CommandResult command) {
  CliRun run;
  run.command = std::move(command);
  std::size_t at = 0;
  const std::string& out = run.command.out;
  while (at < out.size()) {
    std::size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    const std::string line = out.substr(at, end - at);
    const std::size_t colon = line.find(": ");
    const std::string name = line.substr(0, colon);
    run.names.push_back(name);
    run.fields[name] = colon == std::string::npos ? "" : line.substr(colon + 2);
    at = end + 1;
  }
  return run;
}

// Runs `prefix` quorvel-cli `args` (prefix: a wrapper such as setpriv).
inline CliRun RunCli(const std::vector<std::string>& args, const TempDir& dir,
                     const std::vector<std::string>& prefix = {}) {
  std::vector<std::string> words = prefix;
  words.push_back(QV_CLI_PATH);
  words.insert(words.end(), args.begin(), args.end());
  return ParseCliOutput(RunCapture(words, dir.File("run")));
}

// Starts the servers a test names and a temporary directory for its files.
class CliTest : public ::testing::Test {
 protected:
  void StartServers(std::initializer_list<std::string> addresses) {
    for (const std::string& address : addresses) {
      servers_.push_back(std::make_unique<TimeServer>(SlotOf(address), OptionsFor(address)));
      ASSERT_TRUE(servers_.back()->Ready()) << servers_.back()->Problem();
    }
  }
  void SetUp() override { ASSERT_TRUE(dir_.Ok()); }

  TempDir dir_;
  std::vector<std::unique_ptr<TimeServer>> servers_;
};

}  // namespace qv::test
