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
  Win32Window(Dialog& dialog, const DialogTemplate& tmpl) : HostWindow(tmpl.caption), dialog_(dialog), tmpl_(tmpl) {}

  void Bind(WindowId hwnd) {
    hwnd_ = hwnd;
    SetId(hwnd);
  }
  Dialog& dialog() { return dialog_; }
  bool ended() const { return ended_; }

  void SetText(int control, const std::string& text) override;
  std::string Text(int control) const override;
  void SetCheck(int control, int state) override;
  int Check(int control) const override;
  void Enable(int control, bool on) override;
  bool IsEnabled(int control) const override;
  void Show(int control, bool on) override;
  bool IsVisible(int control) const override;
  void Focus(int control) override;
  int AddItem(int control, const std::string& text) override;
  void DeleteItem(int control, int index) override;
  void ClearItems(int control) override;
  std::vector<std::string> Items(int control) const override;
  int Selection(int control) const override;
  void Select(int control, int index) override;
  void SelectAllText(int control) override;
  void SetSpinRange(int spin, int min, int max) override;
  void SetSpinAccel(int spin, const std::vector<SpinAccel>& steps) override;
  std::uintptr_t SetTimer(std::uintptr_t id, unsigned period_ms) override;
  bool KillTimer(std::uintptr_t id) override;
  void End(int result) override;
  Rect WindowRect() const override;
  Rect ControlRect(int control) const override;
  void MoveWindow(int left, int top) override;
  void ResizeWindow(int width, int height) override;
  WindowPlacement Placement() const override;
  void SetPlacement(const WindowPlacement& placement) override;
  void ShowWindow(int show_cmd) override;
  void SetIcon(int icon_id) override;
  void SetButtonIcon(int control, int icon_id) override;

  // Puts the icons that the template's icon statics name into them; once,
  // when the dialog manager has made the controls.
  void LoadTemplateIcons();
  // The window's icon, drawn while it is minimised; 0 when none was set.
  int icon() const { return icon_; }
  // True while the program itself changes a control: the change
  // notifications that follow are not the user's and are not passed on.
  bool changing() const { return changing_ > 0; }

 protected:
  void ShowCaption(const std::string& text) override;
  void ChangeSystemMenu(const SystemMenuChange& change) override;
  void PublishProperty(const std::string& name, const std::intptr_t* value) override;

 private:
  // Marks a program's own change of controls for its whole scope.
  struct Changing {
    explicit Changing(const Win32Window& w) : w_(w) { ++w_.changing_; }
    ~Changing() { --w_.changing_; }
    const Win32Window& w_;
  };
  bool IsList(int control) const;  // list box rather than combo box

  Dialog& dialog_;
  const DialogTemplate& tmpl_;
  WindowId hwnd_ = 0;
  bool ended_ = false;
  int icon_ = 0;
  mutable int changing_ = 0;
};

// An icon of the program's table as a system icon of about `size` pixels,
// made once and kept for the process; nullptr when the table lacks it.
void* SystemIcon(int icon_id, int size);

}  // namespace qv::ui
