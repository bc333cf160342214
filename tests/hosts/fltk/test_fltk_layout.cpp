// Layout: every control of every template stands where the template puts it
// in dialog units, converted with the template font's base units as the
// dialog manager converts them; and the text helpers that lay out labels.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fltk_templates.h"
#include "fltk_test_support.h"
#include "hosts/fltk/fltk_draw.h"
#include "hosts/fltk/fltk_metrics.h"
#include "hosts/fltk/fltk_window.h"
#include "hosts/fltk/time_change.h"
#include "main/templates.h"
#include "runner/runner_template.h"
#include "settings/settings_template.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

// The base units Wine measures for the templates' face (IPA P Gothic
// standing in for it, 9 point at 96 dpi): text extent of the 52 letters
// 368, line height 13.
constexpr int kBaseX = 7, kBaseY = 13;
// Dialog units to pixels as the dialog manager scales: rounded half away
// from zero, the position and the size each on its own.
int Px(int du, int base, int div) {
  const int n = du * base;
  return n >= 0 ? (n + div / 2) / div : -((-n + div / 2) / div);
}

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

// Where a control is expected, in client pixels: the template's rectangle
// converted, except where the controls move themselves as Wine shows they
// do on Windows.
std::vector<std::pair<int, ui::Rect>> Expected(const ui::DialogTemplate& t) {
  std::vector<std::pair<int, ui::Rect>> out;
  for (std::size_t i = 0; i < t.controls.size(); ++i) {
    const ui::ControlTemplate& c = t.controls[i];
    const int left = Px(c.x, kBaseX, 4), top = Px(c.y, kBaseY, 8);
    ui::Rect r{left, top, left + Px(c.cx, kBaseX, 4), top + Px(c.cy, kBaseY, 8)};
    // Closed, a combo box is an edit field's height (its template height is
    // the open list's): 21 pixels for this font.
    if (c.cls == ui::ControlClass::ComboBox) r.bottom = r.top + 21;
    // An up-down control attached on the right is 16 pixels wide, overlaps
    // its field by 2 and narrows it by its width (Wine: a 46-pixel field
    // becomes 30, the up-down starts 2 pixels before the field's new end).
    if (c.cls == ui::ControlClass::UpDown && (c.style & ui::style::kUdsAlignRight)) {
      ui::Rect& field = out.back().second;
      field.right -= 16;
      r = {field.right - 2, field.top, field.right + 14, field.bottom};
    }
    out.emplace_back(c.id, r);
  }
  return out;
}

TEST_F(HostTest, EveryControlStandsWhereItsTemplateSays) {
  Watchdog dog(std::chrono::seconds(120));
  struct Case {
    const char* name;
    ui::DialogTemplate tmpl;
    std::vector<std::pair<int, ui::Rect>> spot;  // worked out by hand
  };
  std::vector<Case> cases = {
      {"main program (512)", main::MainTemplate(),
       {{main::kIdAdjust, {210, 0, 280, 54}}, {main::kIdServerTime, {4, 60, 202, 80}}}},
      {"about box (510)", main::AboutTemplate(), {{ui::kIdOk, {315, 16, 378, 39}}}},
      {"notice (522)", main::NoticeTemplate(), {{main::kIdNoticeSecond, {18, 31, 211, 44}}}},
      {"settings program (102)", settings::SettingsTemplate(),
       {{settings::ctl::kServer, {4, 18, 202, 39}},
        {settings::ctl::kTimeOut, {357, 104, 387, 124}},
        {settings::ctl::kTimeOutSpin, {385, 104, 401, 124}}}},
      {"test form", wintest::FormTemplate(), {}},
      {"runner, main program", runner::RunnerTemplate(runner::Variant::kMain), {}},
      {"runner, settings program", runner::RunnerTemplate(runner::Variant::kSettings), {}},
      {"settings-like keys", KeysTemplate(), {}},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(c.name);
    c.tmpl.caption = c.name;
    c.tmpl.style |= kVisible;
    ScriptedDialog d(c.tmpl);
    std::vector<std::pair<int, ui::Rect>> got;
    ui::Rect window;
    d.on_show = [&](ScriptedDialog& self, bool shown) {
      if (!shown) return;
      auto& w = static_cast<ui::fltk::FltkWindow&>(*self.Window());
      const ui::Point origin = w.ClientOrigin();
      window = {origin.x, origin.y, origin.x + w.fl().w(), origin.y + w.fl().h()};
      // Every control, those without an id too, in template order.
      for (const auto& control : w.controls()) {
        const Fl_Widget& fw = control->widget();
        got.emplace_back(control->id(), ui::Rect{fw.x(), fw.y(), fw.x() + fw.w(), fw.y() + fw.h()});
      }
      self.EndDialog(1);
    };
    EXPECT_EQ(d.DoModal(), 1);
    EXPECT_EQ(window.Width(), Px(c.tmpl.cx, kBaseX, 4)) << "client width";
    EXPECT_EQ(window.Height(), Px(c.tmpl.cy, kBaseY, 8)) << "client height";
    const auto want = Expected(c.tmpl);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "control " << want[i].first;
    for (const auto& [id, rect] : c.spot) {
      const auto it = std::find_if(got.begin(), got.end(), [&](const auto& g) { return g.first == id; });
      ASSERT_NE(it, got.end()) << id;
      EXPECT_EQ(it->second, rect) << "control " << id;
    }
  }
}

TEST(DialogUnits, TemplateFacesMapToTheIpaFonts) {
  const std::pair<const char*, const char*> cases[] = {
      {"ＭＳ Ｐゴシック", "IPAPGothic"}, {"ＭＳ ゴシック", "IPAGothic"}, {"MS Shell Dlg", "IPAPGothic"},
      {"", "IPAPGothic"},                 {"DejaVu Sans", "DejaVu Sans"}};
  for (const auto& [face, family] : cases) EXPECT_EQ(ui::fltk::FontFamilyFor(face), family) << face;
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
