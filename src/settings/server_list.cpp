// The server list: the combo box keeps the known servers sorted (ignoring
// case); its edit field holds the chosen server, which need not be listed.
#include "settings/settings_dialog.h"
#include "settings/settings_template.h"
#include "ui/dialog_rules.h"

namespace qv::settings {

namespace {
// The item that equals `name` ignoring case; -1 when none.
int FindItem(const std::vector<std::string>& items, const std::string& name) {
  for (std::size_t i = 0; i < items.size(); ++i)
    if (ui::rules::EqualsNoCase(items[i], name)) return static_cast<int>(i);
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

void SettingsDialog::AddServer() {
  UpdateData(true);
  ui::HostWindow& w = *Window();
  if (!d_.server.empty() && FindItem(w.Items(ctl::kServer), d_.server) < 0) w.AddItem(ctl::kServer, d_.server);
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
