// X errors and the X server's loss: a late BadWindow about a closed window is logged, the rest ends the program cleanly.
#include "platform/x11_errors.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <unistd.h>

#include <atomic>
#include <cstdio>

#include "platform/gui_window.h"

namespace {

constexpr int kClosedWindows = 64;

// The windows closed lately, written on the window's thread (by its closing calls and its X
// error handler); the shell's way out, set once at the start; and whether that way out has
// begun, by any thread.
struct X11ErrorsRecord {
  // By us or by another client. X ids are handed out afresh, never reused while the program
  // runs, so an old entry is only dropped to keep the ring small.
  Window closed[kClosedWindows];
  int closedNext;
  void (*endWithoutWindow)();
  std::atomic<bool> leaving;
};
X11ErrorsRecord X11Errors;

void NoteClosed(Window xid) {
  if (!xid) return;
  X11Errors.closed[X11Errors.closedNext] = xid;
  X11Errors.closedNext = (X11Errors.closedNext + 1) % kClosedWindows;
}

bool WasClosed(Window xid) {
  if (!xid) return false;
  for (Window closed : X11Errors.closed)
    if (closed && closed == xid) return true;
  return false;
}

void NoteTree(Fl_Group* group) {
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    if (Fl_Window* window = child->as_window()) {
      if (window->shown()) NoteClosed(fl_xid(window));
    }
    if (Fl_Group* inner = child->as_group()) NoteTree(inner);
  }
}

// The program cannot go on with its window: the stop signals' way out, then the exit. Only
// the first caller leaves; a second one from another thread waits for the exit, and one from
// inside the way out (a call that reached the lost display) ends the process at once, as
// neither may return into Xlib.
[[noreturn]] void EndWithoutWindow(int status) {
  static thread_local bool inside = false;
  if (inside) {
    std::fflush(nullptr);
    _exit(status);
  }
  if (X11Errors.leaving.exchange(true)) {
    for (;;) pause();
  }
  inside = true;
  if (X11Errors.endWithoutWindow) X11Errors.endWithoutWindow();
  std::fflush(nullptr);
  // Not exit(): the destructors and FLTK's and Xlib's exit handlers would talk to the display.
  _exit(status);
}

int OnXError(Display* display, XErrorEvent* error) {
  if (error->error_code == BadWindow && WasClosed(error->resourceid)) {
    std::fprintf(stderr, "qivra: X error BadWindow (request %d) about window 0x%lx, which is closed: ignored\n",
                 error->request_code, error->resourceid);
    return 0;
  }
  char text[128];
  XGetErrorText(display, error->error_code, text, sizeof text);
  std::fprintf(stderr, "qivra: X error %s (request %d.%d) about 0x%lx: the program ends\n", text,
               error->request_code, error->minor_code, error->resourceid);
  EndWithoutWindow(1);
}

// Logout, or the X server's end: the connection is gone, and Xlib exits if this returns.
int OnDisplayLost(Display*) {
  std::fputs("qivra: the X server has gone: leaving\n", stderr);
  EndWithoutWindow(0);
}

struct DestroySearch {
  Window window;
  bool found;
};

// Looks through the queue without taking anything out of it.
Bool NoteDestroy(Display*, XEvent* event, XPointer search) {
  DestroySearch* s = reinterpret_cast<DestroySearch*>(search);
  if (event->type == DestroyNotify && event->xdestroywindow.window == s->window) s->found = true;
  return False;
}

// A window destroyed by another client is unmapped first, and loses the focus and the pointer,
// before its DestroyNotify comes. FLTK takes the unmap for a hide, and all of them move the
// focus and set the cursor on the dead window, which the server refuses with BadWindow; the
// DestroyNotify closes it properly. So from an unmap whose destroy is queued behind it, every
// event of the window but that destroy is dropped here.
int DropEventsOfDestroyed(void* event, void*) {
  XEvent* x = static_cast<XEvent*>(event);
  if (x->type == DestroyNotify) return 0;
  if (WasClosed(x->xany.window)) return 1;
  if (x->type != UnmapNotify || x->xunmap.event != x->xunmap.window) return 0;
  Fl_Window* window = fl_find(x->xunmap.window);
  if (!window) return 0;
  XSync(fl_display, False);  // the destroy, when there is one, is in the queue now
  DestroySearch search = {x->xunmap.window, false};
  XEvent unused;
  XCheckIfEvent(fl_display, &unused, NoteDestroy, reinterpret_cast<XPointer>(&search));
  if (!search.found) return 0;
  NoteWindowsClosing(window);  // FLTK now hides it and its subwindows, already gone too
  return 1;
}

}  // namespace

void SetEndWithoutWindowHandler(void (*handler)()) { X11Errors.endWithoutWindow = handler; }

void WatchDisplay() {
  XSetErrorHandler(OnXError);
  XSetIOErrorHandler(OnDisplayLost);
  Fl::add_system_handler(DropEventsOfDestroyed, nullptr);
}

void NoteWindowsClosing(Fl_Window* window) {
  if (!window || !window->shown()) return;
  NoteClosed(fl_xid(window));
  NoteTree(window);
}
