#include "profile/profile_store.h"

#include "base/text.h"

namespace qv::profile {

std::string ProfileStore::ReadString(std::string_view section, std::string_view key) const {
  return Lookup(section, key).value_or(std::string());
}

int ProfileStore::ReadInt(std::string_view section, std::string_view key, int fallback) const {
  std::optional<std::string> text = Lookup(section, key);
  if (!text) return fallback;
  return ParseProfileInt(*text).value_or(fallback);
}

bool ProfileStore::WriteInt(std::string_view section, std::string_view key, int value) {
  return WriteString(section, key, std::to_string(value));
}

bool ProfileStore::ClearSection(std::string_view section) {
  WriteString(section, std::nullopt, std::nullopt);
  WriteInt(section, section, 0);
  return WriteString(section, section, std::nullopt);
}

}  // namespace qv::profile
