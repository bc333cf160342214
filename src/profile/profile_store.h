// What the rest of the system reads and writes a profile through: an INI
// document in memory (IniDocument) or a profile file (ProfileFile).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qv::profile {

// A section read in one piece: every entry's text followed by a NUL, then one
// more NUL ("a=1\0b\0\0"); an empty or missing section is the single NUL.
// `length` counts the characters before that final NUL.
struct SectionBlock {
  std::string text = std::string(1, '\0');
  std::size_t length = 0;
};

// What a write did; when it failed, why (in words, for the user).
struct ProfileResult {
  bool ok = false;
  std::string problem;
};

class ProfileStore {
 public:
  virtual ~ProfileStore() = default;

  // The value of a key, or nullopt when the section or the key is missing.
  virtual std::optional<std::string> Lookup(std::string_view section, std::string_view key) const = 0;

  // The section's entries as the file holds them, as many whole entries as
  // fit `capacity` of the file's own characters (bytes of its code page,
  // UTF-16 units) together with all terminating NULs.
  virtual SectionBlock ReadSection(std::string_view section, std::size_t capacity) const = 0;

  // Sets a value, creating the section (at the end) and the key as needed.
  // A missing value (nullopt, not "") deletes the key; a missing key deletes
  // the whole section. Fails, changing nothing, on names or values that the
  // file could not hold (line breaks, NULs, "=" in a key, "]" in a section).
  virtual bool WriteString(std::string_view section, std::optional<std::string_view> key,
                           std::optional<std::string_view> value) = 0;

  // Replaces every line of the section by the entries of `block` (the form
  // ReadSection returns; the list ends at an empty entry or at the end of
  // `block`), creating the section at the end when it is missing.
  virtual bool WriteSection(std::string_view section, std::string_view block) = 0;

  // Leaves the section present, empty and last in the file, by three writes:
  // delete the section, write key <section> = 0 (re-creating it at the end),
  // delete that key. The result is that of the last write.
  virtual bool ClearSection(std::string_view section);

  // How many of the file's own characters (as ReadSection counts them) the
  // text takes there; nullopt when the file has no form for one of its
  // characters (a code page without it).
  virtual std::optional<std::size_t> StoredSize(std::string_view text) const = 0;

  // The value's text; "" when missing.
  std::string ReadString(std::string_view section, std::string_view key) const;
  // The value as an integer (ParseProfileInt of base/text.h); `fallback` when missing,
  // empty or without digits.
  int ReadInt(std::string_view section, std::string_view key, int fallback) const;
  bool WriteInt(std::string_view section, std::string_view key, int value);
};

}  // namespace qv::profile
