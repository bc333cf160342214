#include "ui/headless/headless_host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace qv::ui {

namespace {
// Window ids are never reused, so a message posted to a closed window can
// never reach a later one.
std::atomic<WindowId> g_next_window{0x1000};

bool IsButtonKind(const ControlTemplate& t, std::uint32_t kind) {
  return t.cls == ControlClass::Button && (t.style & 0xF) == kind;
}
}  // namespace

// ------------------------------------------------------------------ window

HeadlessWindow::HeadlessWindow(HeadlessHost& host, WindowId id, Dialog& dialog, const DialogTemplate& tmpl,
                               WindowId owner)
    : host_(host), id_(id), owner_(owner), dialog_(dialog), tmpl_(tmpl), caption_(tmpl.caption) {
  for (const auto& c : tmpl.controls) {
    if (c.id == kIdStatic) continue;
    Control ctl;
    ctl.tmpl = &c;
    ctl.text = c.text;
    ctl.enabled = !(c.style & style::kDisabled);
    ctl.visible = (c.style & style::kVisible) != 0;
    controls_.emplace(c.id, std::move(ctl));
  }
}

HeadlessWindow::Control* HeadlessWindow::Find(int control) {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}
const HeadlessWindow::Control* HeadlessWindow::Find(int control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

void HeadlessWindow::SetCaption(const std::string& text) { caption_ = text; }

void HeadlessWindow::SetText(int control, const std::string& text) {
  if (Control* c = Find(control)) {
    c->text = text;
    // A combo's edit text that no longer names the selected item means no
    // selection.
    if (c->selection >= 0 && c->items[static_cast<std::size_t>(c->selection)] != text) c->selection = -1;
    if (host_.on_text) host_.on_text(id_, control, text);
  }
}

std::string HeadlessWindow::Text(int control) const {
  const Control* c = Find(control);
  return c ? c->text : std::string();
}

void HeadlessWindow::SetCheck(int control, int state) {
  if (Control* c = Find(control)) c->check = state;
}
int HeadlessWindow::Check(int control) const {
  const Control* c = Find(control);
  return c ? c->check : 0;
}
void HeadlessWindow::Enable(int control, bool on) {
  if (Control* c = Find(control)) c->enabled = on;
}
bool HeadlessWindow::IsEnabled(int control) const {
  const Control* c = Find(control);
  return c && c->enabled;
}
void HeadlessWindow::Show(int control, bool on) {
  if (Control* c = Find(control)) c->visible = on;
}
bool HeadlessWindow::IsVisible(int control) const {
  const Control* c = Find(control);
  return c && c->visible;
}
void HeadlessWindow::AddItem(int control, const std::string& text) {
  if (Control* c = Find(control)) c->items.push_back(text);
}
void HeadlessWindow::ClearItems(int control) {
  if (Control* c = Find(control)) {
    c->items.clear();
    c->selection = -1;
  }
}
std::vector<std::string> HeadlessWindow::Items(int control) const {
  const Control* c = Find(control);
  return c ? c->items : std::vector<std::string>();
}
int HeadlessWindow::Selection(int control) const {
  const Control* c = Find(control);
  return c ? c->selection : -1;
}
void HeadlessWindow::Select(int control, int index) {
  Control* c = Find(control);
  if (!c) return;
  if (index < 0 || index >= static_cast<int>(c->items.size())) {
    c->selection = -1;
    return;
  }
  c->selection = index;
  SetText(control, c->items[static_cast<std::size_t>(index)]);
}

std::uintptr_t HeadlessWindow::SetTimer(std::uintptr_t id, unsigned period_ms) {
  if (ended_ || host_.fail_timers_) return 0;
  // Setting a running timer again restarts it, as window timers do.
  auto& timers = host_.timers_;
  timers.erase(std::remove_if(timers.begin(), timers.end(),
                              [&](const auto& t) { return t.window == id_ && t.id == id; }),
               timers.end());
  const std::int64_t now = host_.NowMs();
  timers.push_back({id_, id, period_ms, now + std::max<unsigned>(period_ms, 1), host_.timer_order_++});
  return id == 0 ? 1 : id;  // window timers never report 0 on success
}

bool HeadlessWindow::KillTimer(std::uintptr_t id) {
  auto& timers = host_.timers_;
  auto it = std::find_if(timers.begin(), timers.end(), [&](const auto& t) { return t.window == id_ && t.id == id; });
  if (it == timers.end()) return false;
  timers.erase(it);
  return true;
}

void HeadlessWindow::End(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
}

// -------------------------------------------------------------------- host

HeadlessHost::HeadlessHost(ClockKind clock) : clock_(clock), epoch_(std::chrono::steady_clock::now()) {}
HeadlessHost::~HeadlessHost() = default;

std::int64_t HeadlessHost::RealNowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - epoch_).count();
}

std::int64_t HeadlessHost::NowMs() const { return clock_ == ClockKind::kManual ? manual_now_ : RealNowMs(); }

void HeadlessHost::Advance(std::int64_t ms) {
  manual_target_ = std::max(manual_target_, manual_now_) + ms;
}

void HeadlessHost::Then(Step step) { steps_.push_back(std::move(step)); }

HeadlessWindow* HeadlessHost::Active() const { return stack_.empty() ? nullptr : stack_.back(); }

HeadlessWindow* HeadlessHost::Find(WindowId id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second;
}

WindowId HeadlessHost::ActiveWindow() const { return active_.load(); }

int HeadlessHost::RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) {
  const WindowId id = g_next_window.fetch_add(1);
  HeadlessWindow window(*this, id, dialog, tmpl, owner);
  windows_[id] = &window;
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    live_[id] = true;
  }
  stack_.push_back(&window);
  active_ = id;
  dialog.Attach(&window);

  if (dialog.HandleInit()) {
  }
  if (!window.ended()) dialog.HandleShow(true);

  while (!window.ended()) {
    if (DispatchOne()) continue;
    if (!steps_.empty()) {
      Step step = std::move(steps_.front());
      steps_.pop_front();
      step(*this);
      continue;
    }
    if (clock_ == ClockKind::kManual) {
      // Nothing left to do but wait for another thread (a query worker).
      const std::size_t before = [&] {
        std::lock_guard<std::mutex> lock(post_mutex_);
        return posted_.size();
      }();
      WaitForPost(stall_limit_.count());
      std::lock_guard<std::mutex> lock(post_mutex_);
      if (posted_.size() == before) {
        std::fprintf(stderr, "headless host: modal loop stalled (no step, no message)\n");
        stalled_ = true;
        window.End(kIdCancelResult);
      }
    } else {
      std::int64_t wait = 50;
      for (const auto& t : timers_) wait = std::min(wait, std::max<std::int64_t>(0, t.due_ms - RealNowMs()));
      WaitForPost(wait);
    }
  }

  dialog.HandleDestroy();
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    live_.erase(id);
  }
  RemoveTimers(id);
  stack_.pop_back();
  active_ = stack_.empty() ? 0 : stack_.back()->Id();
  windows_.erase(id);
  dialog.Attach(nullptr);
  return window.result();
}

void HeadlessHost::RemoveTimers(WindowId window) {
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == window; }),
                timers_.end());
}

void HeadlessHost::WaitForPost(std::int64_t wait_ms) {
  std::unique_lock<std::mutex> lock(post_mutex_);
  post_cv_.wait_for(lock, std::chrono::milliseconds(wait_ms), [&] { return !posted_.empty(); });
}

bool HeadlessHost::DispatchOne() {
  Posted p{};
  bool have = false;
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    if (!posted_.empty()) {
      p = posted_.front();
      posted_.pop_front();
      have = true;
    }
  }
  if (have) {
    if (HeadlessWindow* w = Find(p.window); w && !w->ended()) Deliver(*w, p.msg, p.wparam, p.lparam);
    return true;
  }

  const std::int64_t horizon = clock_ == ClockKind::kManual ? manual_target_ : RealNowMs();
  auto due = timers_.end();
  for (auto it = timers_.begin(); it != timers_.end(); ++it) {
    if (it->due_ms > horizon) continue;
    if (due == timers_.end() || it->due_ms < due->due_ms || (it->due_ms == due->due_ms && it->order < due->order))
      due = it;
  }
  if (due == timers_.end()) {
    if (clock_ == ClockKind::kManual) manual_now_ = std::max(manual_now_, manual_target_);
    return false;
  }
  if (clock_ == ClockKind::kManual) manual_now_ = std::max(manual_now_, due->due_ms);
  const Timer t = *due;
  // Like WM_TIMER, a late timer is not delivered twice: the next tick is one
  // period after this one.
  due->due_ms = (clock_ == ClockKind::kManual ? t.due_ms : RealNowMs()) + std::max<unsigned>(t.period_ms, 1);
  if (HeadlessWindow* w = Find(t.window); w && !w->ended()) w->dialog().HandleTimer(t.id);
  return true;
}

void HeadlessHost::Deliver(HeadlessWindow& w, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (msg == kWmCommand)
    w.dialog().HandleCommand(static_cast<int>(wparam & 0xFFFF));
  else if (msg == kWmClose)
    w.dialog().HandleCommand(kIdCancel);
  else
    w.dialog().HandleMessage(msg, wparam, lparam);
}

bool HeadlessHost::Post(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    if (!live_.count(window)) return false;
    posted_.push_back({window, msg, wparam, lparam});
  }
  post_cv_.notify_all();
  return true;
}

std::intptr_t HeadlessHost::Send(WindowId window, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  HeadlessWindow* w = Find(window);
  if (!w || w->ended()) return 0;
  if (msg == kWmCommand || msg == kWmClose) {
    Deliver(*w, msg, wparam, lparam);
    return 0;
  }
  return w->dialog().HandleMessage(msg, wparam, lparam);
}

int HeadlessHost::MessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) {
  MessageBoxRecord rec{owner, text, caption, flags};
  int answer = kIdOkResult;
  {
    // Message boxes may come from a worker thread (a log that cannot be opened).
    std::lock_guard<std::mutex> lock(post_mutex_);
    boxes_.push_back(rec);
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  if (on_message_box) on_message_box(rec);
  return answer;
}

// ------------------------------------------------------------ user actions

bool HeadlessHost::Click(int control) {
  HeadlessWindow* w = Active();
  if (!w) return false;
  HeadlessWindow::Control* c = w->Find(control);
  if (!c || !c->enabled || !c->visible) return false;
  const ControlTemplate& t = *c->tmpl;
  if (IsButtonKind(t, style::kBsAutoCheckBox)) {
    c->check = c->check ? 0 : 1;
  } else if (IsButtonKind(t, style::kBsAuto3State)) {
    c->check = (c->check + 1) % 3;
  } else if (IsButtonKind(t, style::kBsAutoRadio)) {
    // Uncheck the other buttons of the same group.
    const auto& all = w->tmpl().controls;
    auto self = std::find_if(all.begin(), all.end(), [&](const auto& x) { return x.id == control; });
    auto first = self;
    while (first != all.begin() && !(first->style & style::kGroup)) --first;
    for (auto it = first; it != all.end(); ++it) {
      if (it != first && (it->style & style::kGroup)) break;
      if (HeadlessWindow::Control* peer = w->Find(it->id); peer && IsButtonKind(*it, style::kBsAutoRadio))
        peer->check = 0;
    }
    c->check = 1;
  }
  w->Focus(control);
  w->dialog().HandleCommand(control);
  return true;
}

bool HeadlessHost::Type(int control, const std::string& text) {
  HeadlessWindow* w = Active();
  if (!w) return false;
  HeadlessWindow::Control* c = w->Find(control);
  if (!c || !c->enabled || !c->visible) return false;
  c->text = text;
  c->selection = -1;
  for (std::size_t i = 0; i < c->items.size(); ++i)
    if (c->items[i] == text) c->selection = static_cast<int>(i);
  return true;
}

void HeadlessHost::PressEsc() {
  if (HeadlessWindow* w = Active()) w->dialog().HandleCommand(kIdCancel);
}

void HeadlessHost::PressEnter() {
  if (HeadlessWindow* w = Active()) w->dialog().HandleCommand(kIdOk);
}

}  // namespace qv::ui
