// The one line that tells a user, at the first connect ever, that presence shows the address.
#pragma once

constexpr const char* kPresenceNoticeFile = "presence-told.txt";
constexpr const char* kPresenceNoticeLine =
    "Channel members who run QIVRA see your IP address; PRESENCE off keeps it private";

// True when the user has not been told yet (no kPresenceNoticeFile in the configuration
// folder); the file is then written whole, so the line shows once per user. A folder that
// cannot be written shows it again at the next start rather than never.
bool TakePresenceNotice();
