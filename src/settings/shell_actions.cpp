// Shortcuts to the main program after a save, and deleting the result log.
#include <cstdio>

#include "engine/result_log.h"
#include "platform/process.h"
#include "settings/settings_dialog.h"
#include "settings/settings_template.h"
#include "settings/strings.h"

namespace qv::settings {

void SettingsDialog::BringShortcutsInLine() {
  const std::string stored = services_.profile->ShortcutName();
  const std::optional<std::string> text = ShortcutNameText(stored);
  if (!text) {
    // Neither the file name nor the name shown can be written: no shortcut
    // is made or removed.
    std::fprintf(stderr, "%s: ApplicationName in %s is neither UTF-8 nor CP932 text; shortcuts left as they are\n",
                 platform::ExecutableBaseName().c_str(), profile_path_.c_str());
    return;
  }
  std::string name = *text;
  if (name.empty()) name = ui::LoadText(kStrShortcutName);
  // A name that climbs out of its folder would make or delete files
  // elsewhere: no shortcut is touched then.
  if (!IsPlainFileName(name)) return;
  const std::string target = MainProgramPath(profile_path_);
  // The desktop first, then the start-up folder; a failure stops neither.
  for (const auto& [folder, on] : {std::pair{platform::ShellFolder::kDesktop, d_.desktop_link},
                                   std::pair{platform::ShellFolder::kStartup, d_.startup_link}}) {
    const std::string path = services_.shell->FolderPath(folder);
    if (path.empty()) continue;
    const std::string link = platform::ShortcutPath(path, name);
    if (on)
      services_.shell->MakeShortcut(link, target, name);
    else
      services_.shell->RemoveShortcut(link);
  }
}

void SettingsDialog::DeleteLog() {
  // Ctrl and a click: the hidden option buttons come and go instead.
  if (ui::CurrentHost().IsKeyDown(ui::Key::kControl)) {
    ToggleOptionButtons();
    return;
  }
  const std::string log = engine::ResultLogPath(profile_path_);
  if (ui::ShowMessage(FormatText(kStrDeleteLog, {log}), ui::kMbOkCancel | ui::kMbIconWarning, Id()) ==
      ui::kIdOkResult)
    services_.shell->RemoveFile(log);
}

}  // namespace qv::settings
