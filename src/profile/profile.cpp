#include "profile/profile.h"

#include "platform/file.h"

namespace qv::profile {

namespace {

constexpr const char* kUnknownEncoding = "is in an encoding no profile service reads (UTF-32)";

}  // namespace

ProfileRead ProfileFile::Read() const {
  ProfileRead read;
  platform::FileContents file = platform::ReadWholeFile(path_);
  switch (file.status) {
    case platform::FileContents::Status::kMissing: return read;
    case platform::FileContents::Status::kError:
      read.status = ProfileRead::Status::kUnreadable;
      read.problem = file.problem;
      return read;
    case platform::FileContents::Status::kOk: break;
  }
  if (HasUtf32Bom(file.bytes)) {
    read.status = ProfileRead::Status::kUnreadable;
    read.problem = kUnknownEncoding;
    return read;
  }
  read.status = ProfileRead::Status::kOk;
  read.document = IniDocument::Parse(file.bytes);
  return read;
}

ProfileResult ProfileFile::Update(const std::function<bool(IniDocument&)>& edit) {
  return Update([&](IniDocument& doc) {
    return edit(doc) ? ProfileResult{true, {}} : ProfileResult{false, "the change cannot be stored in this file"};
  });
}

ProfileResult ProfileFile::Update(const std::function<ProfileResult(IniDocument&)>& edit) {
  platform::FileTransaction transaction(path_);
  if (!transaction.ok()) return {false, transaction.problem()};
  const platform::FileContents& file = transaction.contents();
  if (HasUtf32Bom(file.bytes)) return {false, kUnknownEncoding};
  const bool existed = file.status == platform::FileContents::Status::kOk;
  IniDocument doc = IniDocument::Parse(file.bytes);
  if (ProfileResult edited = edit(doc); !edited.ok) return edited;
  std::string bytes = doc.Serialize();
  if (existed ? bytes == file.bytes : bytes.empty()) return {true, {}};
  if (!transaction.Commit(bytes)) return {false, transaction.problem()};
  return {true, {}};
}

std::optional<std::string> ProfileFile::Lookup(std::string_view section, std::string_view key) const {
  return Load().Lookup(section, key);
}

SectionBlock ProfileFile::ReadSection(std::string_view section, std::size_t capacity) const {
  return Load().ReadSection(section, capacity);
}

bool ProfileFile::WriteString(std::string_view section, std::optional<std::string_view> key,
                              std::optional<std::string_view> value) {
  // Refused before the file is touched (or its lock created).
  if (!IsWritableSectionName(section) || (key && !IsWritableKey(*key)) || (key && value && !IsWritableValue(*value)))
    return false;
  return Update([&](IniDocument& doc) { return doc.WriteString(section, key, value); }).ok;
}

bool ProfileFile::WriteSection(std::string_view section, std::string_view block) {
  if (!IsWritableSectionName(section)) return false;
  return Update([&](IniDocument& doc) { return doc.WriteSection(section, block); }).ok;
}

bool ProfileFile::ClearSection(std::string_view section) {
  if (!IsWritableSectionName(section)) return false;
  return Update([&](IniDocument& doc) { return doc.ClearSection(section); }).ok;
}

std::optional<std::size_t> ProfileFile::StoredSize(std::string_view text) const { return Load().StoredSize(text); }

}  // namespace qv::profile
