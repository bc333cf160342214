// The settings dialog (102): every setting of the profile, loaded when it
// opens and saved on OK and Apply, with the server list, the detail fold,
// the enable rules and status-line preview, a check of the server, the
// current-time display and the shortcuts. It tells the main program through
// WM_SETTINGS_NOTIFY what happened.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "profile/server_options.h"
#include "settings/engine_calls.h"
#include "settings/profile_calls.h"
#include "settings/settings_data.h"
#include "settings/shell_calls.h"
#include "ui/dialog.h"

namespace qv::settings {

// Posted to the main program's window: wParam a code below, lParam the
// settings dialog's window.
inline constexpr unsigned WM_SETTINGS_NOTIFY = ui::kWmUser + 100;
inline constexpr int SETTINGS_OPENED = 0;
inline constexpr int SETTINGS_SAVED = 1;
inline constexpr int SETTINGS_CANCELLED = 2;
inline constexpr int SETTINGS_APPLIED = 3;

// Posted by the program to its own dialog: messages for the user are
// waiting (ShowWhenIdle).

// What the dialog works through.
struct Services {
  ProfileCalls* profile = nullptr;
  EngineCalls* engine = nullptr;
  ShellCalls* shell = nullptr;
  // The check's pause before the running time display takes the field again.
  std::function<void(unsigned ms)> pause;
};

class SettingsDialog final : public ui::Dialog {
 public:
  // `profile_path` names the files the dialog opens and derives paths
  // from; `main_window` is the main program's window (0: none).
  SettingsDialog(Services services, std::string profile_path, ui::WindowId main_window);

  const SettingsData& data() const { return d_; }
  const profile::ServerOptions& options() const { return options_; }
  int protocol_index() const { return d_.protocol; }
  bool detail_shown() const { return d_.dialog_size != 0; }
  bool option_buttons_shown() const { return option_buttons_ != 0; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnNotify(int control, ui::Notify code) override;
  void OnTimer(std::uintptr_t id) override;
  void OnOK() override;
  void OnCancel() override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  // settings_dialog.cpp: opening, loading, saving, the notifications.
  void Notify(int code);
  void Load();
  bool Save();
  void Commit(int code);
  void PlaceOverMainWindow();
  void OpenOptions();
  void ApplyShownZone();
  // server_list.cpp
  void LoadServers(const SettingsData& loaded);
  bool RefuseUnstorable(const std::vector<std::string>& listed, const std::string& chosen);
  void AddServer();
  void RemoveServer();
  // dialog_behaviour.cpp
  void Fold();
  void ApplyEnableRules();
  void ApplyProtocolRule();
  void ProtocolChanged();
  void RefreshPreview();
  void ToggleOptionButtons();
  void SetSpins();
  void FillFromClock();
  // time_display.cpp
  void CheckServer();
  void ApplyDisplayRule();
  void ShowTime();
  void SetFormat(int format);
  void SetPosition(int position);
  // shell_actions.cpp
  void BringShortcutsInLine();
  void DeleteLog();

  Services services_;
  std::string profile_path_;
  ui::WindowId main_window_;

  // The exchanged data, with the dialog's initial values; d_.dialog_size is
  // the detail flag and d_.protocol follows the protocol list's selection.
  std::string pc_time_, server_time_;
  SettingsData d_;
  // Section "Options" as the options dialog last left it; saved with d_.
  profile::ServerOptions options_;
  int option_buttons_ = 0;
  std::optional<ui::Rect> full_rect_;  // taken at the first fold
  int folded_bottom_ = 0;
  std::uintptr_t display_timer_ = 0;
};


}  // namespace qv::settings
