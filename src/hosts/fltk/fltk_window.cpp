#include "hosts/fltk/fltk_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/fl_ask.H>
#include <FL/x.H>
#include <X11/Xatom.h>

#include <algorithm>
#include <cctype>

#include "base/text.h"
#include "hosts/fltk/fltk_draw.h"
#include "hosts/fltk/fltk_host.h"
#include "ui/dialog_rules.h"

namespace qv::ui::fltk {

namespace {
constexpr unsigned kScDefaultMask = 0xFFF0;

std::string PropertyAtom(const std::string& name) { return "_QUORVEL_PROP_" + name; }
}  // namespace

// ------------------------------------------------------------ the toolkit

DialogWindow::DialogWindow(FltkWindow& owner, int x, int y, int w, int h)
    : Fl_Double_Window(x, y, w, h), owner_(owner) {
  color(fl_rgb_color(0xF0, 0xF0, 0xF0));
  resizable(nullptr);
  size_range(w, h, w, h);
  callback(CloseBox, this);
}

void DialogWindow::CloseBox(Fl_Widget*, void* self) {
  // The window manager's close button (or Alt+F4), as the system menu's Close.
  static_cast<DialogWindow*>(self)->owner_.SysCommand(kScClose);
}

int DialogWindow::handle(int event) {
  switch (event) {
    case FL_KEYBOARD:
    case FL_SHORTCUT:
      // What the focused control left: the dialog manager's keys. The
      // toolkit's own arrow navigation never runs.
      return owner_.HandleKey() ? 1 : 0;
    case FL_PUSH:
      if (Fl::event_button() == FL_RIGHT_MOUSE) {
        bool on_control = false;
        for (int i = 0; i < children(); ++i)
          if (child(i)->visible() && Fl::event_inside(child(i))) on_control = true;
        if (!on_control) {
          owner_.PopupSystemMenu();
          return 1;
        }
      }
      break;
    case FL_FOCUS:
      if (owner_.RestoreFocus()) return 1;
      break;
    case FL_HIDE:
      owner_.OnUnmapped();
      break;
    case FL_SHOW: {
      const int handled = Fl_Double_Window::handle(event);
      owner_.OnShowEvent();
      return handled;
    }
    default:
      break;
  }
  return Fl_Double_Window::handle(event);
}

// ------------------------------------------------------------------ window

FltkWindow::FltkWindow(FltkHost& host, WindowId id, Dialog& dialog, const DialogTemplate& tmpl, WindowId owner)
    : HostWindow(tmpl.caption), host_(host), owner_(owner), dialog_(dialog), tmpl_(tmpl), menu_(tmpl) {
  SetId(id);
  font_ = FontFor(tmpl.font_face, tmpl.font_points);
  const Rect client = DialogUnitsToPixels(font_, 0, 0, tmpl.cx, tmpl.cy);
  const Rect offset = DialogUnitsToPixels(font_, tmpl.x, tmpl.y, 0, 0);
  // The template's position counts from the owner's client area, else from
  // the screen's corner.
  const FltkWindow* owner_window = host.Find(owner);
  const Point origin = owner_window ? owner_window->ClientOrigin() : Point{0, 0};
  frame_ = host.FrameEstimate(owner_window && !(tmpl.ex_style & style::kExAppWindow) ? owner_window : nullptr);
  const Rect frame = FrameInsets();
  const Rect placed = rules::PlaceNewDialog(
      {client.Width() + frame.left + frame.right, client.Height() + frame.top + frame.bottom}, {frame.left, frame.top},
      {origin.x + offset.left, origin.y + offset.top}, host.WorkArea(), frame.right);

  Fl_Group* saved = Fl_Group::current();
  Fl_Group::current(nullptr);
  fl_ = std::make_unique<DialogWindow>(*this, placed.left + frame.left, placed.top + frame.top, client.Width(),
                                       client.Height());
  fl_->copy_label(Caption().c_str());
  host.PrepareWindow(*fl_);
  fl_->set_modal();
  fl_->begin();
  for (const ControlTemplate& c : tmpl.controls) {
    Rect r = DialogUnitsToPixels(font_, c.x, c.y, c.cx, c.cy);
    if (c.cls == ControlClass::ComboBox) r.bottom = r.top + rules::ClosedComboHeight(font_.base_y);
    int buddy = 0;
    if (c.cls == ControlClass::UpDown) {
      buddy = rules::SpinBuddy(tmpl, c.id);
      // The buddy is the control before it, already made.
      if (!controls_.empty()) {
        Fl_Widget& fw = controls_.back()->widget();
        Rect b{fw.x(), fw.y(), fw.x() + fw.w(), fw.y() + fw.h()};
        r = rules::AttachUpDown(c.style, r, b);
        fw.resize(b.left, b.top, b.Width(), b.Height());
      }
    }
    std::unique_ptr<Control> control = MakeControl(*this, c, r, buddy);
    if (!(c.style & style::kVisible)) control->widget().hide();
    if (c.style & style::kDisabled) control->widget().deactivate();
    if (c.id != kIdStatic) by_id_.emplace(c.id, control.get());
    controls_.push_back(std::move(control));
  }
  fl_->end();
  Fl_Group::current(saved);
  // Until the dialog sets its own (message boxes, notices and the runner
  // never do), the program's icon, so no window of it goes without one.
  ShowIcon(ProgramIconId());
}

FltkWindow::~FltkWindow() {
  Fl::remove_timeout(ActivateLater, this);
  // Controls leave their window as they go; the window goes last.
  controls_.clear();
  fl_.reset();
}

Control* FltkWindow::FindControl(int id) const {
  auto it = by_id_.find(id);
  return it == by_id_.end() ? nullptr : it->second;
}

SpinControl* FltkWindow::SpinFor(int buddy) const {
  for (const auto& c : controls_)
    if (auto* spin = dynamic_cast<SpinControl*>(c.get()); spin && spin->buddy() == buddy) return spin;
  return nullptr;
}

void FltkWindow::SetText(int control, const std::string& text) {
  ProgramChange change(*this);
  if (Control* c = FindControl(control)) c->SetText(text);
}

std::string FltkWindow::Text(int control) const {
  const Control* c = FindControl(control);
  return c ? c->Text() : std::string();
}

void FltkWindow::SetCheck(int control, int state) {
  if (Control* c = FindControl(control)) c->SetCheck(rules::NormalizeCheck(c->tmpl(), state));
}

int FltkWindow::Check(int control) const {
  const Control* c = FindControl(control);
  return c ? c->Check() : 0;
}

void FltkWindow::Enable(int control, bool on) {
  ProgramChange change(*this);
  if (Control* c = FindControl(control)) on ? c->widget().activate() : c->widget().deactivate();
}

bool FltkWindow::IsEnabled(int control) const {
  const Control* c = FindControl(control);
  return c && c->widget().active();
}

void FltkWindow::Show(int control, bool on) {
  ProgramChange change(*this);
  if (Control* c = FindControl(control)) on ? c->widget().show() : c->widget().hide();
}

bool FltkWindow::IsVisible(int control) const {
  // The control's own flag: before the window is first shown every control
  // would otherwise read as hidden.
  const Control* c = FindControl(control);
  return c && c->widget().visible();
}

void FltkWindow::Focus(int control) {
  ProgramChange change(*this);
  Control* c = FindControl(control);
  if (!c || !FocusControl(*c)) return;
  // As the dialog manager does: a field that takes the focus this way has
  // its whole text selected.
  c->SelectAllText();
}

int FltkWindow::AddItem(int control, const std::string& text) {
  ProgramChange change(*this);
  Control* c = FindControl(control);
  return c ? c->AddItem(text) : -1;
}

void FltkWindow::DeleteItem(int control, int index) {
  ProgramChange change(*this);
  if (Control* c = FindControl(control)) c->DeleteItem(index);
}

void FltkWindow::ClearItems(int control) {
  ProgramChange change(*this);
  if (Control* c = FindControl(control)) c->ClearItems();
}

std::vector<std::string> FltkWindow::Items(int control) const {
  const Control* c = FindControl(control);
  return c ? c->Items() : std::vector<std::string>();
}

int FltkWindow::Selection(int control) const {
  const Control* c = FindControl(control);
  return c ? c->Selection() : -1;
}

void FltkWindow::Select(int control, int index) {
  ProgramChange change(*this);
  if (Control* c = FindControl(control)) c->Select(index);
}

void FltkWindow::SelectAllText(int control) {
  if (Control* c = FindControl(control)) c->SelectAllText();
}

void FltkWindow::SetSpinRange(int spin, int min, int max) {
  ProgramChange change(*this);
  if (auto* s = dynamic_cast<SpinControl*>(FindControl(spin))) s->SetRange(min, max);
}

void FltkWindow::SetSpinAccel(int spin, const std::vector<SpinAccel>& steps) {
  if (auto* s = dynamic_cast<SpinControl*>(FindControl(spin))) s->SetAccel(steps);
}

std::uintptr_t FltkWindow::SetTimer(std::uintptr_t id, unsigned period_ms) {
  return ended_ ? 0 : host_.StartTimer(*this, id, period_ms);
}

bool FltkWindow::KillTimer(std::uintptr_t id) { return host_.StopTimer(Id(), id); }

void FltkWindow::End(int result) {
  if (ended_) return;
  ended_ = true;
  result_ = result;
  // The window leaves the screen at once; the run unwinds when the handler
  // that ended it returns.
  Close();
}

void FltkWindow::Close() {
  if (fl_->shown()) {
    own_change_ = true;
    fl_->hide();
    own_change_ = false;
  }
}

// ---------------------------------------------------------------- geometry

Point FltkWindow::ClientOrigin() const { return {fl_->x(), fl_->y()}; }

Rect FltkWindow::FrameInsets() const {
  // The frame as the window manager announced it before the window first
  // showed, for the window's whole run: a size the dialog took from the
  // rectangle before the window showed fits it after (a frame learnt only
  // once mapped would be taken off sizes that never had it). The rectangle
  // ends with the client area at the bottom, so that a fold to a control's
  // top edge ends the client area there, with a frame as without one.
  return {frame_.left, frame_.top, frame_.right, 0};
}

Rect FltkWindow::WindowRect() const {
  const Rect in = FrameInsets();
  return {fl_->x() - in.left, fl_->y() - in.top, fl_->x() + fl_->w() + in.right, fl_->y() + fl_->h() + in.bottom};
}

Rect FltkWindow::ControlRect(int control) const {
  const Control* c = FindControl(control);
  if (!c) return {};
  const Fl_Widget& w = c->widget();
  return {fl_->x() + w.x(), fl_->y() + w.y(), fl_->x() + w.x() + w.w(), fl_->y() + w.y() + w.h()};
}

void FltkWindow::MoveWindow(int left, int top) {
  const Rect in = FrameInsets();
  fl_->position(left + in.left, top + in.top);
  fl_->redraw();
}

void FltkWindow::ResizeWindow(int width, int height) {
  const Rect in = FrameInsets();
  const int w = std::max(width - in.left - in.right, 1), h = std::max(height - in.top - in.bottom, 1);
  fl_->size_range(w, h, w, h);
  fl_->size(w, h);
}

WindowPlacement FltkWindow::Placement() const {
  WindowPlacement p;
  p.show_cmd = show_.minimized ? kSwShowMinimized : kSwShowNormal;
  // The toolkit keeps the normal rectangle while the window is iconified.
  p.normal = WindowRect();
  return p;
}

void FltkWindow::SetPlacement(const WindowPlacement& placement) {
  const Rect& r = placement.normal;
  if (r.Width() > 0 && r.Height() > 0) {
    ResizeWindow(r.Width(), r.Height());
    MoveWindow(r.left, r.top);
  }
  ShowWindow(placement.show_cmd);
}

bool FltkWindow::WindowManaged() const { return host_.WindowManagerRunning(); }

void FltkWindow::Minimize() {
  // Iconified by the window manager; iconifying never activates.
  own_change_ = true;
  fl_->iconize();
  own_change_ = false;
}

void FltkWindow::ShowWindow(int show_cmd) {
  if (ended_) return;
  // Only a window manager can give an iconified window back: without one
  // the window stays as it is, or shows normally. Told before it appears,
  // as a dialog hears WM_SHOWWINDOW: whatever the handler made of the
  // window (minimised, placed) is what shows.
  if (const int told = show_.Apply(show_cmd, WindowManaged()))
    dialog_.HandleShow(told > 0);
  Apply();
}

void FltkWindow::ShowFirst() {
  if (ended_ || !show_.ShowFirst()) return;  // the program showed it already
  dialog_.HandleShow(true);
  Apply();
}

void FltkWindow::Apply() {
  if (ended_) return;
  if (!show_.shown) return Close();
  if (show_.minimized) return Minimize();
  own_change_ = true;
  fl_->show();
  own_change_ = false;
  RestoreFocus();
  OnMapped();
  Activate();
}

void FltkWindow::Activate() {
  Fl::remove_timeout(ActivateLater, this);
  activate_tries_ = 0;
  ActivateLater(this);
}

void FltkWindow::ActivateLater(void* self) {
  auto* w = static_cast<FltkWindow*>(self);
  // A window manager gives the keyboard to the window it maps; without one
  // the keyboard would follow the pointer, in and out of the dialog.
  if (w->ended_ || w->show_.minimized || !w->fl_->shown() || w->WindowManaged()) return;
  XWindowAttributes attributes{};
  const Window xid = fl_xid(w->fl_.get());
  if (XGetWindowAttributes(fl_display, xid, &attributes) && attributes.map_state == IsViewable) {
    XSetInputFocus(fl_display, xid, RevertToPointerRoot, CurrentTime);
    XFlush(fl_display);
  } else if (++w->activate_tries_ < 100) {
    Fl::add_timeout(0.01, ActivateLater, self);  // not mapped yet
  }
}

void FltkWindow::OnShowEvent() {
  // Mapped by the window manager while we did not ask: restored.
  if (!own_change_ && show_.shown && WindowManaged()) show_.minimized = false;
  OnMapped();
}

void FltkWindow::OnMapped() {
  if (!fl_->shown()) return;
  Window xid = fl_xid(fl_.get());
  if (!xid) return;
  // An owned window without its own task-bar button rides on its owner.
  if (FltkWindow* owner = host_.Find(owner_);
      owner && owner->fl().shown() && !(tmpl_.ex_style & style::kExAppWindow))
    XSetTransientForHint(fl_display, xid, fl_xid(&owner->fl()));
  for (const auto& [name, value] : properties()) Publish(name);
}

void FltkWindow::OnUnmapped() {
  // Unmapped by the window manager while we did not ask: iconified.
  if (!own_change_ && show_.shown && !ended_ && WindowManaged()) show_.minimized = true;
}

// ---------------------------------------------------------------- icons, menu, properties

void FltkWindow::SetIcon(int icon_id) {
  icon_ = icon_id;
  ShowIcon(icon_id);
}

void FltkWindow::ShowIcon(int icon_id) {
  // Every size a desktop asks for, from the title bar to a launcher: the
  // window manager picks, and never has to blow a small image up.
  std::vector<const Fl_RGB_Image*> images;
  for (int size : {16, 24, 32, 48, 64, 128, 256})
    if (Fl_RGB_Image* image = ProgramIcon(icon_id, size);
        image && std::find(images.begin(), images.end(), image) == images.end())
      images.push_back(image);
  if (!images.empty()) fl_->icons(images.data(), static_cast<int>(images.size()));
}

void FltkWindow::SetButtonIcon(int control, int icon_id) {
  if (Control* c = FindControl(control)) c->SetIcon(icon_id);
}

void FltkWindow::SetStockIcon(int control, StockIcon icon) {
  if (Control* c = FindControl(control)) c->SetStockIcon(icon);
}

namespace {
// The system's own items, as a Japanese system names them.
const char* StandardText(unsigned command) {
  switch (command) {
    case kScRestore: return "元のサイズに戻す(&R)";
    case kScMove: return "移動(&M)";
    case kScSize: return "サイズ変更(&S)";
    case kScMinimize: return "最小化(&N)";
    case kScMaximize: return "最大化(&X)";
    case kScClose: return "閉じる(&C)\tAlt+F4";
    default: return "";
  }
}
}  // namespace

bool FltkWindow::SystemItemEnabled(unsigned command) const {
  switch (command) {
    case kScRestore: return show_.minimized;
    case kScMinimize: return !show_.minimized && (tmpl_.style & style::kMinimizeBox) && WindowManaged();
    // A dialog's frame is fixed, and moving it is the window manager's.
    case kScMove:
    case kScSize:
    case kScMaximize: return false;
    default: return true;
  }
}

void FltkWindow::PopupSystemMenu() {
  // A copy: handlers that run while the menu is open may change the menu.
  const std::vector<core::SystemMenu::Item> items = menu_.items();
  std::vector<Fl_Menu_Item> menu;
  std::vector<unsigned> commands;
  for (const core::SystemMenu::Item& m : items) {
    if (m.command == 0) {
      if (!menu.empty()) menu.back().flags |= FL_MENU_DIVIDER;
      continue;
    }
    Fl_Menu_Item item{};
    // The system's own items carry no text of the program's.
    item.label(m.text.empty() ? StandardText(m.command) : m.text.c_str());
    if (!SystemItemEnabled(m.command)) item.flags |= FL_MENU_INACTIVE;
    menu.push_back(item);
    commands.push_back(m.command);
  }
  if (menu.empty()) return;
  menu.back().flags &= ~FL_MENU_DIVIDER;
  menu.push_back(Fl_Menu_Item{});
  static Fl_Menu_Button* look = [] {
    Fl_Group* saved = Fl_Group::current();
    Fl_Group::current(nullptr);
    auto* m = new Fl_Menu_Button(0, 0, 1, 1);
    Fl_Group::current(saved);
    m->box(FL_UP_BOX);
    m->color(fl_rgb_color(0xF0, 0xF0, 0xF0));
    m->selection_color(fl_rgb_color(0x00, 0x78, 0xD7));
    return m;
  }();
  look->textfont(static_cast<Fl_Font>(font_.face));
  look->textsize(static_cast<Fl_Fontsize>(font_.size));
  const bool by_mouse = Fl::event_button() == FL_RIGHT_MOUSE && Fl::event() == FL_PUSH;
  const Fl_Menu_Item* picked =
      menu[0].popup(by_mouse ? Fl::event_x() : 0, by_mouse ? Fl::event_y() : 0, nullptr, nullptr, look);
  if (picked) SysCommand(commands[static_cast<std::size_t>(picked - menu.data())]);
}

void FltkWindow::PublishProperty(const std::string& name, const std::intptr_t* value) {
  if (value) return Publish(name);
  if (fl_->shown()) {
    const Atom atom = XInternAtom(fl_display, PropertyAtom(name).c_str(), False);
    XDeleteProperty(fl_display, fl_xid(fl_.get()), atom);
  }
}

void FltkWindow::Publish(const std::string& name) const {
  // Other programs read window properties from the X server.
  auto it = properties().find(name);
  if (it == properties().end() || !fl_->shown()) return;
  const Atom atom = XInternAtom(fl_display, PropertyAtom(name).c_str(), False);
  const long value = static_cast<long>(it->second);
  XChangeProperty(fl_display, fl_xid(fl_.get()), atom, XA_INTEGER, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&value), 1);
}

// ---------------------------------------------------------------- events to the dialog

void FltkWindow::Command(int id) {
  if (ended_) return;
  dialog_.HandleCommand(id);
}

void FltkWindow::UserNotify(int id, Notify code) {
  if (ended_ || program_changes_ > 0) return;
  // Only a move to another control of this dialog is the user's move
  // between fields: a message box or another window taking the focus, or
  // the keyboard leaving the program, is not.
  if (code == Notify::kKillFocus) {
    const Fl_Widget* focus = Fl::focus();
    if (!focus || focus == fl_.get() || focus->window() != fl_.get()) return;
  }
  dialog_.HandleNotify(id, code);
}

void FltkWindow::SysCommand(unsigned command) {
  if (ended_) return;
  bool handled = false;
  handled = dialog_.HandleSysCommand(command);
  if (handled || ended_) return;
  switch (command & kScDefaultMask) {
    case kScClose: host_.Deliver(*this, kWmClose, 0, 0); break;
    case kScMinimize: ShowWindow(kSwMinimize); break;
    case kScRestore: ShowWindow(kSwRestore); break;
    default: break;
  }
}

// ---------------------------------------------------------------- focus and keyboard

bool FltkWindow::FocusControl(Control& c) {
  Fl_Widget& w = c.focus_widget();
  if (Fl::focus() == &w) return true;
  if (!c.Focusable() || !c.Usable()) return false;
  if (!w.handle(FL_FOCUS)) return false;  // the control records itself as the focused one
  // Until the window is shown the toolkit gives no focus; it is given then
  // (RestoreFocus).
  Fl::focus(&w);
  return true;
}

void FltkWindow::Focused(Control& c) {
  focused_ = c.id();
  // The default button's look follows the focus.
  for (const auto& other : controls_)
    if (other->IsPushButton()) other->widget().redraw();
}

bool FltkWindow::HasFocus(const Control& c) const {
  return Fl::focus() == &const_cast<Control&>(c).focus_widget();
}

int FltkWindow::focused_control() const {
  for (const auto& c : controls_)
    if (HasFocus(*c)) return c->id();
  return 0;
}

bool FltkWindow::RestoreFocus() {
  Control* c = FindControl(focused_);
  if (c && FocusControl(*c)) return true;
  FocusFirst();
  return focused_control() != 0;
}

bool FltkWindow::IsDefaultButton(const Control& c) const {
  // What Enter would press now.
  return c.IsPushButton() && rules::EnterCommand(tmpl_, focused_control()) == c.id();
}

void FltkWindow::ClearRadioPeers(Control& c) {
  const auto reachable = [&](int id) {
    const Control* peer = FindControl(id);
    return peer && peer->Usable();
  };
  for (int id : rules::RadioPeersToClear(tmpl_, c.id(), reachable)) FindControl(id)->SetCheck(0);
}

int FltkWindow::IndexOf(const Control* c) const {
  for (std::size_t i = 0; i < controls_.size(); ++i)
    if (controls_[i].get() == c) return static_cast<int>(i);
  return -1;
}

Control* FltkWindow::Focusable(int index, bool need_tab_stop) const {
  Control* c = controls_[static_cast<std::size_t>(index)].get();
  if (!c->Focusable() || !c->Usable()) return nullptr;
  if (need_tab_stop && !(c->tmpl().style & style::kTabStop)) return nullptr;
  return c;
}

void FltkWindow::FocusFirst() {
  const int first = rules::InitialFocus(tmpl_, [&](int id) {
    const Control* c = FindControl(id);
    return c && c->Usable();
  });
  if (Control* c = FindControl(first); c && FocusControl(*c)) c->SelectAllText();
}

void FltkWindow::Navigate(bool back) {
  const int n = static_cast<int>(controls_.size());
  if (n == 0) return;
  const int from = IndexOf(FindControl(focused_control()));
  for (int k = 1; k <= n; ++k) {
    const int i = ((from < 0 ? (back ? 0 : -1) : from) + (back ? -k : k) % n + n) % n;
    Control* c = Focusable(i, true);
    if (!c) continue;
    // Into a group of radio buttons: onto the checked one.
    if (c->IsRadio())
      for (int id : rules::RadioGroup(tmpl_, c->id()))
        if (Control* peer = FindControl(id); peer && peer->Check() == 1 && peer->Usable()) c = peer;
    if (FocusControl(*c)) c->SelectAllText();
    return;
  }
}

void FltkWindow::ArrowInGroup(bool back) {
  Control* f = FindControl(focused_control());
  const int at = IndexOf(f);
  if (at < 0 || f->TakesChars()) return;
  // The group: from the control with the group style up to the next one.
  int first = at;
  while (first > 0 && !(controls_[static_cast<std::size_t>(first)]->tmpl().style & style::kGroup)) --first;
  int last = at;
  while (last + 1 < static_cast<int>(controls_.size()) &&
         !(controls_[static_cast<std::size_t>(last + 1)]->tmpl().style & style::kGroup))
    ++last;
  const int span = last - first + 1;
  for (int k = 1; k < span; ++k) {
    const int i = first + ((at - first) + (back ? -k : k) % span + span) % span;
    Control* c = Focusable(i, false);
    if (!c) continue;
    FocusControl(*c);
    // Moving onto a radio button with the arrows picks it.
    if (c->IsRadio()) c->Activate();
    return;
  }
}

bool FltkWindow::Mnemonic(char key) {
  const int n = static_cast<int>(controls_.size());
  const int from = IndexOf(FindControl(focused_control()));
  for (int k = 1; k <= n; ++k) {
    const int i = (from + k + n) % n;
    Control* c = controls_[static_cast<std::size_t>(i)].get();
    if (!c->Usable() || c->mnemonic() != key) continue;
    if (c->tmpl().cls == ControlClass::Static || !c->Focusable()) {
      // A label hands the focus to the control after it.
      for (int j = 1; j < n; ++j)
        if (Control* next = Focusable((i + j) % n, false)) {
          if (FocusControl(*next)) next->SelectAllText();
          return true;
        }
      return true;
    }
    // As a click: the focus goes to the control, then it acts (a push
    // button is pressed, and takes Enter from then on).
    FocusControl(*c);
    c->Activate();
    return true;
  }
  return false;
}

void FltkWindow::Enter() {
  const int id = rules::EnterCommand(tmpl_, focused_control());
  // A default button the user could not press now is not pressed.
  if (const Control* d = FindControl(id); d && !d->Usable()) return fl_beep(FL_BEEP_DEFAULT);
  if (Control* d = FindControl(id); d && d->IsPushButton()) return d->Activate();
  Command(id);
}

bool FltkWindow::HandleKey() {
  if (ended_) return false;
  const int key = Fl::event_key();
  const bool alt = Fl::event_state(FL_ALT) != 0, ctrl = Fl::event_state(FL_CTRL) != 0;
  const bool shift = Fl::event_state(FL_SHIFT) != 0;
  switch (key) {
    case FL_Escape:
      Command(kIdCancel);
      return true;
    case FL_Enter:
    case FL_KP_Enter:
      Enter();
      return true;
    case FL_Tab:
      if (alt || ctrl) return false;
      Navigate(shift);
      return true;
    case FL_Up:
    case FL_Left:
    case FL_Down:
    case FL_Right:
      if (alt) return false;
      ArrowInGroup(key == FL_Up || key == FL_Left);
      return true;
    default:
      break;
  }
  if (alt && key == ' ') {
    PopupSystemMenu();
    return true;
  }
  if (alt && key == FL_F + 4) {
    SysCommand(kScClose);
    return true;
  }
  if (ctrl) return false;
  // Mnemonics: with Alt anywhere, alone where the focus takes no text.
  char letter = 0;
  if (key < 0x80 && std::isalnum(key)) letter = AsciiLower(static_cast<char>(key));
  if (!letter) return false;
  const Control* f = FindControl(focused_control());
  if (!alt && f && f->TakesChars()) return false;
  if (Mnemonic(letter)) return true;
  if (alt) fl_beep(FL_BEEP_DEFAULT);
  return alt;
}

}  // namespace qv::ui::fltk
