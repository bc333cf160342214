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
  for (const auto& timer : timers_) Fl::remove_timeout(TimerFired, timer.get());
  for (const auto& [fd, id] : watched_) {
    Fl::remove_fd(fd);
    loop_fds_.Release(fd, endpoints_.count(id) ? endpoints_[id]->fd() : -1);
  }
  Fl::unlock();
}

FltkWindow* FltkHost::Find(WindowId id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second;
}

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
  windows_[id] = &window;
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.insert(id);
    live_order_.push_back(id);
  }
  if (owner_window) owner_window->SetInputEnabled(false);
  stack_.push_back(&window);
  active_ = id;
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    live_.erase(id);
    live_order_.erase(std::remove(live_order_.begin(), live_order_.end(), id), live_order_.end());
  }
  StopTimers(id);
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
  windows_.erase(id);
  stack_.erase(std::remove(stack_.begin(), stack_.end(), &window), stack_.end());
  active_ = stack_.empty() ? 0 : stack_.back()->Id();
  if (owner_window) {
    owner_window->SetInputEnabled(true);
    owner_window->Activate();
  }
  dialog.Attach(nullptr);
  return window.result();
}

// ------------------------------------------------------------------ the queue

void FltkHost::Enqueue(Task task) const {
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(task));
    wake = !wake_pending_;
    wake_pending_ = true;
  }
  // One wake-up at a time is enough: the loop empties the whole queue.
  if (wake) Fl::awake(Woken, const_cast<FltkHost*>(this));
}

void FltkHost::Woken(void* self) { static_cast<FltkHost*>(self)->Drain(); }

void FltkHost::Drain() {
  for (;;) {
    Task task;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (queue_.empty()) {
        wake_pending_ = false;
        return;
      }
      task = std::move(queue_.front());
      queue_.pop_front();
    }
    // One at a time: a handler's nested loop goes on with the rest, in order.
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
  Task task;
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
  Task task;
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

std::size_t FltkHost::QueuedTasks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return queue_.size();
}

std::vector<WindowId> FltkHost::LiveWindows() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return live_order_;
}

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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (live_.count(window)) {
      bool wake = !wake_pending_;
      wake_pending_ = true;
      queue_.push_back(Task{window, msg, wparam, lparam, {}});
      if (wake) Fl::awake(Woken, this);
      return true;
    }
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
  bool local = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    local = live_.count(window) != 0;
  }
  if (local) {
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
        Enqueue(Task{id, frame.msg, static_cast<std::uintptr_t>(frame.wparam), static_cast<std::intptr_t>(frame.lparam),
                     {}});
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

namespace {
double Seconds(std::chrono::steady_clock::duration d) { return std::chrono::duration<double>(d).count(); }
}  // namespace

std::uintptr_t FltkHost::StartTimer(FltkWindow& window, std::uintptr_t id, unsigned period_ms) {
  // Setting a running timer again restarts it, as window timers do.
  StopTimer(window.Id(), id);
  const auto period = std::chrono::milliseconds(std::max(period_ms, 10u));
  auto timer = std::make_unique<Timer>(Timer{this, window.Id(), id, period, std::chrono::steady_clock::now() + period});
  Fl::add_timeout(Seconds(period), TimerFired, timer.get());
  timers_.push_back(std::move(timer));
  return id == 0 ? 1 : id;  // window timers never report 0 on success
}

bool FltkHost::StopTimer(WindowId window, std::uintptr_t id) {
  auto it = std::find_if(timers_.begin(), timers_.end(),
                         [&](const auto& t) { return t->window == window && t->id == id; });
  if (it == timers_.end()) return false;
  Fl::remove_timeout(TimerFired, it->get());
  timers_.erase(it);
  return true;
}

void FltkHost::StopTimers(WindowId window) {
  for (auto it = timers_.begin(); it != timers_.end();) {
    if ((*it)->window == window) {
      Fl::remove_timeout(TimerFired, it->get());
      it = timers_.erase(it);
    } else {
      ++it;
    }
  }
}

void FltkHost::TimerFired(void* data) {
  auto* timer = static_cast<Timer*>(data);
  const auto now = std::chrono::steady_clock::now();
  // Woken early: the toolkit counts by the wall clock, which was set
  // ahead. Not due until the period has passed.
  if (now < timer->due) return Fl::add_timeout(Seconds(timer->due - now), TimerFired, data);
  FltkHost* host = timer->host;
  const WindowId window = timer->window;
  const std::uintptr_t id = timer->id;
  // The next tick is one period after this one was due; a late one is not
  // delivered twice. The handler may kill or restart the timer, so the
  // record is not touched after it.
  timer->due += timer->period;
  if (timer->due <= now) timer->due = now + timer->period;
  Fl::add_timeout(Seconds(timer->due - now), TimerFired, data);
  if (FltkWindow* w = host->Find(window); w && !w->ended())
    w->dialog().HandleTimer(id);
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (live_.count(window)) return true;
  }
  return InChannelRange(window) && platform::ChannelWindowExists(static_cast<std::int32_t>(window));
}

bool FltkHost::PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const {
  bool local = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    local = live_.count(window) != 0;
  }
  if (local) {
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
  // A copy: a handler may open or close windows.
  const std::vector<FltkWindow*> windows = stack_;
  for (FltkWindow* w : windows)
    if (Find(w->Id()) == w && !w->ended()) w->dialog().HandleTimeChange();
}

}  // namespace qv::ui::fltk
