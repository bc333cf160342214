// The profile file and the profile operations every part of the system uses.
//
// A read takes one snapshot of the file and parses it once; a file that does
// not exist reads as empty, one that exists but cannot be read (a folder, no
// permission, not a regular file, too large, an unknown encoding) reads as
// empty too, and says so. Every write is one transaction: under an exclusive
// lock the file is read, changed in memory and replaced in one step, so a
// crash never leaves a half-written profile, a reader never sees half a
// change, and two processes writing at once lose neither's keys.
//
// Each ProfileStore operation on a ProfileFile is one file access. To read
// many keys, read once (Read) and ask the document; to write many keys as one
// change, write them inside Update.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "profile/ini.h"
#include "profile/profile_store.h"

namespace qv::profile {

// One reading of the profile file.
struct ProfileRead {
  enum class Status { kOk, kMissing, kUnreadable };
  Status status = Status::kMissing;
  std::string problem;    // kUnreadable: why, in words ("is a folder", "Permission denied")
  IniDocument document;   // empty unless kOk
};

class ProfileFile final : public ProfileStore {
 public:
  explicit ProfileFile(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }

  ProfileRead Read() const;
  // The current contents; empty when the file is missing or unreadable.
  IniDocument Load() const { return Read().document; }

  // Runs `edit` on the current contents under the lock and replaces the file
  // once when `edit` returns true and something changed. Fails, writing
  // nothing, when `edit` fails, the lock cannot be had, or the file exists
  // but cannot be read or written (it is never overwritten then).
  ProfileResult Update(const std::function<ProfileResult(IniDocument&)>& edit);
  ProfileResult Update(const std::function<bool(IniDocument&)>& edit);

  std::optional<std::string> Lookup(std::string_view section, std::string_view key) const override;
  SectionBlock ReadSection(std::string_view section, std::size_t capacity) const override;
  bool WriteString(std::string_view section, std::optional<std::string_view> key,
                   std::optional<std::string_view> value) override;
  bool WriteSection(std::string_view section, std::string_view block) override;
  // The three writes in one transaction: nobody sees the section missing.
  bool ClearSection(std::string_view section) override;
  std::optional<std::size_t> StoredSize(std::string_view text) const override;

 private:
  std::string path_;
};

}  // namespace qv::profile
