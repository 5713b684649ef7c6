// Window search and activation on the X server, shared by the window and the instance check.
#include "platform/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstring>
#include <ctime>

namespace {

bool ClassMatches(Display* display, Window window, const char* windowClass) {
  XClassHint hint = {nullptr, nullptr};
  if (!XGetClassHint(display, window, &hint)) return false;
  bool match = hint.res_name && std::strcmp(hint.res_name, windowClass) == 0;
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return match;
}

// A window counts when it is on screen or minimised; a withdrawn (hidden) one does not.
bool ShownOrIconic(Display* display, Window window) {
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable)
    return true;
  Atom wmState = XInternAtom(display, "WM_STATE", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool iconic = XGetWindowProperty(display, window, wmState, 0, 2, False, wmState, &type, &format,
                                   &count, &after, &data) == Success &&
                data && format == 32 && count >= 1 &&
                reinterpret_cast<long*>(data)[0] == IconicState;
  if (data) XFree(data);
  return iconic;
}

Window Search(Display* display, Window window, const char* windowClass, int depth) {
  if (ClassMatches(display, window, windowClass) && ShownOrIconic(display, window)) return window;
  if (depth > 4) return 0;  // clients sit at most a few frames deep
  Window root = 0, parent = 0, *children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return 0;
  Window found = 0;
  for (unsigned int i = 0; i < count && !found; ++i)
    found = Search(display, children[i], windowClass, depth + 1);
  if (children) XFree(children);
  return found;
}

bool WindowManagerRuns(Display* display) {
  Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  bool runs = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False,
                                 XA_WINDOW, &type, &format, &count, &after, &data) == Success &&
              data && count == 1;
  if (data) XFree(data);
  return runs;
}

// A request about window to the window manager: a client message of messageType sent to the
// root, with its first, second and fourth data words.
void AskWindowManager(Display* display, Window window, const char* messageType, long word0, long word1,
                      long word3) {
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, messageType, False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = word0;
  event.xclient.data.l[1] = word1;
  event.xclient.data.l[3] = word3;
  XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
}

}  // namespace

Window FindWindowByClass(Display* display, const char* windowClass) {
  if (!display || !windowClass) return 0;
  return Search(display, DefaultRootWindow(display), windowClass, 0);
}

void ActivateWindow(Display* display, Window window) {
  if (!display || !window) return;
  if (WindowManagerRuns(display)) {
    // 2: from a pager, honoured without focus-stealing checks.
    AskWindowManager(display, window, "_NET_ACTIVE_WINDOW", 2, CurrentTime, 0);
  } else {
    XMapRaised(display, window);
    XWindowAttributes attributes;
    // Focusing a window that is not viewable yet is an error: wait briefly for the map.
    for (int i = 0; i < 50; ++i) {
      XSync(display, False);
      if (XGetWindowAttributes(display, window, &attributes) && attributes.map_state == IsViewable) {
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        break;
      }
      struct timespec pause = {0, 4000000};
      nanosleep(&pause, nullptr);
    }
  }
  XFlush(display);
}

bool WindowHasFocus(Display* display, Window window) {
  if (!display || !window) return false;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  while (focus && focus != PointerRoot) {
    if (focus == window) return true;
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(display, focus, &root, &parent, &children, &count)) return false;
    if (children) XFree(children);
    if (parent == root) return false;
    focus = parent;
  }
  return false;
}

void SetUrgency(Display* display, Window window, bool urgent) {
  if (!display || !window) return;
  XWMHints* hints = XGetWMHints(display, window);
  XWMHints fresh;
  std::memset(&fresh, 0, sizeof fresh);
  XWMHints* use = hints ? hints : &fresh;
  if (urgent) {
    use->flags |= XUrgencyHint;
  } else {
    use->flags &= ~XUrgencyHint;
  }
  XSetWMHints(display, window, use);
  if (hints) XFree(hints);
  // The window manager owns _NET_WM_STATE of a mapped window: it is asked, not written.
  // Add or remove the state; 1: from an application.
  AskWindowManager(display, window, "_NET_WM_STATE", urgent ? 1 : 0,
                   static_cast<long>(XInternAtom(display, "_NET_WM_STATE_DEMANDS_ATTENTION", False)), 1);
  XFlush(display);
}

void KeepClientPlace(Display* display, Window window, int x, int y) {
  if (!display || !window) return;
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  long supplied = 0;
  XGetWMNormalHints(display, window, hints, &supplied);
  // Static gravity: the position is the client area's own, whatever frame the manager adds.
  hints->flags |= USPosition | PWinGravity;
  hints->x = x;
  hints->y = y;
  hints->win_gravity = StaticGravity;
  XSetWMNormalHints(display, window, hints);
  XFree(hints);
  XMoveWindow(display, window, x, y);
}
