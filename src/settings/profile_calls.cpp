#include "settings/profile_calls.h"

#include "profile/program_profile.h"

namespace qv::settings {

namespace {

class ProfileFileCalls final : public ProfileCalls {
 public:
  explicit ProfileFileCalls(std::string path) : path_(std::move(path)) {}

  SettingsData Load() override { return profile::LoadProfile(path_).settings; }

  profile::ProfileResult Save(const SettingsData& data) override { return profile::SaveSettings(path_, data); }

  profile::ServerNameCheck CheckServerNames(const std::vector<std::string>& listed,
                                            const std::string& chosen) override {
    return profile::CheckServerNames(path_, listed, chosen);
  }

  std::string ShortcutName() override { return profile::LoadProfile(path_).application_name; }

 private:
  std::string path_;
};

}  // namespace

std::unique_ptr<ProfileCalls> MakeProfileCalls(const std::string& path) {
  return std::make_unique<ProfileFileCalls>(path);
}

}  // namespace qv::settings
