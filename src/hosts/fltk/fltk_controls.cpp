#include "hosts/fltk/fltk_controls.h"

#include <FL/Fl.H>
#include <FL/Fl_Menu_Button.H>
#include <FL/Fl_Menu_Item.H>
#include <FL/Fl_RGB_Image.H>
#include <FL/fl_ask.H>
#include <FL/fl_draw.H>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdlib>

#include "base/text.h"
#include "hosts/fltk/fltk_draw.h"
#include "hosts/fltk/fltk_window.h"
#include "ui/dialog_rules.h"

namespace qv::ui::fltk {

namespace {
constexpr std::uint32_t kSsTypeMask = 0x1F;
constexpr std::uint32_t kSsBlackFrame = 0x7;
constexpr std::uint32_t kSsEtchedVert = 0x11;
constexpr std::uint32_t kEsPassword = 0x20;
constexpr std::uint32_t kEsReadOnly = 0x800;
constexpr int kCheckGap = 4;  // between a check box's box and its text

TextStyle StyleOf(const FltkWindow& w, bool enabled) {
  TextStyle s;
  s.font = w.font().face;
  s.size = w.font().size;
  s.enabled = enabled;
  return s;
}

// Item texts as FLTK's menus draw them: & and @ are their own marks.
std::string MenuLabel(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&' || c == '@') out += c;
    out += c;
  }
  return out;
}
}  // namespace

// ---------------------------------------------------------------- Control

void Control::SetText(const std::string& text) {
  text_ = text;
  widget().redraw();
}

char Control::mnemonic() const {
  if (tmpl_.cls == ControlClass::Static && (tmpl_.style & style::kSsNoPrefix)) return 0;
  if (tmpl_.cls != ControlClass::Static && tmpl_.cls != ControlClass::Button) return 0;
  return ParseMnemonic(Text()).key;
}

bool Control::Usable() const { return widget().active() && widget().visible(); }

// ----------------------------------------------------------------- static

StaticControl::StaticControl(FltkWindow& w, const ControlTemplate& t, const Rect& r)
    : Fl_Widget(r.left, r.top, r.Width(), r.Height()), Control(w, t) {
  box(FL_NO_BOX);
  user_data(static_cast<Control*>(this));
  icon_ = StaticIconId(t);
}

void StaticControl::SetText(const std::string& text) { Control::SetText(text); }

void StaticControl::SetIcon(int icon_id) {
  icon_ = icon_id;
  redraw();
}

void StaticControl::SetStockIcon(StockIcon icon) {
  stock_ = icon;
  redraw();
}

void StaticControl::draw() {
  const std::uint32_t kind = tmpl_.style & kSsTypeMask;
  int X = x(), Y = y(), W = w(), H = h();
  FillRect(X, Y, W, H, color::kFace);
  if (kind == style::kSsEtchedHorz) return DrawEtchedLine(X, Y, W);
  if (kind == kSsEtchedVert) {
    SetColor(color::kShadow);
    fl_yxline(X, Y, Y + H - 1);
    SetColor(color::kHighlight);
    fl_yxline(X + 1, Y, Y + H - 1);
    return;
  }
  if (kind == style::kSsEtchedFrame) return DrawEdge(X, Y, W, H, Edge::kEtched);
  if (kind >= kSsBlackFrame && kind <= kSsBlackFrame + 2) return DrawEdge(X, Y, W, H, Edge::kFlat);
  if (tmpl_.ex_style & style::kExClientEdge) {
    DrawEdge(X, Y, W, H, Edge::kSunken);
    X += 2, Y += 2, W -= 4, H -= 4;
  } else if ((tmpl_.style & style::kSsSunken) || (tmpl_.ex_style & style::kExStaticEdge)) {
    DrawEdge(X, Y, W, H, Edge::kStatic);
    X += 1, Y += 1, W -= 2, H -= 2;
  } else if (tmpl_.style & style::kBorder) {
    DrawEdge(X, Y, W, H, Edge::kFlat);
    X += 1, Y += 1, W -= 2, H -= 2;
  }
  if (kind == style::kSsIcon) {
    if (stock_ == StockIcon::kWarning) return DrawWarningIcon(X, Y);
    if (Fl_RGB_Image* image = ProgramIcon(icon_, 32)) image->draw(X, Y);
    return;
  }
  TextStyle s = StyleOf(window_, active_r());
  s.align = kind == style::kSsCenter ? HAlign::kCenter : kind == style::kSsRight ? HAlign::kRight : HAlign::kLeft;
  s.vcenter = (tmpl_.style & style::kSsCenterImage) != 0;
  s.wrap = !s.vcenter && kind <= style::kSsRight;
  s.prefix = !(tmpl_.style & style::kSsNoPrefix);
  DrawText(text_, X, Y, W, H, s);
}

// ----------------------------------------------------------------- button

ButtonControl::ButtonControl(FltkWindow& w, const ControlTemplate& t, const Rect& r)
    : Fl_Widget(r.left, r.top, r.Width(), r.Height()), Control(w, t) {
  box(FL_NO_BOX);
  user_data(static_cast<Control*>(this));
}

void ButtonControl::SetText(const std::string& text) { Control::SetText(text); }

void ButtonControl::SetCheck(int state) {
  check_ = state;
  redraw();
}

void ButtonControl::SetIcon(int icon_id) {
  icon_ = icon_id;
  redraw();
}

bool ButtonControl::IsPushButton() const { return rules::IsPushButton(tmpl_); }

bool ButtonControl::IsRadio() const { return rules::IsRadio(tmpl_); }

bool ButtonControl::LooksPushed() const { return pressed_ || ((tmpl_.style & style::kBsPushLike) && check_ != 0); }

void ButtonControl::Activate() {
  if (rules::IsButtonKind(tmpl_, style::kBsAutoRadio)) window_.ClearRadioPeers(*this);
  SetCheck(rules::CheckAfterClick(tmpl_, check_));
  window_.Command(id());
}

void ButtonControl::draw() {
  const int X = x(), Y = y(), W = w(), H = h();
  const bool enabled = active_r();
  FillRect(X, Y, W, H, color::kFace);
  TextStyle s = StyleOf(window_, enabled);
  if (kind() == style::kBsGroupBox) {
    const int th = window_.font().base_y;
    DrawEdge(X, Y + th / 2, W, H - th / 2, Edge::kEtched);
    const std::string shown = ParseMnemonic(text_).shown;
    const int tw = std::min(TextWidth(shown, s.font, s.size) + 4, W - 12);
    if (tw > 4) {
      FillRect(X + 6, Y, tw, th, color::kFace);
      DrawText(text_, X + 8, Y, tw - 2, th, s);
    }
    return;
  }
  const bool focused = window_.HasFocus(*this);
  if (IsPushButton() || (tmpl_.style & style::kBsPushLike)) {
    const bool down = LooksPushed();
    int x0 = X, y0 = Y, w0 = W, h0 = H;
    if ((tmpl_.style & style::kBsPushLike) && check_ != 0 && !pressed_) FillRect(X, Y, W, H, color::kLight);
    if (tmpl_.style & style::kBsFlat) {
      DrawEdge(x0, y0, w0, h0, Edge::kFlat);
    } else {
      if (window_.IsDefaultButton(*this)) {
        SetColor(color::kFrame);
        fl_rect(x0, y0, w0, h0);
        ++x0, ++y0, w0 -= 2, h0 -= 2;
      }
      DrawEdge(x0, y0, w0, h0, down ? Edge::kSunken : Edge::kRaised);
    }
    const int shift = down ? 1 : 0;
    Fl_RGB_Image* image = icon_ ? ProgramIcon(icon_, 32) : nullptr;
    if (image) {
      const int ix = X + (W - image->w()) / 2 + shift, iy = Y + (H - image->h()) / 2 + shift;
      fl_push_clip(X + 2, Y + 2, W - 4, H - 4);
      image->draw(ix, iy);
      fl_pop_clip();
    } else {
      s.align = HAlign::kCenter;
      s.vcenter = true;
      DrawText(text_, X + 3 + shift, Y + 3 + shift, W - 6, H - 6, s);
    }
    if (focused) DrawFocusRect(x0 + 3, y0 + 3, w0 - 6, h0 - 6);
    return;
  }
  // Check boxes and radio buttons: the mark, then the text beside it.
  const int by = Y + (H - 13) / 2;
  if (IsRadio())
    DrawRadioMark(X, by, check_ == 1, enabled);
  else
    DrawCheckMark(X, by, check_, enabled);
  const int tx = X + 13 + kCheckGap;
  s.vcenter = true;
  DrawText(text_, tx, Y, W - (tx - X), H, s);
  if (focused) {
    fl_font(static_cast<Fl_Font>(s.font), static_cast<Fl_Fontsize>(s.size));
    const int tw = std::min(TextWidth(ParseMnemonic(text_).shown, s.font, s.size), W - (tx - X));
    const int lh = fl_height();
    DrawFocusRect(tx - 1, Y + (H - lh) / 2 - 1, tw + 2, lh + 2);
  }
}

int ButtonControl::handle(int event) {
  switch (event) {
    case FL_PUSH:
      if (Fl::event_button() != FL_LEFT_MOUSE || kind() == style::kBsGroupBox) return 0;
      window_.FocusControl(*this);
      pressed_ = true;
      redraw();
      return 1;
    case FL_DRAG:
      if (const bool inside = Fl::event_inside(this); inside != pressed_) {
        pressed_ = inside;
        redraw();
      }
      return 1;
    case FL_RELEASE:
      if (pressed_) {
        pressed_ = false;
        redraw();
        Activate();
      }
      return 1;
    case FL_FOCUS:
      if (!Focusable()) return 0;
      window_.Focused(*this);
      redraw();
      return 1;
    case FL_UNFOCUS:
      redraw();
      return 1;
    case FL_KEYBOARD:
      if (Fl::event_key() == ' ' && !Fl::event_state(FL_ALT | FL_CTRL)) {
        Activate();
        return 1;
      }
      return 0;
    case FL_ENTER:
    case FL_LEAVE:
      return 1;
    default:
      return 0;
  }
}

// ------------------------------------------------------------------- edit

EditControl::EditControl(FltkWindow& w, const ControlTemplate& t, const Rect& r, Control* combo)
    : Fl_Input(r.left, r.top, r.Width(), r.Height()),
      Control(w, t),
      combo_(combo),
      bordered_(!combo && ((t.style & style::kBorder) || (t.ex_style & style::kExClientEdge))),
      right_(!combo && (t.style & style::kEsRight)) {
  box(FL_NO_BOX);
  user_data(static_cast<Control*>(combo ? combo : this));
  textfont(static_cast<Fl_Font>(w.font().face));
  textsize(static_cast<Fl_Fontsize>(w.font().size));
  color(fl_rgb_color(0xFF, 0xFF, 0xFF));
  selection_color(fl_rgb_color(0x00, 0x78, 0xD7));
  if (t.style & kEsPassword) type(FL_SECRET_INPUT);
  if (t.style & kEsReadOnly) readonly(1);
  when(FL_WHEN_CHANGED);
  callback(Changed, this);
  if (!combo) value(t.text.c_str());
}

void EditControl::SetText(const std::string& text) {
  value(text.data(), static_cast<int>(text.size()));
  redraw();
}

std::string EditControl::Text() const { return std::string(value(), static_cast<std::size_t>(size())); }

void EditControl::SelectAllText() { position(size(), 0); }

void EditControl::Activate() { window_.FocusControl(combo_ ? *combo_ : *this); }

int EditControl::NotifyId() const { return combo_ ? combo_->id() : id(); }

int EditControl::TextLeft(int& width) const {
  int X = x() + 1, W = w() - 2;
  if (bordered_) X += 2, W -= 4;
  width = W;
  if (!right_) return X;
  fl_font(textfont(), textsize());
  const int tw = static_cast<int>(fl_width(value(), size()) + 0.5) + 2;
  if (tw >= W) return X;
  width = tw;
  return X + W - tw;
}

void EditControl::draw() {
  int X = x(), Y = y(), W = w(), H = h();
  if (bordered_) {
    DrawEdge(X, Y, W, H, Edge::kSunken);
    X += 2, Y += 2, W -= 4, H -= 4;
  }
  const bool white = active_r() && !readonly();
  color(white ? fl_rgb_color(0xFF, 0xFF, 0xFF) : fl_rgb_color(0xF0, 0xF0, 0xF0));
  FillRect(X, Y, W, H, white ? color::kWindow : color::kFace);
  int tw = 0;
  const int tx = TextLeft(tw);
  fl_push_clip(X, Y, W, H);
  drawtext(tx, Y, tw, H);
  fl_pop_clip();
}

int EditControl::handle(int event) {
  switch (event) {
    case FL_KEYBOARD: {
      const int key = Fl::event_key();
      if (Fl::event_state(FL_ALT)) {
        if (combo_ && key == FL_Down) return static_cast<ComboControl*>(combo_)->DropDown(), 1;
        return 0;  // mnemonics and the system menu belong to the dialog
      }
      if (key == FL_Tab || key == FL_Escape || key == FL_Enter || key == FL_KP_Enter) return 0;
      if (key == FL_Up || key == FL_Down) {
        const int dir = key == FL_Up ? 1 : -1;
        if (combo_) return static_cast<ComboControl*>(combo_)->StepSelection(-dir), 1;
        if (SpinControl* spin = window_.SpinFor(id()); spin && spin->arrow_keys() && spin->active_r()) {
          spin->Step(dir, spin->StepFor(0));
          return 1;
        }
        return 0;
      }
      if (combo_ && key == FL_F + 4) return static_cast<ComboControl*>(combo_)->DropDown(), 1;
      if ((tmpl_.style & style::kEsNumber) && !combo_ && Fl::event_length() > 0 && !Fl::event_state(FL_CTRL)) {
        const char* typed = Fl::event_text();
        for (int i = 0; i < Fl::event_length(); ++i)
          if (!std::isdigit(static_cast<unsigned char>(typed[i])) && static_cast<unsigned char>(typed[i]) >= ' ') {
            fl_beep(FL_BEEP_ERROR);
            return 1;
          }
      }
      break;
    }
    case FL_FOCUS:
      window_.Focused(combo_ ? *combo_ : *this);
      if (combo_) combo_->widget().redraw();
      break;
    case FL_UNFOCUS: {
      const int handled = Fl_Input::handle(event);
      if (combo_) combo_->widget().redraw();
      // Reported only when it went to another control of the dialog.
      window_.UserNotify(NotifyId(), Notify::kKillFocus);
      return handled;
    }
    case FL_PUSH:
      if (Fl::focus() != this && !window_.FocusControl(combo_ ? *combo_ : *this)) return 0;
      [[fallthrough]];
    case FL_DRAG:
    case FL_RELEASE: {
      // The text's own place (right-aligned fields start further in).
      int tw = 0;
      const int tx = TextLeft(tw);
      const int inset = bordered_ ? 2 : 0;
      return handletext(event, tx, y() + inset, tw, h() - 2 * inset);
    }
    default:
      break;
  }
  return Fl_Input::handle(event);
}

void EditControl::Changed(Fl_Widget*, void* self) {
  auto* edit = static_cast<EditControl*>(self);
  if (edit->right_) edit->redraw();
  if (edit->combo_)
    static_cast<ComboControl*>(edit->combo_)->EditedByUser();
  else
    edit->window_.UserNotify(edit->id(), Notify::kEditChange);
}

// ------------------------------------------------------------------ combo

ComboControl::ComboControl(FltkWindow& w, const ControlTemplate& t, const Rect& r)
    : Fl_Group(r.left, r.top, r.Width(), r.Height()), Control(w, t) {
  box(FL_NO_BOX);
  user_data(static_cast<Control*>(this));
  resizable(nullptr);
  if ((t.style & 0x3) != style::kCbsDropDownList) {
    const Rect field{r.left + 2, r.top + 2, r.right - 2 - ButtonWidth(), r.bottom - 2};
    edit_ = new EditControl(w, t, field, this);  // the group owns it
  }
  end();
}

int ComboControl::ButtonWidth() const { return 17; }

Fl_Widget& ComboControl::focus_widget() { return edit_ ? static_cast<Fl_Widget&>(*edit_) : *this; }

void ComboControl::SetText(const std::string& text) {
  // A drop-down list has no text of its own to set: it keeps its
  // selection. A combo's field shows the text; its list keeps its own.
  if (edit_) edit_->SetText(text);
}

std::string ComboControl::Text() const {
  if (edit_) return edit_->Text();
  return selection_ >= 0 ? items_[static_cast<std::size_t>(selection_)] : std::string();
}

int ComboControl::AddItem(const std::string& text) {
  const int at =
      rules::IsSortedList(tmpl_) ? rules::SortedInsertIndex(items_, text) : static_cast<int>(items_.size());
  items_.insert(items_.begin() + at, text);
  if (selection_ >= at) ++selection_;
  redraw();
  return at;
}

void ComboControl::DeleteItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  if (selection_ == index)
    selection_ = -1;
  else if (selection_ > index)
    --selection_;
  redraw();
}

void ComboControl::ClearItems() {
  items_.clear();
  selection_ = -1;
  // Emptying the list empties the field as well.
  if (edit_) edit_->SetText("");
  redraw();
}

void ComboControl::Select(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) {
    selection_ = -1;
    if (edit_) edit_->SetText("");
  } else {
    selection_ = index;
    if (edit_) edit_->SetText(items_[static_cast<std::size_t>(index)]);
  }
  redraw();
}

void ComboControl::SelectAllText() {
  if (edit_) edit_->SelectAllText();
}

void ComboControl::Activate() { window_.FocusControl(*this); }

void ComboControl::ChooseByUser(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  const bool changed = index != selection_;
  Select(index);
  if (edit_) edit_->SelectAllText();
  if (changed) window_.UserNotify(id(), Notify::kSelChange);
}

void ComboControl::StepSelection(int delta) {
  if (items_.empty()) return;
  int next = selection_ < 0 ? (delta > 0 ? 0 : static_cast<int>(items_.size()) - 1) : selection_ + delta;
  next = std::clamp(next, 0, static_cast<int>(items_.size()) - 1);
  ChooseByUser(next);
}

void ComboControl::EditedByUser() { window_.UserNotify(id(), Notify::kEditChange); }

void ComboControl::DropDown() {
  if (!active_r() || items_.empty()) return;
  window_.FocusControl(*this);
  // The list's look: a plain white box in the dialog's font.
  static Fl_Menu_Button* look = [] {
    Fl_Group* saved = Fl_Group::current();
    Fl_Group::current(nullptr);
    auto* m = new Fl_Menu_Button(0, 0, 1, 1);
    Fl_Group::current(saved);
    m->box(FL_BORDER_BOX);
    m->down_box(FL_FLAT_BOX);
    m->color(FL_WHITE);
    m->selection_color(fl_rgb_color(0x00, 0x78, 0xD7));
    return m;
  }();
  look->textfont(static_cast<Fl_Font>(window_.font().face));
  look->textsize(static_cast<Fl_Fontsize>(window_.font().size));
  std::vector<std::string> labels;
  labels.reserve(items_.size());
  for (const std::string& item : items_) labels.push_back(MenuLabel(item));
  std::vector<Fl_Menu_Item> menu(items_.size() + 1);
  for (std::size_t i = 0; i < items_.size(); ++i) {
    menu[i] = Fl_Menu_Item{};
    menu[i].label(labels[i].c_str());
  }
  menu.back() = Fl_Menu_Item{};
  dropped_ = true;
  const Fl_Menu_Item* picked = menu[0].pulldown(x(), y() + h(), w(), 0, nullptr, look);
  dropped_ = false;
  if (picked) ChooseByUser(static_cast<int>(picked - menu.data()));
}

void ComboControl::draw() {
  const int X = x(), Y = y(), W = w(), H = h();
  const bool enabled = active_r();
  DrawEdge(X, Y, W, H, Edge::kSunken);
  FillRect(X + 2, Y + 2, W - 4, H - 4, enabled ? color::kWindow : color::kFace);
  const int bw = ButtonWidth(), bx = X + W - 2 - bw;
  FillRect(bx, Y + 2, bw, H - 4, color::kFace);
  DrawEdge(bx, Y + 2, bw, H - 4, Edge::kRaised);
  DrawArrow(bx + bw / 2, Y + H / 2, false, enabled);
  if (edit_) {
    draw_child(*edit_);
    return;
  }
  const int tx = X + 3, tw = bx - tx - 1;
  const bool focused = Fl::focus() == this;
  TextStyle s = StyleOf(window_, enabled);
  s.vcenter = true;
  s.prefix = false;
  if (focused) {
    FillRect(tx, Y + 3, tw, H - 6, color::kSelection);
    s.color = color::kSelectionText;
  }
  DrawText(Text(), tx + 1, Y + 2, tw - 2, H - 4, s);
  if (focused) DrawFocusRect(tx, Y + 3, tw, H - 6);
}

int ComboControl::handle(int event) {
  switch (event) {
    case FL_PUSH:
      if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
      if (!edit_ || Fl::event_x() >= x() + w() - 2 - ButtonWidth()) {
        DropDown();
        return 1;
      }
      return Fl_Group::handle(event);
    case FL_FOCUS:
      if (edit_) return Fl_Group::handle(event);
      window_.Focused(*this);
      redraw();
      return 1;
    case FL_UNFOCUS:
      // Also heard when the field inside loses the focus; it reports that.
      if (!edit_) {
        redraw();
        window_.UserNotify(id(), Notify::kKillFocus);
      }
      return 1;
    case FL_KEYBOARD: {
      const int key = Fl::event_key();
      if ((Fl::event_state(FL_ALT) && key == FL_Down) || key == FL_F + 4) return DropDown(), 1;
      if (edit_ || Fl::event_state(FL_ALT | FL_CTRL)) return 0;
      if (key == FL_Up || key == FL_Left) return StepSelection(-1), 1;
      if (key == FL_Down || key == FL_Right) return StepSelection(1), 1;
      if (key == FL_Home) return ChooseByUser(0), 1;
      if (key == FL_End) return ChooseByUser(static_cast<int>(items_.size()) - 1), 1;
      if (Fl::event_length() == 1 && static_cast<unsigned char>(Fl::event_text()[0]) > ' ') {
        // A letter picks the next item that starts with it.
        const std::string letter(Fl::event_text(), 1);
        const int n = static_cast<int>(items_.size());
        for (int k = 1; k <= n; ++k) {
          const int i = (selection_ + k + n) % n;
          if (StartsWithIgnoringCase(items_[static_cast<std::size_t>(i)], letter)) return ChooseByUser(i), 1;
        }
        return 1;
      }
      return 0;
    }
    default:
      return Fl_Group::handle(event);
  }
}

// ------------------------------------------------------------------- list

ListControl::ListControl(FltkWindow& w, const ControlTemplate& t, const Rect& r)
    : Fl_Hold_Browser(r.left, r.top, r.Width(), r.Height()), Control(w, t) {
  user_data(static_cast<Control*>(this));
  format_char(0);
  column_char(0);
  box(FL_DOWN_BOX);
  color(FL_WHITE);
  selection_color(fl_rgb_color(0x00, 0x78, 0xD7));
  textfont(static_cast<Fl_Font>(w.font().face));
  textsize(static_cast<Fl_Fontsize>(w.font().size));
  when(FL_WHEN_CHANGED);
  callback(Picked, this);
}

void ListControl::SetText(const std::string& text) {
  // A list box has no text of its own: the item with exactly that text,
  // ignoring case, becomes the selection.
  const auto it = std::find_if(items_.begin(), items_.end(),
                               [&](const std::string& item) { return EqualsIgnoringCase(item, text); });
  Select(it == items_.end() ? -1 : static_cast<int>(it - items_.begin()));
}

std::string ListControl::Text() const {
  const int i = Selection();
  return i >= 0 && i < static_cast<int>(items_.size()) ? items_[static_cast<std::size_t>(i)] : std::string();
}

int ListControl::AddItem(const std::string& text) {
  const int at =
      rules::IsSortedList(tmpl_) ? rules::SortedInsertIndex(items_, text) : static_cast<int>(items_.size());
  items_.insert(items_.begin() + at, text);
  insert(at + 1, text.c_str());
  return at;
}

void ListControl::DeleteItem(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size())) return;
  items_.erase(items_.begin() + index);
  remove(index + 1);
}

void ListControl::ClearItems() {
  items_.clear();
  clear();
}

void ListControl::Select(int index) {
  if (index < 0 || index >= static_cast<int>(items_.size()))
    deselect();
  else
    value(index + 1);
}

int ListControl::handle(int event) {
  switch (event) {
    case FL_FOCUS:
      window_.Focused(*this);
      break;
    case FL_UNFOCUS:
      break;
    case FL_KEYBOARD:
      if (Fl::event_key() == FL_Tab || Fl::event_state(FL_ALT)) return 0;
      break;
    case FL_PUSH:
      window_.FocusControl(*this);
      break;
    default:
      break;
  }
  return Fl_Hold_Browser::handle(event);
}

void ListControl::Picked(Fl_Widget*, void* self) {
  auto* list = static_cast<ListControl*>(self);
  if (rules::ReportsSelectionChange(list->tmpl_)) list->window_.UserNotify(list->id(), Notify::kSelChange);
}

Rect ListControl::ItemRect(int index) {
  if (index < 0 || index >= size()) return {};
  int X = 0, Y = 0, W = 0, H = 0;
  bbox(X, Y, W, H);
  int top = Y - position();
  for (int line = 1; line <= index; ++line) top += item_height(find_line(line));
  const int bottom = top + item_height(find_line(index + 1));
  if (top < Y || bottom > Y + H) return {};
  return {X, top, X + W, bottom};
}

// ------------------------------------------------------------------- spin

SpinControl::SpinControl(FltkWindow& w, const ControlTemplate& t, const Rect& r, int buddy)
    : Fl_Widget(r.left, r.top, r.Width(), r.Height()), Control(w, t), buddy_(buddy) {
  box(FL_NO_BOX);
  user_data(static_cast<Control*>(this));
}

SpinControl::~SpinControl() { Fl::remove_timeout(Repeat, this); }

void SpinControl::SetRange(int min, int max) {
  min_ = min;
  max_ = max;
  pos_ = rules::ClampSpin(pos_, min, max);
}

void SpinControl::SetAccel(const std::vector<SpinAccel>& accel) {
  if (!accel.empty()) accel_ = accel;
}

int SpinControl::StepFor(unsigned held_ms) const { return rules::SpinIncrement(accel_, held_ms); }

void SpinControl::Step(int direction, int step) {
  Control* buddy = window_.FindControl(buddy_);
  const bool no_thousands = (tmpl_.style & style::kUdsNoThousands) != 0;
  // The field is read afresh each time: a typed number inside the range
  // counts.
  const int from = buddy ? rules::SpinStart(buddy->Text(), no_thousands, pos_, min_, max_) : pos_;
  pos_ = rules::SpinStep(from, direction * step, min_, max_, (tmpl_.style & style::kUdsWrap) != 0);
  if (buddy && (tmpl_.style & style::kUdsSetBuddyInt)) {
    buddy->SetText(rules::FormatSpinValue(pos_, no_thousands));
    // The field's text changed, and not by the program.
    if (buddy->tmpl().cls == ControlClass::Edit) window_.UserNotify(buddy_, Notify::kEditChange);
  }
}

void SpinControl::draw() {
  const int X = x(), Y = y(), W = w(), H = h(), half = H / 2;
  const bool enabled = active_r();
  FillRect(X, Y, W, H, color::kFace);
  DrawEdge(X, Y, W, half, held_ > 0 ? Edge::kSunken : Edge::kRaised);
  DrawEdge(X, Y + half, W, H - half, held_ < 0 ? Edge::kSunken : Edge::kRaised);
  DrawArrow(X + W / 2, Y + half / 2, true, enabled);
  DrawArrow(X + W / 2, Y + half + (H - half) / 2, false, enabled);
}

int SpinControl::handle(int event) {
  switch (event) {
    case FL_PUSH:
      if (Fl::event_button() != FL_LEFT_MOUSE) return 0;
      held_ = Fl::event_y() < y() + h() / 2 ? 1 : -1;
      held_since_ = std::chrono::steady_clock::now();
      redraw();
      Fl::add_timeout(0.5, Repeat, this);
      Step(held_, StepFor(0));
      return 1;
    case FL_DRAG:
      return 1;
    case FL_RELEASE:
      held_ = 0;
      Fl::remove_timeout(Repeat, this);
      redraw();
      return 1;
    case FL_ENTER:
    case FL_LEAVE:
      return 1;
    default:
      return 0;
  }
}

void SpinControl::Repeat(void* self) {
  auto* spin = static_cast<SpinControl*>(self);
  // A dialog opened meanwhile may have taken the mouse: then it is let go.
  if (spin->held_ == 0 || Fl::pushed() != spin) {
    spin->held_ = 0;
    spin->redraw();
    return;
  }
  Fl::repeat_timeout(0.1, Repeat, self);
  const auto held =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - spin->held_since_);
  spin->Step(spin->held_, spin->StepFor(static_cast<unsigned>(held.count())));
}

// ---------------------------------------------------------------- factory

std::unique_ptr<Control> MakeControl(FltkWindow& window, const ControlTemplate& t, const Rect& r, int buddy) {
  switch (t.cls) {
    case ControlClass::Button: return std::make_unique<ButtonControl>(window, t, r);
    case ControlClass::Edit: return std::make_unique<EditControl>(window, t, r);
    case ControlClass::Static: return std::make_unique<StaticControl>(window, t, r);
    case ControlClass::ListBox: return std::make_unique<ListControl>(window, t, r);
    case ControlClass::ComboBox: return std::make_unique<ComboControl>(window, t, r);
    case ControlClass::UpDown: return std::make_unique<SpinControl>(window, t, r, buddy);
  }
  return std::make_unique<StaticControl>(window, t, r);
}

}  // namespace qv::ui::fltk
