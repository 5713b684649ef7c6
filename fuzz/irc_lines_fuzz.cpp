// Fuzz target: the server's byte stream as the link thread reads it. Each line is parsed once
// and goes through the registration until the first PING or the end of the message of the
// day, then through the dispatcher; each event handed over is worded as the window's thread
// words it into its console line.
#include <cstddef>
#include <cstdint>

#include "console/console_log.h"
#include "fuzz/fake_link.h"
#include "irc/irc_client.h"
#include "irc/line_pacing.h"
#include "irc/motd_rule.h"
#include "irc/receive_thread.h"
#include "irc/words/chat_lines.h"

namespace {

// Lines per input: enough for every handler, few enough to keep the runs quick.
constexpr int kMaxLines = 4000;

// As after "/connect": links open, own nickname and channel set, peers none, registering.
void StartConnected() {
  FakeLinkReset();
  Irc.streamLink.Open();  // forgets a piece of a line the last input ended with
  StartLinePacing(0, 1);
  Irc.peerTable.Clear();
  Irc.SetNick("me");
  Irc.peerTable.rooms.Add("#room");  // as its JOIN does
  MakeSealIdentity(&Irc.peerTable.ownSeal);  // details that carry keys agree them
  ConsoleClear();
  Receive.stop.store(0);
  ClearPendingEvents();
  BeginRegistration();
  ForgetMotdShown();  // each input is a run of its own: the same bytes, the same path
}

// The window's thread's turn: takes the events and words their console lines.
void ShowPendingEvents() {
  static IrcEvent event;
  static char t[kEventLineSize];
  while (TakeIrcEvent(&event)) {
    if (event.kind == EventRegistered || event.kind == EventText) {
      if (event.text[0]) ConsoleAppend(event.text);
    } else if (FormatEventLine(event, t, sizeof t)) {
      ConsoleAppend(t);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StartConnected();
  FakeLinkServerBytes(data, size);
  static char line[kIrcLineLength];
  for (int n = 0; n < kMaxLines && Irc.streamLink.ReadLine(line); ++n) {
    PassReceivedLine(line);
    ShowPendingEvents();
  }
  FakeLinkReset();
  return 0;
}
