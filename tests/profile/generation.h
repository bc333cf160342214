// What the crash test's writer puts into the profile: one "generation" over
// two sections and a large value, in one transaction, so that a torn write
// shows as a mismatch.
#pragma once

#include <optional>
#include <string>

#include "profile/ini.h"
#include "profile/profile.h"

namespace qv::test {

inline std::string Payload(long generation) {
  const std::string unit = std::to_string(generation) + "-";
  std::string text;
  while (text.size() < 40000) text += unit;
  return text;
}

inline bool WriteGeneration(profile::ProfileFile& file, long generation) {
  const std::string n = std::to_string(generation);
  return file.Update([&](profile::IniDocument& doc) {
    return doc.WriteString("Crash", "counter", n) && doc.WriteString("Crash", "payload", Payload(generation)) &&
           doc.WriteString("Tail", "end", n);
  }).ok;
}

// The generation the document holds whole, or nullopt when it is torn.
inline std::optional<long> ReadGeneration(const profile::IniDocument& doc) {
  const std::optional<std::string> counter = doc.Lookup("Crash", "counter");
  if (!counter || counter->empty() || doc.Lookup("Tail", "end") != *counter) return std::nullopt;
  if (doc.Lookup("Crash", "payload") != Payload(std::stol(*counter))) return std::nullopt;
  return std::stol(*counter);
}

}  // namespace qv::test
