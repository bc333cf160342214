#include "hosts/core/host_core.h"

#include <chrono>
#include <limits>

#include "ui/dialog_rules.h"

namespace qv::ui::core {

// ------------------------------------------------------------------ posts

void PostQueue::Open(WindowId window) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.push_back(window);
}

void PostQueue::Close(WindowId window) {
  std::lock_guard<std::mutex> lock(mutex_);
  open_.erase(std::remove(open_.begin(), open_.end(), window), open_.end());
}

bool PostQueue::IsOpen(WindowId window) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::find(open_.begin(), open_.end(), window) != open_.end();
}

std::vector<WindowId> PostQueue::OpenWindows() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

bool PostQueue::Push(Posted item, bool* wake) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!item.run && std::find(open_.begin(), open_.end(), item.window) == open_.end()) return false;
    queue_.push_back(std::move(item));
    if (wake) *wake = !wake_pending_;
    wake_pending_ = true;
  }
  cv_.notify_all();
  return true;
}

bool PostQueue::Take(Posted& out) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) {
    wake_pending_ = false;
    return false;
  }
  out = std::move(queue_.front());
  queue_.pop_front();
  return true;
}

std::size_t PostQueue::size() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

bool PostQueue::Wait(std::int64_t ms, const std::function<bool()>& also) {
  std::unique_lock<std::mutex> lock(mutex_);
  return cv_.wait_for(lock, std::chrono::milliseconds(ms), [&] { return !queue_.empty() || (also && also()); });
}

void PostQueue::Notify() {
  // Taken and left: a waiter either saw the change or is waiting already.
  { std::lock_guard<std::mutex> lock(mutex_); }
  cv_.notify_all();
}

// ------------------------------------------------------------------ timers

std::uintptr_t TimerTable::Set(WindowId window, std::uintptr_t id, unsigned period_ms, std::int64_t now_ms) {
  Kill(window, id);
  period_ms = std::max(period_ms, min_period_ms_);
  timers_.push_back({window, id, period_ms, now_ms + period_ms, next_order_++});
  return id == 0 ? 1 : id;
}

bool TimerTable::Kill(WindowId window, std::uintptr_t id) {
  auto it = std::find_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == window && t.id == id; });
  if (it == timers_.end()) return false;
  timers_.erase(it);
  return true;
}

void TimerTable::KillAll(WindowId window) {
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == window; }),
                timers_.end());
}

std::optional<TimerTable::Timer> TimerTable::TakeDue(std::int64_t horizon_ms, std::int64_t now_ms, bool every_tick) {
  auto due = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->due_ms > horizon_ms) continue;
    if (due == timers_.end() || it->due_ms < due->due_ms || (it->due_ms == due->due_ms && it->order < due->order))
      due = it;
  }
  if (due == timers_.end()) return std::nullopt;
  const Timer fired = *due;
  due->due_ms += due->period_ms;
  if (!every_tick && due->due_ms <= now_ms) due->due_ms = now_ms + due->period_ms;
  return fired;
}

std::optional<std::int64_t> TimerTable::NextDue() const {
  if (timers_.empty()) return std::nullopt;
  std::int64_t first = std::numeric_limits<std::int64_t>::max();
  for (const Timer& t : timers_) first = std::min(first, t.due_ms);
  return first;
}

// ------------------------------------------------------------------ show state

bool IsMinimizeCommand(int show_cmd) {
  return show_cmd == kSwShowMinimized || show_cmd == kSwMinimize || show_cmd == kSwShowMinNoActive ||
         show_cmd == kSwForceMinimize;
}

int ShowState::Apply(int show_cmd, bool can_minimize) {
  const bool was_shown = shown;
  if (show_cmd == kSwHide) {
    shown = false;
    activated = false;
    return was_shown ? -1 : 0;
  }
  if (IsMinimizeCommand(show_cmd)) {
    if (can_minimize) minimized = true;
    // Minimising hands the activation on; the no-activate forms leave it.
    if (show_cmd != kSwShowMinNoActive && show_cmd != kSwForceMinimize) activated = show_cmd == kSwShowMinimized;
  } else if (show_cmd == kSwShow) {  // as it is, minimised or not
    activated = true;
  } else {  // restore, show normal and the rest bring the normal window back
    minimized = false;
    activated = true;
  }
  shown = true;
  return was_shown ? 0 : 1;
}

bool ShowState::ShowFirst() {
  if (shown) return false;
  shown = true;
  activated = true;
  return true;
}

// ------------------------------------------------------------------ system menu

SystemMenu::SystemMenu(const DialogTemplate& tmpl) {
  if (tmpl.style & style::kSysMenu)
    for (unsigned command : rules::DefaultSystemMenu()) items_.push_back({command, {}});
}

void SystemMenu::Remove(unsigned command) {
  items_.erase(std::remove_if(items_.begin(), items_.end(), [&](const Item& m) { return m.command == command; }),
               items_.end());
}

bool SystemMenu::Has(unsigned command) const {
  return command != 0 &&
         std::any_of(items_.begin(), items_.end(), [&](const Item& m) { return m.command == command; });
}

}  // namespace qv::ui::core
