#include "ui/dialog.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/process.h"

namespace qv::ui {

namespace {
Host* g_host = nullptr;
const StringTable* g_strings = nullptr;

bool StartsWithNoCase(const std::string& item, const std::string& prefix) {
  if (prefix.size() > item.size()) return false;
  return std::equal(prefix.begin(), prefix.end(), item.begin(), [](char a, char b) {
    return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
  });
}

// Integer text as a user types it: optional blanks, sign, digits, blanks.
bool ParseIntField(const std::string& text, int& out) {
  const char* s = text.c_str();
  char* end = nullptr;
  errno = 0;
  long v = std::strtol(s, &end, 10);
  if (end == s || errno == ERANGE || v < INT_MIN || v > INT_MAX) return false;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end != '\0') return false;
  out = static_cast<int>(v);
  return true;
}
}  // namespace

Host& CurrentHost() {
  if (!g_host) std::abort();  // a program always installs its host first
  return *g_host;
}
void SetHost(Host* host) { g_host = host; }

void SetStringTable(const StringTable* table) { g_strings = table; }
std::string LoadString(int id) {
  if (!g_strings) return {};
  auto it = g_strings->find(id);
  return it == g_strings->end() ? std::string() : it->second;
}

int ShowMessage(const std::string& text, int flags, WindowId owner) {
  return CurrentHost().MessageBox(owner ? owner : CurrentHost().ActiveWindow(), text,
                                  platform::ExecutableBaseName(), flags);
}

// ---------------------------------------------------------------- exchange

DataExchange::DataExchange(HostWindow& window, const DialogTemplate& tmpl, bool save)
    : w_(window), tmpl_(tmpl), save_(save) {}

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
  int v = 0;
  if (!ParseIntField(w_.Text(control), v)) {
    ShowMessage("整数を入力してください。", kMbOk | kMbIconWarning, w_.Id());
    w_.Focus(control);
    failed_ = true;
    return;
  }
  if (v < min || v > max) {
    ShowMessage(std::to_string(min) + " から " + std::to_string(max) + " までの整数を入力してください。",
                kMbOk | kMbIconWarning, w_.Id());
    w_.Focus(control);
    failed_ = true;
    return;
  }
  value = v;
}

void DataExchange::Check(int control, int& value) {
  if (Skip()) return;
  if (save_)
    value = w_.Check(control) == 1 ? 1 : (w_.Check(control) == 2 ? 2 : 0);
  else
    w_.SetCheck(control, value);
}

std::vector<int> DataExchange::RadioGroup(int first_control) const {
  // The group runs from the first button to the next control that starts a
  // group, as the Windows dialog manager groups them.
  std::vector<int> ids;
  bool in = false;
  for (const auto& c : tmpl_.controls) {
    if (c.id == first_control) {
      in = true;
    } else if (in && (c.style & style::kGroup)) {
      break;
    }
    if (in) ids.push_back(c.id);
  }
  return ids;
}

void DataExchange::Radio(int first_control, int& value) {
  if (Skip()) return;
  const std::vector<int> group = RadioGroup(first_control);
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
  const auto items = w_.Items(control);
  for (std::size_t i = 0; i < items.size(); ++i)
    if (StartsWithNoCase(items[i], value)) {
      w_.Select(control, static_cast<int>(i));
      return;
    }
  w_.SetText(control, value);
}

// ------------------------------------------------------------------ dialog

Dialog::Dialog(const DialogTemplate& tmpl) : tmpl_(tmpl) {}
Dialog::~Dialog() = default;

int Dialog::DoModal(WindowId owner) {
  if (!owner) owner = CurrentHost().ActiveWindow();
  return CurrentHost().RunModal(*this, tmpl_, owner);
}

bool Dialog::HandleInit() { return OnInitDialog(); }

void Dialog::HandleCommand(int id) { OnCommand(id); }

bool Dialog::UpdateData(bool save) {
  if (!window_) return false;
  DataExchange dx(*window_, tmpl_, save);
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

void Dialog::OnOK() {
  if (UpdateData(true)) EndDialog(kIdOkResult);
}

}  // namespace qv::ui
