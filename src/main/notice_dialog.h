// Dialog 522: two centred lines that close themselves after a time (timer
// 0), on Enter (confirmed) or on ESC (cancelled).
#pragma once

#include <cstdint>
#include <string>

#include "ui/dialog.h"

namespace qv::main {

class NoticeDialog final : public ui::Dialog {
 public:
  // 0 ms: until the user closes it.
  NoticeDialog(std::uint32_t duration_ms, std::string first_line, std::string second_line);

 protected:
  bool OnInitDialog() override;
  void OnTimer(std::uintptr_t id) override;
  void OnDestroy() override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  void StopTimer();
  std::uint32_t duration_ms_;
  bool timer_running_ = false;
  std::string second_line_;
  std::string first_line_;
};

// Dialog 510: the program's name and version, a notice and the maker.
class AboutDialog final : public ui::Dialog {
 public:
  AboutDialog();

 protected:
  bool OnInitDialog() override;
  void DoDataExchange(ui::DataExchange& dx) override;

 private:
  std::string name_line_, notice_line_, maker_line_;
};

}  // namespace qv::main
