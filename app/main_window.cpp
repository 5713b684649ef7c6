// Making and unmaking the window with its GL context and children, and sizing the view.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/app_state.h"
#include "app/attention.h"
#include "app/command_interpreter.h"
#include "app/conversations.h"
#include "app/input_text.h"
#include "app/shell.h"
#include "console/console_height.h"
#include "console/console_log.h"
#include "platform/console_panel.h"
#include "platform/conversation_bar.h"
#include "platform/gui_window.h"
#include "platform/message_box.h"
#include "irc/session.h"
#include "scene/scene.h"
#include "scene/world.h"

namespace {

struct ClientRect {
  int left, top, right, bottom;
};

// The full-screen display-mode request: size, width, height and colour depth.
struct DisplayModeRequest {
  int size;
  int pixelsWidth;
  int pixelsHeight;
  int bitsPerPixel;
  unsigned fieldsSet;
};
constexpr unsigned kFieldWidth = 1, kFieldHeight = 2, kFieldBits = 4;

// The pixel-format request, filled by the first window and reused unchanged.
struct PixelFormatRequest {
  bool filled;
  int colorBits;
  int depthBits;
  bool doubleBuffer;
};

// What the windows made keep between them, on the window's thread: written when a window is
// made, resized and unmade.
struct MainWindowRecord {
  ClientRect clientRect;
  // The console's rows are as wide as the panel: this many pixels, 0 before the panel's first
  // measure (the rows made without a panel follow a fixed length).
  int rowsWidth;
  int barHeight;  // the conversation bar's pixels in the last layout
  PixelFormatRequest pixelFormat;
  bool greeted;  // the first window greeted and took the console height the user left
};
MainWindowRecord MainWindow;

void Fail(const char* text) {
  ShowMessageBox(text, "ERROR", BoxIconExclamation, BoxOk);
}

void FailAndUndo(const char* text) {
  DestroyMainWindow();
  Fail(text);
}

void OnActivation(bool active) {
  AppState.isActive = active;
  NoteWindowActive(active);
}
// Movement keys act only while the view has the keyboard.
void OnKeyboardMode(bool typing) { AppState.viewHasFocus = !typing; }
void OnExpose() {
  if (AppState.sceneReady && AppState.mainWindow) RenderFrame();
  MarkViewChanged();  // the main loop draws it again with the frame's own pacing
}
// The console's rows handed down to the panel as plain data.
void ShowPanelRows(const ConsoleRow* rows, int count, const char* marker) {
  PanelRow shown[kMaxConsoleRows];
  if (count > kMaxConsoleRows) count = kMaxConsoleRows;
  for (int i = 0; i < count; ++i) {
    shown[i].text = rows[i].text;
    shown[i].attention = rows[i].mark == MarkAttention;
    shown[i].spanCount = rows[i].spanCount < kMaxPanelSpans ? rows[i].spanCount : kMaxPanelSpans;
    for (int s = 0; s < shown[i].spanCount; ++s) {
      const RowSpan& span = rows[i].spans[s];
      shown[i].spans[s] = PanelSpan{span.from, span.to, span.colour.r, span.colour.g, span.colour.b, span.kind == SpanLink};
    }
  }
  SetPanelRows(AppState.consolePanel, shown, count, marker);
}

// The bar's pixels while it shows (two or more conversations), else none: one channel keeps the
// layout it always had.
int BarHeight() { return ConversationBarWanted() ? kConversationBarHeight : 0; }

std::size_t FitPanelRow(const char* text, std::size_t length) {
  return static_cast<std::size_t>(PanelRowFit(AppState.consolePanel, text, static_cast<int>(length)));
}

// A panel of another width carries the kept lines over again, so that every row fills it in
// the one type size.
void FollowPanelWidth(int width) {
  if (!AppState.consolePanel || width == MainWindow.rowsWidth) return;
  MainWindow.rowsWidth = width;
  ConsoleRewrap();
}

// The divider dragged: the view keeps at least 60 pixels, and the height is kept for the
// next start once the button is let go.
void OnPanelResize(int rows, bool done) {
  const ClientRect& rect = MainWindow.clientRect;
  const int most = ConsoleRowsRoom(rect.bottom - rect.top, BarHeight());
  if (rows > most) rows = most;
  ConsoleSetRows(rows);
  ResizeView(rect.right - rect.left, rect.bottom - rect.top);
  if (done && !SaveConsoleRows(ConsoleChosenRows()))
    ConsoleAppend("WARNING: the console's height could not be saved for the next start");
}

// Test seam: QIVRA_WINDOW_STDERR=1 prints one line to stderr for each main window made.
void TraceWindowMade(bool fullScreen) {
  const char* trace = std::getenv("QIVRA_WINDOW_STDERR");
  if (!trace || !*trace || std::strcmp(trace, "0") == 0) return;
  std::fprintf(stderr, "[window] made %s\n", fullScreen ? "full screen" : "windowed");
  std::fflush(stderr);
}

// No is the default: only a deliberate Yes (a click, or the Y key) trusts a certificate.
bool AskYesNoBox(const char* caption, const char* text) {
  return ShowMessageBox(text, caption, BoxIconQuestion, BoxYesNoDefaultNo) == AnswerYes;
}

}  // namespace

bool CreateMainWindow(const char* title, const WindowPlace& place, int bits, bool fullScreen) {
  // Full screen starts at the windowed size; the window manager then gives it the screen.
  const int width = place.width, height = place.height;
  MainWindow.clientRect = ClientRect{0, 0, width, height};
  if (!fullScreen) StartWindowPlace(place);
  AppState.isFullScreen = fullScreen;

  WindowHooks.viewExpose = OnExpose;
  WindowHooks.clientResize = ResizeView;
  WindowHooks.activation = OnActivation;
  WindowHooks.keyboardMode = OnKeyboardMode;
  WindowHooks.inputEdit = OnInputEditKey;
  WindowHooks.inputPaste = OnInputPaste;
  WindowHooks.inputFull = OnInputFull;
  WindowHooks.panelScroll = ConsoleScroll;
  WindowHooks.panelResize = OnPanelResize;
  WindowHooks.viewDrag = OnViewDrag;
  WindowHooks.barClick = ShowConversationAt;
  AskYesNo = AskYesNoBox;

  if (!OpenDisplay()) {
    Fail("Failed To Register The Window Class.");
    return false;
  }

  if (AppState.isFullScreen) {
    DisplayModeRequest dmScreenSettings;
    std::memset(&dmScreenSettings, 0, sizeof dmScreenSettings);
    dmScreenSettings.size = sizeof dmScreenSettings;
    dmScreenSettings.pixelsWidth = width;
    dmScreenSettings.pixelsHeight = height;
    dmScreenSettings.bitsPerPixel = bits;
    dmScreenSettings.fieldsSet = kFieldWidth | kFieldHeight | kFieldBits;
    if (!FullScreenModeAvailable(dmScreenSettings.pixelsWidth, dmScreenSettings.pixelsHeight,
                                 dmScreenSettings.bitsPerPixel)) {
      if (ShowMessageBox("The Requested Fullscreen Mode Is Not Supported By\nYour Video Card. Use Windowed Mode Instead?",
                         "Vemu GL", BoxIconExclamation, BoxYesNo) == AnswerYes) {
        AppState.isFullScreen = false;
      } else {
        ShowMessageBox("Program Will Now Close.", "ERROR", BoxIconStop, BoxOk);
        return false;
      }
    }
  }

  const ClientRect& rect = MainWindow.clientRect;
  AppState.mainWindow = CreateTopWindow(title, rect.right - rect.left, rect.bottom - rect.top, AppState.isFullScreen);
  if (!AppState.mainWindow) {
    FailAndUndo("Window Creation Error.");
    return false;
  }

  PixelFormatRequest& pfd = MainWindow.pixelFormat;
  if (!pfd.filled) {
    pfd.filled = true;
    pfd.colorBits = bits;
    pfd.depthBits = 16;
    pfd.doubleBuffer = true;
  }

  if (!RealizeTopWindow(AppState.mainWindow)) {
    FailAndUndo("Can't Create A GL Device Context.");
    return false;
  }
  if (place.placed && !AppState.isFullScreen) PlaceTopWindow(AppState.mainWindow, place.x, place.y);
  if (!PixelFormatSupported(pfd.colorBits, pfd.depthBits)) {
    FailAndUndo("Can't Find A Suitable PixelFormat.");
    return false;
  }
  if (!SetViewPixelFormat(AppState.mainWindow, pfd.colorBits, pfd.depthBits)) {
    FailAndUndo("Can't Set The PixelFormat.");
    return false;
  }
  if (!CreateRenderContext(AppState.mainWindow)) {
    FailAndUndo("Can't Create A GL Rendering Context.");
    return false;
  }
  if (!ActivateRenderContext(AppState.mainWindow)) {
    FailAndUndo("Can't Activate The GL Rendering Context.");
    return false;
  }
  SetSwapInterval(1);  // let the buffer swap pace the loop where the display can

  // The first window greets and takes the console height the user left; a window made again
  // (F1) keeps what the console showed.
  if (!MainWindow.greeted) ConsoleSetRows(LoadConsoleRows());
  ConsoleSetRoom(ConsoleRowsRoom(height, BarHeight()));
  ViewLayout layout = ComputeViewLayout(width, height, ConsoleRows(), BarHeight());
  AppState.inputLine = CreateInputLine(AppState.mainWindow, layout.inputX, layout.inputY, layout.inputWidth,
                                       layout.inputHeight, static_cast<int>(kInputLineBytes));
  AppState.consolePanel = CreateConsolePanel(AppState.mainWindow, layout.panelX, layout.panelY, layout.panelWidth,
                                             layout.panelHeight);
  CreateMemberListIn(AppState.mainWindow);
  AppState.conversationBar = CreateConversationBar(AppState.mainWindow, layout.barX, layout.barY, layout.barWidth,
                                                   kConversationBarHeight);
  ConsolePanelHooks.showRows = ShowPanelRows;
  ConsolePanelHooks.rowFit = FitPanelRow;

  if (!MainWindow.greeted) {
    MainWindow.greeted = true;
    ConsoleClear();
    ConsoleAppend("Welcome To qivra!");
    ConsoleAppend("Beta Version 1");  // the hints for a first visit follow the join (link_events.cpp)
  } else {
    ConsoleShowPanel();
  }
  TraceWindowMade(AppState.isFullScreen);

  ResizeView(width, height);

  if (!InitScene()) {
    FailAndUndo("Initialization Failed.");
    return false;
  }
  SetSessionRoom(WorldBounds.minX, WorldBounds.maxX, WorldBounds.minZ, WorldBounds.maxZ);
  AppState.sceneReady = true;
  RefreshWindowTitle();
  return true;
}

void DestroyMainWindow() {
  SaveKeptWindowPlace();
  AppState.sceneReady = false;
  if (AppState.isFullScreen) RestoreDisplayMode();
  ConsolePanelHooks.showRows = nullptr;
  ConsolePanelHooks.rowFit = nullptr;  // until the next panel measures the rows again
  MainWindow.rowsWidth = 0;
  DeleteRenderContext(AppState.mainWindow);
  DestroyTopWindow(AppState.mainWindow);  // the children go with it
  ForgetMemberList();
  AppState.mainWindow = nullptr;
  AppState.inputLine = nullptr;
  AppState.consolePanel = nullptr;
  AppState.conversationBar = nullptr;  // deleted with the window
}

void ResizeView(int width, int height) {
  MarkViewChanged();
  MainWindow.clientRect = ClientRect{0, 0, width, height};
  MainWindow.barHeight = BarHeight();
  // A smaller window shows fewer rows rather than a console over the view; the chosen
  // height comes back as it grows.
  ConsoleSetRoom(ConsoleRowsRoom(height, MainWindow.barHeight));
  ViewLayout layout = ComputeViewLayout(width, height, ConsoleRows(), MainWindow.barHeight);
  MoveWidget(AppState.inputLine, layout.inputX, layout.inputY, layout.inputWidth, layout.inputHeight, false);
  MoveWidget(AppState.consolePanel, layout.panelX, layout.panelY, layout.panelWidth, layout.panelHeight, true);
  PlaceConversationBar(AppState.conversationBar, layout.barX, layout.barY, layout.barWidth, kConversationBarHeight,
                       layout.barHeight > 0);
  FollowPanelWidth(layout.panelWidth);
  PlaceMemberListBy(layout);
  if (!AppState.mainWindow) return;  // no context of this window yet
  SetViewProjection(layout.viewportX, layout.viewportY, layout.viewportWidth, layout.viewportHeight,
                    layout.aspect);
}

void FollowConversationBar() {
  if (BarHeight() == MainWindow.barHeight) return;
  const ClientRect& rect = MainWindow.clientRect;
  ResizeView(rect.right - rect.left, rect.bottom - rect.top);
}
