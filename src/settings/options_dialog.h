// The options dialog (103), opened from the settings dialog: what goes
// beyond asking the one default server, and the zone times are shown in.
// It edits a copy; its OK hands the copy back to the settings dialog, whose
// own OK or Apply saves it with the rest, and whose Cancel drops it.
#pragma once

#include "profile/server_options.h"
#include "ui/dialog.h"

namespace qv::settings {

class OptionsDialog final : public ui::Dialog {
 public:
  // `over`: the window it opens centred on, on the screen.
  OptionsDialog(const profile::ServerOptions& options, const ui::Rect& over);
  // After OK: the values as the user left them.
  const profile::ServerOptions& options() const { return o_; }

 protected:
  bool OnInitDialog() override;
  void OnCommand(int id) override;
  void OnExchangeFailure(const ui::ExchangeFailure& failure) override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  void ApplyEnableRules();

  profile::ServerOptions o_;
  ui::Rect over_;
};

}  // namespace qv::settings
