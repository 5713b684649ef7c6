// Outgoing lines paced as common clients pace them: a short burst, then one line every couple
// of seconds, so that servers never drop the client for flooding; typed chat goes before lookups,
// and lookups before answers to other clients' questions.
// Every line is queued; only the link thread sends, outside the queue's lock, so that no thread
// waits for the network while holding anything the window's thread needs.
#pragma once
#include <cstdint>

// AnswerLine: what other clients asked of us (the ":A" address answers). Last, so that nobody's
// questions can hold up the lookups of members who just came.
enum LineKind { ChatLine, LookupLine, AnswerLine };

// Starts a connection's pacing with a full burst and empty queues. intervalMs 0: no pacing.
void StartLinePacing(int intervalMs, int burst);
// The client is leaving: the queued chat lines (and the QUIT after them) go without pace,
// the lookups and answers are dropped.
void EndLinePacing();

// Queues the line for the link thread and wakes it. 1, or -1 when the queue is full.
int SendPaced(const char* text, LineKind kind);
// The same, with the line's ticket in its queue: PacedLineGone(kind, ticket) says when it has
// been sent (or dropped with its queue), so that a caller can hold its next line until then
// and gather into it whatever came meanwhile. 0 in *ticket when the queue was full.
int SendPacedWithTicket(const char* text, LineKind kind, uint32_t* ticket);
bool PacedLineGone(LineKind kind, uint32_t ticket);
// Whether a line queued now would go at once: nothing waits and the allowance holds a line.
// A caller that gathers many targets into one line queues it only then, so that the line
// names everyone due by the time it can go.
bool PacedLineMayGoNow();
// A line that may be dropped (a relayed move, merged into the next one instead): handed to the
// link thread to go at once only when nothing waits and the allowance keeps reserveLines more
// lines (at most burst - 1) for typed chat; a newer one replaces it while it waits; never
// queued behind others. 1 when handed over, 0 when not now.
int SendSpareLine(const char* text, int reserveLines);
// Link thread: sends what the pace allows now, chat lines first, then lookups, then answers.
void SendPacedLinesDue();
// Link thread, when it ends: sends the chat lines still queued, whatever the pace.
void SendChatLinesLeft();
// Raised by each queued line so that the link thread wakes for it (a descriptor for the
// platform's wait; kNoSocket when there is none). Cleared by the thread.
int OutgoingLineSignal();
// Milliseconds until the next queued line may go; -1 when nothing waits.
int MsUntilPacedLine();
int PacedLinesWaiting();
int PacedChatLinesWaiting();  // typed lines only
// Drops the typed lines waiting; returns how many.
int DropChatLines();
