// The server list: the combo box keeps the known servers sorted (ignoring
// case); its edit field holds the chosen server, which need not be listed.
#include "base/text.h"
#include "settings/settings_dialog.h"
#include "settings/settings_template.h"
#include "settings/strings.h"
#include "ui/dialog_rules.h"

namespace qv::settings {

namespace {
// The item that equals `name` ignoring case; -1 when none.
int FindItem(const std::vector<std::string>& items, const std::string& name) {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (EqualsIgnoringCase(items[i], name)) return static_cast<int>(i);
  return -1;
}
}  // namespace

void SettingsDialog::LoadServers(const SettingsData& loaded) {
  ui::HostWindow& w = *Window();
  w.ClearItems(ctl::kServer);
  for (const std::string& server : loaded.servers) w.AddItem(ctl::kServer, server);
  d_.server = loaded.server;
  UpdateData(false);
  w.SelectAllText(ctl::kServer);
}

// A name the profile could not hold is refused where it is entered (Add, OK,
// Apply), with the reason, rather than vanish from the list on saving or
// make every save fail.
bool SettingsDialog::RefuseUnstorable(const std::vector<std::string>& listed, const std::string& chosen) {
  const profile::ServerNameCheck check = services_.profile->CheckServerNames(listed, chosen);
  std::string text;
  switch (check.problem) {
    case profile::ServerNameProblem::kNone: return false;
    case profile::ServerNameProblem::kLineBreak: text = FormatText(kStrNameLineBreak, {check.name}); break;
    case profile::ServerNameProblem::kNotALine: text = FormatText(kStrNameNotALine, {check.name}); break;
    case profile::ServerNameProblem::kCodePage:
      text = FormatText(kStrNameCodePage, {check.name, check.character});
      break;
  }
  ui::ShowMessage(text, ui::kMbOk | ui::kMbIconWarning, Id());
  return true;
}

void SettingsDialog::AddServer() {
  UpdateData(true);
  ui::HostWindow& w = *Window();
  if (!d_.server.empty() && FindItem(w.Items(ctl::kServer), d_.server) < 0 && !RefuseUnstorable({d_.server}, {}))
    w.AddItem(ctl::kServer, d_.server);
  UpdateData(false);
}

void SettingsDialog::RemoveServer() {
  UpdateData(true);
  ui::HostWindow& w = *Window();
  std::vector<std::string> items = w.Items(ctl::kServer);
  int at = FindItem(items, d_.server);
  if (at < 0) return;
  w.DeleteItem(ctl::kServer, at);
  items.erase(items.begin() + at);
  if (at >= static_cast<int>(items.size())) --at;
  d_.server = items.empty() ? std::string() : items[static_cast<std::size_t>(at)];
  UpdateData(false);
  w.SelectAllText(ctl::kServer);
}

}  // namespace qv::settings
