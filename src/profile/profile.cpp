#include "profile/profile.h"

#include "platform/file.h"
#include "profile/app_state.h"

namespace qv::profile {

IniDocument ProfileFile::Load() const {
  platform::FileContents file = platform::ReadWholeFile(path_);
  if (file.status != platform::FileContents::Status::kOk) return IniDocument();
  return IniDocument::Parse(file.bytes);
}

bool ProfileFile::Update(const std::function<bool(IniDocument&)>& edit) {
  if (path_.empty()) return false;
  platform::InterProcessLock lock(path_ + ".lock");
  if (!lock.locked()) return false;
  platform::FileContents file = platform::ReadWholeFile(path_);
  if (file.status == platform::FileContents::Status::kError) return false;
  const bool existed = file.status == platform::FileContents::Status::kOk;
  IniDocument doc = IniDocument::Parse(file.bytes);
  if (!edit(doc)) return false;
  std::string bytes = doc.Serialize();
  if (bytes == file.bytes && (existed || bytes.empty())) return true;
  return platform::ReplaceFileAtomically(path_, bytes);
}

std::optional<std::string> ProfileFile::Lookup(std::string_view section, std::string_view key) const {
  return Load().Lookup(section, key);
}

SectionBlock ProfileFile::ReadSection(std::string_view section, std::size_t capacity) const {
  return Load().ReadSection(section, capacity);
}

bool ProfileFile::WriteString(std::string_view section, std::optional<std::string_view> key,
                              std::optional<std::string_view> value) {
  return Update([&](IniDocument& doc) { return doc.WriteString(section, key, value); });
}

bool ProfileFile::WriteSection(std::string_view section, std::string_view block) {
  return Update([&](IniDocument& doc) { return doc.WriteSection(section, block); });
}

bool ProfileFile::ClearSection(std::string_view section) {
  return Update([&](IniDocument& doc) { return doc.ClearSection(section); });
}

int ProfileReadInt(std::string_view section, std::string_view key, int fallback) {
  return ProfileFile(ProfilePath()).ReadInt(section, key, fallback);
}

std::string ProfileReadString(std::string_view section, std::string_view key) {
  return ProfileFile(ProfilePath()).ReadString(section, key);
}

bool ProfileWriteString(std::string_view section, std::optional<std::string_view> key,
                        std::optional<std::string_view> value) {
  return ProfileFile(ProfilePath()).WriteString(section, key, value);
}

bool ProfileWriteInt(std::string_view section, std::string_view key, int value) {
  return ProfileFile(ProfilePath()).WriteInt(section, key, value);
}

SectionBlock ProfileReadSection(std::string_view section, std::size_t capacity) {
  return ProfileFile(ProfilePath()).ReadSection(section, capacity);
}

bool ProfileWriteSection(std::string_view section, std::string_view block) {
  return ProfileFile(ProfilePath()).WriteSection(section, block);
}

bool ProfileClearSection(std::string_view section) { return ProfileFile(ProfilePath()).ClearSection(section); }

}  // namespace qv::profile
