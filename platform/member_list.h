// The room's member list beside the view: a heading and two lines a member (the name in its
// colour, how it is in the room), scrolled by the wheel; a double-click chooses a member.
#pragma once

struct PlatformWindow;
struct PlatformMemberList;  // a child of the window: deleted with it

constexpr int kMemberListMostRows = 200;
constexpr int kMemberListRowHeight = 36;    // pixels a member
constexpr int kMemberListHeadHeight = 28;   // the heading's, above the first member

struct MemberListRow {
  int id;                  // handed back when the row is chosen
  const char* name;        // drawn in its colour r, g, b
  unsigned char r, g, b;
  const char* note;        // after the name, in grey; "" for none
  const char* state;       // the second line, in grey
  bool standing;           // its figure stands in the room; else the name is faded
};

// Made over the window's view, hidden until placed.
PlatformMemberList* CreateMemberList(PlatformWindow* window);
// Where it goes, in client coordinates, above the view; or hidden.
void PlaceMemberList(PlatformMemberList* list, int x, int y, int width, int height, bool shown);
// The heading and the rows, top to bottom (copied, cut to kMemberListMostRows); it redraws only
// when they change.
void SetMemberListRows(PlatformMemberList* list, const char* title, const MemberListRow* rows, int count);

// A row double-clicked with the left button goes to WindowHooks.memberChosen. A click anywhere on
// the list gives the keyboard to the view, as a click on the console does.
