// The Linux GUI host on real windows, beyond the shared scenarios: geometry
// without a window manager (and a check window one left behind), the
// window class, icons and properties as the X server holds them, the SHIFT
// key, the kernel's word of a clock change.
#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>

#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include "fltk_test_support.h"
#include "hosts/fltk/fltk_window.h"
#include "ui/icon_paint.h"
#include "win/test_templates.h"

namespace qv::fltktest {
namespace {

using namespace wintest;

TEST_F(HostTest, GeometryPlacementAndNoMinimisingWithoutAWindowManager) {
  Watchdog dog(std::chrono::seconds(30));
  const ui::DialogTemplate tmpl = SmallTemplate("geometry");
  ScriptedDialog d(tmpl);
  ui::Rect at_init, moved, resized, placed;
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
    ui::WindowPlacement p;
    p.normal = {300, 200, 300 + at_init.Width(), 200 + at_init.Height()};
    p.show_cmd = ui::kSwShowMinNoActive;
    self.Window()->SetPlacement(p);
    placed = self.Window()->Placement().normal;
  };
  ui::WindowPlacement seen;
  std::string window_class;
  Driver driver([&] {
    ui::WindowId w = 0;
    ASSERT_TRUE(drv::WaitUntil([&] { return !drv::Dialogs().empty() && (w = drv::Dialogs().back()); }));
    // Nothing could give an iconified window back: it shows normally.
    EXPECT_TRUE(drv::WaitUntil([&] { return drv::Mapped(w); })) << "no window manager: shown, not iconified";
    EXPECT_FALSE(drv::IsMinimized(w));
    Host().Post(w, ui::kWmSysCommand, ui::kScMinimize, 0);
    drv::Settle();
    EXPECT_TRUE(drv::Mapped(w) && !drv::IsMinimized(w)) << "a minimise leaves it on the screen";
    std::string error;
    EXPECT_TRUE(Host().PlacementOf(w, seen, error));
    drv::OnWindow(w, [&](ui::fltk::FltkWindow& win) {
      XClassHint hint{};
      if (XGetClassHint(fl_display, fl_xid(&win.fl()), &hint)) {
        window_class = std::string(hint.res_name) + "/" + hint.res_class;
        XFree(hint.res_name);
        XFree(hint.res_class);
      }
    });
    Host().Post(w, ui::kWmClose, 0, 0);
  });
  EXPECT_EQ(d.DoModal(), 2);
  // Xvfb without a window manager: the whole screen is the work area and
  // windows have no frame.
  // (The screen's size and a dialog placed from its corner: the scenarios
  // and NewDialogsGoWhereTheDialogManagerPutsThem.)
  EXPECT_EQ(Host().WorkArea(), (ui::Rect{0, 0, 1280, 1024}));
  EXPECT_EQ(moved, (ui::Rect{100, 50, 100 + at_init.Width(), 50 + at_init.Height()}));
  EXPECT_EQ(resized, (ui::Rect{100, 50, 100 + at_init.Width(), 40 + at_init.Height()}));
  EXPECT_EQ(placed, (ui::Rect{300, 200, 300 + at_init.Width(), 200 + at_init.Height()}));
  EXPECT_EQ(seen.show_cmd, ui::kSwShowNormal);
  EXPECT_EQ(seen.normal, placed);
  EXPECT_EQ(window_class, "QuorvelTest/QuorvelTest") << "the host's class and name, not the toolkit's";
}

// A window manager announces itself with a check window that names itself.
// One that quit may leave the name behind: probing a window that is gone is
// an X error, which must neither end the program nor count as a manager.
TEST_F(HostTest, OnlyALiveCheckWindowIsAWindowManager) {
  Display* other = XOpenDisplay(nullptr);  // the check windows' owner, as a window manager would be
  ASSERT_NE(other, nullptr);
  const Window root = DefaultRootWindow(other);
  const Atom check = XInternAtom(other, "_NET_SUPPORTING_WM_CHECK", False);
  const auto name = [&](Window on, Window named) {
    XChangeProperty(other, on, check, XA_WINDOW, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&named), 1);
  };
  const Window live = XCreateSimpleWindow(other, root, 0, 0, 1, 1, 0, 0, 0);
  const Window stranger = XCreateSimpleWindow(other, root, 0, 0, 1, 1, 0, 0, 0);
  const Window gone = XCreateSimpleWindow(other, root, 0, 0, 1, 1, 0, 0, 0);
  name(live, live);
  name(gone, gone);
  XDestroyWindow(other, gone);
  struct Case {
    const char* name;
    Window named;
    bool running;
  };
  const Case cases[] = {
      {"a check window naming itself", live, true},
      {"a window that names nothing", stranger, false},
      {"a window that is gone", gone, false},
      {"the same again (the error left nothing behind)", gone, false},
  };
  for (const Case& c : cases) {
    name(root, c.named);
    XSync(other, False);
    EXPECT_EQ(Host().WindowManagerRunning(), c.running) << c.name;
  }
  XDeleteProperty(other, root, check);
  XCloseDisplay(other);
  EXPECT_FALSE(Host().WindowManagerRunning());
}

// Where a new dialog goes: its template's position counted from its owner's
// client area, pulled into the work area (the whole screen here, and no
// frame around the windows).
TEST_F(HostTest, NewDialogsGoWhereTheDialogManagerPutsThem) {
  Watchdog dog(std::chrono::seconds(30));
  struct Case {
    const char* name;
    short x, y;
    ui::Rect want;
  };
  const Case cases[] = {
      {"inside the owner", 10, 5, {53, 41, 263, 106}},
      {"past the far corner", 2000, 2000, {1070, 959, 1280, 1024}},
      {"before the near corner", -200, -200, {0, 0, 210, 65}},
  };
  const ui::DialogTemplate owner_t = SmallTemplate("owner");
  ScriptedDialog owner(owner_t);
  ui::Rect owner_rect;
  std::vector<ui::Rect> got;
  owner.on_show = [&](ScriptedDialog& self, bool shown) {
    if (!shown) return;
    owner_rect = self.Window()->WindowRect();
    for (const Case& c : cases) {
      ui::DialogTemplate t = SmallTemplate(c.name);
      t.x = c.x;
      t.y = c.y;
      ScriptedDialog inner(t);
      inner.on_init = [&](ScriptedDialog& d) {
        got.push_back(d.Window()->WindowRect());
        d.EndDialog(1);
      };
      inner.DoModal(self.Id());
    }
    self.EndDialog(1);
  };
  EXPECT_EQ(owner.DoModal(), 1);
  EXPECT_EQ(owner_rect, (ui::Rect{35, 33, 245, 98})) << "from the screen's corner";
  ASSERT_EQ(got.size(), std::size(cases));
  for (std::size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], cases[i].want) << cases[i].name;
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
