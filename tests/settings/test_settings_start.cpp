// Start-up from the argument text, and the rules that need no window.
#include "platform/file.h"
#include "profile/app_state.h"
#include "settings/settings_app.h"
#include "settings/settings_rules.h"
#include "settings_harness.h"

namespace qv::settings::test {
namespace {

TEST_F(SettingsTest, StartUpFromTheArgumentText) {
  for (const char* args : {"", "xyz", "-profile= -geohwnd=1234 xyz", "-Profile=\"a.ini\""}) {
    EXPECT_EQ(RunSettingsProgram(args, Services{nullptr, &engine_, &shell_, nullptr}), kExitRefused) << args;
    EXPECT_EQ(host_.message_boxes().back().text, "このﾌﾟﾛｸﾞﾗﾑは単独では起動できません。");
  }
  EXPECT_EQ(host_.message_boxes().size(), 4u) << "and no dialog";
  // A quoted path with blanks, a window that does not exist, the debug switch.
  const std::string path = dir_.File("a b 設定.INI");
  std::string caption;
  host_.Then([&](HeadlessHost& h) {
    caption = h.Active()->Caption();
    h.PressEnter();
  });
  EXPECT_EQ(RunSettingsProgram("-profile=\"" + path + "\" -geohwnd=99999 -Dsntp xyz",
                               Services{nullptr, &engine_, &shell_, nullptr}),
            kExitOk);
  EXPECT_EQ(caption, "Quorvel  <Setting>");
  EXPECT_TRUE(profile::DebugSwitch());
  // Read as the program names files: UTF-8 on every system.
  EXPECT_NE(platform::ReadWholeFile(path).bytes.find("[Property]"), std::string::npos) << "OK saved there";
  EXPECT_EQ(host_.message_boxes().size(), 4u);
  profile::SetDebugSwitch(false);
}

TEST(SettingsRules, PlaceOver) {
  const ui::Rect work{0, 0, 1024, 728};
  struct Case {
    ui::Rect window, anchor, work;
    ui::Point at;
  } cases[] = {
      {{0, 0, 100, 50}, {200, 200, 400, 300}, work, {250, 225}},        // centred
      {{0, 0, 11, 11}, {0, 0, 101, 101}, work, {45, 45}},               // halves drop the remainder
      {{10, 10, 110, 60}, {-301, 100, 0, 200}, {-400, 0, 1024, 728}, {-200, 125}},  // ... toward zero
      {{0, 0, 100, 50}, {900, 700, 1100, 800}, work, {924, 678}},       // pulled up and left
      {{0, 0, 100, 50}, {-100, -100, 0, 0}, work, {1, 0}},              // down and right, off the corner
      {{0, 0, 2000, 1000}, {0, 0, 1024, 728}, work, {1, 0}},            // larger than the work area
      {{0, 0, 100, 50}, {0, 0, 100, 50}, {0, 30, 1024, 768}, {1, 30}},  // task bar on top
  };
  for (const Case& c : cases) EXPECT_EQ(PlaceOver(c.window, c.anchor, c.work), c.at) << c.at.x << "," << c.at.y;
}

// (The next minute: FillFromTheClock.)
TEST(SettingsRules, Paths) {
  const std::string suffix(platform::ExecutableSuffix());
  EXPECT_EQ(MainProgramPath("C:\\Tools\\Quorvel.INI"), "C:\\Tools\\Quorvel" + suffix);
  EXPECT_EQ(MainProgramPath("/opt/my.dir/Quorvel.INI"), "/opt/my.dir/Quorvel" + suffix);
  for (const char* name : {"Quorvel", "My Clock", "時計"}) EXPECT_TRUE(IsPlainFileName(name)) << name;
  for (const char* name : {"", ".", "..", "a/b", "..\\x", "C:x"}) EXPECT_FALSE(IsPlainFileName(name)) << name;
}

}  // namespace
}  // namespace qv::settings::test
