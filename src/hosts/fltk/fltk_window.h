// The HostWindow of one running dialog on the Linux GUI: a window laid out
// from the template in dialog units, with the dialog manager's keyboard
// (Tab order, arrow keys in groups, mnemonics, the default button, Esc).
#pragma once

#include <FL/Fl_Double_Window.H>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "hosts/core/host_core.h"
#include "hosts/fltk/fltk_controls.h"
#include "hosts/fltk/fltk_metrics.h"
#include "ui/dialog.h"

namespace qv::ui::fltk {

class FltkHost;
class FltkWindow;

// The toolkit's window of a dialog.
class DialogWindow : public Fl_Double_Window {
 public:
  DialogWindow(FltkWindow& owner, int x, int y, int w, int h);
  int handle(int event) override;

 private:
  static void CloseBox(Fl_Widget*, void* self);
  FltkWindow& owner_;
};

class FltkWindow final : public HostWindow {
 public:
  FltkWindow(FltkHost& host, WindowId id, Dialog& dialog, const DialogTemplate& tmpl, WindowId owner);
  ~FltkWindow() override;

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

  // --- the host's side
  Dialog& dialog() { return dialog_; }
  const DialogTemplate& tmpl() const { return tmpl_; }
  bool ended() const { return ended_; }
  int result() const { return result_; }
  WindowId owner() const { return owner_; }
  DialogWindow& fl() { return *fl_; }
  const DialogWindow& fl() const { return *fl_; }
  // The modal loop's first show, unless the program showed the window
  // already: told, then shown the way the show handler left it (normal,
  // minimised or hidden).
  void ShowFirst();
  // Shown in the dialog manager's sense (minimised counts).
  bool shown() const { return show_.shown; }
  // Takes the window off the screen at the end of its run.
  void Close();
  // Gives the focus to the first control Tab would reach.
  void FocusFirst();
  // Makes this the window that takes the keyboard, as Windows activates a
  // dialog it shows (and its owner again when the dialog closes).
  void Activate();
  // A modal window runs over this one: it takes no input meanwhile.
  void SetInputEnabled(bool on) { input_blocked_ += on ? -1 : 1; }
  bool input_enabled() const { return input_blocked_ == 0; }
  int focused_control() const;
  // The client area's top-left corner on the screen.
  Point ClientOrigin() const;
  // The pixels the window's rectangle counts around the client area.
  Rect FrameInsets() const;
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
  int icon() const { return icon_; }
  // A stock image on a static icon control (the message box's warning).
  void SetStockIcon(int control, StockIcon icon);

  // --- the controls' side
  const DialogFont& font() const { return font_; }
  FltkHost& host() { return host_; }
  // A button was clicked (or its mnemonic pressed): the dialog's command.
  void Command(int id);
  // The user changed a control.
  void UserNotify(int id, Notify code);
  // A system-menu command, or the window's close box.
  void SysCommand(unsigned command);
  bool FocusControl(Control& c);
  void Focused(Control& c);
  bool HasFocus(const Control& c) const;
  bool IsDefaultButton(const Control& c) const;
  // An automatic radio button was clicked: the others of its group that
  // the user could reach lose their check.
  void ClearRadioPeers(Control& c);
  Control* FindControl(int id) const;
  SpinControl* SpinFor(int buddy) const;

  // --- the toolkit window's side
  bool HandleKey();
  bool RestoreFocus();
  void PopupSystemMenu();
  // The system menu holds the command (the system's items until the program
  // removes them, then the program's own).
  bool HasSystemCommand(unsigned command) const { return menu_.Has(command); }
  void OnShowEvent();
  void OnUnmapped();

 protected:
  void ChangeSystemMenu(const SystemMenuChange& change) override { menu_.Change(change.remove, change.command, change.text); }
  void PublishProperty(const std::string& name, const std::intptr_t* value) override;
  void ShowCaption(const std::string& text) override { fl_->copy_label(text.c_str()); }

 private:
  bool SystemItemEnabled(unsigned command) const;
  int IndexOf(const Control* c) const;
  Control* Focusable(int index, bool need_tab_stop) const;
  void Navigate(bool back);
  void ArrowInGroup(bool back);
  bool Mnemonic(char key);
  void Enter();
  void Minimize();
  // Puts the window on the screen as its state says.
  void Apply();
  void Publish(const std::string& name) const;
  bool WindowManaged() const;
  void OnMapped();
  static void ActivateLater(void* self);
  // The icon's images on the toolkit's window (the window manager's icon).
  void ShowIcon(int icon_id);

  FltkHost& host_;
  const WindowId owner_;
  Dialog& dialog_;
  const DialogTemplate& tmpl_;
  DialogFont font_;
  std::unique_ptr<DialogWindow> fl_;
  std::vector<std::unique_ptr<Control>> controls_;  // template order
  std::map<int, Control*> by_id_;
  int focused_ = 0;  // the control that has or last had the focus
  bool ended_ = false;
  int result_ = 0;
  core::ShowState show_;
  bool own_change_ = false;  // our own hide or iconify: not the user's
  // While the program changes a control, what the control reports is the
  // program's doing, not the user's: the dialog hears none of it.
  int program_changes_ = 0;
  struct ProgramChange {
    explicit ProgramChange(FltkWindow& w) : w_(w) { ++w_.program_changes_; }
    ~ProgramChange() { --w_.program_changes_; }
    ProgramChange(const ProgramChange&) = delete;
    ProgramChange& operator=(const ProgramChange&) = delete;
    FltkWindow& w_;
  };
  Rect frame_;  // the window manager's frame, as it said before the window showed
  int input_blocked_ = 0;
  int icon_ = 0;
  int activate_tries_ = 0;
  core::SystemMenu menu_;
};

}  // namespace qv::ui::fltk
