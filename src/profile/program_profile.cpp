#include "profile/program_profile.h"

namespace qv::profile {

ProfileLoad LoadProfile(const std::string& path, const MainProperties& previous_main) {
  ProfileRead read = ProfileFile(path).Read();
  ProfileLoad load;
  load.status = read.status;
  load.problem = std::move(read.problem);
  load.main = LoadMainProperties(read.document, previous_main);
  load.main_window = ReadMainWindowPos(read.document);
  load.settings = LoadSettingsProperties(read.document);
  load.application_name = ReadApplicationName(read.document);
  load.options = LoadServerOptions(read.document);
  return load;
}

ProfileResult SaveSettings(const std::string& path, const SettingsProperties& settings) {
  return ProfileFile(path).Update([&](IniDocument& doc) { return SaveSettingsProperties(doc, settings); });
}

ProfileResult SaveSettings(const std::string& path, const SettingsProperties& settings,
                           const ServerOptions& options) {
  return ProfileFile(path).Update([&](IniDocument& doc) {
    ProfileResult saved = SaveSettingsProperties(doc, settings);
    if (saved.ok && LoadServerOptions(doc) != options) saved = SaveServerOptions(doc, options);
    return saved;
  });
}

ServerNameCheck CheckServerNames(const std::string& path, const std::vector<std::string>& listed,
                                 std::string_view chosen) {
  return CheckServerNames(ProfileFile(path).Load(), listed, chosen);
}

ProfileResult SaveMainWindowPos(const std::string& path, int on, int left, int top, int show_state) {
  return ProfileFile(path).Update(
      [&](IniDocument& doc) { return WriteMainWindowPos(doc, on, left, top, show_state); });
}

ProfileResult WriteTimeZoneRecords(const std::string& path, const std::array<std::string, 3>& records) {
  return ProfileFile(path).Update([&](IniDocument& doc) {
    bool ok = true;
    for (int i = 0; i < 3; ++i) ok = WriteTimeZoneRecord(doc, i, records[static_cast<std::size_t>(i)]) && ok;
    return ok;
  });
}

}  // namespace qv::profile
