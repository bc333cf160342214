#include "platform/clock.h"
#include "platform/test_seams.h"

#include <atomic>
#include <cstdint>
#include <sstream>
#include <string>

#include "base/text.h"

namespace qv::platform {

namespace {
std::atomic<Clock*> g_test_clock{nullptr};

bool IsLeapYear(unsigned y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(unsigned year, unsigned month) {
  static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}
}  // namespace

// Every one of the four user ids (real, effective, saved, file system)
// non-zero, and bit 25 (CAP_SYS_TIME) clear in both the effective and the
// permitted set. A line missing, repeated or unreadable proves nothing.
bool StatusProvesNoClockRight(const std::string& proc_status) {
  auto is_number = [](const std::string& s, const char* digits) {
    return !s.empty() && s.find_first_not_of(digits) == std::string::npos;
  };
  std::istringstream in(proc_status);
  int uid_lines = 0, eff_lines = 0, prm_lines = 0, proofs = 0;
  for (std::string line, key, field; std::getline(in, line);) {
    std::istringstream fields(line);
    key.clear();
    fields >> key;
    if (key == "Uid:") {
      ++uid_lines;
      int nonzero = 0, count = 0;
      for (; fields >> field; ++count) {
        nonzero += is_number(field, "0123456789") && field.find_first_not_of('0') != std::string::npos;
      }
      proofs += count == 4 && nonzero == 4;
    } else if (key == "CapEff:" || key == "CapPrm:") {
      ++(key == "CapEff:" ? eff_lines : prm_lines);
      field.clear();
      fields >> field;
      proofs += field.size() == 16 && is_number(field, "0123456789abcdefABCDEF") &&
                ((ParseInt<std::uint64_t>(field, 16).value_or(0) >> 25) & 1) == 0;
    }
  }
  return uid_lines == 1 && eff_lines == 1 && prm_lines == 1 && proofs == 3;
}

Clock& SystemClock() {
  Clock* installed = g_test_clock.load(std::memory_order_acquire);
  return installed ? *installed : RealClock();
}

void SetClockForTesting(Clock* clock) { g_test_clock.store(clock, std::memory_order_release); }

const char* ClockRefusalText(ClockRefusal refusal) {
  switch (refusal) {
    case ClockRefusal::kNone: return "";
    case ClockRefusal::kNoRight: return "no right to set the clock";
    case ClockRefusal::kOtherTimeService: return "another time service keeps this clock";
    case ClockRefusal::kHelperMissing: return "no right to set the clock, and no time service installed";
    case ClockRefusal::kHelperNotAnswering: return "no right to set the clock, and the time service did not answer";
    case ClockRefusal::kImpossibleTime: return "an impossible time";
    case ClockRefusal::kOther: return "the system refused";
  }
  return "the system refused";
}

std::string ClockRightHint(ClockRefusal refusal, const std::string& program) {
  const std::string refused = std::string("The clock was not set: ") + ClockRefusalText(refusal) + ".\n";
#ifdef _WIN32
  (void)program;
  switch (refusal) {
    case ClockRefusal::kNoRight:
    case ClockRefusal::kHelperMissing:
    case ClockRefusal::kHelperNotAnswering:
      return refused + "To let it be set from now on, install the time service once, as administrator:\n"
                       "  quorvel-cli install-service";
    case ClockRefusal::kOtherTimeService:
      return refused + "Turn the other service's automatic time setting off to let this program set it,\n"
                       "or leave the clock to that service.";
    default: return "";
  }
#else
  const std::string setcap = "  sudo setcap cap_sys_time+ep '" + program + "'\n";
  const std::string readme = "(see \"Setting the clock on Linux\" in the README)";
  switch (refusal) {
    case ClockRefusal::kNoRight:
    case ClockRefusal::kHelperNotAnswering:
      return refused + "To let this program set it from now on without asking, do one of these once:\n" + setcap +
             "or add a polkit rule that allows your user org.freedesktop.timedate1.set-time\n" + readme;
    case ClockRefusal::kHelperMissing:
      return refused + "To let this program set it from now on, give it the right once:\n" + setcap + readme;
    case ClockRefusal::kOtherTimeService:
      return refused + "Automatic time synchronisation is on; to let this program set the clock, turn it off:\n"
                       "  timedatectl set-ntp false\n"
                       "or leave the clock to that service.";
    default: return "";
  }
#endif
}

bool IsValidSystemTime(const SystemTime& t) {
  if (t.year < 1601 || t.year > 30827) return false;
  if (t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
  return t.hour < 24 && t.minute < 60 && t.second < 60 && t.milliseconds < 1000;
}

}  // namespace qv::platform
