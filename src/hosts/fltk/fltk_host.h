// The dialog host of the Linux GUI, on FLTK 1.3. Every toolkit call runs on
// the thread that made the host (the UI thread); other threads post, and
// the UI thread is woken to deliver (Fl::awake). Windows of other processes
// of the same user are reached through the window channel.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "hosts/fltk/loop_fds.h"
#include "ui/dialog.h"

class Fl_Window;

namespace qv::platform {
class ChannelEndpoint;
struct ChannelFrame;
}

namespace qv::ui::fltk {

class FltkWindow;
class TimeChangeWatch;

class FltkHost final : public Host {
 public:
  // Opens the display; without one every dialog ends at once with Cancel
  // and message boxes go to standard error. Every window of the host
  // carries `window_class` as its X class and name, so that task bars group
  // a program's windows and desktop entries find them.
  explicit FltkHost(std::string window_class);
  ~FltkHost() override;
  FltkHost(const FltkHost&) = delete;
  FltkHost& operator=(const FltkHost&) = delete;

  int RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) override;
  bool Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  std::intptr_t Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) override;
  int ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) override;
  WindowId ActiveWindow() const override { return active_.load(); }
  Point ScreenSize() const override;
  Rect WorkArea() const override;
  bool IsKeyDown(Key key) const override;
  bool WindowExists(WindowId window) const override;
  bool PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const override;

  bool has_display() const { return display_; }
  bool OnUiThread() const { return std::this_thread::get_id() == ui_thread_; }
  // Runs `fn` on the UI thread and returns when it has run; at once when
  // called there. With a time-out, false when the UI thread did not take it
  // up in time (it then never runs).
  bool RunOnUiThread(const std::function<void()>& fn, int timeout_ms = -1) const;
  // The windows of the running modal loops, outermost first; from any thread.
  std::vector<WindowId> LiveWindows() const;
  // Messages and work waiting for the UI thread; from any thread.
  std::size_t QueuedTasks() const;
  // The display's bell (the programs' beep); from any thread.
  void Bell() const;
  // Every window hears that the clock was set or the machine woke up.
  void NotifyTimeChange();
  bool time_watch_armed() const;
  // Whether a window manager decorates and iconifies windows (one that quit
  // and left its name on the root window does not count).
  bool WindowManagerRunning() const;
  // The frame the window manager will draw around a new window, as it says
  // before the window shows (owned: transient for `owner`); {} without one.
  Rect FrameEstimate(const FltkWindow* owner) const;
  // Readies a top-level window before it first shows: its class and name
  // (and whatever else every window of the program carries).
  void PrepareWindow(Fl_Window& window) const;
  const std::string& window_class() const { return window_class_; }
  // Low descriptors the event loop may still take.
  int spare_loop_descriptors() const { return loop_fds_.held(); }
  // Windows of the running modal loops, outermost first.
  const std::vector<FltkWindow*>& stack() const { return stack_; }
  FltkWindow* Find(WindowId id) const;

  // --- for the windows
  std::uintptr_t StartTimer(FltkWindow& window, std::uintptr_t id, unsigned period_ms);
  bool StopTimer(WindowId window, std::uintptr_t id);
  // Delivers a window message the way the dialog manager does; 0 for an
  // ended window.
  std::intptr_t Deliver(FltkWindow& window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);

 private:
  struct Task {
    WindowId window = 0;  // a posted message, or
    unsigned msg = 0;
    std::uintptr_t wparam = 0;
    std::intptr_t lparam = 0;
    std::function<void()> run;  // work for the UI thread
  };
  // A window timer counts elapsed time (the monotonic clock); the
  // toolkit's timeouts, which follow the wall clock, only wake it.
  struct Timer {
    FltkHost* host;
    WindowId window;
    std::uintptr_t id;
    std::chrono::steady_clock::duration period;
    std::chrono::steady_clock::time_point due;
  };

  void Enqueue(Task task) const;
  void Drain();
  static void Woken(void* self);
  static void TimerFired(void* timer);
  static void ChannelReadable(int fd, void* self);
  static void ServeAllChannels(void* self);
  void ServeChannel(platform::ChannelEndpoint& endpoint);
  // What another program of the user asked of a window.
  static void Answer(FltkWindow& window, const platform::ChannelFrame& query, platform::ChannelFrame& reply);
  void StopTimers(WindowId window);
  WindowId NewWindowId(std::unique_ptr<platform::ChannelEndpoint>& endpoint);
  bool OpenDisplay();

  const std::thread::id ui_thread_;
  const std::string window_class_;
  LoopDescriptors loop_fds_;
  bool display_ = false;
  bool channel_ok_ = true;
  std::unique_ptr<TimeChangeWatch> time_watch_;

  std::map<WindowId, FltkWindow*> windows_;
  std::vector<FltkWindow*> stack_;
  std::atomic<WindowId> active_{0};
  std::map<WindowId, std::unique_ptr<platform::ChannelEndpoint>> endpoints_;
  std::map<int, WindowId> watched_;  // the descriptor the loop watches for each endpoint
  // What each window manager said of the frame, by its check window and
  // whether the window is owned.
  mutable std::map<std::pair<unsigned long, bool>, Rect> frames_;
  std::vector<std::unique_ptr<Timer>> timers_;
  WindowId next_local_id_ = 0x40000000;  // used only when there is no channel

  mutable std::mutex mutex_;  // guards queue_, live_ and the wake flag
  mutable std::deque<Task> queue_;
  std::set<WindowId> live_;   // windows that take posts
  std::vector<WindowId> live_order_;
  mutable bool wake_pending_ = false;
};

}  // namespace qv::ui::fltk
