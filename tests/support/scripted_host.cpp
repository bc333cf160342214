#include "support/scripted_host.h"

#include <algorithm>
#include <cstdio>

#include "base/text.h"

namespace qv::test {

using namespace ui;

namespace {
bool UserCanReach(const HeadlessWindow* w, int control) { return w && w->Reachable(control); }
}  // namespace

std::optional<core::TimerTable::Timer> ScriptedHost::TakeDueTimer() {
  // Every tick on the way to where the clock was moved, in time order.
  const auto t = timers_.TakeDue(manual_target_, manual_target_, true);
  manual_now_ = std::max(manual_now_, t ? t->due_ms : manual_target_);
  return t;
}

bool ScriptedHost::OnIdle(HeadlessWindow& /*window*/) {
  if (!steps_.empty()) {
    Step step = std::move(steps_.front());
    steps_.pop_front();
    step(*this);
    return true;
  }
  if (Step remote; TakeRemote(remote)) {
    remote(*this);
    return true;
  }
  return false;
}

void ScriptedHost::WaitWhenIdle(HeadlessWindow& window) {
  MarkIdle();
  // Nothing left to do but wait for another thread (a query worker or the
  // remote user).
  bool finished = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finished = user_finished_;
  }
  // Once the remote user is done, only a worker can still end the run: a
  // second's wait is plenty for that.
  const std::int64_t limit = finished ? std::min<std::int64_t>(stall_limit_.count(), 1000) : stall_limit_.count();
  if (!WaitForInput(limit)) {
    std::fprintf(stderr, "headless host: modal loop stalled (no step, no message)\n");
    stalled_ = true;
    window.End(kIdCancelResult);
  }
}

bool ScriptedHost::OtherInputPending() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !remote_.empty();
}

void ScriptedHost::BoxAsked(const MessageBoxRecord& box) {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_.push_back(box);
}

bool ScriptedHost::BoxesAnswerThemselves() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !boxes_wait_;
}

int ScriptedHost::NextAnswer() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (answers_.empty()) return kIdOkResult;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

std::vector<ScriptedHost::MessageBoxRecord> ScriptedHost::message_boxes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return boxes_;
}

void ScriptedHost::QueueAnswer(int button) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_.push_back(button);
}

ui::HeadlessWindow* ScriptedHost::FindByCaption(const std::string& caption) const {
  const auto& stack = windows_.windows();
  for (auto it = stack.rbegin(); it != stack.rend(); ++it)
    if ((*it)->Caption() == caption && !(*it)->ended()) return *it;
  return nullptr;
}

void ScriptedHost::SimulateTimeChange() {
  windows_.TellTimeChange([](HeadlessWindow& w) {
    if (!w.is_message_box()) w.dialog().HandleTimeChange();
  });
}

// ------------------------------------------------------------ the remote user

bool ScriptedHost::TakeRemote(Step& step) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (remote_.empty()) return false;
  remote_taken_ = remote_.front().first;
  step = std::move(remote_.front().second);
  remote_.pop_front();
  return true;
}

void ScriptedHost::MarkIdle() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    remote_idle_ = remote_taken_;
  }
  idle_cv_.notify_all();
}

bool ScriptedHost::RunOnUiThread(const Step& action, std::chrono::milliseconds timeout) {
  std::uint64_t seq = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    seq = remote_next_++;
    remote_.emplace_back(seq, action);
  }
  Wake();
  std::unique_lock<std::mutex> lock(mutex_);
  if (idle_cv_.wait_for(lock, timeout, [&] { return remote_idle_ >= seq; })) return true;
  // Never taken: withdraw it, so it cannot run after the caller gave up.
  remote_.erase(std::remove_if(remote_.begin(), remote_.end(), [&](const auto& r) { return r.first == seq; }),
                remote_.end());
  return false;
}

void ScriptedHost::SetBoxesWaitForUser(bool wait) {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_wait_ = wait;
  user_finished_ = false;
}

void ScriptedHost::UserFinished() {
  std::lock_guard<std::mutex> lock(mutex_);
  boxes_wait_ = false;
  user_finished_ = true;
}

// ------------------------------------------------------------ user actions

HeadlessWindow* ScriptedHost::Target(WindowId window) const {
  HeadlessWindow* w = Find(window);
  return w && !w->ended() && w->enabled() ? w : nullptr;
}

bool ScriptedHost::Click(int control) { return Active() && Click(Active()->Id(), control); }

bool ScriptedHost::Click(WindowId window, int control) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control)) return false;
  HeadlessWindow::Control* c = w->control(control);
  const ControlTemplate& t = *c->tmpl;
  // The press moves the focus first: the field left hears it before the click.
  if (rules::TakesFocus(t)) FocusOn(window, control);
  if (Find(window) != w || w->ended() || t.cls != ControlClass::Button) return true;
  if (rules::IsButtonKind(t, style::kBsAutoRadio))
    for (int peer : rules::RadioPeersToClear(w->tmpl(), control, [&](int id) { return w->Reachable(id); }))
      w->control(peer)->check = 0;
  c->check = rules::CheckAfterClick(t, c->check);
  w->dialog().HandleCommand(control);
  return true;
}

bool ScriptedHost::FocusOn(int control) { return Active() && FocusOn(Active()->Id(), control); }

bool ScriptedHost::FocusOn(WindowId window, int control) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control) || !rules::TakesFocus(*w->control(control)->tmpl)) return false;
  const int before = w->focus();
  w->set_focus(control);
  if (before != control) {
    if (const HeadlessWindow::Control* left = w->control(before); left && rules::ReportsFocusLoss(*left->tmpl))
      w->dialog().HandleNotify(before, Notify::kKillFocus);
  }
  return true;
}

bool ScriptedHost::Choose(int control, int index) { return Active() && Choose(Active()->Id(), control, index); }

bool ScriptedHost::Choose(WindowId window, int control, int index) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control)) return false;
  HeadlessWindow::Control* c = w->control(control);
  if (index < 0 || index >= static_cast<int>(c->items.size())) return false;
  FocusOn(window, control);
  if (Find(window) != w || w->ended()) return true;
  w->Select(control, index);
  if (rules::ReportsSelectionChange(*c->tmpl)) w->dialog().HandleNotify(control, Notify::kSelChange);
  return true;
}

bool ScriptedHost::Spin(int spin, int steps) { return Active() && Spin(Active()->Id(), spin, steps); }

bool ScriptedHost::Spin(WindowId window, int spin, int steps) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, spin)) return false;
  HeadlessWindow::Control* c = w->control(spin);
  if (c->tmpl->cls != ControlClass::UpDown) return false;
  const int buddy = rules::SpinBuddy(w->tmpl(), spin);
  // The user presses the arrow keys in the field the up-down belongs to.
  FocusOn(window, buddy);
  const int step = rules::SpinIncrement(c->spin_accel, 0);
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
      if (const HeadlessWindow::Control* b = w->control(buddy); b && b->tmpl->cls == ControlClass::Edit)
        w->dialog().HandleNotify(buddy, Notify::kEditChange);
    }
  }
  return true;
}

bool ScriptedHost::SystemCommand(unsigned command) { return Active() && SystemCommand(Active()->Id(), command); }

bool ScriptedHost::SystemCommand(WindowId window, unsigned command) {
  HeadlessWindow* w = Target(window);
  if (!w) return false;
  const auto& menu = w->system_menu();
  if (command == 0 || std::none_of(menu.begin(), menu.end(), [&](const auto& m) { return m.command == command; }))
    return false;
  Deliver(*w, kWmSysCommand, command, 0);
  return true;
}

bool ScriptedHost::Type(int control, const std::string& text) {
  return Active() && Type(Active()->Id(), control, text);
}

bool ScriptedHost::Type(WindowId window, int control, const std::string& text) {
  HeadlessWindow* w = Target(window);
  if (!UserCanReach(w, control)) return false;
  HeadlessWindow::Control* c = w->control(control);
  if (c->tmpl->cls != ControlClass::Edit && !rules::HasEditField(*c->tmpl)) return false;
  FocusOn(window, control);
  if (Find(window) != w || w->ended()) return true;
  c->text = text;
  if (on_text) on_text(window, control, text);
  w->dialog().HandleNotify(control, Notify::kEditChange);
  return true;
}

void ScriptedHost::PressEsc() {
  if (Active()) PressEsc(Active()->Id());
}

void ScriptedHost::PressEnter() {
  if (Active()) PressEnter(Active()->Id());
}

bool ScriptedHost::PressEsc(WindowId window) {
  HeadlessWindow* w = Target(window);
  if (!w) return false;
  w->dialog().HandleCommand(kIdCancel);
  return true;
}

bool ScriptedHost::PressEnter(WindowId window) {
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

bool ScriptedHost::PressMnemonic(WindowId window, char letter) {
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

bool ScriptedHost::Close(WindowId window) {
  HeadlessWindow* w = Find(window);
  if (!w || w->ended()) return false;
  Deliver(*w, kWmClose, 0, 0);
  return true;
}

}  // namespace qv::test
