// Section "Options": what goes beyond asking the one default server. Every
// option is off in a profile that lacks the section, so the programs behave
// as they always have until the user turns one on. Kept out of "Property",
// whose keys other readers expect in their own order.
#pragma once

#include <string>
#include <string_view>

#include "profile/profile_store.h"
#include "profile/properties.h"

namespace qv::profile {

inline constexpr std::string_view kOptionsSection = "Options";

// Milliseconds, so that both targets compare the same integers.
inline constexpr FieldRange kAgreementToleranceRange = SameRange({1, 60000}, 500);
inline constexpr FieldRange kOffsetGuardRange = SameRange({1, 999999999}, 1000);

struct ServerOptions {
  // When the default server fails, the other servers of "Servers", in
  // their order, within the same cycle.
  int fallback = 0;                    // "Fallback": 0 or 1
  // Up to three servers asked; the clock set only when a majority agree.
  int agreement = 0;                   // "Agreement": 0 or 1
  int agreement_tolerance_ms = 500;    // "AgreementTolerance", kAgreementToleranceRange
  // An adjustment larger than this is confirmed (attended) or refused.
  int offset_guard = 0;                // "OffsetGuard": 0 or 1
  int offset_guard_seconds = 1000;     // "OffsetGuardSeconds", kOffsetGuardRange
  // Server times and the clock display in the operating system's zone
  // instead of the fixed process zone.
  int local_zone = 0;                  // "LocalZone": 0 or 1
  // SNTP authenticated by Network Time Security.
  int nts = 0;                         // "NTS": 0 or 1
  std::string nts_trust_file;          // "NTSTrustFile": certificates to trust; empty: the system's
  friend bool operator==(const ServerOptions&, const ServerOptions&) = default;
};

// Every value within its range: a flag counts as on only when it is exactly
// 1, a number out of range takes its default.
ServerOptions LoadServerOptions(const ProfileStore& profile);
// Writes every key of the section.
ProfileResult SaveServerOptions(ProfileStore& profile, const ServerOptions& options);

}  // namespace qv::profile
