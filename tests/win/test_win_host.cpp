// What only the win32 host has to get right (the shared scenarios cover the
// behaviour the hosts share): the template turned into real controls in
// the right font, the headless host's font metrics, icons.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "test_templates.h"
#include "hosts/headless/headless_host.h"
#include "ui/icon_paint.h"
#include "win_test_support.h"

namespace qv::wintest {
namespace {

namespace drv = ui::driver;

// In the template's font, or a Japanese face where the system lacks it.
TEST_F(HostTest, TemplateBecomesRealControls) {
  Watchdog dog(std::chrono::seconds(60));
  const std::string fallback = ui::Win32Host::ResolveFontFace("No Such Face QV");
  EXPECT_TRUE(fallback == "MS UI Gothic" || fallback == "MS Shell Dlg") << fallback;
  EXPECT_EQ(ui::Win32Host::ResolveFontFace(""), fallback);
  for (const std::string face : {"ＭＳ Ｐゴシック", "No Such Face QV"}) {
    SCOPED_TRACE(face);
    const ui::DialogTemplate tmpl = FormTemplate(face);
    ScriptedDialog d(tmpl);
    Driver driver([&] {
      const ui::WindowId w = WaitForCaption(kFormCaption);
      ASSERT_NE(w, 0);
      const std::map<int, std::string> classes = {{kName, "Edit"},      {kAgree, "Button"}, {kLabel, "Static"},
                                                  {kCombo, "ComboBox"}, {kList, "ListBox"},
                                                  {kSpin, "msctls_updown32"}};
      for (const auto& [id, cls] : classes) EXPECT_EQ(drv::ClassOf(drv::ControlOf(w, id)), cls) << id;
      // (Where the controls stand: the Placement scenario.)
      EXPECT_EQ(drv::FontFace(w), face == "No Such Face QV" ? fallback : face);
      EXPECT_EQ(drv::ControlText(w, kLabel), kLabelText);
      drv::ClickButton(w, ui::kIdCancel);
    });
    EXPECT_EQ(d.DoModal(), 2);
  }
}

// The headless host lays dialogs out with the base units the win32 host
// gets from each template font under Wine.
TEST_F(HostTest, HeadlessBaseUnitsAreTheFontsOwn) {
  Watchdog dog(std::chrono::seconds(60));
  const std::pair<const char*, int> fonts[] = {
      {"ＭＳ Ｐゴシック", 9}, {"ＭＳ Ｐゴシック", 10}, {"ＭＳ ゴシック", 9}, {"MS UI Gothic", 9}, {"MS Shell Dlg", 8},
      {"No Such Face QV", 9}};
  for (const auto& [face, points] : fonts) {
    SCOPED_TRACE(face);
    ui::DialogTemplate tmpl = SmallTemplate(std::string("units ") + face);
    tmpl.font_face = face;
    tmpl.font_points = points;
    ScriptedDialog d(tmpl);
    drv::PixelRect units{};
    Driver driver([&] {
      const ui::WindowId w = WaitForCaption(tmpl.caption);
      ASSERT_NE(w, 0);
      units = drv::DialogUnitsToPixels(w, 0, 0, 4, 8);
      drv::ClickButton(w, ui::kIdCancel);
    });
    EXPECT_EQ(d.DoModal(), 2);
    const ui::rules::BaseUnits headless = ui::HeadlessHost::BaseUnitsOf(face, points);
    EXPECT_EQ(headless.x, units.right);
    EXPECT_EQ(headless.y, units.bottom);
  }
}

// Our painted art reaches real windows pixel for pixel, alpha included:
// the large window icon and a button's image.
TEST_F(HostTest, IconsShowThePaintedPixels) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::IconTable icons = {{100, ui::ClockIcon(ui::ClockArt::kDial)},
                               {128, ui::ClockIcon(ui::ClockArt::kDialWithGear)}};
  ui::SetIconTable(&icons);
  const ui::DialogTemplate tmpl = FormTemplate();
  ScriptedDialog d(tmpl);
  d.on_init = [](ScriptedDialog& self) {
    self.Window()->SetIcon(100);
    self.Window()->SetButtonIcon(kAction, 128);
  };
  std::map<int, std::pair<int, std::vector<std::uint32_t>>> shown;
  Driver driver([&] {
    const ui::WindowId w = WaitForCaption(kFormCaption);
    ASSERT_NE(w, 0);
    for (int control : {0, static_cast<int>(kAction)}) {
      int size = 0;
      std::vector<std::uint32_t> pixels = drv::IconPixels(w, control, size);
      shown[control] = {size, std::move(pixels)};
    }
    drv::ClickButton(w, ui::kIdCancel);
  });
  EXPECT_EQ(d.DoModal(), 2);
  ui::SetIconTable(nullptr);
  for (const auto& [control, image] : shown) {
    SCOPED_TRACE(control);
    ASSERT_GT(image.first, 0);
    const ui::ClockArt art = control == 0 ? ui::ClockArt::kDial : ui::ClockArt::kDialWithGear;
    EXPECT_EQ(image.second, ui::PaintClock(art, image.first).argb);
  }
}

}  // namespace
}  // namespace qv::wintest
