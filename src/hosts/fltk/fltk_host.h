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

#include "hosts/core/host_core.h"
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
  WindowId ActiveWindow() const override { return windows_.Active(); }
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
  const std::vector<FltkWindow*>& stack() const { return windows_.windows(); }
  FltkWindow* Find(WindowId id) const;

  // --- for the windows
  std::uintptr_t StartTimer(FltkWindow& window, std::uintptr_t id, unsigned period_ms);
  bool StopTimer(WindowId window, std::uintptr_t id);
  // Delivers a window message the way the dialog manager does; 0 for an
  // ended window.
  std::intptr_t Deliver(FltkWindow& window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam);

 private:
  void Enqueue(core::Posted task) const;
  void Drain();
  static void Woken(void* self);
  static void TimerFired(void* self);
  // Window timers count elapsed time (the monotonic clock); the toolkit's
  // timeouts, which follow the wall clock, only wake the host for them.
  std::int64_t MonotonicMs() const;
  void ArmTimers();
  static void ChannelReadable(int fd, void* self);
  static void ServeAllChannels(void* self);
  void ServeChannel(platform::ChannelEndpoint& endpoint);
  // What another program of the user asked of a window.
  static void Answer(FltkWindow& window, const platform::ChannelFrame& query, platform::ChannelFrame& reply);
  WindowId NewWindowId(std::unique_ptr<platform::ChannelEndpoint>& endpoint);
  bool OpenDisplay();

  const std::thread::id ui_thread_;
  const std::string window_class_;
  LoopDescriptors loop_fds_;
  bool display_ = false;
  bool channel_ok_ = true;
  std::unique_ptr<TimeChangeWatch> time_watch_;

  core::ModalStack<FltkWindow> windows_;
  std::map<WindowId, std::unique_ptr<platform::ChannelEndpoint>> endpoints_;
  std::map<int, WindowId> watched_;  // the descriptor the loop watches for each endpoint
  // What each window manager said of the frame, by its check window and
  // whether the window is owned.
  mutable std::map<std::pair<unsigned long, bool>, Rect> frames_;
  core::TimerTable timers_{10};
  const std::chrono::steady_clock::time_point epoch_ = std::chrono::steady_clock::now();
  WindowId next_local_id_ = 0x40000000;  // used only when there is no channel

  mutable core::PostQueue queue_;
};

}  // namespace qv::ui::fltk
