#include "ui/headless/headless_host.h"

#include "ui/dialog_rules.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

namespace qv::ui {

namespace {
// Window ids are never reused, so a message posted to a closed window can
// never reach a later one.
std::atomic<WindowId> g_next_window{0x1000};

using rules::IsButtonKind;

// The headless screen's font metrics: base units of the templates' 9 point
// face at 96 dpi, and the frame Windows draws around a captioned dialog.
constexpr int kBaseX = 6, kBaseY = 12;
constexpr int kFrame = 3, kCaptionHeight = 22;
// Where Windows puts a minimised window's rectangle.
constexpr int kMinimizedAt = -32000;

bool TakesFocusChanges(const ControlTemplate& t) {
  return t.cls == ControlClass::Edit || t.cls == ControlClass::ComboBox;
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
int HeadlessWindow::AddItem(int control, const std::string& text) {
  Control* c = Find(control);
  if (!c) return -1;
  const bool sorted = (c->tmpl->cls == ControlClass::ComboBox && (c->tmpl->style & style::kCbsSort)) ||
                      (c->tmpl->cls == ControlClass::ListBox && (c->tmpl->style & 0x2 /* LBS_SORT */));
  const int at = sorted ? rules::SortedInsertIndex(c->items, text) : static_cast<int>(c->items.size());
  c->items.insert(c->items.begin() + at, text);
  if (c->selection >= at) ++c->selection;
  return at;
}

void HeadlessWindow::DeleteItem(int control, int index) {
  Control* c = Find(control);
  if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return;
  c->items.erase(c->items.begin() + index);
  if (c->selection == index)
    c->selection = -1;
  else if (c->selection > index)
    --c->selection;
}

void HeadlessWindow::SelectAllText(int control) {
  if (Control* c = Find(control)) c->all_text_selected = true;
}

void HeadlessWindow::SetSpinRange(int spin, int min, int max) {
  if (Control* c = Find(spin)) {
    c->spin_min = min;
    c->spin_max = max;
  }
}

void HeadlessWindow::SetSpinAccel(int spin, const std::vector<SpinAccel>& steps) {
  if (Control* c = Find(spin)) c->spin_accel = steps;
}

void HeadlessWindow::SetButtonIcon(int control, int icon_id) {
  if (Control* c = Find(control)) c->icon = icon_id;
}

void HeadlessWindow::RemoveSystemMenuItem(unsigned command) {
  menu_.erase(std::remove_if(menu_.begin(), menu_.end(), [&](const MenuItem& m) { return m.command == command; }),
              menu_.end());
}

std::intptr_t HeadlessWindow::Property(const std::string& name) const {
  auto it = properties_.find(name);
  return it == properties_.end() ? 0 : it->second;
}

Rect HeadlessWindow::DialogUnitsToPixels(int x, int y, int cx, int cy) const {
  const int left = x * kBaseX / 4, top = y * kBaseY / 8;
  return {left, top, left + cx * kBaseX / 4, top + cy * kBaseY / 8};
}

Rect HeadlessWindow::WindowRect() const {
  if (minimized_) return {kMinimizedAt, kMinimizedAt, kMinimizedAt + 160, kMinimizedAt + 28};
  return normal_;
}

Rect HeadlessWindow::ControlRect(int control) const {
  const Control* c = Find(control);
  if (!c) return {};
  const Rect window = WindowRect();
  const int caption = (tmpl_.style & style::kCaption) == style::kCaption ? kCaptionHeight : 0;
  const Rect r = DialogUnitsToPixels(c->tmpl->x, c->tmpl->y, c->tmpl->cx, c->tmpl->cy);
  const int ox = window.left + kFrame, oy = window.top + kFrame + caption;
  return {ox + r.left, oy + r.top, ox + r.right, oy + r.bottom};
}

void HeadlessWindow::MoveWindow(int left, int top) {
  normal_ = {left, top, left + normal_.Width(), top + normal_.Height()};
}

void HeadlessWindow::ResizeWindow(int width, int height) {
  normal_.right = normal_.left + width;
  normal_.bottom = normal_.top + height;
}

WindowPlacement HeadlessWindow::Placement() const {
  WindowPlacement p;
  p.show_cmd = minimized_ ? kSwShowMinimized : kSwShowNormal;
  p.normal = normal_;
  return p;
}

void HeadlessWindow::SetPlacement(const WindowPlacement& placement) {
  normal_ = placement.normal;
  ShowWindow(placement.show_cmd);
}

void HeadlessWindow::ShowWindow(int show_cmd) {
  switch (show_cmd) {
    case kSwHide: shown_ = false; break;
    case kSwShowMinimized:
    case kSwMinimize:
    case kSwShowMinNoActive:
      minimized_ = true;
      shown_ = true;
      // Minimising gives the activation away; the no-activate form never takes it.
      activated_ = false;
      break;
    case kSwShow: shown_ = true; activated_ = true; break;
    default:  // restore, show normal and the rest bring the normal rectangle back
      minimized_ = false;
      shown_ = true;
      activated_ = true;
      break;
  }
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
  {
    // The template's position counts from the owner's corner, else the work area's.
    const Rect size = window.DialogUnitsToPixels(tmpl.x, tmpl.y, tmpl.cx, tmpl.cy);
    const HeadlessWindow* owner_window = Find(owner);
    const Rect base = owner_window ? owner_window->WindowRect() : work_area_;
    const int caption = (tmpl.style & style::kCaption) == style::kCaption ? kCaptionHeight : 0;
    window.normal_ = {base.left + size.left, base.top + size.top, base.left + size.right + 2 * kFrame,
                      base.top + size.bottom + 2 * kFrame + caption};
  }
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
  if (!window.ended()) {
    window.shown_ = true;
    window.activated_ = true;
    dialog.HandleShow(true);
  }

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

bool HeadlessHost::IsKeyDown(Key key) const { return key == Key::kShift ? shift_down_ : control_down_; }

void HeadlessHost::SetKeyDown(Key key, bool down) { (key == Key::kShift ? shift_down_ : control_down_) = down; }

bool HeadlessHost::PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const {
  const HeadlessWindow* w = Find(window);
  if (!w) {
    error = "Invalid window handle.";
    return false;
  }
  out = w->Placement();
  return true;
}

void HeadlessHost::SimulateTimeChange() {
  // A copy: a handler may open or close windows.
  const std::vector<HeadlessWindow*> windows = stack_;
  for (HeadlessWindow* w : windows)
    if (Find(w->Id()) == w && !w->ended()) w->dialog().HandleTimeChange();
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
  // The click moves the focus first: the field left hears it before the click.
  if (c->tmpl->cls != ControlClass::Static) FocusOn(control);
  if (Find(w->Id()) != w || w->ended()) return true;
  w->dialog().HandleCommand(control);
  return true;
}

bool HeadlessHost::FocusOn(int control) {
  HeadlessWindow* w = Active();
  if (!w) return false;
  HeadlessWindow::Control* c = w->Find(control);
  if (!c || !c->enabled || !c->visible) return false;
  const int before = w->focus_;
  w->focus_ = control;
  if (before != control) {
    if (const HeadlessWindow::Control* left = w->Find(before); left && TakesFocusChanges(*left->tmpl))
      w->dialog().HandleNotify(before, Notify::kKillFocus);
  }
  return true;
}

bool HeadlessHost::Choose(int control, int index) {
  HeadlessWindow* w = Active();
  if (!w) return false;
  HeadlessWindow::Control* c = w->Find(control);
  if (!c || !c->enabled || !c->visible || index < 0 || index >= static_cast<int>(c->items.size())) return false;
  FocusOn(control);
  w->Select(control, index);
  w->dialog().HandleNotify(control, Notify::kSelChange);
  return true;
}

bool HeadlessHost::Spin(int spin, int steps) {
  HeadlessWindow* w = Active();
  if (!w) return false;
  HeadlessWindow::Control* c = w->Find(spin);
  if (!c || !c->enabled || !c->visible || c->tmpl->cls != ControlClass::UpDown) return false;
  const int buddy = rules::SpinBuddy(w->tmpl(), spin);
  const int step = c->spin_accel.empty() ? 1 : c->spin_accel.front().step;
  const bool wrap = (c->tmpl->style & style::kUdsWrap) != 0;
  for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) {
    // The up-down reads its buddy afresh each time: a typed value counts.
    int value = 0;
    const std::string text = w->Text(buddy);
    try {
      value = text.empty() ? 0 : std::stoi(text);
    } catch (...) {
      value = std::min(c->spin_min, c->spin_max);
    }
    value = rules::SpinStep(value, steps < 0 ? -step : step, c->spin_min, c->spin_max, wrap);
    if (c->tmpl->style & style::kUdsSetBuddyInt) w->SetText(buddy, std::to_string(value));
  }
  return true;
}

bool HeadlessHost::SystemCommand(unsigned command) {
  HeadlessWindow* w = Active();
  if (!w) return false;
  // The commands every captioned window's menu has, and those a dialog added.
  const bool standard = command == kScClose || command == kScMinimize || command == kScRestore;
  const auto& menu = w->system_menu();
  const bool added =
      std::any_of(menu.begin(), menu.end(), [&](const HeadlessWindow::MenuItem& m) { return m.command == command; });
  if (!standard && !added) return false;
  if (w->dialog().HandleSysCommand(command)) return true;
  if (command == kScClose)
    w->dialog().HandleCommand(kIdCancel);
  else if (command == kScMinimize)
    w->ShowWindow(kSwMinimize);
  else if (command == kScRestore)
    w->ShowWindow(kSwRestore);
  return true;
}

bool HeadlessHost::Type(int control, const std::string& text) {
  HeadlessWindow* w = Active();
  if (!w) return false;
  HeadlessWindow::Control* c = w->Find(control);
  if (!c || !c->enabled || !c->visible) return false;
  FocusOn(control);
  c->text = text;
  c->selection = -1;
  for (std::size_t i = 0; i < c->items.size(); ++i)
    if (c->items[i] == text) c->selection = static_cast<int>(i);
  w->dialog().HandleNotify(control, Notify::kEditChange);
  return true;
}

void HeadlessHost::PressEsc() {
  if (HeadlessWindow* w = Active()) w->dialog().HandleCommand(kIdCancel);
}

void HeadlessHost::PressEnter() {
  if (HeadlessWindow* w = Active()) w->dialog().HandleCommand(kIdOk);
}

}  // namespace qv::ui
