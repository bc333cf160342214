// Headless dialog host: in-memory controls, timers on a real or a manual
// clock, and a scripted user. Used by the tests and by quorvel-cli. It
// behaves as the win32 host does (the shared scenarios run on both); where a
// rule decides something, it comes from ui/dialog_rules.h.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

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
  struct MenuItem {
    unsigned command = 0;  // 0: separator
    std::string text;      // empty for the system's own items
  };

  HeadlessWindow(HeadlessHost& host, WindowId id, Dialog& dialog, const DialogTemplate& tmpl, WindowId owner);

  WindowId Id() const override { return id_; }
  void SetCaption(const std::string& text) override;
  std::string Caption() const override { return caption_; }
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
  bool IsMinimized() const override { return minimized_; }
  void SetIcon(int icon_id) override { icon_ = icon_id; }
  void SetButtonIcon(int control, int icon_id) override;
  void AppendSystemMenuSeparator() override { menu_.push_back({0, {}}); }
  void AppendSystemMenuItem(unsigned command, const std::string& text) override { menu_.push_back({command, text}); }
  void RemoveSystemMenuItem(unsigned command) override;
  void SetProperty(const std::string& name, std::intptr_t value) override { properties_[name] = value; }
  std::intptr_t Property(const std::string& name) const override;
  void RemoveProperty(const std::string& name) override { properties_.erase(name); }

  Dialog& dialog() { return dialog_; }
  const Control* control(int id) const { return Find(id); }
  int icon() const { return icon_; }
  bool shown() const { return shown_; }
  // The last show command activated the window.
  bool activated() const { return activated_; }
  // A window is disabled while a modal dialog or message box it owns runs.
  bool enabled() const { return enabled_; }
  bool is_message_box() const { return message_box_; }
  // The system's items first, then the program's.
  const std::vector<MenuItem>& system_menu() const { return menu_; }
  const std::map<std::string, std::intptr_t>& properties() const { return properties_; }
  // Dialog units to pixels, with the base units of the template's font.
  Rect DialogUnitsToPixels(int x, int y, int cx, int cy) const;
  const DialogTemplate& tmpl() const { return tmpl_; }
  bool HasControl(int control) const { return controls_.count(control) != 0; }
  int focus() const { return focus_; }
  bool ended() const { return ended_; }
  int result() const { return result_; }
  WindowId owner() const { return owner_; }

 private:
  friend class HeadlessHost;
  Control* Find(int control);
  const Control* Find(int control) const;
  bool Reachable(int control) const;
  int CaptionHeight() const;

  HeadlessHost& host_;
  WindowId id_;
  WindowId owner_;
  Dialog& dialog_;
  const DialogTemplate& tmpl_;
  rules::BaseUnits base_;
  std::string caption_;
  std::map<int, Control> controls_;
  int focus_ = 0;
  bool ended_ = false;
  int result_ = 0;
  Rect normal_;  // the window when not minimised, screen pixels
  Point min_position_{-1, -1};
  bool minimized_ = false;
  bool shown_ = false;
  bool activated_ = false;
  bool enabled_ = true;
  bool message_box_ = false;
  int icon_ = 0;
  std::vector<MenuItem> menu_;
  std::map<std::string, std::intptr_t> properties_;
};

class HeadlessHost final : public Host {
 public:
  enum class ClockKind { kReal, kManual };
  struct MessageBoxRecord {
    WindowId owner;
    std::string text;
    std::string caption;
    int flags;
  };
  using Step = std::function<void(HeadlessHost&)>;

  explicit HeadlessHost(ClockKind clock = ClockKind::kManual);
  ~HeadlessHost() override;

  // Host
  int RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) override;
  bool Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  std::intptr_t Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  // A modal box window (caption, text as control 0xFFFF, OK and maybe
  // Cancel) owned by `owner`, which is disabled meanwhile; its loop goes on
  // dispatching every window's posted messages and timer ticks. Who answers:
  // see SetBoxesWaitForUser. From a thread other than the one running the
  // dialogs it is only recorded and answered at once.
  int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) override;
  // The innermost dialog (message boxes are not dialogs).
  WindowId ActiveWindow() const override;
  Point ScreenSize() const override { return screen_; }
  Rect WorkArea() const override { return work_area_; }
  bool IsKeyDown(Key key) const override;
  bool WindowExists(WindowId window) const override { return Find(window) != nullptr; }
  bool PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const override;

  // --- the simulated screen and keyboard
  void SetScreen(Point size, Rect work_area) {
    screen_ = size;
    work_area_ = work_area;
  }
  void SetKeyDown(Key key, bool down);
  // The system clock was set or the system woke up: every window hears it.
  void SimulateTimeChange();
  // The base units of a dialog font as the win32 host gets them (measured
  // under Wine with its font substitutes); unknown faces get the fallback's.
  static rules::BaseUnits BaseUnitsOf(const std::string& face, int points);
  // The frame of a captioned modal dialog: border width and caption height.
  static constexpr int kFrame = 3, kCaptionHeight = 19;

  // --- clock
  std::int64_t NowMs() const;
  // Manual clock: moves time forward; the modal loop delivers every timer
  // tick that falls due on the way, one by one, in time order.
  void Advance(std::int64_t ms);

  // --- scripted user on the dialogs' thread: each step runs when the
  // innermost modal loop is idle (no posted message and no timer due).
  void Then(Step step);
  // With no step left, an idle loop waits this long (real time) for a
  // message from another thread or the remote user before it gives up, ends
  // the dialog with Cancel and marks the run as stalled.
  void SetStallLimit(std::chrono::milliseconds limit) { stall_limit_ = limit; }
  bool stalled() const { return stalled_; }
  // Makes every later SetTimer fail, as when the system is out of timers.
  void FailTimers(bool fail) { fail_timers_ = fail; }

  // --- a user on another thread (the shared scenarios), as a driver plays
  // one on Windows. Runs `action` on the dialogs' thread at its next idle
  // moment and waits until that thread is idle again (or waits in a modal
  // run the action opened). False on time-out, or when no modal run takes
  // the action in time.
  bool RunOnUiThread(const Step& action, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // While on, message boxes wait for a user's click instead of answering by
  // themselves. UserFinished turns it off: the user is gone, so an idle loop
  // stalls after a second without a message from another thread.
  void SetBoxesWaitForUser(bool wait);
  void UserFinished();

  // User actions. False when the window or control is missing, hidden or
  // disabled, as a real user could not reach it. The forms without a window
  // act on the active (innermost) window, message boxes included.
  bool Click(int control);
  bool Click(WindowId window, int control);
  // Types into an edit field or a combo's edit field (the text replaced), as
  // the user would: the field takes the focus and reports the change.
  bool Type(int control, const std::string& text);
  bool Type(WindowId window, int control, const std::string& text);
  // Picks an item of a combo or list box.
  bool Choose(int control, int index);
  bool Choose(WindowId window, int control, int index);
  // Moves the focus to a control (the field left reports losing it).
  bool FocusOn(int control);
  bool FocusOn(WindowId window, int control);
  // Presses an up-down control's arrow `steps` times (negative: down), each
  // press one step of its acceleration's first row. Held: each press steps
  // as after holding the arrow for `held_ms`.
  bool Spin(int spin, int steps);
  bool Spin(WindowId window, int spin, int steps, unsigned held_ms = 0);
  // Picks a command of the window's system menu; false when the menu has
  // no such command.
  bool SystemCommand(unsigned command);
  bool SystemCommand(WindowId window, unsigned command);
  void PressEsc();
  void PressEnter();
  bool PressEsc(WindowId window);
  bool PressEnter(WindowId window);
  // Alt and a letter: the control whose text marks the letter with "&",
  // the next one after the focus, acts as if clicked (a label hands the
  // focus to the control after it). False when no control has the letter.
  bool PressMnemonic(WindowId window, char letter);
  // The window system's close request (the close box, or WM_CLOSE from
  // another program).
  bool Close(WindowId window);
  HeadlessWindow* Active() const;
  HeadlessWindow* Find(WindowId id) const;
  // The innermost window whose caption is `caption`; nullptr when none.
  HeadlessWindow* FindByCaption(const std::string& caption) const;
  int ModalDepth() const { return static_cast<int>(stack_.size()); }

  // --- message boxes: recorded; answers are taken from the queue, OK when
  // empty, unless boxes wait for the user.
  std::vector<MessageBoxRecord> message_boxes() const;
  void QueueAnswer(int button);
  std::function<void(const MessageBoxRecord&)> on_message_box;
  // Called whenever a control's text changes (quorvel-cli shows the runner's
  // countdown through this).
  std::function<void(WindowId, int control, const std::string&)> on_text;

 private:
  friend class HeadlessWindow;
  struct Timer {
    WindowId window;
    std::uintptr_t id;
    unsigned period_ms;
    std::int64_t due_ms;
    std::uint64_t order;  // creation order breaks ties
  };
  struct Posted {
    WindowId window;
    unsigned msg;
    std::uintptr_t wparam;
    std::intptr_t lparam;
  };
  enum class Dispatched { kNothing, kPosted, kTimer };

  Dispatched DispatchOne();
  void Deliver(HeadlessWindow& w, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);
  // Waits for a posted message or the remote user's action, at most
  // `wait_ms`; true when one came.
  bool WaitForInput(std::int64_t wait_ms);
  void RemoveTimers(WindowId window);
  std::int64_t RealNowMs() const;
  void ShowFirst(HeadlessWindow& w);
  bool TakeRemote(Step& step);
  void MarkIdle();
  bool AnswerBoxByItself(HeadlessWindow& box);
  HeadlessWindow* Target(WindowId window) const;
  bool UserCanReach(HeadlessWindow* w, int control) const;

  ClockKind clock_;
  std::int64_t manual_now_ = 0;
  std::int64_t manual_target_ = 0;
  std::chrono::steady_clock::time_point epoch_;
  std::chrono::milliseconds stall_limit_{20000};
  bool stalled_ = false;
  bool fail_timers_ = false;

  std::map<WindowId, HeadlessWindow*> windows_;
  std::vector<HeadlessWindow*> stack_;
  // The innermost dialog, readable from any thread (a worker's message box
  // asks for its owner).
  std::atomic<WindowId> active_{0};
  std::vector<Timer> timers_;
  std::uint64_t timer_order_ = 0;
  std::deque<Step> steps_;

  mutable std::mutex post_mutex_;  // guards everything below it
  std::condition_variable post_cv_;
  std::deque<Posted> posted_;
  std::map<WindowId, bool> live_;  // windows that accept posts
  std::vector<MessageBoxRecord> boxes_;
  std::deque<int> answers_;
  std::thread::id ui_thread_;  // the thread running modal loops, while one runs
  int loops_ = 0;
  std::deque<std::pair<std::uint64_t, Step>> remote_;
  std::uint64_t remote_next_ = 1;
  std::uint64_t remote_taken_ = 0;  // the last action the dialogs' thread took
  std::uint64_t remote_idle_ = 0;   // the last action after which it was idle
  bool boxes_wait_ = false;
  bool user_finished_ = false;

  Point screen_{1024, 768};
  Rect work_area_{0, 0, 1024, 728};  // a task bar along the bottom
  bool shift_down_ = false, control_down_ = false;
};

}  // namespace qv::ui
