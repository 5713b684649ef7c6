// The user's arrival in a room: placed by the arrival rule when a channel is joined, and placed
// again when, before moving, someone who came first turns up within a metre.
#pragma once

// A JOIN went out (the command interpreter's RoomEntered): the next pass in the channel places
// the user, and what was known of the last room's arrivals is forgotten.
void NoteRoomEntered();
// A link event, as the window's thread applies it: a member's join after ours, a change of
// nickname, and the member list our join brought (who was there when we came).
void NoteArrivalEvent(int kind, const char* nick, const char* text);
// Once a pass in a channel, after the room's newest view was taken: the due arrival, and the
// look at members whose avatars turned up while the user has not moved.
void WatchArrival();
