#include "profile/ini.h"

#include <algorithm>

#include "base/text.h"

namespace qv::profile {

namespace {

// What Windows skips around names and values: blanks, and the control
// characters an editor or an old copy may leave (VT, FF, a Ctrl-Z).
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r' || c == '\x1A'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}


bool HasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A value read by key loses one pair of matching outer quotes.
std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// The text stored for a value, quoted where reading would otherwise change
// it (blanks at its ends, or outer quotes of its own).
std::string QuoteIfNeeded(std::string_view value) {
  if (!value.empty() && (Trim(value).size() != value.size() || Unquote(value).size() != value.size())) {
    std::string quoted(1, '"');
    quoted.append(value).push_back('"');
    return quoted;
  }
  return std::string(value);
}

constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

bool IsWritableSectionName(std::string_view name) {
  return !name.empty() && Trim(name) == name && !HasLineBreakOrNul(name) && name.find(']') == name.npos;
}

bool IsWritableKey(std::string_view key) {
  return !key.empty() && Trim(key) == key && !HasLineBreakOrNul(key) && key.find('=') == key.npos &&
         key.front() != '[' && key.front() != ';';
}

bool IsWritableValue(std::string_view value) { return !HasLineBreakOrNul(value); }

bool IsWritableSectionLine(std::string_view line) {
  std::string_view text = Trim(line);
  return !text.empty() && !HasLineBreakOrNul(line) && text.front() != '[' && text.front() != ';';
}

IniDocument::IniDocument(unsigned code_page) : code_page_(code_page) {
  for (unsigned b = 0x80; b < 0x100; ++b) lead_[b] = platform::IsLeadByte(code_page, static_cast<unsigned char>(b));
}

IniDocument::Line IniDocument::ParseLine(std::string raw) {
  Line line;
  line.raw = std::move(raw);
  std::string_view all = line.raw;
  auto offset = [&](std::string_view part) { return static_cast<std::size_t>(part.data() - all.data()); };
  // A stray NUL ends what can be read of the line; the raw bytes stay.
  std::string_view text = Trim(all.substr(0, all.find('\0')));
  line.text_at = offset(text);
  line.text_size = text.size();
  std::size_t eq = text.find('=');
  if (text.empty()) {
    line.kind = Line::Kind::kBlank;
  } else if (text.front() == ';') {
    line.kind = Line::Kind::kComment;
  } else if (eq == text.npos) {
    line.kind = Line::Kind::kText;
  } else {
    line.kind = Line::Kind::kEntry;
    std::string_view key = Trim(text.substr(0, eq));
    std::string_view value = Trim(text.substr(eq + 1));
    line.key_at = offset(key);
    line.key_size = key.size();
    line.value_at = offset(value);
    line.value_size = value.size();
  }
  return line;
}

std::size_t IniDocument::FindCharacter(std::string_view text, char c) const {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (lead_[static_cast<unsigned char>(text[i])]) {
      ++i;
    } else if (text[i] == c) {
      return i;
    }
  }
  return std::string_view::npos;
}

void IniDocument::AddLine(std::string_view raw) {
  std::string_view text = Trim(raw.substr(0, raw.find('\0')));
  if (!text.empty() && text.front() == '[') {
    // Anything after the "]" is ignored; without one the line is no header.
    std::size_t close = FindCharacter(text, ']');
    if (close != text.npos) {
      Section section;
      section.header = std::string(raw);
      section.name = std::string(Trim(text.substr(1, close - 1)));
      sections_.push_back(std::move(section));
      return;
    }
  }
  (sections_.empty() ? preamble_ : sections_.back().lines).push_back(ParseLine(std::string(raw)));
}

IniDocument IniDocument::Parse(std::string_view bytes, unsigned code_page) {
  std::size_t bom = 0;
  const TextForm form = DetectTextForm(bytes, bom);
  IniDocument doc(form == TextForm::kAnsi ? code_page : platform::kUtf8CodePage);
  doc.code_page_ = code_page;
  doc.form_ = form;
  bytes.remove_prefix(bom);
  std::string decoded;
  if (form == TextForm::kUtf16Le || form == TextForm::kUtf16Be) {
    if (bytes.size() % 2 != 0) {
      doc.odd_byte_ = std::string(bytes.substr(bytes.size() - 1));
      bytes.remove_suffix(1);
    }
    decoded = Utf16ToUtf8(bytes, form == TextForm::kUtf16Be);
    bytes = decoded;
  }
  while (!bytes.empty() && bytes.back() == '\x1A') {
    ++doc.eof_marks_;
    bytes.remove_suffix(1);
  }
  // A line ends at LF, CR LF, CR CR LF (a CR LF file converted twice) or a
  // lone CR (old Macintosh files).
  while (!bytes.empty()) {
    std::size_t end = bytes.find_first_of("\r\n");
    doc.AddLine(bytes.substr(0, end));
    if (end == bytes.npos) break;
    std::size_t next = end + 1;
    if (bytes[end] == '\r') {
      if (bytes.substr(end, 2) == "\r\n") {
        next = end + 2;
      } else if (bytes.substr(end, 3) == "\r\r\n") {
        next = end + 3;
      }
    }
    bytes.remove_prefix(next);
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string text;
  for (const Line& line : preamble_) text.append(line.raw).append(kLineEnd);
  for (const Section& section : sections_) {
    text.append(section.header).append(kLineEnd);
    for (const Line& line : section.lines) text.append(line.raw).append(kLineEnd);
  }
  text.append(eof_marks_, '\x1A');
  switch (form_) {
    case TextForm::kAnsi: return text;
    case TextForm::kUtf8Bom: return std::string(ByteOrderMark(form_)) + text;
    case TextForm::kUtf16Le:
    case TextForm::kUtf16Be: break;
  }
  return std::string(ByteOrderMark(form_)) + Utf8ToUtf16(text, form_ == TextForm::kUtf16Be) + odd_byte_;
}

std::optional<std::string> IniDocument::Encode(std::string_view text) const {
  switch (form_) {
    case TextForm::kAnsi:
      if (code_page_ == platform::kUtf8CodePage || IsAscii(text)) return std::string(text);
      return platform::Utf8ToCodePage(code_page_, text);
    case TextForm::kUtf8Bom: return std::string(text);
    case TextForm::kUtf16Le:
    case TextForm::kUtf16Be: break;
  }
  if (!IsStrictUtf8(text)) return std::nullopt;
  return std::string(text);
}

std::string IniDocument::Decode(std::string_view stored) const {
  if (IsAscii(stored)) return std::string(stored);
  switch (form_) {
    case TextForm::kAnsi:
      if (code_page_ == platform::kUtf8CodePage) return std::string(stored);
      return platform::CodePageToUtf8(code_page_, stored);
    case TextForm::kUtf8Bom: return std::string(stored);
    case TextForm::kUtf16Le:
    case TextForm::kUtf16Be: break;
  }
  return WithoutSurrogates(stored);
}

std::size_t IniDocument::Units(std::string_view stored) const {
  if (form_ != TextForm::kUtf16Le && form_ != TextForm::kUtf16Be) return stored.size();
  return Utf8ToUtf16(stored, false).size() / 2;
}

std::optional<std::size_t> IniDocument::StoredSize(std::string_view text) const {
  const std::optional<std::string> stored = Encode(text);
  if (!stored) return std::nullopt;
  return Units(*stored);
}

bool IniDocument::NamesMatch(std::string_view stored, std::string_view wanted) const {
  if (stored.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (lead_[static_cast<unsigned char>(stored[i])]) {
      // A double-byte character compares whole and exactly: its second byte
      // may look like an ASCII letter.
      if (stored.substr(i, 2) != wanted.substr(i, 2)) return false;
      ++i;
    } else if (AsciiLower(stored[i]) != AsciiLower(wanted[i])) {
      return false;
    }
  }
  return true;
}

const IniDocument::Section* IniDocument::FindSection(std::string_view stored_name) const {
  for (const Section& section : sections_) {
    if (NamesMatch(section.name, stored_name)) return &section;
  }
  return nullptr;
}

IniDocument::Section* IniDocument::FindSection(std::string_view stored_name) {
  return const_cast<Section*>(static_cast<const IniDocument*>(this)->FindSection(stored_name));
}

const IniDocument::Line* IniDocument::FindKey(const Section& section, std::string_view key) const {
  for (const Line& line : section.lines) {
    if (line.kind == Line::Kind::kEntry && NamesMatch(line.key(), key)) return &line;
  }
  return nullptr;
}

IniDocument::Section& IniDocument::FindOrAppendSection(std::string_view stored_name) {
  if (Section* found = FindSection(stored_name)) return *found;
  Section section;
  section.name = std::string(stored_name);
  section.header = "[" + section.name + "]";
  sections_.push_back(std::move(section));
  return sections_.back();
}

void IniDocument::RemoveSections(std::string_view stored_name) {
  // Every copy goes: a later duplicate would otherwise surface as the section.
  std::erase_if(sections_, [&](const Section& s) { return NamesMatch(s.name, stored_name); });
}

bool IniDocument::HasSection(std::string_view section) const {
  std::optional<std::string> name = Encode(section);
  return name && FindSection(*name) != nullptr;
}

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Section& section : sections_) names.push_back(Decode(section.name));
  return names;
}

std::optional<std::string> IniDocument::Lookup(std::string_view section, std::string_view key) const {
  std::optional<std::string> name = Encode(section), stored_key = Encode(key);
  if (!name || !stored_key) return std::nullopt;
  const Section* found = FindSection(*name);
  if (!found) return std::nullopt;
  const Line* line = FindKey(*found, *stored_key);
  if (!line) return std::nullopt;
  return Decode(Unquote(line->value()));
}

SectionBlock IniDocument::ReadSection(std::string_view section, std::size_t capacity) const {
  SectionBlock block;
  block.text.clear();
  std::size_t used = 0;
  std::optional<std::string> name = Encode(section);
  if (const Section* found = name ? FindSection(*name) : nullptr) {
    for (const Line& line : found->lines) {
      if (line.kind != Line::Kind::kEntry && line.kind != Line::Kind::kText) continue;
      // The entry, its NUL and the list's final NUL must all fit, counted in
      // the file's own characters.
      const std::size_t units = Units(line.text());
      if (used + units + 2 > capacity) break;
      const std::string entry = Decode(line.text());
      block.text.append(entry).push_back('\0');
      block.length += entry.size() + 1;
      used += units + 1;
    }
  }
  block.text.push_back('\0');
  return block;
}

bool IniDocument::WriteString(std::string_view section, std::optional<std::string_view> key,
                              std::optional<std::string_view> value) {
  std::optional<std::string> name = IsWritableSectionName(section) ? Encode(section) : std::nullopt;
  if (!name) return false;
  if (!key) {
    RemoveSections(*name);
    return true;
  }
  std::optional<std::string> stored_key = IsWritableKey(*key) ? Encode(*key) : std::nullopt;
  if (!stored_key) return false;
  if (!value) {
    if (Section* found = FindSection(*name)) {
      std::erase_if(found->lines, [&](const Line& line) {
        return line.kind == Line::Kind::kEntry && NamesMatch(line.key(), *stored_key);
      });
    }
    return true;
  }
  std::optional<std::string> stored_value = IsWritableValue(*value) ? Encode(QuoteIfNeeded(*value)) : std::nullopt;
  if (!stored_value) return false;

  Section& target = FindOrAppendSection(*name);
  for (Line& line : target.lines) {
    if (line.kind == Line::Kind::kEntry && NamesMatch(line.key(), *stored_key)) {
      // The key keeps the spelling it has in the file.
      line = ParseLine(std::string(line.key()) + "=" + *stored_value);
      return true;
    }
  }
  // After the section's last non-blank line, so blank separator lines stay
  // in front of the next header.
  auto last = std::find_if(target.lines.rbegin(), target.lines.rend(),
                           [](const Line& line) { return line.kind != Line::Kind::kBlank; });
  target.lines.insert(last.base(), ParseLine(*stored_key + "=" + *stored_value));
  return true;
}

bool IniDocument::WriteSection(std::string_view section, std::string_view block) {
  std::optional<std::string> name = IsWritableSectionName(section) ? Encode(section) : std::nullopt;
  if (!name) return false;
  std::vector<Line> lines;
  while (!block.empty()) {
    std::size_t end = block.find('\0');
    std::string_view entry = block.substr(0, end);
    if (entry.empty()) break;
    std::optional<std::string> stored = IsWritableSectionLine(entry) ? Encode(entry) : std::nullopt;
    if (!stored) return false;
    lines.push_back(ParseLine(std::move(*stored)));
    block = end == block.npos ? std::string_view() : block.substr(end + 1);
  }
  FindOrAppendSection(*name).lines = std::move(lines);
  return true;
}

}  // namespace qv::profile
