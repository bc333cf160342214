// The headless host with a user and a clock that tests script: steps that
// run whenever the dialogs' thread is idle, a user on another thread (the
// shared scenarios), a manual clock, message-box answers, a simulated
// screen and keyboard.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "hosts/headless/headless_host.h"

namespace qv::test {

class ScriptedHost final : public ui::HeadlessHost {
 public:
  using Step = std::function<void(ScriptedHost&)>;

  // --- the simulated screen and keyboard
  void SetScreen(ui::Point size, ui::Rect work_area) {
    screen_ = size;
    work_area_ = work_area;
  }
  bool IsKeyDown(ui::Key key) const override { return key == ui::Key::kShift ? shift_down_ : control_down_; }
  void SetKeyDown(ui::Key key, bool down) { (key == ui::Key::kShift ? shift_down_ : control_down_) = down; }
  // The system clock was set or the system woke up: every window hears it.
  void SimulateTimeChange();

  // --- clock
  std::int64_t NowMs() const override { return manual_now_; }
  // Moves time forward; the modal loop delivers every timer
  // tick that falls due on the way, one by one, in time order.
  void Advance(std::int64_t ms) { manual_target_ = std::max(manual_target_, manual_now_) + ms; }

  // --- scripted user on the dialogs' thread: each step runs when the
  // innermost modal loop is idle (no posted message and no timer due).
  void Then(Step step) { steps_.push_back(std::move(step)); }
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
  bool Click(ui::WindowId window, int control);
  // Types into an edit field or a combo's edit field (the text replaced), as
  // the user would: the field takes the focus and reports the change.
  bool Type(int control, const std::string& text);
  bool Type(ui::WindowId window, int control, const std::string& text);
  // Picks an item of a combo or list box.
  bool Choose(int control, int index);
  bool Choose(ui::WindowId window, int control, int index);
  // Moves the focus to a control (the field left reports losing it).
  bool FocusOn(int control);
  bool FocusOn(ui::WindowId window, int control);
  // Presses an up-down control's arrow `steps` times (negative: down), each
  // press one step of its acceleration's first row.
  bool Spin(int spin, int steps);
  bool Spin(ui::WindowId window, int spin, int steps);
  // Picks a command of the window's system menu; false when the menu has
  // no such command.
  bool SystemCommand(unsigned command);
  bool SystemCommand(ui::WindowId window, unsigned command);
  void PressEsc();
  void PressEnter();
  bool PressEsc(ui::WindowId window);
  bool PressEnter(ui::WindowId window);
  // Alt and a letter: the control whose text marks the letter with "&",
  // the next one after the focus, acts as if clicked (a label hands the
  // focus to the control after it). False when no control has the letter.
  bool PressMnemonic(ui::WindowId window, char letter);
  // The window system's close request (the close box, or WM_CLOSE from
  // another program).
  bool Close(ui::WindowId window);
  // The innermost window whose caption is `caption`; nullptr when none.
  ui::HeadlessWindow* FindByCaption(const std::string& caption) const;
  int ModalDepth() const { return static_cast<int>(windows_.windows().size()); }

  // --- message boxes: recorded; answers are taken from the queue, OK when
  // empty, unless boxes wait for the user.
  std::vector<MessageBoxRecord> message_boxes() const;
  void QueueAnswer(int button);

 protected:
  std::optional<ui::core::TimerTable::Timer> TakeDueTimer() override;
  bool OnIdle(ui::HeadlessWindow& window) override;
  void WaitWhenIdle(ui::HeadlessWindow& window) override;
  bool OtherInputPending() const override;
  void LoopsEnded() override { MarkIdle(); }
  void BoxAsked(const MessageBoxRecord& box) override;
  bool BoxesAnswerThemselves() const override;
  int NextAnswer() override;
  bool TimersFail() const override { return fail_timers_; }

 private:
  bool TakeRemote(Step& step);
  // The dialogs' thread is idle: a remote user waiting for that goes on.
  void MarkIdle();
  ui::HeadlessWindow* Target(ui::WindowId window) const;

  std::int64_t manual_now_ = 0;
  std::int64_t manual_target_ = 0;
  std::chrono::milliseconds stall_limit_{20000};
  bool stalled_ = false;
  bool fail_timers_ = false;
  bool shift_down_ = false, control_down_ = false;
  std::deque<Step> steps_;

  mutable std::mutex mutex_;  // guards everything below it
  std::condition_variable idle_cv_;
  std::vector<MessageBoxRecord> boxes_;
  std::deque<int> answers_;
  std::deque<std::pair<std::uint64_t, Step>> remote_;
  std::uint64_t remote_next_ = 1;
  std::uint64_t remote_taken_ = 0;  // the last action the dialogs' thread took
  std::uint64_t remote_idle_ = 0;   // the last action after which it was idle
  bool boxes_wait_ = false;
  bool user_finished_ = false;
};

}  // namespace qv::test
