#include "hosts/headless/headless_host.h"

#include <algorithm>
#include <atomic>

#include "base/text.h"

namespace qv::ui {

namespace {
// Window ids are never reused, so a message posted to a closed window can
// never reach a later one.
std::atomic<WindowId> g_next_window{0x1000};

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
    : HostWindow(tmpl.caption),
      host_(host),
      owner_(owner),
      dialog_(dialog),
      tmpl_(tmpl),
      base_(HeadlessHost::BaseUnitsOf(tmpl.font_face, tmpl.font_points)),
      menu_(tmpl) {
  SetId(id);
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

bool HeadlessWindow::Reachable(int control) const {
  const Control* c = Find(control);
  return c && c->enabled && c->visible;
}

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
  if (host_.on_text) host_.on_text(Id(), control, text);
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
    if (host_.on_text) host_.on_text(Id(), control, c->text);
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

Rect HeadlessWindow::DialogUnitsToPixels(int x, int y, int cx, int cy) const {
  return rules::DialogUnitsToPixels(x, y, cx, cy, base_);
}

int HeadlessWindow::CaptionHeight() const {
  return (tmpl_.style & style::kCaption) == style::kCaption ? HeadlessHost::kCaptionHeight : 0;
}

Rect HeadlessWindow::WindowRect() const {
  if (show_.minimized)
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
  if (show_.minimized)
    min_position_ = {left, top};
  else
    normal_ = {left, top, left + normal_.Width(), top + normal_.Height()};
}

void HeadlessWindow::ResizeWindow(int width, int height) {
  if (show_.minimized) return;
  normal_.right = normal_.left + width;
  normal_.bottom = normal_.top + height;
}

WindowPlacement HeadlessWindow::Placement() const {
  WindowPlacement p;
  p.show_cmd = show_.minimized ? kSwShowMinimized : kSwShowNormal;
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
  // Parked at the work area's corner unless the program placed it.
  if (core::IsMinimizeCommand(show_cmd) && !show_.minimized && min_position_ == Point{-1, -1})
    min_position_ = {host_.work_area_.left, host_.work_area_.bottom - kMinimizedHeight};
  if (const int told = show_.Apply(show_cmd, true)) dialog_.HandleShow(told > 0);
}

std::uintptr_t HeadlessWindow::SetTimer(std::uintptr_t id, unsigned period_ms) {
  if (ended_ || host_.TimersFail()) return 0;
  return host_.timers_.Set(Id(), id, period_ms, host_.NowMs());
}

bool HeadlessWindow::KillTimer(std::uintptr_t id) { return host_.timers_.Kill(Id(), id); }

void HeadlessWindow::End(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
}

// -------------------------------------------------------------------- host

HeadlessHost::HeadlessHost() : epoch_(std::chrono::steady_clock::now()) {}
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

std::int64_t HeadlessHost::NowMs() const { return RealNowMs(); }

void HeadlessHost::ShowFirst(HeadlessWindow& w) {
  if (!w.ended() && w.show_.ShowFirst()) w.dialog().HandleShow(true);
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
  queue_.Open(id);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (loops_++ == 0) ui_thread_ = std::this_thread::get_id();
  }
  windows_.Push(window, !window.message_box_);
  // The owner takes no input while the run is up.
  const bool disabled_owner = owner_window && owner_window->enabled_;
  if (disabled_owner) owner_window->enabled_ = false;
  dialog.Attach(&window);

  Finally cleanup([&] {
    dialog.HandleDestroy();
    queue_.Close(id);
    timers_.KillAll(id);
    windows_.Pop(window);
    if (disabled_owner && Find(owner) == owner_window) owner_window->enabled_ = true;
    dialog.Attach(nullptr);
    bool outermost = false;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      outermost = --loops_ == 0;
    }
    if (outermost) LoopsEnded();
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
    // A box nobody waits to click answers before anything else goes on.
    if (window.message_box_ && AnswerBoxByItself(window)) continue;
    if (OnIdle(window)) continue;
    WaitWhenIdle(window);
  }

  return window.result();
}

void HeadlessHost::WaitWhenIdle(HeadlessWindow& /*window*/) {
  std::int64_t wait = 50;
  if (const auto due = timers_.NextDue()) wait = std::min(wait, std::max<std::int64_t>(0, *due - RealNowMs()));
  WaitForInput(wait);
}

bool HeadlessHost::WaitForInput(std::int64_t wait_ms) {
  return queue_.Wait(wait_ms, [&] { return OtherInputPending(); });
}

std::optional<core::TimerTable::Timer> HeadlessHost::TakeDueTimer() {
  // Like WM_TIMER, a late timer is not delivered twice.
  const std::int64_t now = RealNowMs();
  return timers_.TakeDue(now, now, false);
}

HeadlessHost::Dispatched HeadlessHost::DispatchOne() {
  if (core::Posted p; queue_.Take(p)) {
    if (HeadlessWindow* w = Find(p.window); w && !w->ended()) Deliver(*w, p.msg, p.wparam, p.lparam);
    return Dispatched::kPosted;
  }
  const auto t = TakeDueTimer();
  if (!t) return Dispatched::kNothing;
  if (HeadlessWindow* w = Find(t->window); w && !w->ended()) w->dialog().HandleTimer(t->id);
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
  return queue_.Push({window, msg, wparam, lparam, {}});
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
  {
    std::lock_guard<std::mutex> lock(mutex_);
    // A box from another thread than the dialogs' (a worker's) cannot run a
    // loop of its own beside theirs: it is answered at once.
    elsewhere = loops_ > 0 && ui_thread_ != std::this_thread::get_id();
  }
  BoxAsked(rec);
  if (on_message_box) on_message_box(rec);
  if (elsewhere) return NextAnswer();
  const DialogTemplate tmpl = BoxTemplate(caption, text, flags);
  BoxDialog box(tmpl);
  return RunModal(box, tmpl, Find(owner) ? owner : 0);
}

bool HeadlessHost::AnswerBoxByItself(HeadlessWindow& box) {
  if (!BoxesAnswerThemselves()) return false;
  box.End(NextAnswer());
  return true;
}

bool HeadlessHost::PlacementOf(WindowId window, WindowPlacement& out, std::string& error) const {
  const HeadlessWindow* w = Find(window);
  if (!w) {
    error = "Invalid window handle.";
    return false;
  }
  out = w->Placement();
  return true;
}

}  // namespace qv::ui
