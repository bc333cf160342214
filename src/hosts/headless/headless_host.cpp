#include "hosts/headless/headless_host.h"

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "base/text.h"

namespace qv::ui {

namespace {
// Window ids are never reused, so a message posted to a closed window can
// never reach a later one.
std::atomic<WindowId> g_next_window{0x1000};

using rules::IsButtonKind;

// A minimised window's rectangle, and where it is parked by default (the
// work area's bottom-left corner), as measured on the win32 host.
constexpr int kMinimizedWidth = 160, kMinimizedHeight = 24;
// The control that holds a message box's text, as on Windows.
constexpr int kBoxText = 0xFFFF;

// A message box as a dialog: its buttons end it with their ids; Esc is
// Cancel, on a box without a Cancel button too (as measured on Windows).
class BoxDialog final : public Dialog {
 public:
  using Dialog::Dialog;

 protected:
  void OnCommand(int id) override {
    if (id == kIdOk || id == kIdCancel) EndDialog(id);
  }
};

DialogTemplate BoxTemplate(const std::string& caption, const std::string& text, int flags) {
  using namespace style;
  DialogTemplate t{0, 0, 0, 180, 62, kPopup | kCaption | kSysMenu | kDsModalFrame | kVisible, caption, "MS Shell Dlg",
                   8, {}};
  t.controls.push_back({kBoxText, ControlClass::Static, text, 8, 8, 164, 24, kVisible | kSsNoPrefix});
  t.controls.push_back({kIdOk, ControlClass::Button, "", 40, 40, 45, 14, kVisible | kTabStop | kBsDefPushButton});
  if ((flags & 0xF) == kMbOkCancel)
    t.controls.push_back({kIdCancel, ControlClass::Button, "", 95, 40, 45, 14, kVisible | kTabStop | kBsPushButton});
  return t;
}
}  // namespace

// ------------------------------------------------------------------ window

HeadlessWindow::HeadlessWindow(HeadlessHost& host, WindowId id, Dialog& dialog, const DialogTemplate& tmpl,
                               WindowId owner)
    : host_(host),
      id_(id),
      owner_(owner),
      dialog_(dialog),
      tmpl_(tmpl),
      base_(HeadlessHost::BaseUnitsOf(tmpl.font_face, tmpl.font_points)),
      caption_(tmpl.caption) {
  for (const auto& c : tmpl.controls) {
    if (c.id == kIdStatic) continue;
    Control ctl;
    ctl.tmpl = &c;
    ctl.text = c.text;
    ctl.enabled = !(c.style & style::kDisabled);
    ctl.visible = (c.style & style::kVisible) != 0;
    controls_.emplace(c.id, std::move(ctl));
  }
  if (tmpl.style & style::kSysMenu)
    for (unsigned command : rules::DefaultSystemMenu()) menu_.push_back({command, {}});
}

HeadlessWindow::Control* HeadlessWindow::Find(int control) {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}
const HeadlessWindow::Control* HeadlessWindow::Find(int control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

bool HeadlessWindow::Reachable(int control) const {
  const Control* c = Find(control);
  return c && c->enabled && c->visible;
}

void HeadlessWindow::SetCaption(const std::string& text) { caption_ = text; }

namespace {
// A list box or a drop-down list: its text is the selected item.
bool TextIsSelection(const ControlTemplate& t) {
  return t.cls == ControlClass::ListBox || (t.cls == ControlClass::ComboBox && !rules::HasEditField(t));
}
}  // namespace

void HeadlessWindow::SetText(int control, const std::string& text) {
  Control* c = Find(control);
  if (!c) return;
  const ControlTemplate& t = *c->tmpl;
  if (t.cls == ControlClass::ListBox) {
    // The item with exactly that text, ignoring case, becomes the selection.
    c->selection = -1;
    for (std::size_t i = 0; i < c->items.size(); ++i)
      if (EqualsIgnoringCase(c->items[i], text)) {
        c->selection = static_cast<int>(i);
        break;
      }
    return;
  }
  // A drop-down list has no text of its own to set: it keeps its selection.
  if (TextIsSelection(t)) return;
  // A combo's edit field shows the text; its list keeps its selection.
  c->text = text;
  if (host_.on_text) host_.on_text(id_, control, text);
}

std::string HeadlessWindow::Text(int control) const {
  const Control* c = Find(control);
  if (!c) return {};
  if (TextIsSelection(*c->tmpl))
    return c->selection >= 0 ? c->items[static_cast<std::size_t>(c->selection)] : std::string();
  return c->text;
}

void HeadlessWindow::SetCheck(int control, int state) {
  if (Control* c = Find(control)) c->check = rules::NormalizeCheck(*c->tmpl, state);
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
// The program's own move of the focus: no control reports losing it.
void HeadlessWindow::Focus(int control) {
  if (Find(control)) focus_ = control;
}

int HeadlessWindow::AddItem(int control, const std::string& text) {
  Control* c = Find(control);
  if (!c || (c->tmpl->cls != ControlClass::ComboBox && c->tmpl->cls != ControlClass::ListBox)) return -1;
  const int at =
      rules::IsSortedList(*c->tmpl) ? rules::SortedInsertIndex(c->items, text) : static_cast<int>(c->items.size());
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

void HeadlessWindow::ClearItems(int control) {
  Control* c = Find(control);
  if (!c) return;
  c->items.clear();
  c->selection = -1;
  // Emptying a combo box empties its edit field too.
  if (c->tmpl->cls == ControlClass::ComboBox) c->text.clear();
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
  const bool valid = index >= 0 && index < static_cast<int>(c->items.size());
  c->selection = valid ? index : -1;
  // A combo's edit field shows the selected item, or nothing.
  if (rules::HasEditField(*c->tmpl)) {
    c->text = valid ? c->items[static_cast<std::size_t>(index)] : std::string();
    if (host_.on_text) host_.on_text(id_, control, c->text);
  }
}

void HeadlessWindow::SelectAllText(int control) {
  if (Control* c = Find(control)) c->all_text_selected = true;
}

void HeadlessWindow::SetSpinRange(int spin, int min, int max) {
  if (Control* c = Find(spin)) {
    c->spin_min = min;
    c->spin_max = max;
    c->spin_pos = rules::ClampSpin(c->spin_pos, min, max);
  }
}

void HeadlessWindow::SetSpinAccel(int spin, const std::vector<SpinAccel>& steps) {
  if (Control* c = Find(spin); c && !steps.empty()) c->spin_accel = steps;
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
  return rules::DialogUnitsToPixels(x, y, cx, cy, base_);
}

int HeadlessWindow::CaptionHeight() const {
  return (tmpl_.style & style::kCaption) == style::kCaption ? HeadlessHost::kCaptionHeight : 0;
}

Rect HeadlessWindow::WindowRect() const {
  if (minimized_)
    return {min_position_.x, min_position_.y, min_position_.x + kMinimizedWidth, min_position_.y + kMinimizedHeight};
  return normal_;
}

Rect HeadlessWindow::ControlRect(int control) const {
  const Control* c = Find(control);
  if (!c) return {};
  const Rect r = DialogUnitsToPixels(c->tmpl->x, c->tmpl->y, c->tmpl->cx, c->tmpl->cy);
  const int ox = normal_.left + HeadlessHost::kFrame, oy = normal_.top + HeadlessHost::kFrame + CaptionHeight();
  return {ox + r.left, oy + r.top, ox + r.right, oy + r.bottom};
}

// A minimised window moves its icon and keeps its size.
void HeadlessWindow::MoveWindow(int left, int top) {
  if (minimized_)
    min_position_ = {left, top};
  else
    normal_ = {left, top, left + normal_.Width(), top + normal_.Height()};
}

void HeadlessWindow::ResizeWindow(int width, int height) {
  if (minimized_) return;
  normal_.right = normal_.left + width;
  normal_.bottom = normal_.top + height;
}

WindowPlacement HeadlessWindow::Placement() const {
  WindowPlacement p;
  p.show_cmd = minimized_ ? kSwShowMinimized : kSwShowNormal;
  p.min_position = min_position_;
  p.normal = normal_;
  return p;
}

void HeadlessWindow::SetPlacement(const WindowPlacement& placement) {
  normal_ = placement.normal;
  if (placement.set_min_position && placement.min_position != Point{-1, -1}) min_position_ = placement.min_position;
  ShowWindow(placement.show_cmd);
}

void HeadlessWindow::ShowWindow(int show_cmd) {
  const bool was_shown = shown_;
  switch (show_cmd) {
    case kSwHide:
      shown_ = false;
      activated_ = false;
      if (was_shown) dialog_.HandleShow(false);
      return;
    case kSwShowMinimized:
    case kSwMinimize:
    case kSwShowMinNoActive:
      if (!minimized_ && min_position_ == Point{-1, -1})
        min_position_ = {host_.work_area_.left, host_.work_area_.bottom - kMinimizedHeight};
      minimized_ = true;
      // Minimising hands the activation on; the no-activate form leaves it.
      if (show_cmd != kSwShowMinNoActive) activated_ = show_cmd == kSwShowMinimized;
      break;
    case kSwShow:
      activated_ = true;
      break;
    default:  // restore, show normal and the rest bring the normal rectangle back
      minimized_ = false;
      activated_ = true;
      break;
  }
  shown_ = true;
  if (!was_shown) dialog_.HandleShow(true);
}

std::uintptr_t HeadlessWindow::SetTimer(std::uintptr_t id, unsigned period_ms) {
  if (ended_ || host_.fail_timers_) return 0;
  // Setting a running timer again restarts it, as window timers do.
  auto& timers = host_.timers_;
  timers.erase(
      std::remove_if(timers.begin(), timers.end(), [&](const auto& t) { return t.window == id_ && t.id == id; }),
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

rules::BaseUnits HeadlessHost::BaseUnitsOf(const std::string& face, int points) {
  struct Entry {
    const char* face;
    int points;
    rules::BaseUnits units;
  };
  // Measured under Wine, where these faces map to the IPA Gothic fonts.
  static const Entry kTable[] = {
      {"ＭＳ Ｐゴシック", 9, {7, 13}}, {"ＭＳ Ｐゴシック", 10, {8, 14}}, {"ＭＳ ゴシック", 9, {6, 13}},
      {"MS UI Gothic", 9, {7, 13}},    {"MS Shell Dlg", 8, {7, 12}},
  };
  for (const Entry& e : kTable)
    if (face == e.face && points == e.points) return e.units;
  // A face the system lacks falls back to a proportional Gothic face.
  for (const Entry& e : kTable)
    if (std::string(e.face) == "ＭＳ Ｐゴシック" && points == e.points) return e.units;
  const int p = points > 0 ? points : 9;
  return {std::max(1, (7 * p + 4) / 9), std::max(1, (13 * p + 4) / 9)};
}

std::int64_t HeadlessHost::RealNowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - epoch_).count();
}

std::int64_t HeadlessHost::NowMs() const { return clock_ == ClockKind::kManual ? manual_now_ : RealNowMs(); }

void HeadlessHost::Advance(std::int64_t ms) { manual_target_ = std::max(manual_target_, manual_now_) + ms; }

void HeadlessHost::Then(Step step) { steps_.push_back(std::move(step)); }

HeadlessWindow* HeadlessHost::Active() const { return stack_.empty() ? nullptr : stack_.back(); }

HeadlessWindow* HeadlessHost::Find(WindowId id) const {
  auto it = windows_.find(id);
  return it == windows_.end() ? nullptr : it->second;
}

HeadlessWindow* HeadlessHost::FindByCaption(const std::string& caption) const {
  for (auto it = stack_.rbegin(); it != stack_.rend(); ++it)
    if ((*it)->Caption() == caption && !(*it)->ended()) return *it;
  return nullptr;
}

WindowId HeadlessHost::ActiveWindow() const { return active_.load(); }

std::vector<HeadlessHost::MessageBoxRecord> HeadlessHost::message_boxes() const {
  std::lock_guard<std::mutex> lock(post_mutex_);
  return boxes_;
}

void HeadlessHost::QueueAnswer(int button) {
  std::lock_guard<std::mutex> lock(post_mutex_);
  answers_.push_back(button);
}

void HeadlessHost::ShowFirst(HeadlessWindow& w) {
  if (w.shown_ || w.ended()) return;
  w.shown_ = true;
  w.activated_ = true;
  w.dialog().HandleShow(true);
}

namespace {
// Undoes what a modal run set up, however it ends (a step that throws
// included), so no window is left behind.
template <typename Fn>
class Finally {
 public:
  explicit Finally(Fn fn) : fn_(std::move(fn)) {}
  ~Finally() { fn_(); }
  Finally(const Finally&) = delete;
  Finally& operator=(const Finally&) = delete;

 private:
  Fn fn_;
};
}  // namespace

int HeadlessHost::RunModal(Dialog& dialog, const DialogTemplate& tmpl, WindowId owner) {
  const WindowId id = g_next_window.fetch_add(1);
  HeadlessWindow window(*this, id, dialog, tmpl, owner);
  window.message_box_ = dynamic_cast<BoxDialog*>(&dialog) != nullptr;
  HeadlessWindow* owner_window = Find(owner);
  {
    const Rect client = window.DialogUnitsToPixels(0, 0, tmpl.cx, tmpl.cy);
    const Rect offset = window.DialogUnitsToPixels(tmpl.x, tmpl.y, 0, 0);
    const Point origin = owner_window ? Point{owner_window->normal_.left + kFrame,
                                              owner_window->normal_.top + kFrame + owner_window->CaptionHeight()}
                                      : Point{0, 0};
    window.normal_ = rules::PlaceNewDialog(
        {client.Width() + 2 * kFrame, client.Height() + 2 * kFrame + window.CaptionHeight()},
        {kFrame, kFrame + window.CaptionHeight()}, {origin.x + offset.left, origin.y + offset.top}, work_area_, kFrame);
  }
  windows_[id] = &window;
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    live_[id] = true;
    if (loops_++ == 0) ui_thread_ = std::this_thread::get_id();
  }
  stack_.push_back(&window);
  if (!window.message_box_) active_ = id;
  // The owner takes no input while the run is up.
  const bool disabled_owner = owner_window && owner_window->enabled_;
  if (disabled_owner) owner_window->enabled_ = false;
  dialog.Attach(&window);

  Finally cleanup([&] {
    dialog.HandleDestroy();
    {
      std::lock_guard<std::mutex> lock(post_mutex_);
      live_.erase(id);
    }
    RemoveTimers(id);
    stack_.erase(std::remove(stack_.begin(), stack_.end(), &window), stack_.end());
    WindowId active = 0;
    for (HeadlessWindow* w : stack_)
      if (!w->message_box_) active = w->Id();
    active_ = active;
    if (disabled_owner && Find(owner) == owner_window) owner_window->enabled_ = true;
    windows_.erase(id);
    dialog.Attach(nullptr);
    bool outermost = false;
    {
      std::lock_guard<std::mutex> lock(post_mutex_);
      outermost = --loops_ == 0;
    }
    // The thread is idle now that no loop runs: a remote user who ended
    // the last dialog goes on.
    if (outermost) MarkIdle();
  });

  if (dialog.HandleInit()) window.focus_ = rules::InitialFocus(tmpl, [&](int c) { return window.Reachable(c); });
  bool pending_show = !window.ended();
  if (pending_show && rules::ShownAtCreation(tmpl)) {
    ShowFirst(window);
    pending_show = false;
  }

  while (!window.ended()) {
    const Dispatched got = DispatchOne();
    if (got != Dispatched::kNothing) {
      if (got == Dispatched::kTimer && pending_show) {
        ShowFirst(window);
        pending_show = false;
      }
      continue;
    }
    if (pending_show) {
      ShowFirst(window);
      pending_show = false;
      continue;
    }
    // A box nobody waits to click answers before the script goes on.
    if (window.message_box_ && AnswerBoxByItself(window)) continue;
    if (!steps_.empty()) {
      Step step = std::move(steps_.front());
      steps_.pop_front();
      step(*this);
      continue;
    }
    if (Step remote; TakeRemote(remote)) {
      remote(*this);
      continue;
    }
    MarkIdle();
    if (clock_ == ClockKind::kManual) {
      // Nothing left to do but wait for another thread (a query worker or
      // the remote user).
      bool finished = false;
      {
        std::lock_guard<std::mutex> lock(post_mutex_);
        finished = user_finished_;
      }
      // Once the remote user is done, only a worker can still end the run:
      // a second's wait is plenty for that.
      const std::int64_t limit = finished ? std::min<std::int64_t>(stall_limit_.count(), 1000) : stall_limit_.count();
      if (!WaitForInput(limit)) {
        std::fprintf(stderr, "headless host: modal loop stalled (no step, no message)\n");
        stalled_ = true;
        window.End(kIdCancelResult);
      }
    } else {
      std::int64_t wait = 50;
      for (const auto& t : timers_) wait = std::min(wait, std::max<std::int64_t>(0, t.due_ms - RealNowMs()));
      WaitForInput(wait);
    }
  }

  return window.result();
}

void HeadlessHost::RemoveTimers(WindowId window) {
  timers_.erase(std::remove_if(timers_.begin(), timers_.end(), [&](const Timer& t) { return t.window == window; }),
                timers_.end());
}

bool HeadlessHost::WaitForInput(std::int64_t wait_ms) {
  std::unique_lock<std::mutex> lock(post_mutex_);
  return post_cv_.wait_for(lock, std::chrono::milliseconds(wait_ms),
                           [&] { return !posted_.empty() || !remote_.empty(); });
}

HeadlessHost::Dispatched HeadlessHost::DispatchOne() {
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
    return Dispatched::kPosted;
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
    return Dispatched::kNothing;
  }
  if (clock_ == ClockKind::kManual) manual_now_ = std::max(manual_now_, due->due_ms);
  const Timer t = *due;
  // Like WM_TIMER, a late timer is not delivered twice: the next tick is one
  // period after this one.
  due->due_ms = (clock_ == ClockKind::kManual ? t.due_ms : RealNowMs()) + std::max<unsigned>(t.period_ms, 1);
  if (HeadlessWindow* w = Find(t.window); w && !w->ended()) w->dialog().HandleTimer(t.id);
  return Dispatched::kTimer;
}

void HeadlessHost::Deliver(HeadlessWindow& w, unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  if (msg == kWmCommand) {
    w.dialog().HandleCommand(static_cast<int>(wparam & 0xFFFF));
  } else if (msg == kWmClose) {
    w.dialog().HandleCommand(kIdCancel);
  } else if (msg == kWmSysCommand) {
    const unsigned command = static_cast<unsigned>(wparam);
    if (w.dialog().HandleSysCommand(command) || w.ended()) return;
    // The window system's own handling, by the command without its low bits.
    switch (command & 0xFFF0) {
      case kScClose:
        w.dialog().HandleCommand(kIdCancel);
        break;
      case kScMinimize:
        w.ShowWindow(kSwMinimize);
        break;
      case kScRestore:
        w.ShowWindow(kSwRestore);
        break;
      default:
        break;
    }
  } else {
    w.dialog().HandleMessage(msg, wparam, lparam);
  }
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
  if (msg == kWmCommand || msg == kWmClose || msg == kWmSysCommand) {
    Deliver(*w, msg, wparam, lparam);
    return 0;
  }
  return w->dialog().HandleMessage(msg, wparam, lparam);
}

int HeadlessHost::ShowMessageBox(WindowId owner, const std::string& text, const std::string& caption, int flags) {
  const MessageBoxRecord rec{owner, text, caption, flags};
  bool elsewhere = false;
  int answer = kIdOkResult;
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    boxes_.push_back(rec);
    // A box from another thread than the dialogs' (a worker's) cannot run a
    // loop of its own beside theirs: it is answered at once.
    elsewhere = loops_ > 0 && ui_thread_ != std::this_thread::get_id();
    if (elsewhere && !answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  if (on_message_box) on_message_box(rec);
  if (elsewhere) return answer;
  const DialogTemplate tmpl = BoxTemplate(caption, text, flags);
  BoxDialog box(tmpl);
  return RunModal(box, tmpl, Find(owner) ? owner : 0);
}

bool HeadlessHost::AnswerBoxByItself(HeadlessWindow& box) {
  int answer = kIdOkResult;
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    if (boxes_wait_) return false;
    if (!answers_.empty()) {
      answer = answers_.front();
      answers_.pop_front();
    }
  }
  box.End(answer);
  return true;
}

bool HeadlessHost::TakeRemote(Step& step) {
  std::lock_guard<std::mutex> lock(post_mutex_);
  if (remote_.empty()) return false;
  remote_taken_ = remote_.front().first;
  step = std::move(remote_.front().second);
  remote_.pop_front();
  return true;
}

void HeadlessHost::MarkIdle() {
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    remote_idle_ = remote_taken_;
  }
  post_cv_.notify_all();
}

bool HeadlessHost::RunOnUiThread(const Step& action, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(post_mutex_);
  const std::uint64_t seq = remote_next_++;
  remote_.emplace_back(seq, action);
  post_cv_.notify_all();
  if (post_cv_.wait_for(lock, timeout, [&] { return remote_idle_ >= seq; })) return true;
  // Never taken: withdraw it, so it cannot run after the caller gave up.
  remote_.erase(std::remove_if(remote_.begin(), remote_.end(), [&](const auto& r) { return r.first == seq; }),
                remote_.end());
  return false;
}

void HeadlessHost::SetBoxesWaitForUser(bool wait) {
  std::lock_guard<std::mutex> lock(post_mutex_);
  boxes_wait_ = wait;
  user_finished_ = false;
}

void HeadlessHost::UserFinished() {
  {
    std::lock_guard<std::mutex> lock(post_mutex_);
    boxes_wait_ = false;
    user_finished_ = true;
  }
  post_cv_.notify_all();
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
    if (Find(w->Id()) == w && !w->ended() && !w->message_box_) w->dialog().HandleTimeChange();
}

// ------------------------------------------------------------ user actions

HeadlessWindow* HeadlessHost::Target(WindowId window) const {
  HeadlessWindow* w = Find(window);
  return w && !w->ended() && w->enabled_ ? w : nullptr;
}

bool HeadlessHost::UserCanReach(HeadlessWindow* w, int control) const { return w && w->Reachable(control); }

bool HeadlessHost::Click(int control) { return Active() && Click(Active()->Id(), control); }

bool HeadlessHost::Click(WindowId window, int control) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control)) return false;
  HeadlessWindow::Control* c = w->Find(control);
  const ControlTemplate& t = *c->tmpl;
  // The press moves the focus first: the field left hears it before the click.
  if (rules::TakesFocus(t)) FocusOn(window, control);
  if (Find(window) != w || w->ended() || t.cls != ControlClass::Button) return true;
  if (IsButtonKind(t, style::kBsAutoRadio))
    for (int peer : rules::RadioPeersToClear(w->tmpl(), control, [&](int id) { return w->Reachable(id); }))
      w->Find(peer)->check = 0;
  c->check = rules::CheckAfterClick(t, c->check);
  w->dialog().HandleCommand(control);
  return true;
}

bool HeadlessHost::FocusOn(int control) { return Active() && FocusOn(Active()->Id(), control); }

bool HeadlessHost::FocusOn(WindowId window, int control) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control) || !rules::TakesFocus(*w->Find(control)->tmpl)) return false;
  const int before = w->focus_;
  w->focus_ = control;
  if (before != control) {
    if (const HeadlessWindow::Control* left = w->Find(before); left && rules::ReportsFocusLoss(*left->tmpl))
      w->dialog().HandleNotify(before, Notify::kKillFocus);
  }
  return true;
}

bool HeadlessHost::Choose(int control, int index) { return Active() && Choose(Active()->Id(), control, index); }

bool HeadlessHost::Choose(WindowId window, int control, int index) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control)) return false;
  HeadlessWindow::Control* c = w->Find(control);
  if (index < 0 || index >= static_cast<int>(c->items.size())) return false;
  FocusOn(window, control);
  if (Find(window) != w || w->ended()) return true;
  w->Select(control, index);
  if (rules::ReportsSelectionChange(*c->tmpl)) w->dialog().HandleNotify(control, Notify::kSelChange);
  return true;
}

bool HeadlessHost::Spin(int spin, int steps) { return Active() && Spin(Active()->Id(), spin, steps); }

bool HeadlessHost::Spin(WindowId window, int spin, int steps, unsigned held_ms) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, spin)) return false;
  HeadlessWindow::Control* c = w->Find(spin);
  if (c->tmpl->cls != ControlClass::UpDown) return false;
  const int buddy = rules::SpinBuddy(w->tmpl(), spin);
  // The user presses the arrow keys in the field the up-down belongs to.
  FocusOn(window, buddy);
  const int step = rules::SpinIncrement(c->spin_accel, held_ms);
  const bool wrap = (c->tmpl->style & style::kUdsWrap) != 0;
  const bool no_thousands = (c->tmpl->style & style::kUdsNoThousands) != 0;
  for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) {
    if (Find(window) != w || w->ended()) break;
    // The up-down reads its buddy afresh each time: a typed value counts.
    const int from = rules::SpinStart(w->Text(buddy), no_thousands, c->spin_pos, c->spin_min, c->spin_max);
    c->spin_pos = rules::SpinStep(from, steps < 0 ? -step : step, c->spin_min, c->spin_max, wrap);
    if (c->tmpl->style & style::kUdsSetBuddyInt) {
      w->SetText(buddy, rules::FormatSpinValue(c->spin_pos, no_thousands));
      // The field's text changed, and not by the program.
      if (const HeadlessWindow::Control* b = w->Find(buddy); b && b->tmpl->cls == ControlClass::Edit)
        w->dialog().HandleNotify(buddy, Notify::kEditChange);
    }
  }
  return true;
}

bool HeadlessHost::SystemCommand(unsigned command) { return Active() && SystemCommand(Active()->Id(), command); }

bool HeadlessHost::SystemCommand(WindowId window, unsigned command) {
  HeadlessWindow* w = Target(window);
  if (!w) return false;
  const auto& menu = w->system_menu();
  if (command == 0 || std::none_of(menu.begin(), menu.end(), [&](const auto& m) { return m.command == command; }))
    return false;
  Deliver(*w, kWmSysCommand, command, 0);
  return true;
}

bool HeadlessHost::Type(int control, const std::string& text) {
  return Active() && Type(Active()->Id(), control, text);
}

bool HeadlessHost::Type(WindowId window, int control, const std::string& text) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control)) return false;
  HeadlessWindow::Control* c = w->Find(control);
  if (c->tmpl->cls != ControlClass::Edit && !rules::HasEditField(*c->tmpl)) return false;
  FocusOn(window, control);
  if (Find(window) != w || w->ended()) return true;
  c->text = text;
  if (on_text) on_text(window, control, text);
  w->dialog().HandleNotify(control, Notify::kEditChange);
  return true;
}

void HeadlessHost::PressEsc() {
  if (Active()) PressEsc(Active()->Id());
}

void HeadlessHost::PressEnter() {
  if (Active()) PressEnter(Active()->Id());
}

bool HeadlessHost::PressEsc(WindowId window) {
  HeadlessWindow* w = Target(window);
  if (!w) return false;
  w->dialog().HandleCommand(kIdCancel);
  return true;
}

bool HeadlessHost::PressEnter(WindowId window) {
  HeadlessWindow* w = Target(window);
  if (!w) return false;
  w->dialog().HandleCommand(rules::EnterCommand(w->tmpl(), w->focus()));
  return true;
}

namespace {
// The letter a control's text marks with "&" ("&&" is an ampersand), lower case; 0 when none.
char MarkedLetter(const ControlTemplate& c) {
  if (c.cls == ControlClass::Static && (c.style & style::kSsNoPrefix)) return 0;
  if (c.cls != ControlClass::Static && c.cls != ControlClass::Button) return 0;
  const std::string& t = c.text;
  for (std::size_t i = 0; i + 1 < t.size(); ++i) {
    if (t[i] != '&') continue;
    if (t[i + 1] == '&') {
      ++i;
      continue;
    }
    const unsigned char ch = static_cast<unsigned char>(t[i + 1]);
    return ch < 0x80 ? AsciiLower(static_cast<char>(ch)) : 0;
  }
  return 0;
}
}  // namespace

bool HeadlessHost::PressMnemonic(WindowId window, char letter) {
  HeadlessWindow* w = Target(window);
  if (!w) return false;
  const std::vector<ControlTemplate>& all = w->tmpl().controls;
  const int n = static_cast<int>(all.size());
  int from = -1;
  for (int i = 0; i < n; ++i)
    if (all[i].id == w->focus()) from = i;
  const auto reachable = [&](const ControlTemplate& c) { return c.id == kIdStatic || w->Reachable(c.id); };
  letter = AsciiLower(letter);
  for (int k = 1; k <= n; ++k) {
    const ControlTemplate& c = all[(from + k + n) % n];
    if (MarkedLetter(c) != letter || !reachable(c)) continue;
    if (rules::TakesFocus(c)) return Click(window, c.id);
    // A label: the focus goes to the first control after it that takes it.
    for (int j = 1; j < n; ++j) {
      const ControlTemplate& next = all[((from + k + n) % n + j) % n];
      if (rules::TakesFocus(next) && w->Reachable(next.id)) return FocusOn(window, next.id);
    }
    return true;
  }
  return false;
}

bool HeadlessHost::Close(WindowId window) {
  HeadlessWindow* w = Find(window);
  if (!w || w->ended()) return false;
  Deliver(*w, kWmClose, 0, 0);
  return true;
}

}  // namespace qv::ui
