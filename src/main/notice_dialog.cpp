#include "main/notice_dialog.h"

#include "main/strings.h"
#include "main/templates.h"

namespace qv::main {

namespace {
constexpr std::uintptr_t kNoticeTimer = 0;
}

NoticeDialog::NoticeDialog(std::uint32_t duration_ms, std::string first_line, std::string second_line)
    : ui::Dialog(NoticeTemplate()),
      duration_ms_(duration_ms),
      second_line_(std::move(second_line)),
      first_line_(std::move(first_line)) {}

bool NoticeDialog::OnInitDialog() {
  Window()->SetCaption(ui::LoadText(kStrProductName));
  if (duration_ms_ > 0) timer_running_ = Window()->SetTimer(kNoticeTimer, duration_ms_) != 0;
  UpdateData(false);
  return true;
}

void NoticeDialog::StopTimer() {
  if (timer_running_ && Window()->KillTimer(kNoticeTimer)) timer_running_ = false;
}

void NoticeDialog::OnTimer(std::uintptr_t id) {
  if (id != kNoticeTimer) return;
  StopTimer();
  OnOK();
}

void NoticeDialog::OnDestroy() { StopTimer(); }

void NoticeDialog::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(kIdNoticeSecond, second_line_);
  dx.Text(kIdNoticeFirst, first_line_);
}

AboutDialog::AboutDialog() : ui::Dialog(AboutTemplate()) {}

bool AboutDialog::OnInitDialog() {
  Window()->SetCaption(ui::LoadText(kStrAboutCaption));
  name_line_ = ui::LoadText(kStrAboutCaption) + "   " + ui::LoadText(kStrVersion);
  notice_line_ = ui::LoadText(kStrAboutNotice);
  maker_line_ = ui::LoadText(kStrAboutMaker);
  UpdateData(false);
  return true;
}

void AboutDialog::DoDataExchange(ui::DataExchange& dx) {
  dx.Text(kIdAboutName, name_line_);
  dx.Text(kIdAboutNotice, notice_line_);
  dx.Text(kIdAboutMaker, maker_line_);
}

}  // namespace qv::main
