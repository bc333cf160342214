#include "engine/server_cycle.h"

#include <algorithm>
#include <utility>

#include "base/protocol.h"
#include "engine/time_text.h"

namespace qv::engine {

namespace {

constexpr std::int64_t kNanosPerSecond = 1000000000;
constexpr std::int64_t kNanosPerMilli = 1000000;

using Operation = Result (*)(const Request&);

// A failure of the server or of its answer, which another server may not
// share. The user's cancel, a busy or missing runner and the clock's own
// refusals end the cycle instead.
bool ServerFault(const Result& r) {
  switch (r.stage) {
    case Stage::kOk:
    case Stage::kUserCancelled:
    case Stage::kThread:
    case Stage::kNoRunner:
    case Stage::kAgreement:
    case Stage::kOffsetGuard: return false;
    case Stage::kClockSet: return r.refusal == platform::ClockRefusal::kImpossibleTime;
    default: return true;
  }
}

std::int64_t Magnitude(std::int64_t ns) { return ns < 0 ? -ns : ns; }

class Cycle {
 public:
  explicit Cycle(const CycleRequest& cycle)
      : cycle_(cycle), servers_(CycleServers(cycle)), named_(cycle.policy.fallback || cycle.policy.agreement) {}

  ServerAttempt Ask(std::size_t index, Operation operation) const {
    ServerAttempt a{cycle_.request, {}};
    a.request.server = servers_[index];
    a.result = operation(a.request);
    if (named_) a.result.answered_by = a.request.server;
    return a;
  }

  // The default server alone, or with fallback each in turn until one does
  // not fail by its own fault.
  CycleOutcome FirstAnswer(Operation operation) const {
    CycleOutcome out;
    const std::size_t last = cycle_.policy.fallback ? servers_.size() - 1 : 0;
    for (std::size_t i = 0;; ++i) {
      ServerAttempt a = Ask(i, operation);
      if (i == last || !ServerFault(a.result)) {
        out.shown = std::move(a);
        return out;
      }
      out.others.push_back(std::move(a));
    }
  }

  CycleOutcome Agree(Mode mode) const {
    // In the order asked; `answered` indexes those with an offset.
    std::vector<ServerAttempt> asked;
    std::vector<std::size_t> answered;
    const std::size_t limit = cycle_.policy.fallback ? servers_.size() : std::min<std::size_t>(3, servers_.size());
    std::size_t next = 0;
    const auto ask_until = [&](std::size_t want) {
      while (answered.size() < want && next < limit) {
        asked.push_back(Ask(next++, Measure));
        if (asked.back().result.ok()) {
          answered.push_back(asked.size() - 1);
        } else if (!ServerFault(asked.back().result)) {
          return false;  // cancelled, busy: the cycle ends here
        }
      }
      return true;
    };
    const auto offset = [&](std::size_t k) { return *asked[answered[k]].result.offset_ns; };
    // The last one asked ended the cycle: it is what shows.
    const auto ended = [&] {
      const std::size_t last = asked.size() - 1;
      return Split(std::move(asked), last);
    };
    if (!ask_until(2)) return ended();
    if (answered.size() == 2 && !Within(offset(0), offset(1)) && !ask_until(3)) return ended();

    if (answered.size() < 2) {
      const std::string why = servers_.size() < 2 ? "one server to ask; agreement needs two"
                                                  : std::to_string(answered.size()) + " of " +
                                                        std::to_string(asked.size()) + " servers answered; agreement needs two";
      return Refuse(std::move(asked), mode, why, true);
    }
    // The answer most others agree with, the earliest of equals; its group
    // must be a strict majority of the answers.
    std::size_t centre = 0, best = 0;
    for (std::size_t k = 0; k < answered.size(); ++k) {
      std::size_t agreeing = 0;
      for (std::size_t j = 0; j < answered.size(); ++j) agreeing += Within(offset(k), offset(j));
      if (agreeing > best) best = agreeing, centre = k;
    }
    if (best * 2 <= answered.size())
      return Refuse(std::move(asked), mode,
                    "no majority of " + std::to_string(answered.size()) + " answers within " +
                        FormatSeconds(Tolerance()).substr(1) + " s",
                    false);
    std::size_t first = centre;
    for (std::size_t k = 0; k < answered.size(); ++k)
      if (Within(offset(centre), offset(k))) {
        first = k;
        break;
      }
    for (std::size_t k = 0; k < answered.size(); ++k) {
      if (Within(offset(centre), offset(k))) continue;
      Result& r = asked[answered[k]].result;
      r.stage = Stage::kAgreement;
      r.status = StatusText(r.stage, cycle_.request.host_not_found);
      r.detail = "disagrees by " + FormatSeconds(offset(k) - offset(first)) + " s";
    }
    const std::size_t shown = answered[first];
    return Split(std::move(asked), shown);
  }

 private:
  // The tolerance; one second wider where answers have whole seconds.
  std::int64_t Tolerance() const {
    const std::int64_t ms = cycle_.policy.tolerance_ms;
    return (cycle_.request.protocol == kSntp ? ms : ms + 1000) * kNanosPerMilli;
  }
  bool Within(std::int64_t a, std::int64_t b) const { return Magnitude(a - b) <= Tolerance(); }

  static CycleOutcome Split(std::vector<ServerAttempt> asked, std::size_t shown) {
    CycleOutcome out;
    for (std::size_t k = 0; k < asked.size(); ++k) {
      if (k == shown)
        out.shown = std::move(asked[k]);
      else
        out.others.push_back(std::move(asked[k]));
    }
    return out;
  }

  // The cycle failed by agreement: every server asked is another's line.
  CycleOutcome Refuse(std::vector<ServerAttempt> asked, Mode mode, std::string why, bool retry_worthy) const {
    CycleOutcome out;
    out.shown.request = cycle_.request;
    Result& r = out.shown.result;
    r.mode = mode;
    r.stage = Stage::kAgreement;
    r.status = StatusText(r.stage, cycle_.request.host_not_found);
    r.detail = std::move(why);
    r.pc_time = asked.empty() ? FormatLocalNow() : asked.back().result.pc_time;
    r.answered_by = cycle_.request.server;
    out.others = std::move(asked);
    out.retry_worthy = retry_worthy;
    return out;
  }

  const CycleRequest& cycle_;
  const std::vector<std::string> servers_;
  const bool named_;
};

// The guard, then the set, on a measurement that passed the cycle's rules.
void GuardAndSet(const CycleRequest& cycle, const ConfirmStep& confirm, CycleOutcome& out) {
  Result& r = out.shown.result;
  r.mode = Mode::kAdjust;
  if (!r.ok()) return;
  const std::optional<std::int64_t> guard = cycle.policy.guard_seconds;
  if (guard && Magnitude(*r.offset_ns) > *guard * kNanosPerSecond && !(confirm && confirm(*r.offset_ns))) {
    r.stage = Stage::kOffsetGuard;
    r.status = StatusText(r.stage, cycle.request.host_not_found);
    r.detail = "step of " + FormatSeconds(*r.offset_ns) + " s beyond the limit of " + std::to_string(*guard) + " s" +
               (confirm ? ", not confirmed" : ", nobody to confirm it");
    out.retry_worthy = false;
    return;
  }
  std::string answered_by = r.answered_by;
  r = ApplyMeasured(out.shown.request, std::move(r));
  r.answered_by = std::move(answered_by);  // the time service's result does not carry it
}

}  // namespace

CyclePolicy MakeCyclePolicy(int fallback, int agreement, int tolerance_ms, int offset_guard, int guard_seconds) {
  CyclePolicy p;
  p.fallback = fallback == 1;
  p.agreement = agreement == 1;
  p.tolerance_ms = tolerance_ms;
  if (offset_guard == 1 && guard_seconds > 0) p.guard_seconds = guard_seconds;
  return p;
}

std::vector<std::string> CycleServers(const CycleRequest& cycle) {
  std::vector<std::string> servers{cycle.request.server};
  for (const std::string& s : cycle.servers)
    if (!s.empty() && std::find(servers.begin(), servers.end(), s) == servers.end()) servers.push_back(s);
  return servers;
}

std::string FormatSeconds(std::int64_t ns) {
  // Milliseconds, halves away from zero; from integers alone.
  const std::int64_t ms = (Magnitude(ns) + kNanosPerMilli / 2) / kNanosPerMilli;
  const std::string fraction = std::to_string(ms % 1000);
  return std::string(ns < 0 ? "-" : "+") + std::to_string(ms / 1000) + "." + std::string(3 - fraction.size(), '0') +
         fraction;
}

CycleOutcome CheckCycle(const CycleRequest& cycle) {
  const Cycle c(cycle);
  return cycle.policy.agreement ? c.Agree(Mode::kCheck) : c.FirstAnswer(Check);
}

CycleOutcome AdjustCycle(const CycleRequest& cycle, const ConfirmStep& confirm) {
  const Cycle c(cycle);
  if (!cycle.policy.measures()) return c.FirstAnswer(Adjust);
  CycleOutcome out = cycle.policy.agreement ? c.Agree(Mode::kAdjust) : c.FirstAnswer(Measure);
  GuardAndSet(cycle, confirm, out);
  // As an SNTP adjustment shows it: the time set, or none.
  if (!out.shown.result.ok() && cycle.request.protocol == kSntp) out.shown.result.server_time.clear();
  return out;
}

}  // namespace qv::engine
