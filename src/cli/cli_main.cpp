// quorvel-cli: one check or adjustment from a terminal, through the same
// engine and query runner as the programs (on the headless host).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_settings.h"
#include "engine/operations.h"
#include "engine/result_log.h"
#include "engine/time_text.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "platform/process.h"
#include "profile/app_state.h"
#include "runner/query_runner.h"
#include "runner/runner_template.h"
#include "hosts/headless/headless_host.h"

namespace {

using namespace qv;

// The main program's strings this program shows.
constexpr int kStrNetStartFailed = 111;
constexpr int kStrHostNotFound = 112;

// The texts quorvel-cli shows, as the main program words them.
const ui::StringTable kStrings = {
    {kStrNetStartFailed, "Windows ｿｹｯﾄの初期化に失敗しました。"},
    {kStrHostNotFound, "HostNotFound"},
    {runner::kRunnerCaptionString, "Quorvel"},
};

// Exit statuses.
constexpr int kExitOk = 0, kExitFailed = 1, kExitUsage = 2, kExitLogFailed = 3;

[[noreturn]] void Exit(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  // An abandoned query worker may still be inside a name lookup; it holds
  // nothing of ours, so the process ends without waiting for it.
  std::_Exit(code);
}

// Tells what went wrong with a log, if anything; true when nothing did.
bool ReportLog(engine::LogWrite outcome, const char* which, const std::string& path) {
  if (outcome == engine::LogWrite::kOpenFailed) {
    std::fprintf(stderr, "quorvel-cli: %s: %s %s\n", engine::kLogOpenFailedText, which, path.c_str());
    return false;
  }
  if (outcome == engine::LogWrite::kWriteFailed) {
    std::fprintf(stderr, "quorvel-cli: could not write the %s %s (disk full?)\n", which, path.c_str());
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  // The OS zone is taken before the C-runtime zone is fixed below.
  platform::CaptureOsZone();

  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto parsed = cli::ParseCliArgs(args, error);
  if (!parsed) {
    std::fprintf(stderr, "quorvel-cli: %s\n%s", error.c_str(), cli::kUsage);
    Exit(kExitUsage);
  }
  if (parsed->help) {
    std::fputs(cli::kUsage, stdout);
    Exit(kExitOk);
  }
  if (parsed->version) {
    std::puts("quorvel-cli " QV_VERSION);
    Exit(kExitOk);
  }

  ui::HeadlessHost host;
  ui::SetHost(&host);
  ui::SetStringTable(&kStrings);
  // The runner's message boxes become lines on stderr.
  host.on_message_box = [](const ui::HeadlessHost::MessageBoxRecord& box) {
    std::fprintf(stderr, "quorvel-cli: %s\n", box.text.c_str());
  };

  if (platform::NetStartup() != 0) {
    std::fprintf(stderr, "quorvel-cli: %s\n", kStrings.at(kStrNetStartFailed).c_str());
    Exit(kExitFailed);
  }
  // Server times read as the main program shows them: it fixes the
  // C-runtime zone. PC times are in the OS zone.
  if (!platform::SetCRuntimeZone("JST-9")) std::fprintf(stderr, "quorvel-cli: can't set putenv().\n");
  if (const std::string problem = platform::OsZoneProblem(); !problem.empty())
    std::fprintf(stderr, "quorvel-cli: %s; PC times are in UTC\n", problem.c_str());

  const cli::CliSettings settings = cli::ResolveSettings(*parsed);
  if (settings.server.empty()) {
    std::fprintf(stderr, "quorvel-cli: no server: give --server or set DefaultServer in %s\n",
                 profile::ProfilePath().c_str());
    Exit(kExitUsage);
  }
  const engine::Request request = engine::MakeRequest(
      settings.protocol, settings.server, settings.timeout, settings.beep, settings.reference_check,
      settings.reference_hours, parsed->debug ? engine::DetailLogPath(profile::ProfilePath()) : "",
      kStrings.at(kStrHostNotFound));

  runner::InstallQueryRunner(runner::Variant::kMain);
  const bool tty = platform::StderrIsTerminal();
  if (tty) {
    host.on_text = [&](ui::WindowId, int control, const std::string& text) {
      if (control == runner::kIdCountdown) std::fprintf(stderr, "\r%s  %s sec. ", settings.server.c_str(), text.c_str());
    };
  }
  // Ctrl-C is the runner's Cancel button; outside a query it ends the program.
  platform::InstallInterruptHandler([] {
    if (!runner::InterruptQuery()) std::_Exit(130);
  });

  const engine::Result result =
      parsed->command == cli::Command::kAdjust ? engine::Adjust(request) : engine::Check(request);
  if (tty) std::fputs("\r\033[K", stderr);

  bool logs_ok = ReportLog(result.detail_log, "SNTP detail log", request.sntp_detail_log);
  if (settings.log) {
    const std::string path = engine::ResultLogPath(profile::ProfilePath());
    logs_ok = ReportLog(engine::WriteResultLog(path, request, result), "result log", path) && logs_ok;
  }

  // A refused set says why; the result log keeps its form (the detail).
  const bool refused = result.refusal != platform::ClockRefusal::kNone;
  if (const std::string hint = platform::ClockRightHint(result.refusal, platform::ExecutablePath()); !hint.empty())
    std::fprintf(stderr, "quorvel-cli: %s\n", hint.c_str());
  std::printf("status: %s\n", result.status.c_str());
  std::printf("detail: %s\n", refused ? platform::ClockRefusalText(result.refusal) : result.detail.c_str());
  if (!result.set_by.empty()) std::printf("set-by: %s\n", result.set_by.c_str());
  std::printf("server-time: %s\n", result.server_time.c_str());
  std::printf("pc-time: %s\n", result.pc_time.c_str());
  if (result.offset_ns) std::printf("offset: %s\n", engine::FormatOffset(*result.offset_ns).c_str());
  Exit(!result.ok() ? kExitFailed : logs_ok ? kExitOk : kExitLogFailed);
}
