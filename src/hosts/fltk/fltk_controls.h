// The controls of a dialog on the Linux GUI, one class per kind the
// templates use, each drawn in the Windows look and reporting to its window
// as the Windows controls report to theirs.
#pragma once

#include <FL/Fl_Group.H>
#include <FL/Fl_Hold_Browser.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Widget.H>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_rules.h"

namespace qv::ui::fltk {

class FltkWindow;

// Icons a control can show that are not the program's own.
enum class StockIcon { kNone, kWarning };

class Control {
 public:
  Control(FltkWindow& window, const ControlTemplate& t) : window_(window), tmpl_(t), text_(t.text) {}
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  virtual Fl_Widget& widget() = 0;
  const Fl_Widget& widget() const { return const_cast<Control*>(this)->widget(); }
  const ControlTemplate& tmpl() const { return tmpl_; }
  int id() const { return tmpl_.id; }

  virtual void SetText(const std::string& text);
  virtual std::string Text() const { return text_; }
  virtual void SetCheck(int) {}
  virtual int Check() const { return 0; }
  virtual int AddItem(const std::string&) { return -1; }
  virtual void DeleteItem(int) {}
  virtual void ClearItems() {}
  virtual std::vector<std::string> Items() const { return {}; }
  virtual int Selection() const { return -1; }
  virtual void Select(int) {}
  virtual void SelectAllText() {}
  virtual void SetIcon(int /*icon_id*/) {}
  virtual void SetStockIcon(StockIcon) {}
  // The program's icon it shows (0: none).
  virtual int icon() const { return 0; }

  // Whether the keyboard focus can rest here (enabled and visible aside).
  virtual bool Focusable() const { return false; }
  // The widget that holds the focus for this control.
  virtual Fl_Widget& focus_widget() { return widget(); }
  // What its mnemonic or the keyboard's click does.
  virtual void Activate() {}
  virtual bool IsPushButton() const { return false; }
  virtual bool IsRadio() const { return false; }
  // Typed letters are text here, not mnemonics.
  virtual bool TakesChars() const { return false; }
  char mnemonic() const;
  // Reachable by the user: enabled and shown.
  bool Usable() const;

 protected:
  FltkWindow& window_;
  const ControlTemplate& tmpl_;
  std::string text_;
};

// Static text, frames, lines and icons.
class StaticControl : public Fl_Widget, public Control {
 public:
  StaticControl(FltkWindow& w, const ControlTemplate& t, const Rect& r);
  Fl_Widget& widget() override { return *this; }
  void SetText(const std::string& text) override;
  void SetIcon(int icon_id) override;
  void SetStockIcon(StockIcon icon) override;
  int icon() const override { return icon_; }
  void draw() override;
  int handle(int) override { return 0; }

 private:
  int icon_ = 0;
  StockIcon stock_ = StockIcon::kNone;
};

// Push buttons, check boxes (flat, push-like, three-state), radio buttons
// and group boxes.
class ButtonControl : public Fl_Widget, public Control {
 public:
  ButtonControl(FltkWindow& w, const ControlTemplate& t, const Rect& r);
  Fl_Widget& widget() override { return *this; }
  void SetText(const std::string& text) override;
  void SetCheck(int state) override;
  int Check() const override { return check_; }
  void SetIcon(int icon_id) override;
  int icon() const override { return icon_; }
  bool Focusable() const override { return rules::TakesFocus(tmpl_); }
  void Activate() override;
  bool IsPushButton() const override;
  bool IsRadio() const override;
  void draw() override;
  int handle(int event) override;

 private:
  std::uint32_t kind() const { return tmpl_.style & 0xF; }
  bool LooksPushed() const;
  int check_ = 0;
  bool pressed_ = false;  // the mouse holds it down
  int icon_ = 0;
};

// A single-line edit field; also the field of an editable combo box.
class EditControl : public Fl_Input, public Control {
 public:
  // `combo`: the combo box it belongs to (its notifications carry the
  // combo's id, and the combo draws the border).
  EditControl(FltkWindow& w, const ControlTemplate& t, const Rect& r, Control* combo = nullptr);
  Fl_Widget& widget() override { return *this; }
  void SetText(const std::string& text) override;
  std::string Text() const override;
  void SelectAllText() override;
  bool Focusable() const override { return true; }
  bool TakesChars() const override { return true; }
  void Activate() override;
  void draw() override;
  int handle(int event) override;

 private:
  static void Changed(Fl_Widget*, void* self);
  int TextLeft(int& width) const;  // where the text starts (right-aligned fields)
  int NotifyId() const;
  Control* combo_;
  bool bordered_;
  bool right_;
};

// Drop-down combo boxes, with an edit field or (drop-down list) without.
class ComboControl : public Fl_Group, public Control {
 public:
  ComboControl(FltkWindow& w, const ControlTemplate& t, const Rect& r);
  Fl_Widget& widget() override { return *this; }
  Fl_Widget& focus_widget() override;
  void SetText(const std::string& text) override;
  std::string Text() const override;
  int AddItem(const std::string& text) override;
  void DeleteItem(int index) override;
  void ClearItems() override;
  std::vector<std::string> Items() const override { return items_; }
  int Selection() const override { return selection_; }
  void Select(int index) override;
  void SelectAllText() override;
  bool Focusable() const override { return true; }
  bool TakesChars() const override { return edit_ != nullptr; }
  void Activate() override;
  void draw() override;
  int handle(int event) override;

  // The user's part: the list opened and an item picked, an arrow key.
  void DropDown();
  void StepSelection(int delta);
  void EditedByUser();  // the field's text changed under the user's hands
  bool list_only() const { return edit_ == nullptr; }
  // The list is open (its menu takes the keyboard and the mouse).
  bool dropped() const { return dropped_; }

 private:
  void ChooseByUser(int index);
  int ButtonWidth() const;
  std::vector<std::string> items_;
  int selection_ = -1;
  EditControl* edit_ = nullptr;  // a child of this group; none for a drop-down list
  bool dropped_ = false;
};

// List boxes.
class ListControl : public Fl_Hold_Browser, public Control {
 public:
  ListControl(FltkWindow& w, const ControlTemplate& t, const Rect& r);
  Fl_Widget& widget() override { return *this; }
  void SetText(const std::string& text) override;
  std::string Text() const override;
  int AddItem(const std::string& text) override;
  void DeleteItem(int index) override;
  void ClearItems() override;
  std::vector<std::string> Items() const override { return items_; }
  int Selection() const override { return value() - 1; }
  void Select(int index) override;
  bool Focusable() const override { return true; }
  int handle(int event) override;
  // Where an item is drawn now, in window pixels (empty when scrolled away).
  Rect ItemRect(int index);

 private:
  static void Picked(Fl_Widget*, void* self);
  void Refill();
  std::vector<std::string> items_;  // the browser's lines are escaped copies
};

// Up-down controls: two arrows that step the number in their buddy field.
class SpinControl : public Fl_Widget, public Control {
 public:
  SpinControl(FltkWindow& w, const ControlTemplate& t, const Rect& r, int buddy);
  ~SpinControl() override;
  Fl_Widget& widget() override { return *this; }
  void SetRange(int min, int max);
  void SetAccel(const std::vector<SpinAccel>& accel);
  int buddy() const { return buddy_; }
  bool arrow_keys() const { return (tmpl_.style & style::kUdsArrowKeys) != 0; }
  // One press of an arrow: +1 up, -1 down, `step` at a time.
  void Step(int direction, int step);
  // The step of an arrow held for `held_ms` (0: a single press).
  int StepFor(unsigned held_ms) const;
  void draw() override;
  int handle(int event) override;

 private:
  static void Repeat(void* self);
  int buddy_;
  int min_ = 100, max_ = 0;  // the system's default range
  int pos_ = 0;
  std::vector<SpinAccel> accel_;  // none until the program sets one: steps of 1
  int held_ = 0;  // +1 up, -1 down, 0 none
  std::chrono::steady_clock::time_point held_since_;
};

// Makes the control for one template entry at its pixel rectangle.
std::unique_ptr<Control> MakeControl(FltkWindow& window, const ControlTemplate& t, const Rect& r, int buddy);

}  // namespace qv::ui::fltk
