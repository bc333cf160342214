#include "hosts/fltk/fltk_driver.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <errno.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "hosts/fltk/fltk_host.h"
#include "hosts/fltk/fltk_metrics.h"
#include "hosts/fltk/fltk_window.h"

extern char** environ;

namespace qv::ui::fltk_driver {

namespace {
fltk::FltkHost* g_host = nullptr;

// Runs the tool with these words (no shell), waits, true on exit status 0.
bool Run(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const std::string& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs `fn` with the window on the UI thread; false when it is gone.
// A window that ends meanwhile, with its loop, finds the UI thread idle:
// the driver then gives up instead of waiting for it.
constexpr int kUiTimeoutMs = 10000;

template <typename Fn>
bool With(WindowId window, Fn fn) {
  const auto live = g_host->LiveWindows();
  if (std::find(live.begin(), live.end(), window) == live.end()) return false;
  bool found = false;
  g_host->RunOnUiThread(
      [&] {
        if (fltk::FltkWindow* w = g_host->Find(window); w && !w->ended()) {
          found = true;
          fn(*w);
        }
      },
      kUiTimeoutMs);
  return found;
}

bool Focus(WindowId window) {
  const unsigned long xid = Xid(window);
  return xid && Run({"xdotool", "windowfocus", "--sync", std::to_string(xid)});
}
}  // namespace

void Attach(fltk::FltkHost* host) { g_host = host; }

bool OnWindow(WindowId window, const std::function<void(fltk::FltkWindow&)>& fn) { return With(window, fn); }

WindowId WaitForShown(const std::function<bool(fltk::FltkWindow&)>& match, int timeout_ms) {
  WindowId found = 0;
  WaitUntil(
      [&] {
        const std::vector<WindowId> all = g_host->LiveWindows();
        for (auto it = all.rbegin(); it != all.rend(); ++it)
          if (With(*it, [&](fltk::FltkWindow& w) {
                if (w.shown() && match(w)) found = *it;
              }) &&
              found)
            return true;
        return false;
      },
      timeout_ms);
  return found;
}

bool Settle(int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!g_host->LiveWindows().empty()) {
    // A round trip to the server puts every event it sent before into the
    // client's queue; the loop then dispatches them before it takes more
    // of our work. Settled once a round finds nothing left to dispatch.
    std::size_t pending = 1;
    if (!g_host->RunOnUiThread(
            [&] {
              XSync(fl_display, False);
              pending = static_cast<std::size_t>(XQLength(fl_display)) + g_host->QueuedTasks();
            },
            timeout_ms))
      return false;
    if (pending == 0) return true;
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

std::vector<WindowId> Dialogs() {
  std::vector<WindowId> out;
  for (WindowId id : g_host->LiveWindows()) {
    bool running = false;
    With(id, [&](fltk::FltkWindow&) { running = true; });
    if (running) out.push_back(id);
  }
  return out;
}

bool WaitUntil(const std::function<bool()>& condition, int timeout_ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (!condition()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

WindowId WaitForDialog(const std::function<bool(WindowId)>& match, int timeout_ms) {
  WindowId found = 0;
  WaitUntil(
      [&] {
        for (WindowId w : Dialogs())
          if (Mapped(w) && match(w)) return found = w, true;
        return false;
      },
      timeout_ms);
  return found;
}

WindowId WaitForCaption(const std::string& caption, int timeout_ms) {
  return WaitForDialog([&](WindowId w) { return Caption(w) == caption; }, timeout_ms);
}

bool WaitGone(WindowId window, int timeout_ms) {
  return WaitUntil(
      [&] {
        const auto all = Dialogs();
        return std::find(all.begin(), all.end(), window) == all.end();
      },
      timeout_ms);
}

std::string Caption(WindowId window) {
  std::string out;
  With(window, [&](fltk::FltkWindow& w) { out = w.Caption(); });
  return out;
}

std::string ControlText(WindowId window, int control) {
  std::string out;
  With(window, [&](fltk::FltkWindow& w) { out = w.Text(control); });
  return out;
}

int Check(WindowId window, int control) {
  int out = 0;
  With(window, [&](fltk::FltkWindow& w) { out = w.Check(control); });
  return out;
}

bool ControlEnabled(WindowId window, int control) {
  bool out = false;
  With(window, [&](fltk::FltkWindow& w) { out = w.IsEnabled(control); });
  return out;
}

bool ControlVisible(WindowId window, int control) {
  bool out = false;
  With(window, [&](fltk::FltkWindow& w) { out = w.IsVisible(control); });
  return out;
}

bool TakesInput(WindowId window) {
  bool out = false;
  With(window, [&](fltk::FltkWindow& w) { out = w.input_enabled() && (!Fl::modal() || Fl::modal() == &w.fl()); });
  return out;
}

int FocusedControl(WindowId window) {
  int out = 0;
  With(window, [&](fltk::FltkWindow& w) { out = w.focused_control(); });
  return out;
}

WindowId OwnerOf(WindowId window) {
  WindowId out = 0;
  With(window, [&](fltk::FltkWindow& w) { out = w.owner(); });
  return out;
}

bool IsMinimized(WindowId window) {
  bool out = false;
  With(window, [&](fltk::FltkWindow& w) { out = w.IsMinimized(); });
  return out;
}

Rect WindowRect(WindowId window) {
  Rect out;
  With(window, [&](fltk::FltkWindow& w) { out = w.WindowRect(); });
  return out;
}

Rect ControlRect(WindowId window, int control) {
  Rect out;
  With(window, [&](fltk::FltkWindow& w) { out = w.ControlRect(control); });
  return out;
}

Rect DialogUnitsToPixels(WindowId window, int x, int y, int cx, int cy) {
  Rect out;
  With(window, [&](fltk::FltkWindow& w) { out = fltk::DialogUnitsToPixels(w.font(), x, y, cx, cy); });
  return out;
}

bool Mapped(WindowId window) {
  bool out = false;
  With(window, [&](fltk::FltkWindow& w) {
    if (!w.fl().shown()) return;
    XWindowAttributes attributes{};
    out = XGetWindowAttributes(fl_display, fl_xid(&w.fl()), &attributes) && attributes.map_state == IsViewable;
  });
  return out;
}

unsigned long Xid(WindowId window) {
  unsigned long out = 0;
  With(window, [&](fltk::FltkWindow& w) {
    if (w.fl().shown()) out = fl_xid(&w.fl());
  });
  return out;
}

long XProperty(WindowId window, const std::string& name) {
  long out = 0;
  With(window, [&](fltk::FltkWindow& w) {
    if (!w.fl().shown()) return;
    const Atom atom = XInternAtom(fl_display, ("_QUORVEL_PROP_" + name).c_str(), True);
    if (atom == None) return;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(fl_display, fl_xid(&w.fl()), atom, 0, 1, False, XA_INTEGER, &type, &format, &count,
                           &after, &data) == Success &&
        data && count == 1)
      out = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
  });
  return out;
}

std::vector<int> IconSizes(WindowId window) {
  std::vector<int> sizes;
  With(window, [&](fltk::FltkWindow& w) {
    if (!w.fl().shown()) return;
    const Atom atom = XInternAtom(fl_display, "_NET_WM_ICON", True);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    if (atom != None && XGetWindowProperty(fl_display, fl_xid(&w.fl()), atom, 0, 1 << 20, False, XA_CARDINAL, &type,
                                           &format, &count, &after, &data) == Success && data) {
      // Width, height, then the pixels, one image after another.
      const long* v = reinterpret_cast<const long*>(data);
      for (unsigned long i = 0; i + 1 < count;) {
        sizes.push_back(static_cast<int>(v[i]));
        i += 2 + static_cast<unsigned long>(v[i] * v[i + 1]);
      }
    }
    if (data) XFree(data);
  });
  return sizes;
}

// The server takes the move and the button in order; waiting for the move
// (--sync) would wait for ever when the pointer is already there.
bool ClickAt(int x, int y, int button) {
  return Run({"xdotool", "mousemove", std::to_string(x), std::to_string(y), "click", std::to_string(button)});
}

bool Click(WindowId window, int control) {
  // A hidden control has no place on the screen a user could click.
  if (!ControlVisible(window, control)) return false;
  const Rect r = ControlRect(window, control);
  if (r.Width() <= 0 || r.Height() <= 0) return false;
  return ClickAt((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

bool MouseDown(WindowId window, int control, int dx, int dy) {
  const Rect r = ControlRect(window, control);
  if (r.Width() <= 0) return false;
  return Run({"xdotool", "mousemove", std::to_string(r.left + dx), std::to_string(r.top + dy), "mousedown", "1"});
}

bool MouseUp() { return Run({"xdotool", "mouseup", "1"}); }

bool Keys(WindowId window, const std::string& keys) {
  if (!Focus(window)) return false;
  std::vector<std::string> words{"xdotool", "key", "--clearmodifiers", "--delay", "30"};
  std::istringstream in(keys);
  for (std::string key; in >> key;) words.push_back(key);
  return Run(words);
}

bool Paste(WindowId window, const std::string& text) {
  // A field takes a paste without its trailing blanks: those are typed.
  std::size_t end = text.size();
  while (end > 0 && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  if (end == 0) return Keys(window, "ctrl+a BackSpace") && (text.empty() || Type(window, text));
  bool copied = false;
  g_host->RunOnUiThread(
      [&] {
        Fl::copy(text.data(), static_cast<int>(end), 1);
        copied = true;
      },
      kUiTimeoutMs);
  return copied && Keys(window, "ctrl+a ctrl+v") && (end == text.size() || Type(window, text.substr(end)));
}

bool KeyDown(const std::string& key) { return Run({"xdotool", "keydown", key}); }
bool KeyUp(const std::string& key) { return Run({"xdotool", "keyup", key}); }

bool Type(WindowId window, const std::string& text) {
  return Focus(window) && Run({"xdotool", "type", "--delay", "30", "--", text});
}

void CloseAll() {
  g_host->RunOnUiThread(
      [] {
        const std::vector<fltk::FltkWindow*> stack = g_host->stack();
        for (auto it = stack.rbegin(); it != stack.rend(); ++it) (*it)->End(kIdCancelResult);
      },
      kUiTimeoutMs);
}

bool Screenshot(const std::string& path) {
  const char* display = std::getenv("DISPLAY");
  return display && Run({"import", "-display", display, "-window", "root", path});
}

}  // namespace qv::ui::fltk_driver
