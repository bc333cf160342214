// The profile file and the profile operations every part of the system uses.
//
// Reads take a snapshot of the file; a file that does not exist reads as
// empty. Every write is one transaction: under an exclusive lock on the
// sidecar file <profile>.lock the file is read, changed in memory and
// replaced atomically, so a crash never leaves a half-written profile and
// two processes writing at once lose neither's keys.
//
// Each operation is one file access. For a consistent reading of many keys
// read from Load(); to save many keys as one change, write them inside Update().
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "profile/ini.h"
#include "profile/profile_store.h"

namespace qv::profile {

class ProfileFile final : public ProfileStore {
 public:
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  // The current contents; empty when the file is missing or unreadable.
  IniDocument Load() const;

  // Runs `edit` on the current contents under the lock and writes the result
  // when `edit` returns true and something changed. False when `edit` fails,
  // the lock cannot be had, the file exists but cannot be read (it is never
  // overwritten then), or the write fails.
  bool Update(const std::function<bool(IniDocument&)>& edit);

  std::optional<std::string> Lookup(std::string_view section, std::string_view key) const override;
  SectionBlock ReadSection(std::string_view section, std::size_t capacity) const override;
  bool WriteString(std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value) override;
  bool WriteSection(std::string_view section, std::string_view block) override;
  // The three writes in one transaction: nobody sees the section missing.
  bool ClearSection(std::string_view section) override;

 private:
  std::string path_;
};

// The operations on the running program's profile (ProfilePath()).
int ProfileReadInt(std::string_view section, std::string_view key, int fallback);
std::string ProfileReadString(std::string_view section, std::string_view key);
// Pass std::nullopt as the key to delete the section, as the value to delete the key.
bool ProfileWriteString(std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value);
bool ProfileWriteInt(std::string_view section, std::string_view key, int value);
SectionBlock ProfileReadSection(std::string_view section, std::size_t capacity);
bool ProfileWriteSection(std::string_view section, std::string_view block);
bool ProfileClearSection(std::string_view section);

}  // namespace qv::profile
