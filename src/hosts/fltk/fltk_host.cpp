#include "hosts/fltk/fltk_host.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstdio>

#include "hosts/fltk/desktop_probe.h"
#include "hosts/fltk/fltk_window.h"
#include "hosts/fltk/message_box.h"
#include "hosts/fltk/time_change.h"
#include "platform/process.h"
#include "platform/window_channel.h"
#include "ui/dialog_rules.h"

namespace qv::ui::fltk {

namespace {
using platform::ChannelFrame;

constexpr double kLoopWakeSeconds = 0.5;  // a loop looks at its queue at least this often
constexpr int kSendTimeoutMs = 5000;      // another program's window that does not answer
constexpr int kChannelBurst = 256;        // datagrams read per wake-up, so a flood cannot starve the loop
// Low descriptors held for the loop: the display, the clock watch and the
// windows of the deepest nesting a program reaches, with room to spare.
constexpr int kHeldLoopDescriptors = 12;

std::atomic<FltkHost*> g_host{nullptr};

// The bell of the display, for the programs' beeps.
void DisplayBeep(unsigned /*frequency_hz*/, unsigned duration_ms) {
  if (FltkHost* host = g_host.load(); host && host->has_display()) host->Bell();
  platform::SleepMs(duration_ms);
}

bool InChannelRange(WindowId window) { return window > 0 && window <= INT_MAX; }
}  // namespace

FltkHost::FltkHost(std::string window_class)
    : ui_thread_(std::this_thread::get_id()), window_class_(std::move(window_class)),
      loop_fds_(kHeldLoopDescriptors) {
  InstallXErrorHandler();
  display_ = OpenDisplay();
  // Threads may wake the event loop from here on.
  Fl::lock();
  if (display_) {
    Fl_Window::default_xclass(window_class_.c_str());
    Fl::background(0xF0, 0xF0, 0xF0);
    loop_fds_.FreeOne();  // for the clock watch's descriptor
    time_watch_ = std::make_unique<TimeChangeWatch>([this] { NotifyTimeChange(); });
    platform::PruneChannelFolder();
  }
  g_host = this;
  platform::SetBeepSink(DisplayBeep);
  WarnOnceWithoutJapaneseFont();
}

bool FltkHost::OpenDisplay() {
  loop_fds_.FreeOne();  // the connection takes a number the loop can watch
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "dialog host: cannot open the X display; no window can be shown\n");
    return false;
  }
  if (!LoopDescriptors::Watchable(ConnectionNumber(display))) {
    std::fprintf(stderr, "dialog host: the X connection's descriptor %d is beyond what the event loop can watch; "
                         "no window can be shown\n", ConnectionNumber(display));
    XCloseDisplay(display);
    return false;
  }
  fl_open_display(display);
  return true;
}

FltkHost::~FltkHost() {
  platform::SetBeepSink(nullptr);
  g_host = nullptr;
  time_watch_.reset();
  Fl::remove_timeout(TimerFired, this);
  for (const auto& [fd, id] : watched_) {
    Fl::remove_fd(fd);
    loop_fds_.Release(fd, endpoints_.count(id) ? endpoints_[id]->fd() : -1);
  }
  Fl::unlock();
}

FltkWindow* FltkHost::Find(WindowId id) const { return windows_.Find(id); }

bool FltkHost::time_watch_armed() const { return time_watch_ && time_watch_->armed(); }

bool FltkHost::WindowManagerRunning() const { return display_ && fl_display && fltk::WindowManagerRunning(fl_display); }

Rect FltkHost::FrameEstimate(const FltkWindow* owner) const {
  if (!display_ || !fl_display) return {};
  const Window check = WindowManagerCheck(fl_display);
  if (check == 0) return {};
  auto* owner_fl = owner ? const_cast<DialogWindow*>(&owner->fl()) : nullptr;
  const Window transient_for = owner_fl && owner_fl->shown() ? fl_xid(owner_fl) : 0;
  const auto key = std::make_pair(static_cast<unsigned long>(check), transient_for != 0);
  if (auto it = frames_.find(key); it != frames_.end()) return it->second;
  // Asked once per window manager and kind of window: the answer is the
  // same for every window of the kind.
  return frames_[key] = RequestFrameExtents(fl_display, transient_for);
}

void FltkHost::PrepareWindow(Fl_Window& window) const { window.xclass(window_class_.c_str()); }

// ------------------------------------------------------------------ modal runs

WindowId FltkHost::NewWindowId(std::unique_ptr<platform::ChannelEndpoint>& endpoint) {
  if (channel_ok_) {
    std::string error;
    endpoint = platform::ChannelEndpoint::Open(error);
    if (endpoint) return endpoint->id();
    // Windows still work, only other programs cannot reach them.
    std::fprintf(stderr, "dialog host: no window channel (%s)\n", error.c_str());
    channel_ok_ = false;
  }
  return next_local_id_++;
}

int FltkHost::RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) {
  if (!OnUiThread()) {
    std::fprintf(stderr, "dialog host: dialog %d run off the UI thread; cancelled\n", tmpl.id);
    return kIdCancelResult;
  }
  if (!display_) {
    std::fprintf(stderr, "dialog host: dialog %d cannot be shown without a display; cancelled\n", tmpl.id);
    return kIdCancelResult;
  }
  std::unique_ptr<platform::ChannelEndpoint> endpoint;
  const WindowId id = NewWindowId(endpoint);
  FltkWindow* owner_window = Find(owner);
  FltkWindow window(*this, id, dialog, tmpl, owner_window ? owner : 0);
  if (endpoint) {
    // A window whose descriptor the loop cannot watch still works; only
    // other programs cannot reach it.
    if (const int fd = loop_fds_.Low(endpoint->fd()); fd >= 0) {
      Fl::add_fd(fd, FL_READ, ChannelReadable, this);
      watched_[fd] = id;
    } else {
      std::fprintf(stderr, "dialog host: window %ld cannot be reached by other programs (no low descriptor left)\n",
                   static_cast<long>(id));
    }
    endpoints_[id] = std::move(endpoint);
  }
  queue_.Open(id);
  if (owner_window) owner_window->SetInputEnabled(false);
  windows_.Push(window, true);
  dialog.Attach(&window);

  bool default_focus = true;
  default_focus = dialog.HandleInit();
  if (!window.ended() && default_focus) window.FocusFirst();
  // A dialog ended during its initialisation is never shown; one with the
  // visible style shows at once; any other once every message posted so
  // far (also by its initialisation, and what those post in turn) has been
  // delivered, or right after its first timer tick.
  if (!window.ended() && rules::ShownAtCreation(tmpl)) window.ShowFirst();
  if (!window.ended() && !window.shown()) {
    Drain();
    window.ShowFirst();
  }
  while (!window.ended()) {
    Fl::wait(kLoopWakeSeconds);
    Drain();
  }

  window.Close();
  dialog.HandleDestroy();
  queue_.Close(id);
  timers_.KillAll(id);
  ArmTimers();
  if (auto it = endpoints_.find(id); it != endpoints_.end()) {
    for (auto w = watched_.begin(); w != watched_.end(); ++w)
      if (w->second == id) {
        Fl::remove_fd(w->first);
        loop_fds_.Release(w->first, it->second->fd());
        watched_.erase(w);
        break;
      }
    endpoints_.erase(it);
  }
  windows_.Pop(window);
  if (owner_window) {
    owner_window->SetInputEnabled(true);
    owner_window->Activate();
  }
  dialog.Attach(nullptr);
  return window.result();
}

// ------------------------------------------------------------------ the queue

void FltkHost::Enqueue(core::Posted task) const {
  // One wake-up at a time is enough: the loop empties the whole queue.
  if (bool wake = false; queue_.Push(std::move(task), &wake) && wake) Fl::awake(Woken, const_cast<FltkHost*>(this));
}

void FltkHost::Woken(void* self) { static_cast<FltkHost*>(self)->Drain(); }

void FltkHost::Drain() {
  // One at a time: a handler's nested loop goes on with the rest, in order.
  for (core::Posted task; queue_.Take(task);) {
    if (task.run) {
      task.run();
    } else if (FltkWindow* w = Find(task.window); w && !w->ended()) {
      Deliver(*w, task.msg, task.wparam, task.lparam);
    }
  }
}

void FltkHost::Bell() const {
  const auto ring = [] {
    fl_beep(FL_BEEP_DEFAULT);
    if (fl_display) XFlush(fl_display);
  };
  if (OnUiThread()) return ring();
  // Workers never touch the display: the UI thread rings it.
  core::Posted task;
  task.run = ring;
  Enqueue(std::move(task));
}

bool FltkHost::RunOnUiThread(const std::function<void()>& fn, int timeout_ms) const {
  if (OnUiThread()) return fn(), true;
  struct State {
    std::mutex mutex;
    std::condition_variable cv;
    enum { kWaiting, kRunning, kDone, kCancelled } stage = kWaiting;
  };
  auto state = std::make_shared<State>();
  core::Posted task;
  task.run = [&fn, state] {
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (state->stage == State::kCancelled) return;  // the caller gave up and is gone
      state->stage = State::kRunning;
    }
    fn();
    std::lock_guard<std::mutex> lock(state->mutex);
    state->stage = State::kDone;
    state->cv.notify_all();
  };
  Enqueue(std::move(task));
  std::unique_lock<std::mutex> lock(state->mutex);
  const auto done = [&] { return state->stage == State::kDone; };
  if (timeout_ms < 0) {
    state->cv.wait(lock, done);
  } else if (!state->cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), done)) {
    if (state->stage == State::kWaiting) {
      state->stage = State::kCancelled;
      return false;
    }
    state->cv.wait(lock, done);  // already running: it must finish with us here
  }
  return true;
}

std::size_t FltkHost::QueuedTasks() const { return queue_.size(); }

std::vector<WindowId> FltkHost::LiveWindows() const { return queue_.OpenWindows(); }

std::intptr_t FltkHost::Deliver(FltkWindow& w, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (w.ended()) return 0;
  std::intptr_t result = 0;
  switch (msg) {
    case kWmCommand: w.Command(static_cast<int>(wparam & 0xFFFF)); break;
    case kWmClose: w.Command(kIdCancel); break;
    case kWmSysCommand: w.SysCommand(static_cast<unsigned>(wparam)); break;
    default: result = w.dialog().HandleMessage(msg, wparam, lparam); break;
  }
  return result;
}

// ------------------------------------------------------------------ posts and sends

bool FltkHost::Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  // 0 is no window (not this thread's queue) and 0xFFFF is never a broadcast.
  if (window == 0 || window == 0xFFFF) return false;
  if (bool wake = false; queue_.Push({window, msg, wparam, lparam, {}}, &wake)) {
    if (wake) Fl::awake(Woken, this);
    return true;
  }
  if (!InChannelRange(window)) return false;
  ChannelFrame frame;
  frame.kind = ChannelFrame::Kind::kPost;
  frame.msg = msg;
  frame.wparam = wparam;
  frame.lparam = lparam;
  return platform::ChannelSend(static_cast<std::int32_t>(window), frame);
}

std::intptr_t FltkHost::Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (window == 0 || window == 0xFFFF) return 0;
  if (queue_.IsOpen(window)) {
    std::intptr_t result = 0;
    RunOnUiThread([&] {
      if (FltkWindow* w = Find(window)) result = Deliver(*w, msg, wparam, lparam);
    });
    return result;
  }
  if (!InChannelRange(window)) return 0;
  ChannelFrame request, reply;
  request.kind = ChannelFrame::Kind::kSend;
  request.msg = msg;
  request.wparam = wparam;
  request.lparam = lparam;
  // While waiting, this program's own windows answer what they are asked.
  if (!platform::ChannelRequest(static_cast<std::int32_t>(window), request, reply, kSendTimeoutMs,
                                OnUiThread() ? ServeAllChannels : nullptr, this))
    return 0;
  return static_cast<std::intptr_t>(reply.result);
}

void FltkHost::ChannelReadable(int fd, void* self) {
  auto* host = static_cast<FltkHost*>(self);
  if (auto w = host->watched_.find(fd); w != host->watched_.end())
    if (auto e = host->endpoints_.find(w->second); e != host->endpoints_.end()) host->ServeChannel(*e->second);
}

void FltkHost::ServeAllChannels(void* self) {
  auto* host = static_cast<FltkHost*>(self);
  // A handler may open or close windows: look each one up afresh.
  std::vector<WindowId> ids;
  for (const auto& [id, endpoint] : host->endpoints_) ids.push_back(id);
  for (WindowId id : ids)
    if (auto it = host->endpoints_.find(id); it != host->endpoints_.end()) host->ServeChannel(*it->second);
}

void FltkHost::ServeChannel(platform::ChannelEndpoint& endpoint) {
  const WindowId id = endpoint.id();
  for (int n = 0; n < kChannelBurst; ++n) {
    ChannelFrame frame;
    platform::ChannelPeer from;
    std::uint32_t uid = 0;
    switch (endpoint.Receive(frame, from, &uid)) {
      case platform::ChannelEndpoint::Read::kNone: return;
      case platform::ChannelEndpoint::Read::kRefused:
        std::fprintf(stderr, "dialog host: window %ld refused a message from user %u\n", static_cast<long>(id), uid);
        continue;
      case platform::ChannelEndpoint::Read::kInvalid: continue;
      case platform::ChannelEndpoint::Read::kFrame: break;
    }
    ChannelFrame reply;
    reply.kind = ChannelFrame::Kind::kReply;
    reply.request = frame.request;
    switch (frame.kind) {
      case ChannelFrame::Kind::kPost:
        Enqueue({id, frame.msg, static_cast<std::uintptr_t>(frame.wparam), static_cast<std::intptr_t>(frame.lparam), {}});
        break;
      case ChannelFrame::Kind::kSend:
        if (FltkWindow* w = Find(id)) {
          reply.result = Deliver(*w, frame.msg, static_cast<std::uintptr_t>(frame.wparam),
                                 static_cast<std::intptr_t>(frame.lparam));
          reply.ok = true;
        }
        endpoint.Reply(from, reply);
        // The handler may have ended the run that owns this endpoint.
        return;
      case ChannelFrame::Kind::kPlacement:
        if (FltkWindow* w = Find(id)) {
          const WindowPlacement p = w->Placement();
          reply.ok = true;
          reply.show_cmd = p.show_cmd;
          reply.set_min_position = p.set_min_position;
          reply.min_x = p.min_position.x;
          reply.min_y = p.min_position.y;
          reply.left = p.normal.left;
          reply.top = p.normal.top;
          reply.right = p.normal.right;
          reply.bottom = p.normal.bottom;
        }
        endpoint.Reply(from, reply);
        break;
      case ChannelFrame::Kind::kQuery:
        if (FltkWindow* w = Find(id); w && !w->ended()) {
          Answer(*w, frame, reply);
          reply.ok = true;
        }
        endpoint.Reply(from, reply);
        break;
      default:
        break;  // probes, stray replies
    }
  }
}

void FltkHost::Answer(FltkWindow& w, const ChannelFrame& query, ChannelFrame& reply) {
  using platform::ChannelQuery;
  const int control = static_cast<int>(query.wparam);
  switch (static_cast<ChannelQuery>(query.msg)) {
    case ChannelQuery::kCaption: reply.text = w.Caption(); break;
    case ChannelQuery::kText:
      reply.text = w.Text(control);
      reply.result = w.FindControl(control) ? 1 : 0;
      break;
    case ChannelQuery::kEnabled: reply.result = w.IsEnabled(control) ? 1 : 0; break;
    case ChannelQuery::kVisible: reply.result = w.IsVisible(control) ? 1 : 0; break;
    case ChannelQuery::kCheck: reply.result = w.Check(control); break;
    case ChannelQuery::kRect: {
      const Rect r = control ? w.ControlRect(control) : w.WindowRect();
      reply.left = r.left, reply.top = r.top, reply.right = r.right, reply.bottom = r.bottom;
      break;
    }
  }
}

// ------------------------------------------------------------------ timers

std::int64_t FltkHost::MonotonicMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - epoch_).count();
}

void FltkHost::ArmTimers() {
  Fl::remove_timeout(TimerFired, this);
  if (const auto due = timers_.NextDue())
    Fl::add_timeout(static_cast<double>(std::max<std::int64_t>(*due - MonotonicMs(), 0)) / 1000.0, TimerFired, this);
}

std::uintptr_t FltkHost::StartTimer(FltkWindow& window, std::uintptr_t id, unsigned period_ms) {
  const std::uintptr_t result = timers_.Set(window.Id(), id, period_ms, MonotonicMs());
  ArmTimers();
  return result;
}

bool FltkHost::StopTimer(WindowId window, std::uintptr_t id) {
  const bool stopped = timers_.Kill(window, id);
  ArmTimers();
  return stopped;
}

void FltkHost::TimerFired(void* self) {
  auto* host = static_cast<FltkHost*>(self);
  // Woken early (the toolkit counts by the wall clock, which was set
  // ahead), nothing is due yet and the host only sleeps on. The handler may
  // run a loop of its own, so the host waits for the next tick first.
  const std::int64_t now = host->MonotonicMs();
  const auto t = host->timers_.TakeDue(now, now, false);
  host->ArmTimers();
  if (!t) return;
  if (FltkWindow* w = host->Find(t->window); w && !w->ended())
    w->dialog().HandleTimer(t->id);
}

// ------------------------------------------------------------------ the rest

int FltkHost::ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) {
  if (!OnUiThread()) {
    // A worker's box is shown by the UI thread; the worker waits for it.
    int result = kIdCancelResult;
    RunOnUiThread([&] { result = ShowMessageBox(owner, text, caption, flags); });
    return result;
  }
  if (!display_) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
    // Nobody could confirm: an OK/Cancel question counts as cancelled.
    return (flags & 0xF) == kMbOkCancel ? kIdCancelResult : kIdOkResult;
  }
  return RunMessageBox(*this, Find(owner) ? owner : 0, text, caption, flags);
}

Point FltkHost::ScreenSize() const {
  if (!display_) return {};
  int x = 0, y = 0, w = 0, h = 0;
  RunOnUiThread([&] { Fl::screen_xywh(x, y, w, h, 0); });
  return {w, h};
}

Rect FltkHost::WorkArea() const {
  if (!display_) return {};
  int x = 0, y = 0, w = 0, h = 0;
  RunOnUiThread([&] { Fl::screen_work_area(x, y, w, h, 0); });
  return {x, y, x + w, y + h};
}

bool FltkHost::IsKeyDown(Key key) const {
  if (!display_) return false;
  bool down = false;
  // The keyboard as it is now, not as the last event left it.
  RunOnUiThread([&] {
    down = key == Key::kShift ? (Fl::get_key(FL_Shift_L) || Fl::get_key(FL_Shift_R))
                              : (Fl::get_key(FL_Control_L) || Fl::get_key(FL_Control_R));
  });
  return down;
}

bool FltkHost::WindowExists(WindowId window) const {
  if (queue_.IsOpen(window)) return true;
  return InChannelRange(window) && platform::ChannelWindowExists(static_cast<std::int32_t>(window));
}

bool FltkHost::PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const {
  if (queue_.IsOpen(window)) {
    RunOnUiThread([&] {
      if (const FltkWindow* w = Find(window)) out = w->Placement();
    });
    return true;
  }
  ChannelFrame request, reply;
  request.kind = ChannelFrame::Kind::kPlacement;
  if (!InChannelRange(window) ||
      !platform::ChannelRequest(static_cast<std::int32_t>(window), request, reply, kSendTimeoutMs,
                                OnUiThread() ? ServeAllChannels : nullptr, const_cast<FltkHost*>(this)) ||
      !reply.ok) {
    error = InChannelRange(window) && platform::ChannelWindowExists(static_cast<std::int32_t>(window))
                ? "The window did not answer."
                : "Invalid window handle.";
    return false;
  }
  out.show_cmd = reply.show_cmd;
  out.set_min_position = reply.set_min_position;
  out.min_position = {reply.min_x, reply.min_y};
  out.normal = {reply.left, reply.top, reply.right, reply.bottom};
  return true;
}

void FltkHost::NotifyTimeChange() {
  windows_.TellTimeChange([](FltkWindow& w) { w.dialog().HandleTimeChange(); });
}

}  // namespace qv::ui::fltk
