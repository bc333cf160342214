#include "profile/server_options.h"

namespace qv::profile {

namespace {

int Flag(const ProfileStore& profile, std::string_view key) {
  return profile.ReadInt(kOptionsSection, key, 0) == 1 ? 1 : 0;
}

}  // namespace

ServerOptions LoadServerOptions(const ProfileStore& profile) {
  ServerOptions o;
  o.fallback = Flag(profile, "Fallback");
  o.agreement = Flag(profile, "Agreement");
  o.agreement_tolerance_ms = kAgreementToleranceRange.Read(
      profile.ReadInt(kOptionsSection, "AgreementTolerance", kAgreementToleranceRange.fallback));
  o.offset_guard = Flag(profile, "OffsetGuard");
  o.offset_guard_seconds =
      kOffsetGuardRange.Read(profile.ReadInt(kOptionsSection, "OffsetGuardSeconds", kOffsetGuardRange.fallback));
  o.local_zone = Flag(profile, "LocalZone");
  o.nts = Flag(profile, "NTS");
  o.nts_trust_file = profile.ReadString(kOptionsSection, "NTSTrustFile");
  return o;
}

ProfileResult SaveServerOptions(ProfileStore& profile, const ServerOptions& o) {
  bool ok = true;
  auto integer = [&](std::string_view key, int value) { ok = profile.WriteInt(kOptionsSection, key, value) && ok; };
  integer("Fallback", o.fallback);
  integer("Agreement", o.agreement);
  integer("AgreementTolerance", o.agreement_tolerance_ms);
  integer("OffsetGuard", o.offset_guard);
  integer("OffsetGuardSeconds", o.offset_guard_seconds);
  integer("LocalZone", o.local_zone);
  integer("NTS", o.nts);
  ok = profile.WriteString(kOptionsSection, "NTSTrustFile", o.nts_trust_file) && ok;
  if (!ok) return {false, "the options could not be written to the profile"};
  return {true, {}};
}

}  // namespace qv::profile
