// The top-level window with its OpenGL view, console panel and input line, and the event pump.
#pragma once

struct PlatformWindow;  // the top-level window, its GL view and children
struct PlatformWidget;  // a child control: the input line or the console panel

// The keys of the input line that edit beyond a plain text field, handed to the shell.
enum LineEditKey {
  EditHistoryBack,     // cursor up: the line sent before
  EditHistoryForward,  // cursor down: a newer line, or back to what was being typed
  EditComplete,        // Tab: a channel member's nickname
  EditLineStart,       // Home
  EditLineEnd,         // End
  EditWordLeft,        // Ctrl+Left
  EditWordRight,       // Ctrl+Right
  EditDeleteWord,      // Ctrl+W: the word before the cursor
  EditDeleteToStart,   // Ctrl+U: everything before the cursor
};

// The shell's handlers, set by the shell before the window is made; the window and its controls
// (console panel, member list, conversation bar) call them from inside the event pump. A null
// handler is not called.
struct WindowHooksRecord {
  void (*viewExpose)();                         // the view must be drawn again
  void (*clientResize)(int width, int height);  // new client size
  void (*activation)(bool active);              // the window gained or lost activation
  // The left button dragged over the view by (dx, dy) pixels since the last report (x right,
  // y down).
  void (*viewDrag)(int dx, int dy);
  // Text pasted into the input line, as it came (line breaks included); the line itself is
  // left unchanged for the handler to fill.
  void (*inputPaste)(const char* text, int length);
  void (*inputFull)();  // a typed character found the input line full
  // The mouse wheel over the panel, or Shift+Page Up / Page Down anywhere in the window: rows > 0
  // scroll the console back towards older lines, rows < 0 forward.
  void (*panelScroll)(int rows);
  void (*inputEdit)(LineEditKey key);
  // The keyboard goes either to the view (walking: the movement keys move the avatar) or to the
  // input line (typing: every key edits the line). Called on each change, and once for the
  // walking a shown window starts with.
  void (*keyboardMode)(bool typing);
  // The divider above the console panel dragged to a height of rows; done once the button is
  // let go.
  void (*panelResize)(int rows, bool done);
  // A row of the member list double-clicked with the left button: the member's id.
  void (*memberChosen)(int id);
  void (*barClick)(int index);  // the conversation bar's item at index was clicked
};
extern WindowHooksRecord WindowHooks;
// The program cannot go on with its window: the X server went away (logout) or reported an
// error about something other than a closed window. The handler set here runs the way out a stop
// signal takes, without the window and without touching the display (it may be gone); the
// program then exits, with status 0 for the server's loss and 1 for an error. Set once at the
// start; apart from WindowHooks, as the message box may open the display before any window.
void SetEndWithoutWindowHandler(void (*handler)());

// The main window's WM_CLASS name: a second copy finds the first one's window by it.
constexpr const char* kMainWindowClass = "qivra";

// Connects to the display; false when there is none.
bool OpenDisplay();
// Full screen keeps the desktop's display mode: the window covers the whole
// screen. True when a full-screen window can be made.
bool FullScreenModeAvailable(int width, int height, int bits);
void RestoreDisplayMode();

// The steps of making the window, in the order the shell takes them. The
// window stays off screen until ShowTopWindow.
PlatformWindow* CreateTopWindow(const char* title, int width, int height, bool fullScreen);
// A windowed window's client area goes to (x, y) on the screen when it shows, after
// RealizeTopWindow; without it the window manager chooses.
void PlaceTopWindow(PlatformWindow* window, int x, int y);
// The client area on the screen while the window shows windowed; false in full screen, before
// it is shown and while it is minimised.
bool TopWindowPlace(PlatformWindow* window, int* x, int* y, int* width, int* height);
bool RealizeTopWindow(PlatformWindow* window);
bool PixelFormatSupported(int colorBits, int depthBits);
bool SetViewPixelFormat(PlatformWindow* window, int colorBits, int depthBits);
bool CreateRenderContext(PlatformWindow* window);
bool ActivateRenderContext(PlatformWindow* window);
void SetSwapInterval(int interval);  // 0 free-running, 1 paced by the display
// Makes no context current and deletes the window's context.
void DeleteRenderContext(PlatformWindow* window);
void DestroyTopWindow(PlatformWindow* window);

// Children, in client coordinates (origin at the top left).
// The input line holds up to maxBytes bytes; a key typed into a full line is reported.
PlatformWidget* CreateInputLine(PlatformWindow* window, int x, int y, int width, int height, int maxBytes);
PlatformWidget* CreateConsolePanel(PlatformWindow* window, int x, int y, int width, int height);
void MoveWidget(PlatformWidget* widget, int x, int y, int width, int height, bool toTop);
void SetWidgetText(PlatformWidget* widget, const char* text);
// Copies at most maxCount - 1 characters and a terminating zero; returns the length.
int GetWidgetText(PlatformWidget* widget, char* out, int maxCount);
// The input line's selection as byte positions (from == to: the cursor), and its text with
// the cursor placed.
void GetInputSelection(PlatformWidget* widget, int* from, int* to);
void SetInputText(PlatformWidget* widget, const char* text, int cursor);

// Gives the keyboard to the input line (typing) or to the view (walking).
void SetTyping(PlatformWindow* window, bool typing);
// A tag drawn at the left inside the input line, the typed text after it (where plain lines go
// while a private talk is open): bytes [from, to) of text in the colour r, g, b; "" removes it.
// It stays for the windows made after (F1).
void SetInputTag(const char* text, int from, int to, unsigned char r, unsigned char g, unsigned char b);
// The window's title, and whether it asks for the user's attention (the urgency hint and the
// window manager's demands-attention state).
void SetTopWindowTitle(PlatformWindow* window, const char* title);
void SetWindowAttention(PlatformWindow* window, bool wanted);

// Shows the window, brings it to the foreground and gives the keyboard focus
// to the view (walking).
void ShowTopWindow(PlatformWindow* window);
void HideTopWindow(PlatformWindow* window);
void MakeViewCurrent(PlatformWindow* window);
void SwapViewBuffers(PlatformWindow* window);

// The display's refresh rate in Hz as the window's GL binding reports it; 0 when unknown.
int DisplayRefreshHz(PlatformWindow* window);
// Waits until a window event arrives (and handles it), one of count descriptors can be read,
// or ms pass. A descriptor of -1 is left out.
void WaitForWindowEvents(int ms, const int* descriptors, int count);
// True while the window is mapped on the screen: shown and not minimised (it may be covered).
bool TopWindowOnScreen(PlatformWindow* window);

// One non-blocking look at the event queue: PumpDispatched when events were
// waiting (they are handled), PumpQuit once after the close box, else PumpIdle.
enum PumpResult { PumpIdle, PumpDispatched, PumpQuit };
PumpResult PumpOneMessage();
void PostQuit();
