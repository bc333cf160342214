// What the writer helper puts into the profile. The crash test writes one
// "generation" over two sections and a large value in one transaction, so
// that a torn write shows as a mismatch; the reader test alternates two
// settings-program saves that differ in every key.
#pragma once

#include <optional>
#include <string>

#include "profile/ini.h"
#include "profile/profile.h"
#include "profile/properties.h"

namespace qv::test {

// At least `size` characters; a payload's own length gives it back whole.
inline std::string Payload(long generation, std::size_t size) {
  const std::string unit = std::to_string(generation) + "-";
  std::string text;
  while (text.size() < size) text += unit;
  return text;
}

inline bool WriteGeneration(profile::ProfileFile& file, long generation, std::size_t size = 40000) {
  const std::string n = std::to_string(generation);
  return file.Update([&](profile::IniDocument& doc) {
    return doc.WriteString("Crash", "counter", n) && doc.WriteString("Crash", "payload", Payload(generation, size)) &&
           doc.WriteString("Tail", "end", n);
  }).ok;
}

// The generation the document holds whole, or nullopt when it is torn.
inline std::optional<long> ReadGeneration(const profile::IniDocument& doc) {
  const std::optional<std::string> counter = doc.Lookup("Crash", "counter");
  const std::optional<std::string> payload = doc.Lookup("Crash", "payload");
  if (!counter || counter->empty() || !payload || doc.Lookup("Tail", "end") != *counter) return std::nullopt;
  if (*payload != Payload(std::stol(*counter), payload->size())) return std::nullopt;
  return std::stol(*counter);
}

// Two settings that differ in every key the settings program saves.
inline profile::SettingsProperties SettingsSet(int which) {
  profile::SettingsProperties s;
  if (which == 0) {
    s.servers = {"a.example.jp", "b.example.jp"};
    s.server = "a.example.jp";
    return s;
  }
  s.servers = {"c.example.org"};
  s.server = "c.example.org";
  s.protocol = kDaytime;
  s.reference_check = 0, s.reference_hours = 12, s.time_out = 17;
  s.clock_on = s.clock_position = 1, s.clock_format = 2;
  s.log_file = s.beep = s.auto_adjust = s.auto_terminate = s.indicator_line = s.desktop_link = s.startup_link = 1;
  s.dialog_size = s.iconic_start = s.window_pos = 1;
  s.adjust_on = 1, s.adjust_hour = 8, s.adjust_minute = 30;
  s.retry_on = 1, s.retry_count = 3, s.retry_interval = 15, s.retry_unit = 2;
  return s;
}

// Everything the settings program saves, as one text to compare.
inline std::string SavedForm(const profile::SettingsProperties& s) {
  profile::IniDocument doc(platform::kUtf8CodePage);
  profile::SaveSettingsProperties(doc, s);
  return doc.Serialize();
}

// 0 or 1 when the settings are one of the two sets whole, else -1.
inline int WhichSettingsSet(const profile::SettingsProperties& s) {
  for (int which : {0, 1}) {
    if (SavedForm(s) == SavedForm(SettingsSet(which))) return which;
  }
  return -1;
}

}  // namespace qv::test
