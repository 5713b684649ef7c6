// The room as the window draws it (core/room_view.h), made from the peer table by the thread
// that owns it and handed over whole.
#pragma once
#include "core/room_view.h"

class PeerTable;

// Makes the view of channel's room from the table and hands it over when it changed.
void PublishRoomView(PeerTable& table, const char* channel);
// The newest view into *view when it is newer than the one *view holds. True when copied.
bool CopyRoomView(RoomView* view);
