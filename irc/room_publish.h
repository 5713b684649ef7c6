// The room as the window draws it (core/room_view.h), made from the peer table by the thread
// that owns it and handed over whole.
#pragma once
#include "core/room_view.h"

class PeerTable;

// Makes the view of the room the user stands in from the table and hands it over when it
// changed. Standing in no room, the view shows every member (a client of one channel).
void PublishRoomView(PeerTable& table);
// The newest view into *view when it is newer than the one *view holds. True when copied.
bool CopyRoomView(RoomView* view);
// Raised with each new view (a descriptor for the platform's wait). Cleared by the waiter.
int RoomViewSignal();
