// A dialog whose handlers are lambdas, for tests that run real dialogs on
// a host.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "ui/dialog.h"

namespace qv::test {

// The framework's texts, as the programs' tables carry them.
inline const ui::StringTable& FrameworkStrings() {
  static const ui::StringTable strings{{ui::kStringExpectInteger, "整数を入力してください。"},
                                       {ui::kStringExpectIntegerRange, "%1 から %2 までの整数を入力してください。"}};
  return strings;
}

class ScriptedDialog : public ui::Dialog {
 public:
  using Dialog::Dialog;
  using Dialog::EndDialog;

  std::function<void(ScriptedDialog&)> on_init;
  std::function<void(ScriptedDialog&, bool)> on_show;
  std::function<bool(ScriptedDialog&, int)> on_command;  // true: handled
  std::function<void(ScriptedDialog&, std::uintptr_t)> on_timer;
  std::function<std::intptr_t(ScriptedDialog&, unsigned, std::uintptr_t, std::intptr_t)> on_message;
  std::function<void(ScriptedDialog&, int, ui::Notify)> on_notify;
  std::function<bool(ScriptedDialog&, unsigned)> on_sys_command;
  std::function<void(ScriptedDialog&)> on_time_change;

 protected:
  bool OnInitDialog() override {
    const bool r = Dialog::OnInitDialog();
    if (on_init) on_init(*this);
    return r;
  }
  void OnShow(bool shown) override {
    if (on_show) on_show(*this, shown);
  }
  void OnCommand(int id) override {
    if (on_command && on_command(*this, id)) return;
    Dialog::OnCommand(id);
  }
  void OnTimer(std::uintptr_t id) override {
    if (on_timer) on_timer(*this, id);
  }
  std::intptr_t OnMessage(unsigned msg, std::uintptr_t wp, std::intptr_t lp) override {
    return on_message ? on_message(*this, msg, wp, lp) : 0;
  }
  void OnNotify(int control, ui::Notify code) override {
    if (on_notify) on_notify(*this, control, code);
  }
  bool OnSysCommand(unsigned command) override { return on_sys_command && on_sys_command(*this, command); }
  void OnTimeChange() override {
    if (on_time_change) on_time_change(*this);
  }
};

}  // namespace qv::test
