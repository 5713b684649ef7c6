// The three queues of outgoing lines and the allowance that paces them, under a lock of their own;
// the sends themselves happen outside it.
#include "irc/line_pacing.h"

#include <cstring>
#include <mutex>

#include "irc/irc_client.h"
#include "platform/net.h"
#include "platform/ticks.h"

namespace {

using Hold = std::lock_guard<std::mutex>;

// Lines one after another, each with its terminating zero, in a ring of bytes.
struct LineQueue {
  char* bytes;
  std::size_t size;
  std::size_t head = 0;  // where the oldest line begins
  std::size_t used = 0;
  int lines = 0;
  uint32_t pushed = 0;  // lines ever queued: the last one's ticket
  uint32_t gone = 0;    // lines ever sent or dropped: every ticket up to it has gone

  bool Push(const char* text) {
    std::size_t n = strnlen(text, kIrcLineLength - 1) + 1;
    if (n > size - used) return false;
    for (std::size_t i = 0; i < n; ++i) bytes[(head + used + i) % size] = i + 1 < n ? text[i] : '\0';
    used += n;
    ++lines;
    ++pushed;
    return true;
  }
  void Pop(char* out) {  // out holds kIrcLineLength bytes; the queue is not empty
    std::size_t n = 0;
    while (bytes[(head + n) % size] != '\0') {
      if (n < kIrcLineLength - 1) out[n] = bytes[(head + n) % size];
      ++n;
    }
    out[n < kIrcLineLength - 1 ? n : kIrcLineLength - 1] = '\0';
    head = (head + n + 1) % size;
    used -= n + 1;
    --lines;
    ++gone;
  }
  void Clear() { head = used = 0, lines = 0, gone = pushed; }
};

// Everything about the outgoing lines, as one record: the queues under their own lock, the
// pace of the connection, and the signal that wakes the link thread.
struct Outgoing {
  std::mutex lock;  // the queues: any thread queues, the link thread takes; never held to send
  // Room for a few screens of typed lines, and for a question to each of 199 members with its
  // answer (":Q" and ":A" lines of up to a few hundred bytes) besides the WHO and WHOIS lines.
  char chatBytes[16 * 1024];
  char lookupBytes[192 * 1024];
  char answerBytes[64 * 1024];  // an answer a minute to each member at most
  LineQueue chat{chatBytes, sizeof chatBytes};
  LineQueue lookups{lookupBytes, sizeof lookupBytes};
  LineQueue answers{answerBytes, sizeof answerBytes};
  int intervalMs = 0;      // 0: not paced
  int burst = 0;
  int allowanceMs = 0;     // lines may go while it holds a whole interval; it grows with time
  uint32_t allowanceAt = 0;
  int signal = NetOpenWakeSignal();  // for the life of the process
  // A line that may be dropped (a relayed move): its allowance is spent when it is handed over,
  // and a newer one replaces it while it waits for the link thread.
  char spare[kIrcLineLength] = {};
  bool spareWaiting = false;
};
Outgoing Out;

void Refill() {
  uint32_t now = TickCountMs();
  uint32_t elapsed = now - Out.allowanceAt;
  Out.allowanceAt = now;
  long long full = static_cast<long long>(Out.intervalMs) * Out.burst;
  long long grown = Out.allowanceMs + static_cast<long long>(elapsed > 0x7fffffffu ? 0 : elapsed);
  Out.allowanceMs = static_cast<int>(grown < full ? grown : full);
}

bool MayGo() { return Out.intervalMs == 0 || Out.allowanceMs >= Out.intervalMs; }

int Waiting() { return Out.chat.lines + Out.lookups.lines + Out.answers.lines; }

// The queue whose line goes next: chat, then lookups, then answers.
LineQueue& NextQueue() {
  if (Out.chat.lines > 0) return Out.chat;
  return Out.lookups.lines > 0 ? Out.lookups : Out.answers;
}

LineQueue& QueueOf(LineKind kind) {
  return kind == ChatLine ? Out.chat : kind == LookupLine ? Out.lookups : Out.answers;
}

// Takes the next line the pace lets go (chat first) into out, under the lock. False: none.
bool TakeDueLine(char* out, bool chatOnly, bool ignorePace) {
  Hold hold(Out.lock);
  if (chatOnly ? Out.chat.lines == 0 : Waiting() == 0) return false;  // no clock to read
  Refill();
  if (!ignorePace && !MayGo()) return false;
  NextQueue().Pop(out);
  if (Out.intervalMs != 0) Out.allowanceMs -= Out.intervalMs;
  return true;
}

}  // namespace

void StartLinePacing(int interval, int lines) {
  Hold hold(Out.lock);
  Out.spareWaiting = false;
  Out.chat.Clear();
  Out.lookups.Clear();
  Out.answers.Clear();
  Out.intervalMs = interval > 0 ? interval : 0;
  Out.burst = lines > 0 ? lines : 1;
  Out.allowanceMs = Out.intervalMs * Out.burst;
  Out.allowanceAt = TickCountMs();
}

void EndLinePacing() {
  Hold hold(Out.lock);
  Out.spareWaiting = false;
  Out.lookups.Clear();
  Out.answers.Clear();
  Out.intervalMs = 0;
}

int SendPaced(const char* text, LineKind kind) {
  uint32_t ticket = 0;
  return SendPacedWithTicket(text, kind, &ticket);
}

int SendPacedWithTicket(const char* text, LineKind kind, uint32_t* ticket) {
  bool queued;
  {
    Hold hold(Out.lock);
    LineQueue& queue = QueueOf(kind);
    queued = queue.Push(text);
    *ticket = queued ? queue.pushed : 0;
  }
  NetRaiseWakeSignal(Out.signal);
  return queued ? 1 : -1;
}

bool PacedLineGone(LineKind kind, uint32_t ticket) {
  Hold hold(Out.lock);
  return static_cast<int32_t>(QueueOf(kind).gone - ticket) >= 0;  // counts that wrap compare alike
}

bool PacedLineMayGoNow() {
  Hold hold(Out.lock);
  if (Waiting() > 0 || Out.spareWaiting) return false;
  Refill();
  return MayGo();
}

int SendSpareLine(const char* text, int reserveLines) {
  {
    Hold hold(Out.lock);
    if (Waiting() > 0) return 0;
    if (!Out.spareWaiting) {
      Refill();
      int reserve = reserveLines < Out.burst - 1 ? reserveLines : Out.burst - 1;
      if (reserve < 0) reserve = 0;
      if (Out.intervalMs != 0 && Out.allowanceMs < Out.intervalMs * (1 + reserve)) return 0;
      if (Out.intervalMs != 0) Out.allowanceMs -= Out.intervalMs;
    }
    std::size_t n = strnlen(text, kIrcLineLength - 1);
    std::memcpy(Out.spare, text, n);
    Out.spare[n] = '\0';
    Out.spareWaiting = true;
  }
  NetRaiseWakeSignal(Out.signal);
  return 1;
}

// The spare line handed over, if one waits (its allowance was spent then).
bool TakeSpareLine(char* out) {
  Hold hold(Out.lock);
  if (!Out.spareWaiting) return false;
  std::memcpy(out, Out.spare, sizeof Out.spare);
  Out.spareWaiting = false;
  return true;
}

void SendPacedLinesDue() {
  char line[kIrcLineLength];  // its own on each call: a test may hurry the lines beside the link thread
  while (TakeDueLine(line, false, false)) Irc.streamLink.Send(line);
  if (TakeSpareLine(line)) Irc.streamLink.Send(line);
}

void SendChatLinesLeft() {
  char line[kIrcLineLength];
  while (TakeDueLine(line, true, true)) Irc.streamLink.Send(line);
}

int OutgoingLineSignal() { return Out.signal; }

int MsUntilPacedLine() {
  Hold hold(Out.lock);
  if (Out.spareWaiting) return 0;
  if (Waiting() == 0) return -1;
  Refill();
  return Out.allowanceMs >= Out.intervalMs ? 0 : Out.intervalMs - Out.allowanceMs;
}

int PacedLinesWaiting() {
  Hold hold(Out.lock);
  return Waiting();
}

int PacedChatLinesWaiting() {
  Hold hold(Out.lock);
  return Out.chat.lines;
}

int DropChatLines() {
  Hold hold(Out.lock);
  int dropped = Out.chat.lines;
  Out.chat.Clear();
  return dropped;
}
