// An INI document in memory, read the way Windows' own profile services read
// files: "[Section]" headers (a "[" line without "]" is no header), "key=value"
// lines, section and key names compared with ASCII case folding that never
// folds the second byte of a double-byte character, blanks and control
// characters (space, tab, VT, FF, Ctrl-Z) around names and values ignored,
// one pair of matching outer quotes dropped from a value read by key, ";"
// comment lines, lines without "=" listed in a section but no key, the first
// of duplicate sections or keys wins. Lines end in CR LF, LF, a lone CR or
// CR CR LF; a final Ctrl-Z stays last. The text is in the system's ANSI code
// page unless a byte-order mark says UTF-8 or UTF-16 (LE or BE); it is written
// back in the same form, every line ending in CR LF. Names and values cross
// the interface as UTF-8. Lines that are not touched keep their bytes.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/codepage.h"
#include "profile/profile_store.h"
#include "profile/text_form.h"

namespace qv::profile {

class IniDocument final : public ProfileStore {
 public:
  // An empty document; new files are written in the code page given.
  IniDocument() : IniDocument(platform::AnsiCodePage()) {}
  explicit IniDocument(unsigned code_page);
  // Any bytes parse; nothing is ever rejected. `code_page` is that of files
  // without a byte-order mark.
  static IniDocument Parse(std::string_view bytes, unsigned code_page = platform::AnsiCodePage());
  std::string Serialize() const;
  TextForm form() const { return form_; }

  std::optional<std::string> Lookup(std::string_view section, std::string_view key) const override;
  SectionBlock ReadSection(std::string_view section, std::size_t capacity) const override;
  // Also fails when the file's code page has no form for a character of the
  // name or value (nothing is stored as "?").
  bool WriteString(std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value) override;
  bool WriteSection(std::string_view section, std::string_view block) override;
  std::optional<std::size_t> StoredSize(std::string_view text) const override;

  bool HasSection(std::string_view section) const;
  // Section names in file order (duplicates included), for tests and tools.
  std::vector<std::string> SectionNames() const;

 private:
  struct Line {
    enum class Kind { kBlank, kComment, kText, kEntry };
    Kind kind = Kind::kBlank;
    std::string raw;  // as stored, without the line end
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
    std::string name;    // as stored
    std::vector<Line> lines;
  };

  static Line ParseLine(std::string raw);
  void AddLine(std::string_view raw);
  // Stored text from the UTF-8 of the interface and back.
  std::optional<std::string> Encode(std::string_view text) const;
  std::string Decode(std::string_view stored) const;
  // The file's own characters in stored text: bytes, or UTF-16 units.
  std::size_t Units(std::string_view stored) const;
  bool NamesMatch(std::string_view stored, std::string_view wanted) const;
  // The first `c` that is a character of its own, not the second byte of one.
  std::size_t FindCharacter(std::string_view text, char c) const;
  const Line* FindKey(const Section& section, std::string_view key) const;
  Section* FindSection(std::string_view stored_name);
  const Section* FindSection(std::string_view stored_name) const;
  Section& FindOrAppendSection(std::string_view stored_name);
  void RemoveSections(std::string_view stored_name);

  TextForm form_ = TextForm::kAnsi;
  unsigned code_page_;
  std::array<bool, 256> lead_{};  // lead bytes of double-byte characters
  std::size_t eof_marks_ = 0;     // Ctrl-Z characters that ended the file
  std::string odd_byte_;          // the last byte of a UTF-16 file of odd length
  std::vector<Line> preamble_;    // lines before the first header
  std::vector<Section> sections_;
};

// Whether a name or value can be written so that it reads back the same.
bool IsWritableSectionName(std::string_view name);
bool IsWritableKey(std::string_view key);
bool IsWritableValue(std::string_view value);
// A line that WriteSection can store as one entry.
bool IsWritableSectionLine(std::string_view line);

}  // namespace qv::profile
