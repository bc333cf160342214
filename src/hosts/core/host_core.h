// What the headless and Linux GUI hosts keep alike, whatever shows the
// windows: the queue of posted messages, the window timers, the stack of
// modal runs, a window's show state and its system menu. Each host adds
// only how it waits, draws and takes input.
#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "ui/dialog.h"

namespace qv::ui::core {

// A message posted to a window, or work for the UI thread.
struct Posted {
  WindowId window = 0;
  unsigned msg = 0;
  std::uintptr_t wparam = 0;
  std::intptr_t lparam = 0;
  std::function<void()> run;  // set: work to run instead of a message
};

// The UI thread's queue: any thread posts, the UI thread takes in order.
// Only open windows take posts, so a message for a window that is gone
// fails, as it does on Windows.
class PostQueue {
 public:
  void Open(WindowId window);
  void Close(WindowId window);
  bool IsOpen(WindowId window) const;
  // The open windows, oldest first.
  std::vector<WindowId> OpenWindows() const;
  // False when a message's window is not open (work always goes in).
  // `wake` tells whether the taker needs waking: the first entry since it
  // last found the queue empty.
  bool Push(Posted item, bool* wake = nullptr);
  // The oldest entry; false when there is none.
  bool Take(Posted& out);
  std::size_t size() const;
  // Waits up to `ms` for an entry, or for `also` (asked under the queue's
  // lock) to hold; true when one came.
  bool Wait(std::int64_t ms, const std::function<bool()>& also = {});
  // Wakes a waiter after something `also` looks at changed.
  void Notify();

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<Posted> queue_;
  std::vector<WindowId> open_;
  bool wake_pending_ = false;
};

// Window timers by the time they fall due, on a millisecond clock the host
// keeps (a manual one, or the monotonic clock).
class TimerTable {
 public:
  struct Timer {
    WindowId window = 0;
    std::uintptr_t id = 0;
    unsigned period_ms = 0;
    std::int64_t due_ms = 0;
    std::uint64_t order = 0;  // creation order breaks ties
  };
  // Periods below `min_period_ms` run at that period.
  explicit TimerTable(unsigned min_period_ms) : min_period_ms_(min_period_ms) {}
  // Starts a timer, or restarts a running one, as window timers do; the
  // value SetTimer reports (never 0).
  std::uintptr_t Set(WindowId window, std::uintptr_t id, unsigned period_ms, std::int64_t now_ms);
  bool Kill(WindowId window, std::uintptr_t id);
  void KillAll(WindowId window);
  // The timer due first by `horizon_ms` (ties in creation order), moved on
  // to its next tick: one period after this one, or, unless `every_tick`,
  // one period after `now_ms` when that is already past, so a late timer
  // is not delivered twice. None when nothing is due.
  std::optional<Timer> TakeDue(std::int64_t horizon_ms, std::int64_t now_ms, bool every_tick);
  // When the first timer falls due; nothing when none runs.
  std::optional<std::int64_t> NextDue() const;

 private:
  unsigned min_period_ms_;
  std::vector<Timer> timers_;
  std::uint64_t next_order_ = 0;
};

// How a window shows, as the dialog manager keeps it: shown (minimised
// counts), minimised, and whether the last show command activated it.
struct ShowState {
  bool shown = false;
  bool minimized = false;
  bool activated = false;
  // Applies a show command. Where nothing could give an iconified window
  // back (`can_minimize` false) it stays as it is, or shows normally.
  // Returns what the dialog hears: +1 newly shown, -1 newly hidden, else 0.
  int Apply(int show_cmd, bool can_minimize);
  // The modal loop's first show, unless the program showed the window
  // already; true when the dialog is to hear it.
  bool ShowFirst();
};
bool IsMinimizeCommand(int show_cmd);

// A window's system menu: the system's items for a template with one, then
// what the program appends.
class SystemMenu {
 public:
  struct Item {
    unsigned command = 0;  // 0: separator
    std::string text;      // empty for the system's own items
  };
  explicit SystemMenu(const DialogTemplate& tmpl);
  void Append(unsigned command, const std::string& text) { items_.push_back({command, text}); }
  void Remove(unsigned command);
  void Change(bool remove, unsigned command, const std::string& text) {
    remove ? Remove(command) : Append(command, text);
  }
  bool Has(unsigned command) const;
  const std::vector<Item>& items() const { return items_; }

 private:
  std::vector<Item> items_;
};

// The windows of the running modal loops, outermost first. W has Id(),
// ended() and dialog().
template <typename W>
class ModalStack {
 public:
  W* Find(WindowId id) const {
    for (const Entry& e : stack_)
      if (e.window->Id() == id) return e.window;
    return nullptr;
  }
  // `takes_attention`: the window counts as the active one while it is the
  // innermost that does (message boxes may not).
  void Push(W& window, bool takes_attention) {
    stack_.push_back({&window, takes_attention});
    windows_.push_back(&window);
    Recount();
  }
  void Pop(W& window) {
    stack_.erase(std::remove_if(stack_.begin(), stack_.end(), [&](const Entry& e) { return e.window == &window; }),
                 stack_.end());
    windows_.erase(std::remove(windows_.begin(), windows_.end(), &window), windows_.end());
    Recount();
  }
  const std::vector<W*>& windows() const { return windows_; }
  W* Innermost() const { return stack_.empty() ? nullptr : stack_.back().window; }
  // From any thread.
  WindowId Active() const { return active_.load(); }
  // Every window still running hears that the clock was set or the system
  // woke up; a handler may open or close windows meanwhile.
  void TellTimeChange(const std::function<void(W&)>& tell) const {
    const std::vector<W*> windows = windows_;
    for (W* w : windows)
      if (std::find(windows_.begin(), windows_.end(), w) != windows_.end() && !w->ended()) tell(*w);
  }

 private:
  struct Entry {
    W* window;
    bool takes_attention;
  };
  void Recount() {
    WindowId active = 0;
    for (const Entry& e : stack_)
      if (e.takes_attention) active = e.window->Id();
    active_ = active;
  }
  std::vector<Entry> stack_;
  std::vector<W*> windows_;
  std::atomic<WindowId> active_{0};
};

}  // namespace qv::ui::core
