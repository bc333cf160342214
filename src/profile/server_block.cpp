// The "Servers" section block (zero-terminated lines and one more zero), and
// the server names it and "DefaultServer" can hold.
#include "profile/ini.h"
#include "profile/properties.h"

namespace qv::profile {

std::string PackServerBlock(const ProfileStore& profile, const std::vector<std::string>& servers) {
  std::string block;
  std::size_t room = kServerBlockCapacity;
  for (const std::string& name : servers) {
    const std::optional<std::size_t> size = profile.StoredSize(name);
    if (!size || !IsWritableSectionLine(name)) continue;
    // The name, its zero and the block's final zero must fit.
    if (*size + 1 >= room) break;
    block.append(name).push_back('\0');
    room -= *size + 1;
  }
  block.push_back('\0');
  return block;
}

namespace {

// The first character of `text` that the profile has no form for.
std::string FirstUnstorable(const ProfileStore& profile, std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t n = 1;
    while (i + n < text.size() && (static_cast<unsigned char>(text[i + n]) & 0xC0) == 0x80) ++n;
    if (!profile.StoredSize(text.substr(i, n))) return std::string(text.substr(i, n));
    i += n;
  }
  return std::string(text);
}

ServerNameCheck Check(const ProfileStore& profile, const std::string& name, bool listed) {
  if (!IsWritableValue(name)) return {ServerNameProblem::kLineBreak, name, {}};
  if (listed && !IsWritableSectionLine(name)) return {ServerNameProblem::kNotALine, name, {}};
  if (!profile.StoredSize(name)) return {ServerNameProblem::kCodePage, name, FirstUnstorable(profile, name)};
  return {};
}

}  // namespace

ServerNameCheck CheckServerNames(const ProfileStore& profile, const std::vector<std::string>& listed,
                                 std::string_view chosen) {
  for (const std::string& name : listed) {
    if (ServerNameCheck check = Check(profile, name, true); check.problem != ServerNameProblem::kNone) return check;
  }
  if (chosen.empty()) return {};
  return Check(profile, std::string(chosen), false);
}

std::string DescribeServerNameCheck(const ServerNameCheck& check) {
  const std::string name = "the server name \"" + check.name + "\"";
  switch (check.problem) {
    case ServerNameProblem::kNone: break;
    case ServerNameProblem::kLineBreak: return name + " holds a line break";
    case ServerNameProblem::kNotALine: return name + " is blank or starts with \"[\" or \";\"";
    case ServerNameProblem::kCodePage:
      return name + " holds \"" + check.character + "\", which the profile's code page lacks";
  }
  return {};
}

std::vector<std::string> UnpackSectionBlock(std::string_view block) {
  std::vector<std::string> entries;
  while (!block.empty()) {
    std::size_t end = block.find('\0');
    std::string_view entry = block.substr(0, end);
    if (entry.empty()) break;
    entries.emplace_back(entry);
    if (end == block.npos) break;
    block.remove_prefix(end + 1);
  }
  return entries;
}

}  // namespace qv::profile
