// Host-neutral dialog framework: dialogs are classes with handlers and a data
// exchange function; they reach their controls by id and never see a host's
// types. A Host (win32, FLTK, headless) turns a DialogTemplate into a window
// and forwards its events here.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "ui/dialog_template.h"
#include "ui/geometry.h"

namespace qv::ui {

// Opaque window identity: an HWND value on Windows, a never-reused number on
// other hosts. 0 is "no window".
using WindowId = std::intptr_t;

// Window messages the framework forwards to Dialog::OnMessage. Numbers match
// Windows so that a message posted by another process means the same thing.
inline constexpr unsigned kWmClose = 0x0010;
inline constexpr unsigned kWmSysCommand = 0x0112;
inline constexpr unsigned kWmCommand = 0x0111;
inline constexpr unsigned kWmUser = 0x0400;

// Message box results and flags (Windows values).
inline constexpr int kMbOk = 0x0;
inline constexpr int kMbOkCancel = 0x1;
inline constexpr int kMbIconWarning = 0x30;
inline constexpr int kIdOkResult = 1;
inline constexpr int kIdCancelResult = 2;

// Notifications of a control's change by the user. A program's own change
// of a control (filling a list, setting a text) never sends one.
enum class Notify {
  kSelChange,   // a combo or list box selection
  kEditChange,  // the text of an edit field or a combo's edit field
  kKillFocus,   // the control lost the keyboard focus
};

enum class Key { kShift, kControl };

// Why reading a field failed.
struct ExchangeFailure {
  enum class Kind { kNotInteger, kOutOfRange };
  int control = 0;
  Kind kind = Kind::kNotInteger;
  int min = 0, max = 0;
};

class Dialog;

// The per-window services a host gives a running dialog. What every host
// does alike is done here; the virtual functions are where hosts differ.
class HostWindow {
 public:
  virtual ~HostWindow() = default;
  WindowId Id() const { return id_; }
  void SetCaption(const std::string& text) {
    caption_ = text;
    ShowCaption(text);
  }
  std::string Caption() const { return caption_; }
  virtual void SetText(int control, const std::string& text) = 0;
  virtual std::string Text(int control) const = 0;
  virtual void SetCheck(int control, int state) = 0;  // 0, 1, 2 (indeterminate)
  virtual int Check(int control) const = 0;
  virtual void Enable(int control, bool on) = 0;
  virtual bool IsEnabled(int control) const = 0;
  virtual void Show(int control, bool on) = 0;
  virtual bool IsVisible(int control) const = 0;
  virtual void Focus(int control) = 0;
  // Combo and list boxes.
  // Adds an item (sorted in when the control sorts); its index.
  virtual int AddItem(int control, const std::string& text) = 0;
  virtual void DeleteItem(int control, int index) = 0;
  virtual void ClearItems(int control) = 0;
  virtual std::vector<std::string> Items(int control) const = 0;
  virtual int Selection(int control) const = 0;  // -1 when none
  virtual void Select(int control, int index) = 0;
  // Selects the whole text of an edit field or a combo's edit field.
  virtual void SelectAllText(int control) = 0;
  // Up-down controls: range (either order) and acceleration.
  virtual void SetSpinRange(int spin, int min, int max) = 0;
  virtual void SetSpinAccel(int spin, const std::vector<SpinAccel>& steps) = 0;
  // Window timers: a non-zero result means the timer runs.
  virtual std::uintptr_t SetTimer(std::uintptr_t id, unsigned period_ms) = 0;
  virtual bool KillTimer(std::uintptr_t id) = 0;
  virtual void End(int result) = 0;

  // The window in screen pixels, and a control's rectangle on the screen.
  virtual Rect WindowRect() const = 0;
  virtual Rect ControlRect(int control) const = 0;
  // Moves the window, keeping its size, and repaints it.
  virtual void MoveWindow(int left, int top) = 0;
  // Resizes the window, keeping its position and z-order.
  virtual void ResizeWindow(int width, int height) = 0;
  virtual WindowPlacement Placement() const = 0;
  virtual void SetPlacement(const WindowPlacement& placement) = 0;
  virtual void ShowWindow(int show_cmd) = 0;
  bool IsMinimized() const { return Placement().show_cmd == kSwShowMinimized; }

  // Icons of the program's icon table (SetIconTable): the window's large and
  // small icon, also drawn while minimised; a button's image, shown in place
  // of its text (an id the table lacks takes the image away again).
  virtual void SetIcon(int icon_id) = 0;
  virtual void SetButtonIcon(int control, int icon_id) = 0;

  // The system menu; its commands reach Dialog::OnSysCommand.
  void AppendSystemMenuSeparator() { ChangeSystemMenu({false, 0, {}}); }
  void AppendSystemMenuItem(unsigned command, const std::string& text) { ChangeSystemMenu({false, command, text}); }
  void RemoveSystemMenuItem(unsigned command) { ChangeSystemMenu({true, command, {}}); }

  // Named values attached to the window, visible to other programs.
  void SetProperty(const std::string& name, std::intptr_t value);
  std::intptr_t Property(const std::string& name) const;  // 0 when absent
  void RemoveProperty(const std::string& name);
  const std::map<std::string, std::intptr_t>& properties() const { return properties_; }

 protected:
  explicit HostWindow(std::string caption = {}) : caption_(std::move(caption)) {}
  struct SystemMenuChange {
    bool remove = false;
    unsigned command = 0;  // appending 0: a separator
    std::string text;
  };
  void SetId(WindowId id) { id_ = id; }
  virtual void ShowCaption(const std::string& /*text*/) {}
  virtual void ChangeSystemMenu(const SystemMenuChange& change) = 0;
  // Shows another program a property's new value; nullptr: removed.
  virtual void PublishProperty(const std::string& /*name*/, const std::intptr_t* /*value*/) {}

 private:
  WindowId id_ = 0;
  std::string caption_;
  std::map<std::string, std::intptr_t> properties_;
};

// One dialog-framework implementation per process (chosen at start-up).
class Host {
 public:
  virtual ~Host() = default;
  // Modal run: returns 1 (OK) or 2 (Cancel); nests, and keeps dispatching
  // timers and posted messages of every window of the thread.
  virtual int RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) = 0;
  // Queue a message for a window; safe from any thread. False when the
  // window no longer exists.
  virtual bool Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
  // Deliver at once (UI thread only).
  virtual std::intptr_t Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) = 0;
  // Modal message box; returns the button pressed (kIdOkResult, kIdCancelResult).
  virtual int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) = 0;
  // The window that has the user's attention (the innermost modal dialog).
  virtual WindowId ActiveWindow() const = 0;

  // The primary screen's size, and the part of it not taken by task bars.
  virtual Point ScreenSize() const = 0;
  virtual Rect WorkArea() const = 0;
  virtual bool IsKeyDown(Key key) const = 0;
  // Any window, also another program's.
  virtual bool WindowExists(WindowId window) const = 0;
  // False, with the system's text for why, when it cannot be read.
  virtual bool PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const = 0;
};

// The process's host. Programs install theirs at start; tests install the
// headless host.
Host& CurrentHost();
void SetHost(Host* host);

// String resources of the running program.
void SetStringTable(const StringTable* table);
std::string LoadText(int id);
// Icon resources of the running program; nullptr when the id is unknown.
void SetIconTable(const IconTable* table);
const Icon* FindIcon(int id);
// The program's own icon: the lowest-numbered of its table, the one Windows
// shows for the executable. 0 without one.
int ProgramIconId();

// Message box with an OK button and a warning icon, captioned with the
// executable's base name.
int ShowMessage(const std::string& text, int flags = kMbOk | kMbIconWarning, WindowId owner = 0);

// Two-way data exchange between members and controls.
class DataExchange {
 public:
  DataExchange(HostWindow& window, const DialogTemplate& tmpl, bool save, Dialog* dialog = nullptr);
  bool saving() const { return save_; }
  bool failed() const { return failed_; }

  void Text(int control, std::string& value);
  void Int(int control, int& value);
  // Reading checks the range; on failure shows a message, focuses the field
  // and stops the exchange (later fields are not read).
  void IntRange(int control, int& value, int min, int max);
  // A check box's state: 0 or 1 (0, 1 or 2 for a three-state box); other
  // values written read back as the control holds them.
  void Check(int control, int& value);
  // Radio group starting at first_control (only its radio buttons count):
  // index of the first checked button, -1 when none.
  void Radio(int first_control, int& value);
  // Writing selects the first item that begins with the text (ignoring
  // case); with none (or an empty text) a drop-down shows the text and a
  // drop-down list keeps its selection. Reading gives the shown text.
  void ComboText(int control, std::string& value);

 private:
  bool Skip() const { return failed_; }
  void Fail(const ExchangeFailure& failure);
  HostWindow& w_;
  const DialogTemplate& tmpl_;
  bool save_;
  Dialog* dialog_;
  bool failed_ = false;
};

class Dialog {
 public:
  explicit Dialog(const DialogTemplate& tmpl);
  virtual ~Dialog();
  Dialog(const Dialog&) = delete;
  Dialog& operator=(const Dialog&) = delete;

  // Modal run; 1 (OK) or 2 (Cancel).
  int DoModal(WindowId owner = 0);

  const DialogTemplate& Template() const { return tmpl_; }
  HostWindow* Window() const { return window_; }
  WindowId Id() const { return window_ ? window_->Id() : 0; }

  // Called by hosts only. An exception a handler lets out stops at these
  // calls (the event is dropped and reported on stderr): it never unwinds
  // through a host's event loop or the window system.
  void Attach(HostWindow* window) { window_ = window; }
  bool HandleInit();
  void HandleShow(bool shown);
  void HandleCommand(int id);
  void HandleTimer(std::uintptr_t id);
  std::intptr_t HandleMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);
  void HandleDestroy();
  // True when the dialog handled the command; else the host's default runs.
  bool HandleSysCommand(unsigned command);
  void HandleNotify(int control, Notify code);
  void HandleTimeChange();
  void HandleExchangeFailure(const ExchangeFailure& failure);

 protected:
  // Controls to members (true) with validation, or members to controls.
  bool UpdateData(bool save);
  void EndDialog(int result);

  virtual bool OnInitDialog() { return UpdateData(false), true; }
  virtual void OnShow(bool /*shown*/) {}
  // Default: 1 → OnOK, 2 → OnCancel.
  virtual void OnCommand(int id);
  virtual void OnTimer(std::uintptr_t /*id*/) {}
  virtual std::intptr_t OnMessage(unsigned /*msg*/, std::uintptr_t /*wparam*/, std::intptr_t /*lparam*/) {
    return 0;
  }
  virtual void OnDestroy() {}
  virtual bool OnSysCommand(unsigned /*command*/) { return false; }
  virtual void OnNotify(int /*control*/, Notify /*code*/) {}
  // The system clock was set, or the system resumed from sleep.
  virtual void OnTimeChange() {}
  // A field failed its check while reading the controls. Default: the
  // program's message for it (kStringExpectInteger...), then the focus.
  virtual void OnExchangeFailure(const ExchangeFailure& failure);
  virtual void OnOK();
  virtual void OnCancel() { EndDialog(kIdCancelResult); }
  virtual void DoDataExchange(DataExchange& /*dx*/) {}

 private:
  const DialogTemplate& tmpl_;
  HostWindow* window_ = nullptr;
};

}  // namespace qv::ui
