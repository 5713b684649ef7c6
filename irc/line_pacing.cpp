// The two queues of outgoing lines and the allowance that paces them, under the client lock.
#include "irc/line_pacing.h"

#include <cstring>
#include <mutex>

#include "irc/irc_client.h"
#include "platform/ticks.h"

namespace {

using Hold = std::lock_guard<std::recursive_mutex>;

// Lines one after another, each with its terminating zero, in a ring of bytes.
struct LineQueue {
  char* bytes;
  std::size_t size;
  std::size_t head = 0;  // where the oldest line begins
  std::size_t used = 0;
  int lines = 0;

  bool Push(const char* text) {
    std::size_t n = strnlen(text, kIrcLineLength - 1) + 1;
    if (n > size - used) return false;
    for (std::size_t i = 0; i < n; ++i) bytes[(head + used + i) % size] = i + 1 < n ? text[i] : '\0';
    used += n;
    ++lines;
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
  }
  void Clear() { head = used = 0, lines = 0; }
};

// Room for a few screens of typed lines, and for a question to each of 199 members with its
// answer (":Q" and ":A" lines of up to a few hundred bytes) besides the WHO and WHOIS lines.
char chatBytes[16 * 1024];
char lookupBytes[192 * 1024];
LineQueue chat{chatBytes, sizeof chatBytes};
LineQueue lookups{lookupBytes, sizeof lookupBytes};

int intervalMs = 0;      // 0: not paced
int burst = 0;
int allowanceMs = 0;     // lines may go while it holds a whole interval; it grows with time
uint32_t allowanceAt = 0;

void Refill() {
  uint32_t now = TickCountMs();
  uint32_t elapsed = now - allowanceAt;
  allowanceAt = now;
  long long full = static_cast<long long>(intervalMs) * burst;
  long long grown = allowanceMs + static_cast<long long>(elapsed > 0x7fffffffu ? 0 : elapsed);
  allowanceMs = static_cast<int>(grown < full ? grown : full);
}

bool MayGo() { return intervalMs == 0 || allowanceMs >= intervalMs; }

int SendNow(const char* text) {
  if (intervalMs != 0) allowanceMs -= intervalMs;
  return Irc.streamLink.Send(text);
}

}  // namespace

void StartLinePacing(int interval, int lines) {
  Hold hold(ClientLock());
  chat.Clear();
  lookups.Clear();
  intervalMs = interval > 0 ? interval : 0;
  burst = lines > 0 ? lines : 1;
  allowanceMs = intervalMs * burst;
  allowanceAt = TickCountMs();
}

void EndLinePacing() {
  Hold hold(ClientLock());
  static char line[kIrcLineLength];
  while (chat.lines > 0) {
    chat.Pop(line);
    Irc.streamLink.Send(line);
  }
  lookups.Clear();
  intervalMs = 0;
}

int SendPaced(const char* text, LineKind kind) {
  Hold hold(ClientLock());
  Refill();
  bool waiting = chat.lines > 0 || (kind == LookupLine && lookups.lines > 0);
  if (!waiting && MayGo()) return SendNow(text);
  LineQueue& queue = kind == ChatLine ? chat : lookups;
  return queue.Push(text) ? 1 : -1;
}

int SendSpareLine(const char* text, int reserveLines) {
  Hold hold(ClientLock());
  if (chat.lines > 0 || lookups.lines > 0) return 0;
  Refill();
  int reserve = reserveLines < burst - 1 ? reserveLines : burst - 1;
  if (reserve < 0) reserve = 0;
  if (intervalMs != 0 && allowanceMs < intervalMs * (1 + reserve)) return 0;
  return SendNow(text) == 1 ? 1 : -1;
}

void SendPacedLinesDue() {
  Hold hold(ClientLock());
  if (chat.lines == 0 && lookups.lines == 0) return;  // no clock to read for an empty queue
  Refill();
  static char line[kIrcLineLength];
  while ((chat.lines > 0 || lookups.lines > 0) && MayGo()) {
    (chat.lines > 0 ? chat : lookups).Pop(line);
    SendNow(line);
  }
}

int MsUntilPacedLine() {
  Hold hold(ClientLock());
  if (chat.lines == 0 && lookups.lines == 0) return -1;
  Refill();
  return allowanceMs >= intervalMs ? 0 : intervalMs - allowanceMs;
}

int PacedLinesWaiting() {
  Hold hold(ClientLock());
  return chat.lines + lookups.lines;
}
