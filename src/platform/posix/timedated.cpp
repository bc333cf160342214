#include "platform/posix/timedated.h"

#include <dlfcn.h>
#include <errno.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <cstring>
#include <mutex>

#include "platform/test_seams.h"

namespace qv::platform::posix {

namespace {

std::atomic<std::int64_t> g_wait_ms{kTimedatedWait.count()};

bool StartsWith(const char* text, const char* prefix) { return std::strncmp(text, prefix, std::strlen(prefix)) == 0; }

// What the user is told, from the error's name where there is one, else
// from the errno sd-bus gave (no connection, no answer).
ClockRefusal RefusalOf(const char* name, int error) {
  struct Named {
    const char* name;
    bool prefix;
    ClockRefusal refusal;
  };
  static constexpr Named kNames[] = {
      {"org.freedesktop.timedate1.AutomaticTimeSyncEnabled", false, ClockRefusal::kOtherTimeService},
      {SD_BUS_ERROR_ACCESS_DENIED, false, ClockRefusal::kNoRight},
      {SD_BUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED, false, ClockRefusal::kNoRight},
      {SD_BUS_ERROR_AUTH_FAILED, false, ClockRefusal::kNoRight},
      {"org.freedesktop.PolicyKit1.Error.", true, ClockRefusal::kNoRight},
      {SD_BUS_ERROR_SERVICE_UNKNOWN, false, ClockRefusal::kHelperMissing},
      {SD_BUS_ERROR_NAME_HAS_NO_OWNER, false, ClockRefusal::kHelperMissing},
      {SD_BUS_ERROR_UNKNOWN_OBJECT, false, ClockRefusal::kHelperMissing},
      {SD_BUS_ERROR_UNKNOWN_INTERFACE, false, ClockRefusal::kHelperMissing},
      {SD_BUS_ERROR_UNKNOWN_METHOD, false, ClockRefusal::kHelperMissing},
      {SD_BUS_ERROR_NO_SERVER, false, ClockRefusal::kHelperMissing},
      {SD_BUS_ERROR_DISCONNECTED, false, ClockRefusal::kHelperMissing},
      // Activation failed: installed, perhaps, but it cannot be started.
      {"org.freedesktop.DBus.Error.Spawn.", true, ClockRefusal::kHelperMissing},
      {"org.freedesktop.systemd1.UnitMasked", false, ClockRefusal::kHelperMissing},
      {"org.freedesktop.systemd1.NoSuchUnit", false, ClockRefusal::kHelperMissing},
      {SD_BUS_ERROR_NO_REPLY, false, ClockRefusal::kHelperNotAnswering},
      {SD_BUS_ERROR_TIMEOUT, false, ClockRefusal::kHelperNotAnswering},
      {"org.freedesktop.DBus.Error.TimedOut", false, ClockRefusal::kHelperNotAnswering},
      {SD_BUS_ERROR_INVALID_ARGS, false, ClockRefusal::kImpossibleTime},
  };
  if (name && *name) {
    for (const Named& n : kNames)
      if (n.prefix ? StartsWith(name, n.name) : std::strcmp(name, n.name) == 0) return n.refusal;
    // Another service's own error: its errno is sd-bus's guess, not a cause.
    if (!StartsWith(name, "System.Error.")) return ClockRefusal::kOther;
  }
  switch (error) {
    case ETIMEDOUT: return ClockRefusal::kHelperNotAnswering;
    // No bus to reach: nothing there could set the clock.
    case ENOENT:
    case ECONNREFUSED:
    case ECONNRESET:
    case ENOTCONN:
    case ENXIO:
      return ClockRefusal::kHelperMissing;
    case EACCES:
    case EPERM: return ClockRefusal::kNoRight;
    default: return ClockRefusal::kOther;
  }
}

// sd-bus, loaded the first time it is needed: linked in, libsystemd and
// the libraries it needs would load at every start of every program, most
// of which never set the clock this way.
struct SdBus {
#define QV_SD_BUS_FUNCTIONS(X)                                                                          \
  X(sd_bus_open_system) X(sd_bus_set_allow_interactive_authorization) X(sd_bus_message_new_method_call) \
  X(sd_bus_message_append) X(sd_bus_call) X(sd_bus_error_free) X(sd_bus_message_unref) X(sd_bus_flush_close_unref)
#define QV_SD_BUS_MEMBER(name) decltype(&::name) name = nullptr;
  QV_SD_BUS_FUNCTIONS(QV_SD_BUS_MEMBER)
#undef QV_SD_BUS_MEMBER
  bool loaded = false;
};

const SdBus& LoadSdBus() {
  static SdBus sd;
  static std::once_flag once;
  std::call_once(once, [] {
    void* library = dlopen("libsystemd.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!library) return;
    bool all = true;
#define QV_SD_BUS_LOAD(name) \
  all = all && (sd.name = reinterpret_cast<decltype(sd.name)>(dlsym(library, #name))) != nullptr;
    QV_SD_BUS_FUNCTIONS(QV_SD_BUS_LOAD)
#undef QV_SD_BUS_LOAD
    sd.loaded = all;  // kept loaded for the process's life
  });
  return sd;
}

}  // namespace

ClockSet SetThroughTimedated(std::int64_t unix_usec) {
  const SdBus& sd = LoadSdBus();
  // Without libsystemd there is no timedated to ask either.
  if (!sd.loaded) return ClockSet::Refused(ClockRefusal::kHelperMissing, ENOENT);
  sd_bus* bus = nullptr;
  sd_bus_message* call = nullptr;
  sd_bus_message* reply = nullptr;
  sd_bus_error error = SD_BUS_ERROR_NULL;
  // A connection of its own each time: adjustments are rare, and nothing
  // stays open between them.
  int r = sd.sd_bus_open_system(&bus);
  if (r >= 0) r = sd.sd_bus_set_allow_interactive_authorization(bus, 1);
  if (r >= 0)
    r = sd.sd_bus_message_new_method_call(bus, &call, "org.freedesktop.timedate1", "/org/freedesktop/timedate1",
                                          "org.freedesktop.timedate1", "SetTime");
  // Absolute, not relative: timedated itself adds the time its
  // authorisation took. Interactive: polkit's agent may ask.
  if (r >= 0) r = sd.sd_bus_message_append(call, "xbb", static_cast<std::int64_t>(unix_usec), 0, 1);
  if (r >= 0) r = sd.sd_bus_call(bus, call, static_cast<std::uint64_t>(g_wait_ms.load()) * 1000, &error, &reply);
  ClockSet outcome;
  if (r < 0) {
    outcome = ClockSet::Refused(RefusalOf(error.name, -r), static_cast<std::uint32_t>(-r));
  } else {
    outcome.set_by = kTimedatedName;
  }
  sd.sd_bus_error_free(&error);
  sd.sd_bus_message_unref(reply);
  sd.sd_bus_message_unref(call);
  sd.sd_bus_flush_close_unref(bus);
  return outcome;
}

}  // namespace qv::platform::posix

namespace qv::platform {

void SetClockHelperWaitForTesting(std::chrono::milliseconds wait) {
  posix::g_wait_ms.store(wait.count() > 0 ? wait.count() : posix::kTimedatedWait.count());
}

}  // namespace qv::platform
