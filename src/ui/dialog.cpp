#include "ui/dialog.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "base/text.h"
#include "platform/process.h"
#include "ui/dialog_rules.h"

namespace qv::ui {

namespace {
Host* g_host = nullptr;
const StringTable* g_strings = nullptr;
const IconTable* g_icons = nullptr;

// "%1" and "%2" of a framework text replaced by the bounds.
std::string FillBounds(std::string text, int min, int max) {
  for (const auto& [mark, value] : {std::pair{"%1", min}, std::pair{"%2", max}}) {
    const std::size_t at = text.find(mark);
    if (at != std::string::npos) text.replace(at, 2, std::to_string(value));
  }
  return text;
}

}  // namespace

Host& CurrentHost() {
  if (!g_host) std::abort();  // a program always installs its host first
  return *g_host;
}
void SetHost(Host* host) { g_host = host; }

void SetStringTable(const StringTable* table) { g_strings = table; }
std::string LoadText(int id) {
  if (!g_strings) return {};
  auto it = g_strings->find(id);
  return it == g_strings->end() ? std::string() : it->second;
}

void SetIconTable(const IconTable* table) { g_icons = table; }
const Icon* FindIcon(int id) {
  if (!g_icons) return nullptr;
  auto it = g_icons->find(id);
  return it == g_icons->end() ? nullptr : &it->second;
}

int ProgramIconId() { return g_icons && !g_icons->empty() ? g_icons->begin()->first : 0; }

const IconImage* Icon::Best(int size) const {
  const IconImage* best = nullptr;
  for (const IconImage& image : images)
    if (!best || std::abs(image.size - size) < std::abs(best->size - size)) best = &image;
  return best;
}

int ShowMessage(const std::string& text, int flags, WindowId owner) {
  return CurrentHost().ShowMessageBox(owner ? owner : CurrentHost().ActiveWindow(), text,
                                  platform::ExecutableBaseName(), flags);
}

// ---------------------------------------------------------------- windows

void HostWindow::SetProperty(const std::string& name, std::intptr_t value) {
  properties_[name] = value;
  PublishProperty(name, &value);
}

std::intptr_t HostWindow::Property(const std::string& name) const {
  auto it = properties_.find(name);
  return it == properties_.end() ? 0 : it->second;
}

void HostWindow::RemoveProperty(const std::string& name) {
  properties_.erase(name);
  PublishProperty(name, nullptr);
}

// ---------------------------------------------------------------- exchange

DataExchange::DataExchange(HostWindow& window, const DialogTemplate& tmpl, bool save, Dialog* dialog)
    : w_(window), tmpl_(tmpl), save_(save), dialog_(dialog) {}

void DataExchange::Fail(const ExchangeFailure& failure) {
  failed_ = true;
  if (dialog_) dialog_->HandleExchangeFailure(failure);
}

void DataExchange::Text(int control, std::string& value) {
  if (Skip()) return;
  if (save_)
    value = w_.Text(control);
  else
    w_.SetText(control, value);
}

void DataExchange::Int(int control, int& value) { IntRange(control, value, INT_MIN, INT_MAX); }

void DataExchange::IntRange(int control, int& value, int min, int max) {
  if (Skip()) return;
  if (!save_) {
    w_.SetText(control, std::to_string(value));
    return;
  }
  const std::optional<int> typed = ParseTypedInt(w_.Text(control));
  if (!typed) {
    Fail({control, ExchangeFailure::Kind::kNotInteger, min, max});
    return;
  }
  if (*typed < min || *typed > max) {
    Fail({control, ExchangeFailure::Kind::kOutOfRange, min, max});
    return;
  }
  value = *typed;
}

void DataExchange::Check(int control, int& value) {
  if (Skip()) return;
  if (save_)
    value = w_.Check(control) == 1 ? 1 : (w_.Check(control) == 2 ? 2 : 0);
  else
    w_.SetCheck(control, value);
}

void DataExchange::Radio(int first_control, int& value) {
  if (Skip()) return;
  const std::vector<int> group = rules::RadioGroup(tmpl_, first_control);
  if (save_) {
    value = -1;
    for (std::size_t i = 0; i < group.size(); ++i)
      if (w_.Check(group[i]) == 1) {
        value = static_cast<int>(i);
        break;
      }
  } else {
    for (std::size_t i = 0; i < group.size(); ++i)
      w_.SetCheck(group[i], static_cast<int>(i) == value ? 1 : 0);
  }
}

void DataExchange::ComboText(int control, std::string& value) {
  if (Skip()) return;
  if (save_) {
    value = w_.Text(control);
    return;
  }
  const int match = rules::FindPrefix(w_.Items(control), value);
  if (match >= 0)
    w_.Select(control, match);
  else
    w_.SetText(control, value);
}

// ------------------------------------------------------------------ dialog

Dialog::Dialog(const DialogTemplate& tmpl) : tmpl_(tmpl) {}
Dialog::~Dialog() = default;

int Dialog::DoModal(WindowId owner) {
  if (!owner) owner = CurrentHost().ActiveWindow();
  return CurrentHost().RunModal(*this, tmpl_, owner);
}

namespace {
// Runs one handler; what it throws is reported and goes no further.
template <typename Fn, typename R>
R Guarded(const char* event, int dialog_id, R dropped, Fn&& fn) {
  try {
    return fn();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "dialog %d: the %s handler threw (%s); event dropped\n", dialog_id, event, e.what());
  } catch (...) {
    std::fprintf(stderr, "dialog %d: the %s handler threw; event dropped\n", dialog_id, event);
  }
  return dropped;
}
}  // namespace

// A failed initialisation still lets the dialog take its default focus.
bool Dialog::HandleInit() {
  return Guarded("init", tmpl_.id, true, [&] { return OnInitDialog(); });
}
void Dialog::HandleShow(bool shown) {
  Guarded("show", tmpl_.id, 0, [&] { return OnShow(shown), 0; });
}
void Dialog::HandleCommand(int id) {
  Guarded("command", tmpl_.id, 0, [&] { return OnCommand(id), 0; });
}
void Dialog::HandleTimer(std::uintptr_t id) {
  Guarded("timer", tmpl_.id, 0, [&] { return OnTimer(id), 0; });
}
std::intptr_t Dialog::HandleMessage(unsigned msg, std::uintptr_t wparam, std::intptr_t lparam) {
  return Guarded("message", tmpl_.id, std::intptr_t{0}, [&] { return OnMessage(msg, wparam, lparam); });
}
void Dialog::HandleDestroy() {
  Guarded("destroy", tmpl_.id, 0, [&] { return OnDestroy(), 0; });
}
bool Dialog::HandleSysCommand(unsigned command) {
  // A handler that failed has not handled it: the default runs.
  return Guarded("system command", tmpl_.id, false, [&] { return OnSysCommand(command); });
}
void Dialog::HandleNotify(int control, Notify code) {
  Guarded("notify", tmpl_.id, 0, [&] { return OnNotify(control, code), 0; });
}
void Dialog::HandleTimeChange() {
  Guarded("time change", tmpl_.id, 0, [&] { return OnTimeChange(), 0; });
}
void Dialog::HandleExchangeFailure(const ExchangeFailure& failure) {
  Guarded("exchange failure", tmpl_.id, 0, [&] { return OnExchangeFailure(failure), 0; });
}

bool Dialog::UpdateData(bool save) {
  if (!window_) return false;
  DataExchange dx(*window_, tmpl_, save, this);
  DoDataExchange(dx);
  return !dx.failed();
}

void Dialog::EndDialog(int result) {
  if (window_) window_->End(result);
}

void Dialog::OnCommand(int id) {
  if (id == kIdOk)
    OnOK();
  else if (id == kIdCancel)
    OnCancel();
}

void Dialog::OnExchangeFailure(const ExchangeFailure& failure) {
  const bool range = failure.kind == ExchangeFailure::Kind::kOutOfRange;
  ShowMessage(FillBounds(LoadText(range ? kStringExpectIntegerRange : kStringExpectInteger), failure.min,
                         failure.max),
              kMbOk | kMbIconWarning, Id());
  if (window_) window_->Focus(failure.control);
}

void Dialog::OnOK() {
  if (UpdateData(true)) EndDialog(kIdOkResult);
}

}  // namespace qv::ui
