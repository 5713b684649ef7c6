// Fuzz target: the server's byte stream as the client reads it. Registration polls first, as
// the main thread does until the first PING or the end of the message of the day; then each
// line goes through the dispatcher as the receive thread runs it, and each event it shows
// through the main thread's side of the dispatcher and into its console line.
#include <cstddef>
#include <cstdint>

#include "app/shell.h"
#include "console/console_log.h"
#include "fuzz/fake_link.h"
#include "irc/irc_client.h"
#include "irc/receive_thread.h"

namespace {

// Lines per input: enough for every handler, few enough to keep the runs quick.
constexpr int kMaxLines = 4000;

// As after "/connect" and JOIN: links open, own nickname and channel set, peers none.
void StartConnected() {
  FakeLinkReset();
  Irc.peerTable.Clear();
  Irc.SetNick("me");
  Irc.Join("#room");
  ConsoleClear();
  StopReceive.store(0);
  ReceiveHeld.store(1);
  ClearPendingLines();
}

// The main thread's turn: takes the pending events and formats their console lines.
void ShowPendingEvents() {
  static char rn[kIrcLineLength], rm[kIrcLineLength], t[kEventLineSize];
  for (int code; (code = Irc.Dispatch(rn, rm, 0)) != 0;)
    if (FormatEventLine(code, rn, rm, t, sizeof t)) ConsoleAppend(t);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  Irc.Init();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartConnected();
  FakeLinkServerBytes(data, size);
  while (FakeLinkServerBytesLeft() > 0 && Irc.PollRegistration() != 1) {
  }
  for (int n = 0; n < kMaxLines && Irc.streamLink.ReadLine(ReceiveBuffer); ++n) {
    PassReceivedLine();
    ShowPendingEvents();
  }
  FakeLinkReset();
  return 0;
}
