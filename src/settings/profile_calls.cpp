#include "settings/profile_calls.h"

#include "profile/program_profile.h"

namespace qv::settings {

namespace {

class ProfileFileCalls final : public ProfileCalls {
 public:
  explicit ProfileFileCalls(std::string path) : path_(std::move(path)) {}

  SettingsData Load() override { return profile::LoadProfile(path_).settings; }

  profile::ServerOptions LoadOptions() override { return profile::LoadProfile(path_).options; }

  profile::ProfileResult Save(const SettingsData& data, const profile::ServerOptions& options) override {
    return profile::SaveSettings(path_, data, options);
  }

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
