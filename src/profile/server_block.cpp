// The "Servers" section block: zero-terminated lines and one more zero.
#include "profile/ini.h"
#include "profile/properties.h"

namespace qv::profile {

std::string PackServerBlock(const std::vector<std::string>& servers) {
  std::string block;
  std::size_t room = kServerBlockCapacity;
  for (const std::string& name : servers) {
    if (!IsWritableSectionLine(name)) continue;
    // The name, its zero and the block's final zero must fit.
    if (name.size() + 1 >= room) break;
    block.append(name).push_back('\0');
    room -= name.size() + 1;
  }
  block.push_back('\0');
  return block;
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
