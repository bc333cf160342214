// One check or adjustment that may ask more than the default server: the
// fallback list, the agreement of several servers, and the guard on the
// size of a step. Built on the single-server operations; with every rule
// off it is exactly Check or Adjust of the default server.
//
// Decisions a user meets:
// - Fallback: a server that fails (transport, time-out, any check of its
//   answer, a time text that reads as no time) hands over to the next of
//   the list, in order, skipping the default server; a refusal of the clock
//   or a cancel by the user ends the cycle at once.
// - Agreement: servers are asked until two have answered; when they agree
//   within the tolerance the clock is set, else a third is asked and two of
//   three must agree. With fallback, a failed server is replaced by the next
//   of the list; without it, the default and the next two are all there is.
//   Fewer than two answers is a failure ("Agreement"): one server alone
//   cannot be checked. The agreeing majority's first server sets the clock.
//   TIME and DAYTIME give whole seconds, so for them the tolerance widens by
//   one second: two honest answers differ by up to that much.
// - Offset guard: a step larger than the limit is put to the user when one
//   is there to ask (confirm), and refused otherwise ("OffsetGuard").
//   A refusal by a rule is no server failure: it is not worth retrying soon.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/operations.h"
#include "engine/result.h"

namespace qv::engine {

struct CyclePolicy {
  bool fallback = false;
  bool agreement = false;
  int tolerance_ms = 500;
  std::optional<std::int64_t> guard_seconds;  // none: no guard
  bool measures() const { return agreement || guard_seconds.has_value(); }
};

// The policy from a program's settings, numbered as the profile stores them
// (section "Options"): a flag counts only when exactly 1; a guard of 0 or
// less is none.
CyclePolicy MakeCyclePolicy(int fallback, int agreement, int tolerance_ms, int offset_guard, int guard_seconds);

struct CycleRequest {
  Request request;                   // the default server's
  std::vector<std::string> servers;  // the user's list, in its order
  CyclePolicy policy;
};

// One server's part in a cycle.
struct ServerAttempt {
  Request request;
  Result result;
};

struct CycleOutcome {
  // What the program shows; answered_by names its server when the cycle
  // could ask more than one.
  ServerAttempt shown;
  // Every other server asked, in the order asked: failures, answers that
  // agreed (as checks), and answers that disagree (kAgreement, "disagrees
  // by +3600.000 s").
  std::vector<ServerAttempt> others;
  // False when a rule refused the step (the guard, servers that answered
  // and disagree): asking again in a few seconds would change nothing.
  bool retry_worthy = true;
};

// Asked, on the caller's thread between queries, before a step beyond the
// guard: true sets the clock. Empty: nobody to ask, the step is refused.
using ConfirmStep = std::function<bool(std::int64_t offset_ns)>;

CycleOutcome CheckCycle(const CycleRequest& cycle);
CycleOutcome AdjustCycle(const CycleRequest& cycle, const ConfirmStep& confirm);

// The servers a cycle may ask: the default, then the list without it (and
// without repeats or empty names).
std::vector<std::string> CycleServers(const CycleRequest& cycle);

// Seconds with a sign and three decimals, from integers: "+3600.200".
std::string FormatSeconds(std::int64_t ns);

}  // namespace qv::engine
