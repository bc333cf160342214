#include "profile/ini.h"

#include <algorithm>

namespace qv::profile {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool HasLineBreakOrNul(std::string_view s) { return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos; }

}  // namespace

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

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

IniDocument::Line IniDocument::ParseLine(std::string raw) {
  Line line;
  line.raw = std::move(raw);
  std::string_view all = line.raw;
  auto offset = [&](std::string_view part) { return static_cast<std::size_t>(part.data() - all.data()); };
  // A stray NUL ends what can be read of the line; the raw bytes stay.
  std::string_view text = Trim(all.substr(0, all.find('\0')));
  line.text_at = offset(text);
  line.text_size = text.size();
  if (text.empty()) {
    line.kind = Line::Kind::kBlank;
  } else if (text.front() == ';') {
    line.kind = Line::Kind::kComment;
  } else {
    line.kind = Line::Kind::kEntry;
    std::size_t eq = text.find('=');
    std::string_view key = Trim(text.substr(0, eq));
    line.key_at = offset(key);
    line.key_size = key.size();
    if (eq != text.npos) {
      std::string_view value = Trim(text.substr(eq + 1));
      line.value_at = offset(value);
      line.value_size = value.size();
    }
  }
  return line;
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument doc;
  if (bytes.substr(0, kBom.size()) == kBom) {
    doc.bom_ = std::string(kBom);
    bytes.remove_prefix(kBom.size());
  }
  while (!bytes.empty()) {
    std::size_t end = bytes.find('\n');
    std::string_view raw = bytes.substr(0, end);
    bytes = end == bytes.npos ? std::string_view() : bytes.substr(end + 1);
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);

    std::string_view text = Trim(raw.substr(0, raw.find('\0')));
    if (!text.empty() && text.front() == '[') {
      Section section;
      section.header = std::string(raw);
      std::string_view inner = text.substr(1);
      section.name = std::string(Trim(inner.substr(0, inner.find(']'))));
      doc.sections_.push_back(std::move(section));
      continue;
    }
    Line line = ParseLine(std::string(raw));
    if (doc.sections_.empty()) {
      doc.preamble_.push_back(std::move(line));
    } else {
      doc.sections_.back().lines.push_back(std::move(line));
    }
  }
  return doc;
}

std::string IniDocument::Serialize() const {
  std::string out = bom_;
  for (const Line& line : preamble_) out.append(line.raw).append("\r\n");
  for (const Section& section : sections_) {
    out.append(section.header).append("\r\n");
    for (const Line& line : section.lines) out.append(line.raw).append("\r\n");
  }
  return out;
}

const IniDocument::Section* IniDocument::FindSection(std::string_view name) const {
  for (const Section& section : sections_) {
    if (EqualsIgnoreCase(section.name, name)) return &section;
  }
  return nullptr;
}

IniDocument::Section* IniDocument::FindSection(std::string_view name) {
  return const_cast<Section*>(static_cast<const IniDocument*>(this)->FindSection(name));
}

IniDocument::Section& IniDocument::FindOrAppendSection(std::string_view name) {
  if (Section* found = FindSection(name)) return *found;
  Section section;
  section.name = std::string(name);
  section.header = "[" + section.name + "]";
  sections_.push_back(std::move(section));
  return sections_.back();
}

void IniDocument::RemoveSections(std::string_view name) {
  // Every copy goes: a later duplicate would otherwise surface as the section.
  std::erase_if(sections_, [&](const Section& s) { return EqualsIgnoreCase(s.name, name); });
}

bool IniDocument::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::vector<std::string> IniDocument::SectionNames() const {
  std::vector<std::string> names;
  for (const Section& section : sections_) names.push_back(section.name);
  return names;
}

std::optional<std::string> IniDocument::Lookup(std::string_view section, std::string_view key) const {
  const Section* found = FindSection(section);
  if (!found) return std::nullopt;
  for (const Line& line : found->lines) {
    if (line.kind == Line::Kind::kEntry && EqualsIgnoreCase(line.key(), key)) return std::string(line.value());
  }
  return std::nullopt;
}

SectionBlock IniDocument::ReadSection(std::string_view section, std::size_t capacity) const {
  SectionBlock block;
  block.text.clear();
  if (const Section* found = FindSection(section)) {
    for (const Line& line : found->lines) {
      if (line.kind != Line::Kind::kEntry) continue;
      // The entry, its NUL and the list's final NUL must all fit.
      if (block.length + line.text_size + 2 > capacity) break;
      block.text.append(line.text()).push_back('\0');
      block.length += line.text_size + 1;
    }
  }
  block.text.push_back('\0');
  return block;
}

bool IniDocument::WriteString(std::string_view section, std::optional<std::string_view> key,
                              std::optional<std::string_view> value) {
  if (!IsWritableSectionName(section)) return false;
  if (!key) {
    RemoveSections(section);
    return true;
  }
  if (!IsWritableKey(*key)) return false;
  if (!value) {
    if (Section* found = FindSection(section)) {
      std::erase_if(found->lines, [&](const Line& line) {
        return line.kind == Line::Kind::kEntry && EqualsIgnoreCase(line.key(), *key);
      });
    }
    return true;
  }
  if (!IsWritableValue(*value)) return false;

  Section& target = FindOrAppendSection(section);
  for (Line& line : target.lines) {
    if (line.kind == Line::Kind::kEntry && EqualsIgnoreCase(line.key(), *key)) {
      // The key keeps the spelling it has in the file.
      line = ParseLine(std::string(line.key()) + "=" + std::string(*value));
      return true;
    }
  }
  // After the section's last non-blank line, so blank separator lines stay
  // in front of the next header.
  auto last = std::find_if(target.lines.rbegin(), target.lines.rend(),
                           [](const Line& line) { return line.kind != Line::Kind::kBlank; });
  target.lines.insert(last.base(), ParseLine(std::string(*key) + "=" + std::string(*value)));
  return true;
}

bool IniDocument::WriteSection(std::string_view section, std::string_view block) {
  if (!IsWritableSectionName(section)) return false;
  std::vector<Line> lines;
  while (!block.empty()) {
    std::size_t end = block.find('\0');
    std::string_view entry = block.substr(0, end);
    if (entry.empty()) break;
    if (!IsWritableSectionLine(entry)) return false;
    lines.push_back(ParseLine(std::string(entry)));
    block = end == block.npos ? std::string_view() : block.substr(end + 1);
  }
  FindOrAppendSection(section).lines = std::move(lines);
  return true;
}

}  // namespace qv::profile
