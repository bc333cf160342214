// An INI document in memory, read and written the way Windows' own profile
// services do: "[Section]" headers, "key=value" lines, section and key names
// compared with ASCII case folding, blanks around names and values ignored,
// ";" comment lines and blank lines kept but never read, the first of
// duplicate sections or keys wins. Values are opaque bytes (the file is in the
// ANSI code page). Lines end in CR LF or LF when read, CR LF when written.
// Lines that are not touched are written back unchanged.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_store.h"

namespace qv::profile {

class IniDocument final : public ProfileStore {
 public:
  IniDocument() = default;
  // Any bytes parse; nothing is ever rejected.
  static IniDocument Parse(std::string_view bytes);
  std::string Serialize() const;

  std::optional<std::string> Lookup(std::string_view section, std::string_view key) const override;
  SectionBlock ReadSection(std::string_view section, std::size_t capacity) const override;
  bool WriteString(std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value) override;
  bool WriteSection(std::string_view section, std::string_view block) override;

  bool HasSection(std::string_view section) const;
  // Section names in file order (duplicates included), for tests and tools.
  std::vector<std::string> SectionNames() const;

 private:
  struct Line {
    enum class Kind { kBlank, kComment, kEntry };
    Kind kind = Kind::kBlank;
    std::string raw;  // as in the file, without the line end
    // Parts of raw: the text without surrounding blanks (up to any NUL),
    // and for an entry the trimmed key before the first "=" and the
    // trimmed value after it.
    std::size_t text_at = 0, text_size = 0;
    std::size_t key_at = 0, key_size = 0;
    std::size_t value_at = 0, value_size = 0;
    std::string_view text() const { return std::string_view(raw).substr(text_at, text_size); }
    std::string_view key() const { return std::string_view(raw).substr(key_at, key_size); }
    std::string_view value() const { return std::string_view(raw).substr(value_at, value_size); }
  };
  struct Section {
    std::string header;  // raw header line
    std::string name;
    std::vector<Line> lines;
  };

  static Line ParseLine(std::string raw);
  Section* FindSection(std::string_view name);
  const Section* FindSection(std::string_view name) const;
  Section& FindOrAppendSection(std::string_view name);
  void RemoveSections(std::string_view name);

  std::string bom_;  // a UTF-8 byte-order mark an editor may have put first
  std::vector<Line> preamble_;  // lines before the first header
  std::vector<Section> sections_;
};

// Whether a name or value can be written so that it reads back the same.
bool IsWritableSectionName(std::string_view name);
bool IsWritableKey(std::string_view key);
bool IsWritableValue(std::string_view value);
// A line that WriteSection can store as one entry.
bool IsWritableSectionLine(std::string_view line);

// ASCII case-insensitive equality (bytes >= 0x80 compare exactly).
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace qv::profile
