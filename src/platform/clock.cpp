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

bool IsValidSystemTime(const SystemTime& t) {
  if (t.year < 1601 || t.year > 30827) return false;
  if (t.month < 1 || t.month > 12) return false;
  if (t.day < 1 || t.day > DaysInMonth(t.year, t.month)) return false;
  return t.hour < 24 && t.minute < 60 && t.second < 60 && t.milliseconds < 1000;
}

}  // namespace qv::platform
