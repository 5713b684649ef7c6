// The values the connection dialog's Connect used, newest first, that its drop-down lists offer.
#pragma once
#include <cstddef>
#include <cstdio>

#include "console/settings.h"

constexpr int kRecentValues = 10;  // distinct values kept for each field
constexpr const char* kRecentConnectionsFile = "recent-connections.txt";

enum RecentField { RecentServer = 0, RecentPort, RecentChannel, RecentNickname, kRecentFields };

// For each field, its last distinct values, newest first.
struct RecentConnections {
  char values[kRecentFields][kRecentValues][kSettingLength];
  int counts[kRecentFields];
};

// The lists from kRecentConnectionsFile in the user's configuration folder; when that file
// does not exist yet, the one connection an older version kept in kLastConnectionFile. Empty
// lists when neither is there.
void LoadRecentConnections(RecentConnections* recent);
// The reading part of it: the lines of an open file behind what the lists hold; olderFile reads
// kLastConnectionFile's "SERVER host port" (the port into its own list).
void ReadRecentConnections(FILE* file, RecentConnections* recent, bool olderFile);
// A Connect's values go to the front of their lists; an older copy of the same value leaves its
// place, and an eleventh falls off the end. An empty value (or one with a blank or a control
// character, which no field accepts) changes nothing.
void NoteRecentConnection(RecentConnections* recent, const char* server, const char* port, const char* channel,
                          const char* nickname);
// Writes the lists to kRecentConnectionsFile, whole (a temporary file renamed over it); says on
// the console when that fails. False on failure.
bool SaveRecentConnections(const RecentConnections& recent);
