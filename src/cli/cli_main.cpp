// quorvel-cli: one check or adjustment from a terminal, through the same
// engine and query runner as the programs (on the headless host).
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_report.h"
#include "cli/cli_settings.h"
#include "engine/operations.h"
#include "engine/result_log.h"
#include "engine/server_cycle.h"
#include "engine/service_wire.h"
#include "engine/time_text.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/ctime.h"
#include "platform/net.h"
#include "platform/process.h"
#include "platform/time_service.h"
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
// A monitoring run's usage error: UNKNOWN, as the plugins' convention has
// it, never read as CRITICAL.
constexpr int kExitMonitoringUsage = 3;
// install-service and remove-service only.
constexpr int kExitNotAdministrator = 4, kExitAlready = 5;

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

// The process-wide setup every query needs: the runner's host, sockets and
// the zone server times are shown in. False when sockets cannot start.
bool StartQuerying(ui::HeadlessHost& host) {
  ui::SetHost(&host);
  ui::SetStringTable(&kStrings);
  if (platform::NetStartup() != 0) return false;
  // Server times read as the main program shows them: it fixes the
  // C-runtime zone. PC times are in the OS zone.
  if (!platform::SetCRuntimeZone("JST-9")) std::fprintf(stderr, "quorvel-cli: can't set putenv().\n");
  runner::InstallQueryRunner(runner::Variant::kMain);
  return true;
}

// The service's life: adjust for each caller until the service manager
// stops it. The host and its modal loops belong to this thread.
int Serve(const platform::CancelSignal& stop) {
  platform::EnableClockRight();  // held by its account; a set without it is refused and said so
  ui::HeadlessHost host;
  if (!StartQuerying(host)) return 1;
  platform::ServiceAnswers answers;
  answers.max_request = engine::kMaxServiceRequest;
  answers.answer = [](std::span<const std::uint8_t> request) {
    return engine::AnswerServiceRequest(request, engine::Adjust);
  };
  answers.busy = engine::BusyServiceReply();
  answers.refused = engine::EncodeServiceReply({engine::ServiceAnswer::kRefused, {}});
  std::uint32_t error = 0;
  // A caller gets two seconds to send its request whole.
  return platform::ServeTimeService(answers, stop, std::chrono::seconds(2), error) ? 0 : static_cast<int>(error);
}

[[noreturn]] void ServiceCommand(cli::Command command) {
  if (!platform::HasTimeService()) {
    std::fprintf(stderr, "quorvel-cli: no such service on this system\n");
    Exit(kExitFailed);
  }
  if (command == cli::Command::kService) {
    std::uint32_t error = 0;
    if (platform::RunAsService(Serve, error)) Exit(kExitOk);
    if (error == 1063)  // ERROR_FAILED_SERVICE_CONTROLLER_CONNECT: from a console
      std::fprintf(stderr,
                   "quorvel-cli: 'service' is what the service manager starts; an administrator installs it with "
                   "'quorvel-cli install-service'\n");
    else
      std::fprintf(stderr, "quorvel-cli: the service could not start (error %u)\n", static_cast<unsigned>(error));
    Exit(kExitUsage);
  }
  const bool install = command == cli::Command::kInstallService;
  const platform::ServiceSetupResult done = install ? platform::InstallTimeService("service") : platform::RemoveTimeService();
  if (!done.note.empty()) std::fprintf(stderr, "quorvel-cli: %s\n", done.note.c_str());
  switch (done.outcome) {
    case platform::ServiceSetup::kDone:
      std::printf(install ? "the time service is installed: the users of this PC may set the clock from a time server "
                            "they name\n"
                          : "the time service is removed\n");
      Exit(kExitOk);
    case platform::ServiceSetup::kNotAdministrator:
      std::fprintf(stderr, "quorvel-cli: %s the time service needs an administrator: run it elevated\n",
                   install ? "installing" : "removing");
      Exit(kExitNotAdministrator);
    case platform::ServiceSetup::kAlreadyThere:
      std::fprintf(stderr, "quorvel-cli: the time service is already installed\n");
      Exit(kExitAlready);
    case platform::ServiceSetup::kNotThere:
      std::fprintf(stderr, "quorvel-cli: the time service is not installed\n");
      Exit(kExitAlready);
    case platform::ServiceSetup::kUnsupported:
      std::fprintf(stderr, "quorvel-cli: no such service on this system\n");
      Exit(kExitFailed);
    case platform::ServiceSetup::kFailed: break;
  }
  std::fprintf(stderr, "quorvel-cli: %s the time service failed (error %u)\n", install ? "installing" : "removing",
               static_cast<unsigned>(done.os_error));
  Exit(kExitFailed);
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
    const bool monitoring = std::any_of(args.begin(), args.end(), [](const std::string& a) {
      return a.rfind("--warn", 0) == 0 || a.rfind("--crit", 0) == 0;
    });
    Exit(monitoring ? kExitMonitoringUsage : kExitUsage);
  }
  if (parsed->help) {
    std::fputs(cli::kUsage, stdout);
    Exit(kExitOk);
  }
  if (parsed->version) {
    std::puts("quorvel-cli " QV_VERSION);
    Exit(kExitOk);
  }

  if (parsed->command != cli::Command::kCheck && parsed->command != cli::Command::kAdjust)
    ServiceCommand(parsed->command);

  ui::HeadlessHost host;
  // The runner's message boxes become lines on stderr.
  host.on_message_box = [](const ui::HeadlessHost::MessageBoxRecord& box) {
    std::fprintf(stderr, "quorvel-cli: %s\n", box.text.c_str());
  };
  if (!StartQuerying(host)) {
    std::fprintf(stderr, "quorvel-cli: %s\n", kStrings.at(kStrNetStartFailed).c_str());
    Exit(kExitFailed);
  }
  if (const std::string problem = platform::OsZoneProblem(); !problem.empty())
    std::fprintf(stderr, "quorvel-cli: %s; PC times are in UTC\n", problem.c_str());

  const bool monitoring = parsed->warn_ns || parsed->crit_ns;
  const int usage_exit = monitoring ? kExitMonitoringUsage : kExitUsage;
  const cli::CliSettings settings = cli::ResolveSettings(*parsed, usage_exit);
  if (settings.servers.front().empty()) {
    std::fprintf(stderr, "quorvel-cli: no server: give --server or set DefaultServer in %s\n",
                 profile::ProfilePath().c_str());
    Exit(usage_exit);
  }
  // Asked for on the command line, authentication is never quietly dropped:
  // TIME and DAYTIME have none.
  if ((parsed->nts || parsed->nts_trust) && settings.protocol != kSntp) {
    std::fprintf(stderr, "quorvel-cli: --nts authenticates SNTP only: give --protocol SNTP\n");
    Exit(usage_exit);
  }

  const bool tty = platform::StderrIsTerminal();
  std::string asking;  // the server the countdown belongs to
  if (tty) {
    host.on_text = [&](ui::WindowId, int control, const std::string& text) {
      if (control == runner::kIdCountdown) std::fprintf(stderr, "\r%s  %s sec. ", asking.c_str(), text.c_str());
    };
  }
  // Ctrl-C is the runner's Cancel button, and no later server is asked;
  // outside a query it ends the program.
  static std::atomic<bool> interrupted{false};
  platform::InstallInterruptHandler([] {
    interrupted = true;
    if (!runner::InterruptQuery()) std::_Exit(130);
  });

  // With fallback or agreement on, several servers named are one cycle's
  // list, the first its default; else each is asked on its own, with the
  // profile's list behind it as the programs have it.
  const bool one_cycle = (settings.policy.fallback || settings.policy.agreement) && settings.servers.size() > 1;
  const std::vector<std::string> targets =
      one_cycle ? std::vector<std::string>{settings.servers.front()} : settings.servers;
  const std::vector<std::string>& list = one_cycle ? settings.servers : settings.server_list;
  const bool several = targets.size() > 1;

  bool all_ok = true, logs_ok = true;
  std::vector<cli::Checked> checked;
  for (const std::string& server : targets) {
    if (interrupted) break;
    asking = server;
    engine::Request request = engine::MakeRequest(
        settings.protocol, server, settings.timeout, settings.beep, settings.reference_check, settings.reference_hours,
        parsed->debug ? engine::DetailLogPath(profile::ProfilePath()) : "", kStrings.at(kStrHostNotFound));
    request.nts = settings.nts == 1;
    request.nts_trust_file = settings.nts_trust_file;
    // Nobody to ask here: a step beyond the guard is refused, as an
    // unattended adjustment of the main program is.
    const engine::CycleRequest cycle{request, list, settings.policy};
    engine::CycleOutcome done =
        parsed->command == cli::Command::kAdjust ? engine::AdjustCycle(cycle, {}) : engine::CheckCycle(cycle);
    if (tty) std::fputs("\r\033[K", stderr);
    done.others.push_back(std::move(done.shown));

    for (engine::ServerAttempt& a : done.others) {
      logs_ok = ReportLog(a.result.detail_log, "SNTP detail log", a.request.sntp_detail_log) && logs_ok;
      if (settings.log) {
        const std::string path = engine::ResultLogPath(profile::ProfilePath());
        logs_ok = ReportLog(engine::WriteResultLog(path, a.request, a.result), "result log", path) && logs_ok;
      }
      if (&a == &done.others.back()) break;
      if (parsed->json) std::printf("%s\n", cli::JsonLine(a.request.server, request.protocol, a.result).c_str());
      else if (!monitoring)
        std::printf("asked: %s %s\n", a.request.server.c_str(), engine::StatusColumn(a.result).c_str());
    }
    engine::Result& result = done.others.back().result;
    all_ok = all_ok && result.ok();

    // A refused set says why; the result log keeps its form (the detail).
    if (const std::string hint = platform::ClockRightHint(result.refusal, platform::ExecutablePath()); !hint.empty())
      std::fprintf(stderr, "quorvel-cli: %s\n", hint.c_str());
    if (result.refusal != platform::ClockRefusal::kNone) result.detail = platform::ClockRefusalText(result.refusal);
    const std::string& answered = result.answered_by.empty() ? server : result.answered_by;
    if (parsed->json) {
      std::printf("%s\n", cli::JsonLine(answered, request.protocol, result).c_str());
      std::fflush(stdout);  // a reader sees each server's line as it comes
    } else if (!monitoring) {
      if (several) std::printf("%sserver: %s\n", &server == &targets.front() ? "" : "\n", server.c_str());
      std::printf("status: %s\n", result.status.c_str());
      std::printf("detail: %s\n", result.detail.c_str());
      if (!result.set_by.empty()) std::printf("set-by: %s\n", result.set_by.c_str());
      if (!result.answered_by.empty()) std::printf("answered-by: %s\n", result.answered_by.c_str());
      std::printf("server-time: %s\n", result.server_time.c_str());
      std::printf("pc-time: %s\n", result.pc_time.c_str());
      if (result.offset_ns) std::printf("offset: %s\n", engine::FormatOffset(*result.offset_ns).c_str());
      if (!result.address.empty() && result.address != answered)
        std::printf("address: %s\n", result.address.c_str());
      if (result.authenticated) std::printf("authenticated: NTS\n");
    }
    checked.push_back({answered, std::move(result)});
  }

  if (monitoring) {
    // The plugin's exit status; a log that could not be written is said on
    // stderr only.
    const cli::PluginReport report =
        cli::MonitoringReport(settings.protocol, checked, parsed->warn_ns, parsed->crit_ns);
    std::printf("%s\n", report.line.c_str());
    Exit(static_cast<int>(report.state));
  }
  Exit(!all_ok ? kExitFailed : logs_ok ? kExitOk : kExitLogFailed);
}
