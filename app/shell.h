// The application shell's own operations: window, main loop, dialog, teardown and their rules.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "console/window_place.h"
#include "platform/gui_window.h"

constexpr const char* kProgramTitle = "QIVRA Beta 2";

// The command line: --help or --version print to out and give 0; anything else is named on
// err and gives 2; -1 when there is nothing to do but start.
int HandleCommandLine(int argc, char** argv, FILE* out, FILE* err);

// Before the first dialog: a message box naming the files the program could not find.
void ReportMissingFiles();

// The window (made hidden; the main loop shows it): windowed at the place, or full screen.
bool CreateMainWindow(const char* title, const WindowPlace& place, int bits, bool fullScreen);
void DestroyMainWindow();
void ResizeView(int width, int height);

// The windowed window's size and place (window_keeping.cpp): where a windowed window starts,
// the place it last showed at (F1 back makes the window there), followed once a pass and
// written for the next start when it has stood for a second; SaveKeptWindowPlace writes a
// change not yet written (the window goes).
void StartWindowPlace(const WindowPlace& place);
const WindowPlace& WindowedPlace();
void KeepWindowPlace();
void SaveKeptWindowPlace();

// The view's controls (looking.cpp), in a channel: a drag on it turns and tilts (the
// window's WindowHooks.viewDrag), Home (walking) levels it; and Escape's warning over it.
void OnViewDrag(int dx, int dy);
void LevelView();
void ShowEscapeNotice(bool shown);

// Releases the scene's arrays, sparks, textures, glyph lists and avatar.
void ReleaseSceneResources();

// The connection dialog: 1 for Connect (Settings updated), 0 for Exit or close.
int ShowConnectionDialog();
// Its row of looks (look_offer.cpp): offered with Settings.image chosen, and the choice taken back.
void OfferLooksInDialog();
void TakeChosenLook();

// The run of frames; how it ended.
enum RunEnd { RunBackToDialog, RunShutDown };
RunEnd RunFrames();
// After the buffer swap of an active window: waits until the display's next frame is due, when
// the swap did not wait for it (60 Hz when the display's rate is unknown).
void WaitForDisplayRefresh();
// Whether this pass draws a frame: the window is on screen (focused or not) and the view
// changed since the last frame, or something in it moves (SceneAnimating). Takes the change.
bool TakeFrameDue();
// Before a pass when no frame is due (nothing moves, or the window is minimised): waits for a
// window event, an event of the link thread, a change of a peer, a stop signal, or at most
// 100 ms for the timed duties of a pass.
void RestUntilSomethingHappens();
// Something the view shows changed (any thread): the next pass draws, a rest ends.
void MarkViewChanged();
// Ends the run after the input line being run (the dialog comes back), as Escape does.
void EndRunAfterLine();
// The link thread's events of this pass (a bounded number), each applied in turn
// (app/link_events.cpp): console lines and changes of the connection's state.
void TakeLinkEvents();

// The input line (input_line.cpp): Enter submits it with the rest of a long paste, line by
// line; the window hands it pastes and reports a character that found it full.
void SubmitInputLine();
void OnInputPaste(const char* text, int length);
void OnInputFull();
// The input line's editing keys (input_editing.cpp); each line sent joins the history first.
void OnInputEditKey(LineEditKey key);
void RememberSentLine(const char* line);

extern uint32_t lastPositionSend;  // tick count of the last position datagram
// In a channel, once a pass (own_moves.cpp): the movement keys that changed and the position when
// due (every 1000 / PACKETS ms at most while it changes) go to the peers.
void ReportOwnMoves(uint32_t* lastPositionSend);
// The session's newest view of the room, taken into the scene's avatars.
void TakeRoom();

// Geometry of the client area for ResizeView (y from the top, except the
// GL viewport, whose y counts from the bottom as OpenGL does).
struct ViewLayout {
  int inputX, inputY, inputWidth, inputHeight;
  int panelX, panelY, panelWidth, panelHeight;
  int barX, barY, barWidth, barHeight;  // the conversation bar: 0 high while it is not shown
  int viewportX, viewportY, viewportWidth, viewportHeight;
  double aspect;  // the view's width / (height - 130) with seven console rows, 16 pixels less per row more
  bool listShown;  // the room's member list, at the view's right
  int listX, listY, listWidth, listHeight;
};
// The console panel is consoleRows rows of 16 pixels high (and a border) above the input line;
// a bar of barHeight pixels over it takes them from the view. A window kMemberListFromWidth
// pixels wide or more shows the member list beside the view, a fifth of the width (200 to 280
// pixels), as high as the view; a narrower one gives it all to the view.
constexpr int kMemberListFromWidth = 800;
ViewLayout ComputeViewLayout(int width, int height, int consoleRows = 7, int barHeight = 0);
// The room's member list beside the view (member_list.cpp): made with the window and placed by
// its layout; once a pass (TakeRoom) its rows follow the room, the distances at most ten times a
// second. A double-click on a member turns the user to face it.
void CreateMemberListIn(PlatformWindow* window);
void PlaceMemberListBy(const ViewLayout& layout);
void ForgetMemberList();  // the window and its list are gone
void FollowMembers();
// The most console rows a client area of that height holds while the view keeps kLeastViewHeight
// pixels beside a bar of barHeight (negative for a window too small even for that; the console
// shows its least then).
constexpr int kLeastViewHeight = 60;
int ConsoleRowsRoom(int height, int barHeight = 0);

// The conversations beside the view (conversation_bar.cpp): the bar shows while two or more are
// open; once a pass Alt+1..9 and Ctrl+Page Up / Down switch, and the bar follows the list.
bool ConversationBarWanted();
void KeepConversations();
// Once a pass: when the bar came or went since the window was last laid out, its children and
// view are laid out again (main_window.cpp).
void FollowConversationBar();

// The exit report's text for a non-zero count of unreleased blocks; false for 0.
bool FormatLeakReport(int32_t liveBlockCount, char* j, std::size_t size);

// The dialog's checks. A port is digits only (blanks around them allowed, and a '+' before
// them that asks for TLS) with a value from 1 to 65535; a nickname or channel is not empty and
// has no blank. A channel without a leading '#' or '&' gets '#', each of a list "a,#b" too
// (empty items are left out; the field holds size bytes: what does not fit gives way at the end).
bool ReadPortField(const char* text, int* port);
bool NameFieldAcceptable(const char* text);
void PrefixChannel(char* channel, std::size_t size);
