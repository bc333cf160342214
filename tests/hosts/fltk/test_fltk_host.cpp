// The Linux GUI host on real windows, beyond the shared scenarios: geometry
// without a window manager, icons and properties as the X server holds
// them, the SHIFT key, the kernel's word of a clock change.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "fltk_test_support.h"
#include "hosts/fltk/fltk_window.h"
#include "ui/icon_paint.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

using namespace wintest;

TEST_F(HostTest, GeometryAndPlacementWithoutAWindowManager) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("geometry");
  ScriptedDialog d(tmpl);
  ui::Rect at_init, moved, resized, placed, owned;
  d.on_init = [&](ScriptedDialog& self) {
    ui::HostWindow& w = *self.Window();
    at_init = w.WindowRect();
    w.MoveWindow(100, 50);
    moved = w.WindowRect();
    w.ResizeWindow(moved.Width(), moved.Height() - 10);
    resized = w.WindowRect();
  };
  // As the main program starts iconic: placed, then minimised unactivated.
  d.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    // An owned dialog's template position counts from its owner's client
    // area, which has no frame here.
    ui::DialogTemplate inner_t = SmallTemplate("owned");
    inner_t.x = 10, inner_t.y = 5;
    ScriptedDialog inner(inner_t);
    inner.on_init = [&](ScriptedDialog& i) {
      owned = i.Window()->WindowRect();
      i.EndDialog(1);
    };
    inner.DoModal(self.Id());
    ui::WindowPlacement p;
    p.normal = {300, 200, 300 + at_init.Width(), 200 + at_init.Height()};
    p.show_cmd = ui::kSwShowMinNoActive;
    self.Window()->SetPlacement(p);
    placed = self.Window()->Placement().normal;
  };
  ui::WindowPlacement seen;
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("geometry");
    ASSERT_NE(w, 0);
    // Nothing could give an iconified window back: it shows normally.
    // (A minimise then: the SystemMenu scenario; an iconic start and the
    // window class: tools/linux-e2e.)
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::Mapped(w); })) << "no window manager: shown, not iconified";
    std::string error;
    EXPECT_TRUE(Host().PlacementOf(w, seen, error));
    Host().Post(w, ui::kWmClose, 0, 0);
  });
  EXPECT_EQ(d.DoModal(), 2);
  // Xvfb without a window manager: the whole screen is the work area and
  // windows have no frame.
  // (Pulled into the work area: the Placement scenario.)
  EXPECT_EQ(Host().WorkArea(), (ui::Rect{0, 0, 1280, 1024}));
  EXPECT_EQ(at_init, (ui::Rect{35, 33, 245, 98})) << "from the screen's corner";
  EXPECT_EQ(owned, (ui::Rect{118, 58, 328, 123}));
  EXPECT_EQ(moved, (ui::Rect{100, 50, 100 + at_init.Width(), 50 + at_init.Height()}));
  EXPECT_EQ(resized, (ui::Rect{100, 50, 100 + at_init.Width(), 40 + at_init.Height()}));
  EXPECT_EQ(placed, (ui::Rect{300, 200, 300 + at_init.Width(), 200 + at_init.Height()}));
  EXPECT_EQ(seen.show_cmd, ui::kSwShowNormal);
  EXPECT_EQ(seen.normal, placed);
}

TEST_F(HostTest, IconsPropertiesAndTheShiftKey) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::IconTable icons{{100, ui::ClockIcon(ui::ClockArt::kDial)}};
  ui::SetIconTable(&icons);
  const ui::DialogTemplate tmpl = SmallTemplate("icons");
  ScriptedDialog d(tmpl);
  std::vector<bool> shift;
  d.on_init = [&](ScriptedDialog& self) {
    self.Window()->SetIcon(100);
    self.Window()->SetProperty("Quorvel", 1);
    self.Window()->SetProperty("gone", 5);
    self.Window()->RemoveProperty("gone");
  };
  d.on_message = [&](ScriptedDialog&, unsigned msg, std::uintptr_t, std::intptr_t) -> std::intptr_t {
    if (msg == ui::kWmUser + 1) shift.push_back(ui::CurrentHost().IsKeyDown(ui::Key::kShift));
    return 0;
  };
  Driver driver([&] {
    const ui::WindowId w = drv::WaitForCaption("icons");
    ASSERT_NE(w, 0);
    EXPECT_EQ(drv::XProperty(w, "Quorvel"), 1) << "other programs see the property";
    EXPECT_EQ(drv::XProperty(w, "gone"), 0);
    EXPECT_EQ(drv::IconSizes(w), (std::vector<int>{16, 24, 32, 48, 64, 128, 256})) << "what desktops ask for";
    const auto probe = [&] {
      const std::size_t before = shift.size();
      Host().Post(w, ui::kWmUser + 1, 0, 0);
      drv::WaitUntil([&] { return shift.size() > before; });
    };
    probe();
    drv::KeyDown("shift");
    probe();
    drv::KeyUp("shift");
    probe();
    Host().Post(w, ui::kWmClose, 0, 0);
  });
  EXPECT_EQ(d.DoModal(), 2);
  ui::SetIconTable(nullptr);
  EXPECT_EQ(shift, (std::vector<bool>{false, true, false}));
}

TEST_F(HostTest, TimeChangesReachEveryRunningWindow) {
  Watchdog dog(std::chrono::seconds(30));
  EXPECT_TRUE(Host().time_watch_armed()) << "the kernel will tell when the clock is set";
  const ui::DialogTemplate outer_t = SmallTemplate("outer");
  const ui::DialogTemplate inner_t = SmallTemplate("inner");
  ScriptedDialog outer(outer_t), inner(inner_t);
  std::vector<std::string> heard;
  outer.on_time_change = [&](ScriptedDialog&) { heard.push_back("outer"); };
  inner.on_time_change = [&](ScriptedDialog&) { heard.push_back("inner"); };
  outer.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    inner.DoModal();
    self.EndDialog(1);
  };
  inner.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    Host().NotifyTimeChange();
    self.EndDialog(1);
    Host().NotifyTimeChange();  // the ended one hears no more
  };
  EXPECT_EQ(outer.DoModal(), 1);
  EXPECT_EQ(heard, (std::vector<std::string>{"outer", "inner", "outer"}));
}

}  // namespace
}  // namespace qv::fltktest
