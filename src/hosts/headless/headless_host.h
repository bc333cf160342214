// Headless dialog host: in-memory controls and timers on the monotonic
// clock; message boxes answer OK by themselves. quorvel-cli runs its query
// behind it, and tests script a user and a clock on it (tests/support). It
// behaves as the win32 host does (the shared scenarios run on both); where a
// rule decides something, it comes from ui/dialog_rules.h.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "hosts/core/host_core.h"
#include "ui/dialog.h"
#include "ui/dialog_rules.h"

namespace qv::ui {

class HeadlessHost;

class HeadlessWindow final : public HostWindow {
 public:
  struct Control {
    const ControlTemplate* tmpl = nullptr;
    std::string text;
    int check = 0;
    bool enabled = true;
    bool visible = true;
    std::vector<std::string> items;
    int selection = -1;
    bool all_text_selected = false;
    int icon = 0;                      // a button's image
    int spin_min = 100, spin_max = 0;  // an up-down control's range (the system's default)
    int spin_pos = 0;                  // and the position it counts from
    std::vector<SpinAccel> spin_accel;
  };
  using MenuItem = core::SystemMenu::Item;

  HeadlessWindow(HeadlessHost& host, WindowId id, Dialog& dialog, const DialogTemplate& tmpl, WindowId owner);

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
  void SetIcon(int icon_id) override { icon_ = icon_id; }
  void SetButtonIcon(int control, int icon_id) override;

  Dialog& dialog() { return dialog_; }
  const Control* control(int id) const { return Find(id); }
  Control* control(int id) { return Find(id); }
  // Shown and enabled: a user could reach it.
  bool Reachable(int control) const;
  // The user's move of the focus (the program's is Focus).
  void set_focus(int control) { focus_ = control; }
  int icon() const { return icon_; }
  bool shown() const { return show_.shown; }
  // The last show command activated the window.
  bool activated() const { return show_.activated; }
  // A window is disabled while a modal dialog or message box it owns runs.
  bool enabled() const { return enabled_; }
  bool is_message_box() const { return message_box_; }
  // The system's items first, then the program's.
  const std::vector<MenuItem>& system_menu() const { return menu_.items(); }
  // Dialog units to pixels, with the base units of the template's font.
  Rect DialogUnitsToPixels(int x, int y, int cx, int cy) const;
  const DialogTemplate& tmpl() const { return tmpl_; }
  bool HasControl(int control) const { return controls_.count(control) != 0; }
  int focus() const { return focus_; }
  bool ended() const { return ended_; }
  int result() const { return result_; }
  WindowId owner() const { return owner_; }

 protected:
  void ChangeSystemMenu(const SystemMenuChange& change) override { menu_.Change(change.remove, change.command, change.text); }

 private:
  friend class HeadlessHost;
  Control* Find(int control);
  const Control* Find(int control) const;
  int CaptionHeight() const;

  HeadlessHost& host_;
  WindowId owner_;
  Dialog& dialog_;
  const DialogTemplate& tmpl_;
  rules::BaseUnits base_;
  std::map<int, Control> controls_;
  int focus_ = 0;
  bool ended_ = false;
  int result_ = 0;
  Rect normal_;  // the window when not minimised, screen pixels
  Point min_position_{-1, -1};
  core::ShowState show_;
  bool enabled_ = true;
  bool message_box_ = false;
  int icon_ = 0;
  core::SystemMenu menu_;
};

class HeadlessHost : public Host {
 public:
  struct MessageBoxRecord {
    WindowId owner;
    std::string text;
    std::string caption;
    int flags;
  };

  HeadlessHost();
  ~HeadlessHost() override;

  // Host
  int RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) override;
  bool Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  std::intptr_t Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  // A modal box window (caption, text as control 0xFFFF, OK and maybe
  // Cancel) owned by `owner`, which is disabled meanwhile; its loop goes on
  // dispatching every window's posted messages and timer ticks, and it
  // answers by itself once idle. From a thread other than the one running
  // the dialogs it is answered at once.
  int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) override;
  // The innermost dialog (message boxes are not dialogs).
  WindowId ActiveWindow() const override { return windows_.Active(); }
  Point ScreenSize() const override { return screen_; }
  Rect WorkArea() const override { return work_area_; }
  bool IsKeyDown(Key /*key*/) const override { return false; }
  bool WindowExists(WindowId window) const override { return Find(window) != nullptr; }
  bool PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const override;

  // The base units of a dialog font as the win32 host gets them (measured
  // under Wine with its font substitutes); unknown faces get the fallback's.
  static rules::BaseUnits BaseUnitsOf(const std::string& face, int points);
  // The frame of a captioned modal dialog: border width and caption height.
  static constexpr int kFrame = 3, kCaptionHeight = 19;

  // The clock the window timers run on, in milliseconds.
  virtual std::int64_t NowMs() const;
  // The innermost window, message boxes included.
  HeadlessWindow* Active() const { return windows_.Innermost(); }
  HeadlessWindow* Find(WindowId id) const { return windows_.Find(id); }

  std::function<void(const MessageBoxRecord&)> on_message_box;
  // Called whenever a control's text changes (quorvel-cli shows the runner's
  // countdown through this).
  std::function<void(WindowId, int control, const std::string&)> on_text;

 protected:
  // --- what a host that scripts a user and a clock (tests) changes
  // The tick due next by the clock, moved on to its following one.
  virtual std::optional<core::TimerTable::Timer> TakeDueTimer();
  // The loop of `window` found nothing to deliver: true when the hook did
  // something, and the loop looks again.
  virtual bool OnIdle(HeadlessWindow& /*window*/) { return false; }
  // Nothing left to do: waits for another thread's message or a timer.
  virtual void WaitWhenIdle(HeadlessWindow& window);
  // Input besides posted messages that ends a wait (asked under the
  // queue's lock).
  virtual bool OtherInputPending() const { return false; }
  // The last modal loop of the thread ended.
  virtual void LoopsEnded() {}
  virtual void BoxAsked(const MessageBoxRecord& /*box*/) {}
  // Whether an idle box answers by itself, and with which button.
  virtual bool BoxesAnswerThemselves() const { return true; }
  virtual int NextAnswer() { return kIdOkResult; }
  virtual bool TimersFail() const { return false; }

  // Waits for a posted message or other input, at most `wait_ms`; true
  // when one came.
  bool WaitForInput(std::int64_t wait_ms);
  void Wake() { queue_.Notify(); }
  void Deliver(HeadlessWindow& w, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);
  std::int64_t RealNowMs() const;

  core::ModalStack<HeadlessWindow> windows_;
  core::TimerTable timers_{1};
  Point screen_{1024, 768};
  Rect work_area_{0, 0, 1024, 728};  // a task bar along the bottom

 private:
  friend class HeadlessWindow;
  enum class Dispatched { kNothing, kPosted, kTimer };

  Dispatched DispatchOne();
  void ShowFirst(HeadlessWindow& w);
  bool AnswerBoxByItself(HeadlessWindow& box);

  std::chrono::steady_clock::time_point epoch_;
  core::PostQueue queue_;
  mutable std::mutex mutex_;   // guards the two below
  std::thread::id ui_thread_;  // the thread running modal loops, while one runs
  int loops_ = 0;
};

}  // namespace qv::ui
