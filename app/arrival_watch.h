// The user's place in each room: placed by the arrival rule on first entering a channel's room,
// placed again when, before moving, someone who came first turns up within a metre, and back
// where it last stood when it comes back from another room.
#pragma once

struct IrcEvent;

// A link event, as the window's thread applies it: the user's own join (it arrives when the
// room shows), a member's join after ours, a change of nickname, and the member list our join
// brought (who was there when we came).
void NoteArrivalEvent(const IrcEvent& event);
// Once a pass in a channel, after the room's newest view was taken: the room shown changed (the
// place left is kept), the due arrival, and the look at members whose avatars turned up while
// the user has not moved.
void WatchArrival();
