// Outgoing lines paced as common clients pace them: a short burst, then one line every couple
// of seconds, so that servers never drop the client for flooding; typed chat goes before lookups.
#pragma once

enum LineKind { ChatLine, LookupLine };

// Starts a connection's pacing with a full burst and empty queues. intervalMs 0: no pacing.
void StartLinePacing(int intervalMs, int burst);
// Sends the queued chat lines at once (the client is leaving), drops the lookups and stops
// pacing: later lines go out at once.
void EndLinePacing();

// Sends the line now when the pace allows it and nothing of its kind or before it waits;
// otherwise queues it. The send's result (1, or -1), 1 when queued, -1 when the queue is full.
int SendPaced(const char* text, LineKind kind);
// A line that may be dropped (a relayed move, merged into the next one instead): sent now only
// when nothing waits and the allowance keeps reserveLines more lines (at most burst - 1) for
// typed chat; never queued. 1 when sent, 0 when not now, -1 when the send failed.
int SendSpareLine(const char* text, int reserveLines);
// Sends what the pace allows now: chat lines first, then lookups.
void SendPacedLinesDue();
// Milliseconds until the next queued line may go; -1 when nothing waits.
int MsUntilPacedLine();
int PacedLinesWaiting();
