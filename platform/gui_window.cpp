// The top-level FLTK window: a GL view over the whole client area, the panel and input line on top.
#include "platform/gui_window.h"

// Fl_X (the X side of a window) is needed for its expose flag.
#define FL_INTERNALS
#include <FL/Fl.H>
#include <FL/Fl_Gl_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Window.H>
#include <FL/fl_draw.H>
#include <FL/x.H>
#include <GL/glx.h>
#include <X11/XKBlib.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>

#include "platform/app_icon.h"
#include "platform/console_panel.h"
#include "platform/frame_children.h"
#include "platform/frame_report.h"
#include "platform/gl_pacing.h"
#include "platform/input_tag.h"
#include "platform/key_edges.h"
#include "platform/key_state.h"
#include "platform/line_input_keys.h"
#include "platform/panel_box.h"
#include "platform/text_input.h"
#include "platform/ticks.h"
#include "platform/top_window_children.h"
#include "platform/x11_errors.h"
#include "platform/x11_windows.h"

WindowHooksRecord WindowHooks;

namespace {

constexpr int kWheelRows = 3;  // console rows per notch of the mouse wheel

// The one window's event state, kept across its events (window's thread): written by the event
// pump's handlers and by the calls that make, show and unmake the window.
struct GuiWindowRecord {
  bool quitPosted;
  bool frameFocused;             // the main window is the active window
  PlatformWindow* activeWindow;  // the one window that exists, for event routing
  bool typing;                   // the input line has the keyboard (else the view: walking)
  InputTag inputTag;             // kept across the windows F1 makes
  HeldAtTyping heldAtTyping;     // keys down as typing began, kept out of the line until let go
  KeysDown keysDown;             // keys the main window's events have pressed and not let go
  int pixelAttributes[16];       // the view's pixel format: FLTK keeps the pointer
  uint32_t screenSaverReset;     // tick count of the last reset of the screen saver
};
GuiWindowRecord Gui;

// The X key code of the key event being handled; 0 for any other event.
int EventKeyCode() {
  if (!fl_xevent || (fl_xevent->type != KeyPress && fl_xevent->type != KeyRelease)) return 0;
  return static_cast<int>(fl_xevent->xkey.keycode);
}

// The view: a GL window over the whole client area. Drawing normally happens
// in the main loop; an expose draws the same frame through WindowHooks.viewExpose.
class ViewWindow : public Fl_Gl_Window {
 public:
  ViewWindow(int x, int y, int w, int h) : Fl_Gl_Window(x, y, w, h) {}
  void draw() override {
    if (WindowHooks.viewExpose) WindowHooks.viewExpose();
  }
  int handle(int event) override;
  int dragX = 0, dragY = 0;  // where the left button's drag was last reported
};

int PanelPageRows();

// Shift+Page Up / Page Down scroll the console wherever the keyboard is.
bool ScrollKey(int event) {
  if (event != FL_KEYBOARD || !(Fl::event_state() & FL_SHIFT)) return false;
  int key = Fl::event_key();
  if (key != FL_Page_Up && key != FL_Page_Down) return false;
  const int page = PanelPageRows();
  if (WindowHooks.panelScroll) WindowHooks.panelScroll(key == FL_Page_Up ? page : -page);
  NoteConsoleScrollKey(key == FL_Page_Up ? HeldPageUp : HeldPageDown);
  return true;
}

bool IsNavigationKey(int key) {
  return key == FL_Up || key == FL_Down || key == FL_Left || key == FL_Right || key == FL_Tab ||
         key == FL_Page_Up || key == FL_Page_Down || key == FL_Home || key == FL_End;
}

// The input line scrolls sideways and holds what the shell asks for. Pasted text goes to the
// shell, which decides what the line shows of it; a character typed into a full line is
// reported once, until the line has room again (Shift between letters is no new attempt).
// While it has the keyboard every key edits it; Escape gives the keyboard back to the view.
class LineInput : public TextInput {
 public:
  LineInput(int x, int y, int w, int h) : TextInput(x, y, w, h) {}
  void draw() override {
    const int tagWidth = InputTagWidth(Gui.inputTag, textsize());
    SetTextInset(tagWidth ? tagWidth + 2 : 0);
    TextInput::draw();
    // Inside the box and the typing border's two pixels.
    DrawInputTag(Gui.inputTag, x() + Fl::box_dx(box()) + 1, y() + 2, h() - 4, textsize());
    const int hintLeft = tagWidth && !Gui.typing ? tagWidth + 2 : 0;
    DrawInputCue(x() + hintLeft, y(), w() - hintLeft, h(), Gui.typing, size() == 0);
  }
  int handle(int event) override {
    if (event == FL_KEYBOARD && HeldSinceTyping(&Gui.heldAtTyping, EventKeyCode())) return 1;
    if (ScrollKey(event)) return 1;
    if (event == FL_PASTE && WindowHooks.inputPaste) {
      if (!readonly() && Fl::event_text()) WindowHooks.inputPaste(Fl::event_text(), Fl::event_length());
      return 1;
    }
    if (event == FL_PUSH && !Gui.typing && Gui.activeWindow) SetTyping(Gui.activeWindow, true);
    if (event != FL_KEYBOARD) return Fl_Input::handle(event);
    LineEditKey edit;
    if (Fl::event_key() == FL_Escape) {
      if (Gui.activeWindow) SetTyping(Gui.activeWindow, false);
      return 1;
    }
    if (EditKeyOfEvent(&edit)) {
      if (WindowHooks.inputEdit) WindowHooks.inputEdit(edit);
      return 1;
    }
    if (IsNavigationKey(Fl::event_key())) {
      Fl_Input::handle(event);
      return 1;  // the cursor keys must not move the focus out of the line
    }
    // Into a full line without a selection to replace, a typed character cannot go.
    bool full = size() >= maximum_size() && position() == mark();
    bool typesText = Fl::event_length() > 0 && static_cast<unsigned char>(Fl::event_text()[0]) >= 0x20 &&
                     !Fl::event_state(FL_CTRL | FL_ALT | FL_META);
    int result = Fl_Input::handle(event);
    bool refused = full && typesText;
    if (refused && !refusedLast && WindowHooks.inputFull) WindowHooks.inputFull();
    if (refused) {
      refusedLast = true;
    } else if (size() < maximum_size()) {
      refusedLast = false;
    }
    return result;
  }

 private:
  bool refusedLast = false;  // one report for a run of refused keys
};

// Each child control sits in a small subwindow of its own, so that it is
// stacked above the GL view that covers the whole client area.
class ControlHolder : public Fl_Window {
 public:
  ControlHolder(int x, int y, int w, int h, bool isPanel) : Fl_Window(x, y, w, h), isPanel(isPanel) {}
  int handle(int event) override;
  bool isPanel;
};

}  // namespace

struct PlatformWidget {
  ControlHolder* holder;
  LineInput* input;  // set for the input line
  PanelBox* panel;   // set for the console panel
};

namespace {

class MainFrame : public Fl_Window {
 public:
  MainFrame(int w, int h, const char* title) : Fl_Window(w, h, title) {}
  void resize(int x, int y, int w, int h) override;
  ViewWindow* view = nullptr;
};

}  // namespace

struct PlatformWindow {
  MainFrame* frame;
  ViewWindow* view;
  PlatformWidget inputLine;
  PlatformWidget consolePanel;
  bool fullScreen;
};

namespace {

// A page keeps one row of the last one in view, whatever height the panel has.
int PanelPageRows() {
  const PanelBox* panel = Gui.activeWindow ? Gui.activeWindow->consolePanel.panel : nullptr;
  const int rows = panel ? panel->Rows() : 0;
  return rows > 2 ? rows - 1 : 1;
}

// A left click in the view or the panel takes the keyboard from the input line: walking.
void FocusMainWindow() {
  if (Gui.activeWindow) SetTyping(Gui.activeWindow, false);
}

// While walking, a character typed (or a paste) starts a line with it and Enter opens the line.
void StartTypingFromView() {
  LineInput* input = Gui.activeWindow ? Gui.activeWindow->inputLine.input : nullptr;
  if (!input) return;
  if (EventIsEnter()) {
    SetTyping(Gui.activeWindow, true);
  } else if (EventTypesText() || EventIsPaste()) {
    SetTyping(Gui.activeWindow, true);
    NoteHeldKeyUp(&Gui.heldAtTyping, EventKeyCode());  // this key is for the line, and so its repeats
    input->position(input->size());
    input->handle(FL_KEYBOARD);
  }
}

// Ctrl+C with the keyboard at the window copies the console's selection to the clipboard.
bool CopyKey(int event) {
  if (event != FL_KEYBOARD || !(Fl::event_state() & FL_CTRL) || (Fl::event_key() != 'c' && Fl::event_key() != 'C'))
    return false;
  if (Gui.activeWindow && Gui.activeWindow->consolePanel.panel) Gui.activeWindow->consolePanel.panel->CopySelection(1);
  return true;
}

int ViewWindow::handle(int event) {
  switch (event) {
    case FL_PUSH:
      if (Fl::event_button() == FL_LEFT_MOUSE) FocusMainWindow();
      dragX = Fl::event_x(), dragY = Fl::event_y();
      return 1;
    case FL_DRAG:  // the left button held: looking around
      if ((Fl::event_state() & FL_BUTTON1) && WindowHooks.viewDrag)
        WindowHooks.viewDrag(Fl::event_x() - dragX, Fl::event_y() - dragY);
      dragX = Fl::event_x(), dragY = Fl::event_y();
      return 1;
    case FL_FOCUS:
    case FL_UNFOCUS:
      return 1;
    case FL_KEYBOARD:
      // The movement keys are read from the key state. Taking every key here also keeps
      // FLTK from using the cursor keys to move the focus into the input line.
      if (!ScrollKey(event) && !CopyKey(event)) StartTypingFromView();
      return 1;
    case FL_KEYUP:
      return 1;
    default:
      return Fl_Gl_Window::handle(event);
  }
}

int ControlHolder::handle(int event) {
  PlatformWindow* window = Gui.activeWindow;
  PlatformWidget* widget = window ? (isPanel ? &window->consolePanel : &window->inputLine) : nullptr;
  // The mouse over the panel selects, opens links and drags the divider; over the input line it
  // places the cursor by the measures the text is drawn with.
  if (isPanel && widget && widget->panel && widget->panel->HandleMouse(event)) return 1;
  if (!isPanel && widget && widget->input && (event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE)) {
    // A click in the line is typing, as the line's own press handling would make it.
    if (event == FL_PUSH && !Gui.typing && Fl::event_button() == FL_LEFT_MOUSE) SetTyping(Gui.activeWindow, true);
    if (widget->input->HandleMouse(event)) return 1;
  }
  if (isPanel && event == FL_MOUSEWHEEL) {
    // The wheel turned towards the user (dy > 0) moves on to newer lines.
    if (WindowHooks.panelScroll && Fl::event_dy()) WindowHooks.panelScroll(-Fl::event_dy() * kWheelRows);
    return 1;
  }
  return Fl_Window::handle(event);
}

void MainFrame::resize(int x, int y, int w, int h) {
  bool sizeChanged = w != this->w() || h != this->h();
  Fl_Window::resize(x, y, w, h);
  if (view) view->resize(0, 0, w, h);
  if (sizeChanged && WindowHooks.clientResize) WindowHooks.clientResize(w, h);
}

// Escape must not close the window; the close box posts the quit.
void FrameCallback(Fl_Widget*, void*) {
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  PostQuit();
}

bool PressedKeyOf(int key, PressedKey* pressed) {
  switch (key) {
    case FL_Escape: *pressed = PressEscape; return true;
    case FL_Enter:
    case FL_KP_Enter: *pressed = PressEnter; return true;
    case FL_F + 1: *pressed = PressF1; return true;
    case FL_Home: *pressed = PressHome; return true;
    default: return false;
  }
}

// Watches focus changes of the main window for its activation state, and its key presses
// of the keys that act once per press. Escape while typing and Enter while walking only move
// the keyboard between the input line and the view.
int DispatchEvent(int event, Fl_Window* window) {
  PressedKey pressed;
  bool ours = window && Gui.activeWindow && window->top_window() == Gui.activeWindow->frame;
  if (event == FL_KEYDOWN && ours) NoteKeyCodeDown(&Gui.keysDown, EventKeyCode());
  if (event == FL_KEYUP && ours) NoteKeyCodeUp(&Gui.keysDown, EventKeyCode());
  if ((event == FL_KEYDOWN || event == FL_KEYUP) && ours && NoteConversationKey(event == FL_KEYDOWN)) return 1;
  if ((event == FL_KEYDOWN || event == FL_KEYUP) && ours && PressedKeyOf(Fl::event_key(), &pressed)) {
    bool claimed = (pressed == PressEscape && Gui.typing) || (pressed == PressEnter && !Gui.typing) ||
                   (pressed == PressHome && Gui.typing);
    NoteKeyEvent(pressed, event == FL_KEYDOWN, claimed);
  }
  if (event == FL_KEYUP && ours) NoteHeldKeyUp(&Gui.heldAtTyping, EventKeyCode());
  bool focusChange = (event == FL_FOCUS || event == FL_UNFOCUS) && ours;
  if (focusChange) {
    Gui.frameFocused = event == FL_FOCUS;
    if (!Gui.frameFocused) {  // their releases go elsewhere now
      ForgetHeldAtTyping(&Gui.heldAtTyping);
      ForgetKeysDown(&Gui.keysDown);
    }
    if (WindowHooks.activation) WindowHooks.activation(Gui.frameFocused);
  }
  int result = Fl::handle_(event, window);
  // Activated again, the window gives the keyboard back to where it was, not to the first child.
  if (focusChange && Gui.frameFocused && Gui.activeWindow) {
    Fl::focus(Gui.typing ? static_cast<Fl_Widget*>(Gui.activeWindow->inputLine.input) : Gui.activeWindow->view);
  }
  return result;
}

void SetFullScreenState(Window xid) {
  Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
  Atom fullScreen = XInternAtom(fl_display, "_NET_WM_STATE_FULLSCREEN", False);
  XChangeProperty(fl_display, xid, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&fullScreen), 1);
}

}  // namespace

bool OpenDisplay() {
  if (fl_display) return true;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  fl_open_display(display);
  WatchDisplay();
  // A held key then sends repeated presses without releases between them, so a repeat
  // can be told from a new press.
  XkbSetDetectableAutoRepeat(display, True, nullptr);
  Fl::event_dispatch(DispatchEvent);
  return true;
}

bool FullScreenModeAvailable(int width, int height, int bits) {
  (void)bits;
  return fl_display && width > 0 && height > 0;
}

void RestoreDisplayMode() {}  // the display mode is never changed

PlatformWindow* CreateTopWindow(const char* title, int width, int height, bool fullScreen) {
  if (!fl_display) return nullptr;
  PlatformWindow* window = new PlatformWindow();
  window->fullScreen = fullScreen;
  Fl_Group::current(nullptr);
  window->frame = new MainFrame(width, height, title);
  window->frame->xclass(kMainWindowClass);
  window->frame->icon(AppIconImage());
  window->frame->callback(FrameCallback);
  window->view = new ViewWindow(0, 0, width, height);
  window->view->end();
  window->frame->view = window->view;
  window->frame->end();
  window->frame->size_range(160, 160);  // a minimum only: the window manager may resize freely
  if (fullScreen) window->frame->fullscreen();
  Gui.activeWindow = window;
  Gui.typing = false;
  return window;
}

void PlaceTopWindow(PlatformWindow* window, int x, int y) {
  if (window && !window->fullScreen && window->frame->shown()) KeepClientPlace(fl_display, fl_xid(window->frame), x, y);
}

bool TopWindowPlace(PlatformWindow* window, int* x, int* y, int* width, int* height) {
  if (!window || window->fullScreen || !TopWindowOnScreen(window)) return false;
  *x = window->frame->x(), *y = window->frame->y(), *width = window->frame->w(), *height = window->frame->h();
  return true;
}

// Made minimised from the start, so that the X window and the GL context
// exist while nothing shows on screen until ShowTopWindow.
bool RealizeTopWindow(PlatformWindow* window) {
  if (!window) return false;
  window->frame->iconize();
  return fl_xid(window->frame) != 0;
}

static void PixelFormatAttributes(int colorBits, int depthBits, int* attributes) {
  int perChannel = colorBits >= 24 ? 8 : (colorBits >= 15 ? 5 : 1);
  int i = 0;
  attributes[i++] = GLX_RGBA;
  attributes[i++] = GLX_DOUBLEBUFFER;
  attributes[i++] = GLX_RED_SIZE;
  attributes[i++] = perChannel;
  attributes[i++] = GLX_GREEN_SIZE;
  attributes[i++] = perChannel;
  attributes[i++] = GLX_BLUE_SIZE;
  attributes[i++] = perChannel;
  attributes[i++] = GLX_DEPTH_SIZE;
  attributes[i++] = depthBits;
  attributes[i++] = 0;
}

bool PixelFormatSupported(int colorBits, int depthBits) {
  int attributes[16];
  PixelFormatAttributes(colorBits, depthBits, attributes);
  return Fl_Gl_Window::can_do(attributes) != 0;
}

bool SetViewPixelFormat(PlatformWindow* window, int colorBits, int depthBits) {
  PixelFormatAttributes(colorBits, depthBits, Gui.pixelAttributes);
  if (!window || !window->view->mode(Gui.pixelAttributes)) return false;
  window->view->show();
  return window->view->shown() && fl_xid(window->view) != 0;
}

bool CreateRenderContext(PlatformWindow* window) {
  if (!window || !window->view->shown()) return false;
  window->view->make_current();
  return window->view->context() != nullptr;
}

bool ActivateRenderContext(PlatformWindow* window) {
  if (!window || !window->view->context()) return false;
  window->view->make_current();
  return glXGetCurrentContext() == static_cast<GLXContext>(window->view->context());
}

int DisplayRefreshHz(PlatformWindow* window) {
  if (!window || !window->view->shown()) return 0;
  return GlxRefreshHz(fl_display, fl_xid(window->view));
}

static void ForgetReadable(FL_SOCKET, void*) {}  // Fl::wait returns once it has run

void WaitForWindowEvents(int ms, const int* descriptors, int count) {
  if (!fl_display) return;
  for (int i = 0; i < count; ++i)
    if (descriptors[i] >= 0) Fl::add_fd(descriptors[i], FL_READ, ForgetReadable);
  Fl::wait(ms / 1000.0);
  for (int i = 0; i < count; ++i)
    if (descriptors[i] >= 0) Fl::remove_fd(descriptors[i], FL_READ);
}

// FLTK clears a window's visible flag when the window manager unmaps it (minimised).
bool TopWindowOnScreen(PlatformWindow* window) {
  return window && window->frame->shown() && window->frame->visible();
}

void DeleteRenderContext(PlatformWindow* window) {
  if (window) NoteWindowsClosing(window->view);
  if (window && window->view) window->view->hide();  // FLTK releases and deletes the context here
}

void DestroyTopWindow(PlatformWindow* window) {
  if (!window) return;
  if (Gui.activeWindow == window) {
    Gui.activeWindow = nullptr;
    Gui.frameFocused = false;
  }
  if (window->frame) {
    window->frame->view = nullptr;
    NoteWindowsClosing(window->frame);
    window->frame->hide();
    delete window->frame;  // the view and the controls go with it
  }
  delete window;
}

static PlatformWidget* CreateControl(PlatformWindow* window, PlatformWidget* slot, bool isPanel,
                                     int x, int y, int width, int height) {
  if (!window) return nullptr;
  Fl_Group::current(nullptr);
  slot->holder = new ControlHolder(x, y, width, height, isPanel);
  if (isPanel) {
    slot->panel = new PanelBox(0, 0, width, height, FocusMainWindow);
  } else {
    slot->input = new LineInput(0, 0, width, height);
    slot->input->box(FL_BORDER_BOX);
    slot->input->textsize(13);
    // Claiming Enter keeps it from moving the focus; the main loop reads Enter itself.
    slot->input->when(FL_WHEN_ENTER_KEY_ALWAYS);
  }
  slot->holder->end();
  slot->holder->resizable(slot->holder);
  window->frame->add(slot->holder);
  if (window->frame->shown()) slot->holder->show();
  return slot;
}

bool AddTopWindowChild(PlatformWindow* window, Fl_Window* child) {
  if (!window || !child) return false;
  window->frame->add(child);
  if (window->frame->shown()) child->show();
  return true;
}

PlatformWidget* CreateInputLine(PlatformWindow* window, int x, int y, int width, int height, int maxBytes) {
  PlatformWidget* line = CreateControl(window, window ? &window->inputLine : nullptr, false, x, y, width, height);
  if (line && line->input) line->input->maximum_size(maxBytes);
  return line;
}

PlatformWidget* CreateConsolePanel(PlatformWindow* window, int x, int y, int width, int height) {
  return CreateControl(window, window ? &window->consolePanel : nullptr, true, x, y, width, height);
}

void MoveWidget(PlatformWidget* widget, int x, int y, int width, int height, bool toTop) {
  if (!widget || !widget->holder) return;
  widget->holder->resize(x, y, width, height);
  if (toTop && widget->holder->shown()) XRaiseWindow(fl_display, fl_xid(widget->holder));
}

void SetWidgetText(PlatformWidget* widget, const char* text) {
  if (widget && widget->input) widget->input->value(text ? text : "");
}

int PanelRowFit(PlatformWidget* panel, const char* text, int length) {
  if (!panel || !panel->panel) return length;
  return panel->panel->RowFit(text, length);
}

void SetPanelRows(PlatformWidget* panel, const PanelRow* rows, int count, const char* marker) {
  if (panel && panel->panel) panel->panel->SetRows(rows, count, marker);
}

int GetWidgetText(PlatformWidget* widget, char* out, int maxCount) {
  if (!out || maxCount <= 0) return 0;
  out[0] = '\0';
  if (!widget) return 0;
  if (!widget->input) return 0;
  const char* value = widget->input->value();
  int length = static_cast<int>(strnlen(value, static_cast<std::size_t>(maxCount) - 1));
  std::memcpy(out, value, length);
  out[length] = '\0';
  return length;
}

void GetInputSelection(PlatformWidget* widget, int* from, int* to) {
  *from = *to = 0;
  if (!widget || !widget->input) return;
  int a = widget->input->position(), b = widget->input->mark();
  *from = a < b ? a : b;
  *to = a < b ? b : a;
}

void SetInputText(PlatformWidget* widget, const char* text, int cursor) {
  if (!widget || !widget->input) return;
  widget->input->value(text ? text : "");
  widget->input->position(cursor);
}

void ShowTopWindow(PlatformWindow* window) {
  if (!window || !window->frame->shown()) return;
  Window xid = fl_xid(window->frame);
  // The window was made minimised; from now on it maps in the normal state.
  XWMHints* hints = XGetWMHints(fl_display, xid);
  if (hints) {
    hints->flags |= StateHint;
    hints->initial_state = NormalState;
    XSetWMHints(fl_display, xid, hints);
    XFree(hints);
  }
  if (window->fullScreen) SetFullScreenState(xid);
  XMapRaised(fl_display, xid);
  ActivateWindow(fl_display, xid);
  SetTyping(window, false);
}

void SetTyping(PlatformWindow* window, bool toLine) {
  if (!window || window != Gui.activeWindow) return;
  LineInput* input = window->inputLine.input;
  if (!input) toLine = false;
  if (toLine && !Gui.typing) {
    // What the events so far held down, not the keyboard's state now: under load the click is
    // handled while the first letter typed after it is already down, and that letter is for
    // the line.
    NoteHeldAtTyping(&Gui.heldAtTyping, Gui.keysDown);
  } else if (!toLine) {
    ForgetHeldAtTyping(&Gui.heldAtTyping);
  }
  Gui.typing = toLine;
  Fl::focus(toLine ? static_cast<Fl_Widget*>(input) : window->view);
  if (input) input->redraw();
  if (WindowHooks.keyboardMode) WindowHooks.keyboardMode(toLine);
}

void SetInputTag(const char* text, int from, int to, unsigned char r, unsigned char g, unsigned char b) {
  LineInput* input = Gui.activeWindow ? Gui.activeWindow->inputLine.input : nullptr;
  if (StoreInputTag(&Gui.inputTag, text, from, to, TextRgb{r, g, b}) && input) input->redraw();
}

void SetTopWindowTitle(PlatformWindow* window, const char* title) {
  if (!window || !window->frame || !title) return;
  if (window->frame->label() && std::strcmp(window->frame->label(), title) == 0) return;
  window->frame->copy_label(title);
}

void SetWindowAttention(PlatformWindow* window, bool wanted) {
  if (!window || !window->frame->shown()) return;
  SetUrgency(fl_display, fl_xid(window->frame), wanted);
}

void HideTopWindow(PlatformWindow* window) {
  if (!window || !window->frame->shown()) return;
  // Withdrawn, not destroyed: FLTK's hide() would delete the GL context.
  XWithdrawWindow(fl_display, fl_xid(window->frame), fl_screen);
  XFlush(fl_display);
}

void MakeViewCurrent(PlatformWindow* window) {
  if (window && window->view->shown()) window->view->make_current();
}

void SwapViewBuffers(PlatformWindow* window) {
  if (!window || !window->view->shown()) return;
  window->view->swap_buffers();
  ReportShownFrame();
}

// The view covers the whole client area, so the top-level window itself never
// receives an expose; FLTK would wait for one forever and report damage on
// every look at the queue, leaving no idle pass.
static void ForgetFrameExpose() {
  if (!Gui.activeWindow || !Gui.activeWindow->frame->shown()) return;
  Fl_X* x = Fl_X::i(Gui.activeWindow->frame);
  if (x && x->wait_for_expose && Gui.activeWindow->frame->visible()) x->wait_for_expose = 0;
}

// While the window is the active one, the screen saver and the monitor's
// power saving stay away: their idle time is reset now and then.
static void KeepScreenAwake() {
  if (!Gui.frameFocused || !fl_display) return;
  uint32_t now = TickCountMs();
  if (now - Gui.screenSaverReset < 10000) return;
  Gui.screenSaverReset = now;
  XResetScreenSaver(fl_display);
}

PumpResult PumpOneMessage() {
  ForgetFrameExpose();
  KeepScreenAwake();
  if (Gui.quitPosted) {
    Gui.quitPosted = false;
    return PumpQuit;
  }
  if (!Fl::ready() && !Fl::damage()) return PumpIdle;
  Fl::check();
  return PumpDispatched;
}

void PostQuit() { Gui.quitPosted = true; }

Fl_Window* TopFrame(PlatformWindow* window) { return window ? window->frame : nullptr; }
