// The real clock setter of a process without CAP_SYS_TIME, against a mock
// systemd-timedated (python3-dbusmock) on a private bus of the test's own.
// Every set runs in a forked child that has dropped to user 65534 and
// proved it may not set the clock, with DBUS_SYSTEM_BUS_ADDRESS naming
// the private bus (or no bus at all): the system bus is never reached.
#include <grp.h>
#include <signal.h>
#include <sys/wait.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

#include "platform/clock.h"
#include "platform/test_seams.h"
#include "profile/temp_dir.h"
#include "support/run_command.h"
#include "support/wait_until.h"

namespace qv::platform {
namespace {

constexpr const char* kPython = "/usr/bin/python3";  // the one with dbusmock
constexpr const char* kName = "org.freedesktop.timedate1";

struct ChildSet {
  bool proven = false;  // the child could not set the clock, and so asked
  ClockRefusal refusal = ClockRefusal::kOther;
  char set_by[32] = {};
  bool leaked = false;  // under LeakSanitizer: what the set left behind
  double seconds = 0;
};

// RealClock().SetUtc(t) in a child dropped to user 65534, whose system bus
// is `bus`; nothing is set unless the drop is proven first.
ChildSet SetInUnprivilegedChild(const std::string& bus, const SystemTime& t, std::chrono::milliseconds wait) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    close(fds[0]);
    ChildSet out;
    if (geteuid() == 0 || getuid() == 0) {
      if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 || setresuid(65534, 65534, 65534) != 0)
        _exit(1);
    }
    out.proven = ProvenUnableToSetClock();
    if (out.proven && setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.c_str(), 1) == 0) {
      SetClockHelperWaitForTesting(wait);
      const ClockSet set = RealClock().SetUtc(t);
      out.refusal = set.refusal;
      std::strncpy(out.set_by, set.set_by.c_str(), sizeof out.set_by - 1);
#if defined(__SANITIZE_ADDRESS__)
      out.leaked = __lsan_do_recoverable_leak_check() != 0;  // the child ends without the check at exit
#endif
    }
    _exit(write(fds[1], &out, sizeof out) == sizeof out ? 0 : 1);
  }
  close(fds[1]);
  ChildSet out;
  const bool got = pid > 0 && read(fds[0], &out, sizeof out) == sizeof out;
  close(fds[0]);
  int status = 0;
  if (pid > 0) waitpid(pid, &status, 0);
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return got ? out : ChildSet{};
}

// A system-like bus of the test's own: anyone may talk to anyone, and
// nothing is activatable, so a name nobody owns is an unknown service.
class PrivateBus {
 public:
  explicit PrivateBus(const test::TempDir& dir) : dir_(dir) {
    test::WriteBytes(dir.File("bus.conf"),
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                     " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>system</type><listen>unix:path=" + dir.File("bus") +
                         "</listen><auth>EXTERNAL</auth>\n<policy context=\"default\"><allow user=\"*\"/>"
                         "<allow own=\"*\"/><allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy>"
                         "</busconfig>\n");
    const test::CommandResult r = test::RunCapture(
        {"dbus-daemon", "--config-file=" + dir.File("bus.conf"), "--fork", "--print-address=1", "--print-pid=1"},
        dir.File("daemon"));
    const std::size_t line = r.out.find('\n');
    if (r.exit_code != 0 || line == std::string::npos) return;
    address_ = r.out.substr(0, line);
    daemon_ = std::atoi(r.out.c_str() + line + 1);
    if (sd_bus_new(&control_) < 0 || sd_bus_set_address(control_, address_.c_str()) < 0 ||
        sd_bus_set_bus_client(control_, 1) < 0 || sd_bus_start(control_) < 0)
      control_ = sd_bus_flush_close_unref(control_);
  }
  ~PrivateBus() {
    sd_bus_flush_close_unref(control_);
    for (const pid_t pid : {mock_, daemon_})
      if (pid > 0) kill(pid, SIGTERM);
  }
  bool Up() const { return control_ != nullptr && daemon_ > 0; }
  const std::string& address() const { return address_; }

  // The mock's template on the bus, its calls logged to `log`.
  bool StartMock(const std::string& log) {
    const test::CommandResult r = test::RunCapture(
        {"sh", "-c", "\"$0\" -m dbusmock --system --template timedated -l \"$1\" >/dev/null 2>&1 & echo $!", kPython,
         log},
        dir_.File("mock"), {"DBUS_SYSTEM_BUS_ADDRESS=" + address_});
    mock_ = std::atoi(r.out.c_str());
    return mock_ > 0 && test::WaitUntil([&] { return HasOwner(); }, 20000, 20);
  }
  // SetTime runs `code` from now on (dbusmock's AddMethod).
  bool SetTimeDoes(const std::string& code) {
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_call_method(control_, kName, "/org/freedesktop/timedate1", "org.freedesktop.DBus.Mock",
                                     "AddMethod", &error, nullptr, "sssss", kName, "SetTime", "xbb", "", code.c_str());
    sd_bus_error_free(&error);
    return r >= 0;
  }

 private:
  bool HasOwner() {
    sd_bus_message* reply = nullptr;
    int owned = 0;
    const bool ok = sd_bus_call_method(control_, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                       "org.freedesktop.DBus", "NameHasOwner", nullptr, &reply, "s", kName) >= 0 &&
                    sd_bus_message_read(reply, "b", &owned) >= 0;
    sd_bus_message_unref(reply);
    return ok && owned;
  }
  const test::TempDir& dir_;
  std::string address_;
  pid_t daemon_ = 0, mock_ = 0;
  sd_bus* control_ = nullptr;
};

std::string Raise(const char* name) {
  return std::string("raise dbus.exceptions.DBusException('refused', name='") + name + "')";
}

TEST(Timedated, UnprivilegedSetGoesThroughTimedatedAndRefusalsSayWhy) {
  if (access(kPython, X_OK) != 0 || !test::RunCommand({kPython, "-c", "import dbusmock"}) ||
      !test::RunCommand({"sh", "-c", "command -v dbus-daemon"}))
    GTEST_SKIP() << "needs dbus-daemon and python3-dbusmock";
  const test::TempDir dir;
  PrivateBus bus(dir);
  ASSERT_TRUE(bus.Up()) << test::ReadWholeFile(dir.File("daemon.err"));
  const std::string log = dir.File("calls.log");

  // 2026-01-15 12:00:00.250 UTC.
  const SystemTime t{2026, 1, 4, 15, 12, 0, 0, 250};
  const std::string expected_call = "SetTime 1768478400250000 False True";  // absolute, interactive
  constexpr std::chrono::milliseconds kWait{1500};
  struct Row {
    const char* what;
    const char* set_time_code;  // nullptr: no mock (yet); "": the template's SetTime, which accepts
    ClockRefusal refusal;
    bool bus = true;
  } rows[] = {
      {"no bus at all", nullptr, ClockRefusal::kHelperMissing, false},
      {"nobody owns the name, nothing to activate", nullptr, ClockRefusal::kHelperMissing},
      {"set", "", ClockRefusal::kNone},
      {"automatic synchronisation on", "org.freedesktop.timedate1.AutomaticTimeSyncEnabled",
       ClockRefusal::kOtherTimeService},
      {"polkit said no", "org.freedesktop.DBus.Error.AccessDenied", ClockRefusal::kNoRight},
      {"no agent to ask", "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", ClockRefusal::kNoRight},
      {"time out of range", "org.freedesktop.DBus.Error.InvalidArgs", ClockRefusal::kImpossibleTime},
      {"some other failure", "org.freedesktop.DBus.Error.Failed", ClockRefusal::kOther},
      // Last: the mock stays busy until it is stopped.
      {"never answers", "time.sleep(120)", ClockRefusal::kHelperNotAnswering},
  };
  bool mock = false;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.set_time_code && !mock) {
      ASSERT_TRUE(mock = bus.StartMock(log)) << test::ReadWholeFile(dir.File("mock.err"));
    }
    if (row.set_time_code && *row.set_time_code) {
      const std::string code = std::strchr(row.set_time_code, '(') ? row.set_time_code : Raise(row.set_time_code);
      ASSERT_TRUE(bus.SetTimeDoes(code));
    }
    const std::string before = mock ? test::ReadWholeFile(log) : "";
    const ChildSet set =
        SetInUnprivilegedChild(row.bus ? bus.address() : "unix:path=" + dir.File("no-such-bus"), t, kWait);
    ASSERT_TRUE(set.proven) << "the child could not prove it may not set the clock";
    EXPECT_EQ(set.refusal, row.refusal) << ClockRefusalText(set.refusal);
    EXPECT_STREQ(set.set_by, row.refusal == ClockRefusal::kNone ? "systemd-timedated" : "");
    EXPECT_FALSE(set.leaked);
    if (row.set_time_code) {
      // The call arrived, with the time asked for to the microsecond.
      const std::string added = test::ReadWholeFile(log).substr(before.size());
      EXPECT_NE(added.find(expected_call), std::string::npos) << added;
    }
    if (row.refusal == ClockRefusal::kHelperNotAnswering) {
      EXPECT_LT(set.seconds, 60) << "waited past the bound";
    }
  }
}

}  // namespace
}  // namespace qv::platform
