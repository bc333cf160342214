// quorvel-cli: one check or adjustment from a terminal, through the same
// engine and query runner as the programs (on the headless host).
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_args.h"
#include "cli/cli_settings.h"
#include "engine/environment.h"
#include "engine/adjust.h"
#include "engine/query_server_time.h"
#include "engine/result_log.h"
#include "engine/sntp.h"
#include "engine/time_text.h"
#include "main/strings.h"
#include "platform/clock.h"
#include "platform/console.h"
#include "platform/ctime.h"
#include "ui/headless/headless_host.h"
#include "platform/net.h"
#include "profile/app_state.h"
#include "runner/query_runner.h"

namespace {

using namespace qv;

struct Outcome {
  int ok = 0;
  std::string status, detail, server_time, pc_time;
  bool has_offset = false;
  double offset = 0.0;
};

Outcome Check(const cli::CliSettings& s) {
  Outcome o;
  if (s.protocol == engine::kTime || s.protocol == engine::kDaytime) {
    int code = 0;
    o.ok = engine::QueryServerTime(s.protocol, s.server, s.timeout, s.beep, o.server_time, o.status, code);
    o.pc_time = engine::FormatLocalNow();
    o.detail = std::to_string(code);
  } else {
    o.ok = engine::QuerySntpOffset(s.server, s.timeout, s.beep, s.reference_check, s.reference_hours, &o.server_time,
                                   &o.pc_time, &o.offset, o.status, o.detail);
    o.has_offset = o.ok != 0;
  }
  return o;
}

Outcome Adjust(const cli::CliSettings& s) {
  Outcome o;
  if (s.protocol == engine::kSntp) {
    o.ok = engine::AdjustSystemClock(s.server, s.timeout, s.beep, s.reference_check, s.reference_hours, o.server_time,
                                     o.pc_time, o.status, o.detail);
  } else {
    int code = 0;
    o.ok = engine::AdjustLocalClock(s.protocol, s.server, s.timeout, s.beep, o.server_time, o.pc_time, o.status, code);
    o.detail = std::to_string(code);
  }
  return o;
}

[[noreturn]] void Exit(int code) {
  std::fflush(stdout);
  std::fflush(stderr);
  // An abandoned query worker may still be inside a name lookup; it holds
  // nothing of ours, so the process ends without waiting for it.
  std::_Exit(code);
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
    Exit(2);
  }
  if (parsed->help) {
    std::fputs(cli::kUsage, stdout);
    Exit(0);
  }

  ui::HeadlessHost host(ui::HeadlessHost::ClockKind::kReal);
  ui::SetHost(&host);
  ui::SetStringTable(&main::Strings());
  // Message boxes (a log that cannot be opened) become lines on stderr.
  host.on_message_box = [](const ui::HeadlessHost::MessageBoxRecord& box) {
    std::fprintf(stderr, "quorvel-cli: %s\n", box.text.c_str());
  };

  if (platform::NetStartup() != 0) {
    std::fprintf(stderr, "quorvel-cli: %s\n", main::Strings().at(111).c_str());
    Exit(1);
  }
  // Texts are those the main program shows: it fixes the C-runtime zone.
  if (!platform::SetCRuntimeZone("JST-9")) std::fprintf(stderr, "quorvel-cli: can't set putenv().\n");

  const cli::CliSettings settings = cli::ResolveSettings(*parsed);
  if (settings.server.empty()) {
    std::fprintf(stderr, "quorvel-cli: no server: give --server or set DefaultServer in %s\n",
                 profile::ProfilePath().c_str());
    Exit(2);
  }
  profile::SetDebugSwitch(parsed->debug);
  engine::SetEnvironment({profile::ProfilePath(), parsed->debug, main::Strings().at(112),
                          [](const std::string& text) { ui::ShowMessage(text); }});

  runner::InstallQueryRunner(runner::Variant::kMain);
  static std::atomic<ui::WindowId> runner_window{0};
  const bool tty = platform::StderrIsTerminal();
  host.on_text = [&](ui::WindowId window, int control, const std::string& text) {
    if (control != runner::kIdCountdown) return;
    runner_window = window;
    if (tty) std::fprintf(stderr, "\r%s  %s sec. ", settings.server.c_str(), text.c_str());
  };
  // Ctrl-C is the runner's Cancel button.
  platform::InstallInterruptHandler([] {
    const ui::WindowId w = runner_window.load();
    if (w == 0 || !ui::CurrentHost().Post(w, ui::kWmCommand, ui::kIdCancel, 0)) Exit(130);
  });

  const bool adjust = parsed->command == cli::Command::kAdjust;
  const Outcome o = adjust ? Adjust(settings) : Check(settings);
  runner_window = 0;
  if (tty) std::fputs("\r\033[K", stderr);

  if (settings.log) {
    std::string column = o.status;
    if (!o.ok && !o.detail.empty()) column += ":" + o.detail;
    engine::WriteResultLog(o.pc_time, settings.server, settings.protocol, adjust ? 1 : 0, column, o.server_time);
  }

  std::printf("status: %s\n", o.status.c_str());
  std::printf("detail: %s\n", o.detail.c_str());
  std::printf("server-time: %s\n", o.server_time.c_str());
  std::printf("pc-time: %s\n", o.pc_time.c_str());
  if (o.has_offset) std::printf("offset: %+.6f\n", o.offset);
  Exit(o.ok ? 0 : 1);
}
