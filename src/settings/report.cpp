// Messages for the user that may come from a query worker: only the
// dialog's thread shows them.
#include <deque>
#include <mutex>
#include <thread>

#include "settings/settings_dialog.h"

namespace qv::settings {

namespace {
std::mutex g_mutex;
std::deque<std::string> g_waiting;
ui::WindowId g_window = 0;
std::thread::id g_ui_thread;
}  // namespace

void SetReportWindow(ui::WindowId window) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_window = window;
  g_ui_thread = std::this_thread::get_id();
}

void ReportToUser(const std::string& text) {
  ui::WindowId window = 0;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (std::this_thread::get_id() != g_ui_thread) {
      g_waiting.push_back(text);
      window = g_window;
    }
  }
  if (window == 0) {
    // On the dialog's thread it shows now; from elsewhere with no dialog to
    // post to, it waits for the next ShowReports.
    if (std::this_thread::get_id() == g_ui_thread) ui::ShowMessage(text);
    return;
  }
  ui::CurrentHost().Post(window, WM_SETTINGS_REPORT, 0, 0);
}

void ShowReports() {
  for (;;) {
    std::string text;
    {
      std::lock_guard<std::mutex> lock(g_mutex);
      if (g_waiting.empty()) return;
      text = std::move(g_waiting.front());
      g_waiting.pop_front();
    }
    ui::ShowMessage(text);
  }
}

}  // namespace qv::settings
