// Layout: the template fonts' metrics, real widgets where Wine shows the
// controls, and the text helpers that lay out labels.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "fltk_test_support.h"
#include "hosts/fltk/fltk_draw.h"
#include "hosts/fltk/fltk_metrics.h"
#include "hosts/fltk/fltk_window.h"
#include "hosts/fltk/time_change.h"
#include "main/templates.h"
#include "settings/settings_template.h"

namespace qv::fltktest {
namespace {

// The base units Wine measures for the templates' face (IPA P Gothic
// standing in for it, 9 point at 96 dpi): text extent of the 52 letters
// 368, line height 13.
constexpr int kBaseX = 7, kBaseY = 13;

TEST_F(HostTest, FontMetricsAreTheOnesWineMeasures) {
  struct Case {
    const char* face;
    int points;
    int size, base_x, base_y;
  };
  const Case cases[] = {{"ＭＳ Ｐゴシック", 9, 12, kBaseX, kBaseY}, {"MS Shell Dlg", 9, 12, kBaseX, kBaseY},
                        {"ＭＳ Ｐゴシック", 10, 13, 8, 14}, {"ＭＳ ゴシック", 9, 12, 6, 13},
                        {"MS Shell Dlg", 8, 11, 7, 12}};
  for (const Case& c : cases) {
    const ui::fltk::DialogFont f = ui::fltk::FontFor(c.face, c.points);
    EXPECT_EQ(f.size, c.size) << c.face << " " << c.points;
    EXPECT_EQ(f.base_x, c.base_x) << c.face << " " << c.points;
    EXPECT_EQ(f.base_y, c.base_y) << c.face << " " << c.points;
  }
}

// Real widgets where the shared rules put them (the rules themselves: the
// Placement scenario and the win32 host): a combo box closed to a field's
// height, an up-down control attached to its field. Rectangles measured
// under Wine.
TEST_F(HostTest, ControlsStandWhereWineShowsThem) {
  Watchdog dog(std::chrono::seconds(60));
  struct Case {
    ui::DialogTemplate tmpl;
    std::vector<std::pair<int, ui::Rect>> spot;
  };
  std::vector<Case> cases = {
      {main::MainTemplate(), {{main::kIdAdjust, {210, 0, 280, 54}}, {main::kIdServerTime, {4, 60, 202, 80}}}},
      {settings::SettingsTemplate(),
       {{settings::ctl::kServer, {4, 18, 202, 39}},
        {settings::ctl::kTimeOut, {357, 104, 387, 124}},
        {settings::ctl::kTimeOutSpin, {385, 104, 401, 124}}}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.tmpl.caption);
    c.tmpl.style |= ui::style::kVisible;
    ScriptedDialog d(c.tmpl);
    std::map<int, ui::Rect> got;
    ui::Point client;
    d.on_show = [&](ScriptedDialog& self, bool shown) {
      if (!shown) return;
      auto& w = static_cast<ui::fltk::FltkWindow&>(*self.Window());
      client = {w.fl().w(), w.fl().h()};
      for (const auto& control : w.controls()) {
        const Fl_Widget& fw = control->widget();
        got[control->id()] = {fw.x(), fw.y(), fw.x() + fw.w(), fw.y() + fw.h()};
      }
      self.EndDialog(1);
    };
    EXPECT_EQ(d.DoModal(), 1);
    EXPECT_EQ(client.x, (c.tmpl.cx * kBaseX + 2) / 4) << "client width";
    EXPECT_EQ(client.y, (c.tmpl.cy * kBaseY + 4) / 8) << "client height";
    for (const auto& [id, rect] : c.spot) EXPECT_EQ(got[id], rect) << "control " << id;
  }
}

TEST(Labels, MnemonicsAreMarkedOnce) {
  struct Case {
    const char* text;
    bool prefix;
    const char* shown;
    int underline;
    char key;
  };
  const Case cases[] = {
      {"ｻｰﾊﾞ名(&N)", true, "ｻｰﾊﾞ名(N)", 16, 'n'}, {"調整 &J", true, "調整 J", 7, 'j'},
      {"a && b", true, "a & b", -1, 0},              {"&&&X", true, "&X", 1, 'x'},
      {"&Save &As", true, "Save As", 0, 's'},        {"&テスト", true, "テスト", 0, 0},
      {"trailing &", true, "trailing &", -1, 0},     {"no &prefix", false, "no &prefix", -1, 0},
  };
  for (const Case& c : cases) {
    const ui::fltk::Mnemonic m = ui::fltk::ParseMnemonic(c.text, c.prefix);
    EXPECT_EQ(m.shown, c.shown) << c.text;
    EXPECT_EQ(m.underline, c.underline) << c.text;
    EXPECT_EQ(m.key, c.key) << c.text;
  }
}

TEST_F(HostTest, LabelsBreakAtBlanksAndBetweenWideCharacters) {
  const ui::fltk::DialogFont f = ui::fltk::FontFor("ＭＳ Ｐゴシック", 9);
  const int wide = ui::fltk::TextWidth("時刻", f.face, f.size);  // two wide characters
  struct Case {
    std::string text;
    int width;
    std::vector<std::size_t> starts;
  };
  const std::string jp = "時刻を調整";  // five wide characters, three bytes each
  const Case cases[] = {
      {"short", 1000, {0}},
      {"one two", ui::fltk::TextWidth("one tw", f.face, f.size), {0, 4}},  // at the blank
      {jp, wide, {0, 6, 12}},                                              // between any two
      {"ｷｬﾝｾﾙｷｬﾝｾﾙ", ui::fltk::TextWidth("ｷｬﾝ", f.face, f.size), {0}},  // half-width: one word, cut off
      {"connecting... now", ui::fltk::TextWidth("conn", f.face, f.size), {0, 14}},  // too long: whole
      {"line\nnext", 1000, {0, 5}},
  };
  for (const Case& c : cases) EXPECT_EQ(ui::fltk::WrapLines(c.text, c.width), c.starts) << c.text;
}

TEST(TimeChange, ResumeIsTheBootClockRunningAheadBySleep) {
  struct Case {
    long long before, after;
    bool resumed;
  };
  const Case cases[] = {{0, 0, false}, {0, 1500, false}, {0, 1501, true}, {500, 60500, true}, {3000, 2000, false}};
  for (const Case& c : cases)
    EXPECT_EQ(ui::fltk::ResumedFromSleep(c.before, c.after), c.resumed) << c.before << " -> " << c.after;
}

}  // namespace
}  // namespace qv::fltktest
