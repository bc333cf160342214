// The HostWindow of one running win32 dialog: control access by id through
// the dialog manager's messages. Internal to the win32 host.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace qv::ui {

class Win32Window final : public HostWindow {
 public:
  Win32Window(Dialog& dialog, const DialogTemplate& tmpl) : dialog_(dialog), tmpl_(tmpl) {}

  void Bind(WindowId hwnd) { hwnd_ = hwnd; }
  Dialog& dialog() { return dialog_; }
  bool ended() const { return ended_; }

  WindowId Id() const override { return hwnd_; }
  void SetCaption(const std::string& text) override;
  std::string Caption() const override;
  void SetText(int control, const std::string& text) override;
  std::string Text(int control) const override;
  void SetCheck(int control, int state) override;
  int Check(int control) const override;
  void Enable(int control, bool on) override;
  bool IsEnabled(int control) const override;
  void Show(int control, bool on) override;
  bool IsVisible(int control) const override;
  void Focus(int control) override;
  void AddItem(int control, const std::string& text) override;
  void ClearItems(int control) override;
  std::vector<std::string> Items(int control) const override;
  int Selection(int control) const override;
  void Select(int control, int index) override;
  std::uintptr_t SetTimer(std::uintptr_t id, unsigned period_ms) override;
  bool KillTimer(std::uintptr_t id) override;
  void End(int result) override;

 private:
  bool IsList(int control) const;  // list box rather than combo box

  Dialog& dialog_;
  const DialogTemplate& tmpl_;
  WindowId hwnd_ = 0;
  bool ended_ = false;
};

}  // namespace qv::ui
