#include "hosts/fltk/desktop_probe.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace qv::ui::fltk {

namespace {
constexpr int kAnswerWaitMs = 1000;  // a window manager that says nothing in this time says nothing
constexpr int kProbeSize = 100;

int g_trap_depth = 0;  // only the display's thread talks to the server
int g_trapped_error = 0;

int OnXError(Display* display, XErrorEvent* e) {
  if (g_trap_depth > 0) {
    if (g_trapped_error == 0) g_trapped_error = e->error_code;
    return 0;
  }
  char text[160] = "";
  XGetErrorText(display, e->error_code, text, sizeof text);
  std::fprintf(stderr, "dialog host: X error ignored: %s (request %d, resource 0x%lx)\n", text,
               static_cast<int>(e->request_code), e->resourceid);
  return 0;
}

// A property of 32-bit items of `type`, up to `max` of them; empty when absent.
std::vector<unsigned long> ReadProperty(Display* d, Window w, Atom property, Atom type, long max) {
  Atom actual = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::vector<unsigned long> out;
  // Xlib hands 32-bit items over as longs.
  if (XGetWindowProperty(d, w, property, 0, max, False, type, &actual, &format, &count, &after, &data) == Success &&
      data && actual == type && format == 32) {
    const auto* items = reinterpret_cast<const unsigned long*>(data);
    out.assign(items, items + count);
  }
  if (data) XFree(data);
  return out;
}

Window ReadWindow(Display* d, Window w, Atom property) {
  const std::vector<unsigned long> v = ReadProperty(d, w, property, XA_WINDOW, 1);
  return v.size() == 1 ? static_cast<Window>(v[0]) : 0;
}

bool Supports(Display* d, Atom hint) {
  const Atom supported = XInternAtom(d, "_NET_SUPPORTED", False);
  for (unsigned long a : ReadProperty(d, DefaultRootWindow(d), supported, XA_ATOM, 4096))
    if (a == hint) return true;
  return false;
}
}  // namespace

void InstallXErrorHandler() { XSetErrorHandler(OnXError); }

XErrorTrap::XErrorTrap(Display* display) : display_(display) {
  XSync(display_, False);  // what earlier requests did wrong is not this trap's
  outer_error_ = g_trapped_error;
  g_trapped_error = 0;
  ++g_trap_depth;
}

XErrorTrap::~XErrorTrap() {
  XSync(display_, False);
  --g_trap_depth;
  // An enclosing trap saw these requests too.
  if (outer_error_ != 0) g_trapped_error = outer_error_;
}

bool XErrorTrap::Failed() {
  XSync(display_, False);
  return g_trapped_error != 0;
}

Window WindowManagerCheck(Display* display) {
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return 0;  // nobody ever announced one on this server
  const Window named = ReadWindow(display, DefaultRootWindow(display), check);
  if (named == 0) return 0;
  XErrorTrap trap(display);
  const Window self = ReadWindow(display, named, check);
  return !trap.Failed() && self == named ? named : 0;
}

bool WindowManagerRunning(Display* display) { return WindowManagerCheck(display) != 0; }

Rect RequestFrameExtents(Display* d, Window owner) {
  const Atom request = XInternAtom(d, "_NET_REQUEST_FRAME_EXTENTS", False);
  if (!WindowManagerRunning(d) || !Supports(d, request)) return {};
  const Atom extents = XInternAtom(d, "_NET_FRAME_EXTENTS", False);
  const Window root = DefaultRootWindow(d);
  XErrorTrap trap(d);  // the owner may be gone meanwhile
  XSetWindowAttributes attributes{};
  attributes.event_mask = PropertyChangeMask;
  const Window probe = XCreateWindow(d, root, 0, 0, kProbeSize, kProbeSize, 0, CopyFromParent, InputOutput,
                                     CopyFromParent, CWEventMask, &attributes);
  // Dressed as the toolkit dresses a dialog's window: a fixed size, neither
  // resized nor maximised, every decoration.
  if (XSizeHints* hints = XAllocSizeHints()) {
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = hints->min_height = hints->max_height = kProbeSize;
    XSetWMNormalHints(d, probe, hints);
    XFree(hints);
  }
  const Atom motif = XInternAtom(d, "_MOTIF_WM_HINTS", False);
  long motif_hints[5] = {1, 1 | 2 | 16, 1, 0, 0};
  XChangeProperty(d, probe, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(motif_hints), 5);
  if (owner) XSetTransientForHint(d, probe, owner);

  XEvent ask{};
  ask.xclient.type = ClientMessage;
  ask.xclient.window = probe;
  ask.xclient.message_type = request;
  ask.xclient.format = 32;
  XSendEvent(d, root, False, SubstructureRedirectMask | SubstructureNotifyMask, &ask);
  XFlush(d);

  bool answered = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kAnswerWaitMs);
  while (!answered) {
    XEvent e;
    while (XCheckTypedWindowEvent(d, probe, PropertyNotify, &e))
      if (e.xproperty.atom == extents) answered = true;
    if (answered) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{ConnectionNumber(d), POLLIN, 0};
    poll(&p, 1, static_cast<int>(left.count()) + 1);
  }
  Rect out;
  // Left, right, top, bottom.
  if (const std::vector<unsigned long> v = ReadProperty(d, probe, extents, XA_CARDINAL, 4); answered && v.size() == 4)
    out = {static_cast<int>(v[0]), static_cast<int>(v[2]), static_cast<int>(v[1]), static_cast<int>(v[3])};
  XDestroyWindow(d, probe);
  return trap.Failed() ? Rect{} : out;
}

}  // namespace qv::ui::fltk
