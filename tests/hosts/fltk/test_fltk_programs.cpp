// Another program reads what a window shows through the window channel, also
// one whose descriptors are all above what the event loop's select() can
// watch; a program without a Japanese font says so. (The two programs
// meeting, announcing, placing and closing each other: tools/linux-e2e.)
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <vector>
#include <filesystem>
#include <fstream>

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
// on Windows: its caption, a control's text, state and place; while the
// program has no descriptor left that select() could watch.
TEST_F(HostTest, AnotherProgramReadsWhatTheWindowShows) {
  Watchdog dog(std::chrono::seconds(60));
  DescriptorFlood flood;
  ASSERT_TRUE(flood.full()) << "the descriptor limit stops short of FD_SETSIZE";
  using namespace wintest;
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  d.on_init = [](ScriptedDialog& self) {
    self.Window()->SetCheck(kAgree, 1);
    self.Window()->SetText(kName, "ntp.example.jp");
  };
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
        {{"query", id, "text", std::to_string(kLabel)}, std::string(kLabelText) + "\n"},
        {{"query", id, "enabled", std::to_string(kGreyed)}, "0\n"},
        {{"query", id, "visible", std::to_string(kHidden)}, "0\n"},
        {{"query", id, "check", std::to_string(kAgree)}, "1\n"},
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

// Without a font that has the Japanese characters of the window texts, a
// program says so, once; with the IPA fonts that setup installs, nothing.
// (Started alone, the settings program refuses at once.)
TEST(Fonts, AMissingJapaneseFontIsToldOnce) {
  const test::TempDir temp;
  const std::filesystem::path& dir = temp.path();
  std::filesystem::create_directories(dir / "no-fonts");
  const std::string config = (dir / "fonts.conf").string();
  std::ofstream(config) << "<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM \"fonts.dtd\">\n<fontconfig><dir>"
                        << (dir / "no-fonts").string() << "</dir><cachedir>" << (dir / "cache").string()
                        << "</cachedir></fontconfig>\n";
  for (const bool without : {true, false}) {
    SCOPED_TRACE(without ? "no fonts" : "the system's fonts");
    std::vector<std::string> environment = {"-u", "DISPLAY"};
    if (without) environment.push_back("FONTCONFIG_FILE=" + config);
    const test::CommandResult run = test::RunCapture({QV_QUORCFG}, (dir / "run").string(), environment);
    EXPECT_NE(run.exit_code, 0) << "refused: no profile";
    std::size_t told = 0;
    for (std::size_t at = 0; (at = run.err.find("no installed font has the Japanese", at)) != std::string::npos; ++at)
      ++told;
    EXPECT_EQ(told, without ? 1u : 0u) << run.err;
  }
}

}  // namespace
}  // namespace qv::fltktest
