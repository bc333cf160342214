// Another program reads what a window shows through the window channel, also
// one whose descriptors are all above what the event loop's select() can
// watch. (The two programs meeting, announcing, placing and closing each
// other, and a missing Japanese font: tools/linux-e2e.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "fltk_test_support.h"
#include "profile/temp_dir.h"
#include "support/run_command.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

// Every descriptor below FD_SETSIZE taken (by a leak, or a parent's
// inheritance): what the process opens next lies beyond select()'s sets.
class DescriptorFlood {
 public:
  DescriptorFlood() {
    getrlimit(RLIMIT_NOFILE, &saved_);
    rlimit more = saved_;
    more.rlim_cur = std::min<rlim_t>(std::max<rlim_t>(saved_.rlim_cur, FD_SETSIZE + 256), saved_.rlim_max);
    setrlimit(RLIMIT_NOFILE, &more);
    for (;;) {
      const int fd = open("/dev/null", O_RDONLY | O_CLOEXEC);
      if (fd < 0) break;
      fds_.push_back(fd);
      if (fd >= FD_SETSIZE) break;
    }
  }
  ~DescriptorFlood() {
    for (int fd : fds_) close(fd);
    setrlimit(RLIMIT_NOFILE, &saved_);
  }
  bool full() const { return !fds_.empty() && fds_.back() >= FD_SETSIZE; }

 private:
  rlimit saved_{};
  std::vector<int> fds_;
};

// What another program of the same user may read of a window, as it may
// on Windows, while the program has no descriptor left that select() could
// watch. (Every query the programs answer: tools/linux-e2e.)
TEST_F(HostTest, AnotherProgramReadsWhatTheWindowShows) {
  Watchdog dog(std::chrono::seconds(60));
  DescriptorFlood flood;
  ASSERT_TRUE(flood.full()) << "the descriptor limit stops short of FD_SETSIZE";
  using namespace wintest;
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  d.on_init = [](ScriptedDialog& self) { self.Window()->SetText(kName, "ntp.example.jp"); };
  const test::TempDir dir;
  const std::string scratch = dir.File("query");
  const auto ask = [&](const std::vector<std::string>& words) {
    std::vector<std::string> command{QV_CHANNEL_PEER};
    command.insert(command.end(), words.begin(), words.end());
    return test::RunCapture(command, scratch).out;
  };
  std::vector<std::string> got, want;
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    const std::string id = std::to_string(w);
    const ui::Rect r = drv::ControlRect(w, kName);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"query", id, "caption"}, std::string(kFormCaption) + "\n"},
        {{"query", id, "text", std::to_string(kName)}, "ntp.example.jp\n"},
        {{"query", id, "visible", std::to_string(kHidden)}, "0\n"},
        {{"query", id, "rect", std::to_string(kName)},
         std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right) + " " +
             std::to_string(r.bottom) + "\n"},
    };
    for (const auto& [words, answer] : cases) {
      got.push_back(ask(words));
      want.push_back(answer);
    }
    const std::string list = ask({"list"});
    EXPECT_NE(list.find(id + "\t" + kFormCaption + "\n"), std::string::npos) << list;
    drv::Keys(w, "Escape");
  });
  EXPECT_EQ(d.DoModal(), 2);
  EXPECT_EQ(got, want);
}

}  // namespace
}  // namespace qv::fltktest
