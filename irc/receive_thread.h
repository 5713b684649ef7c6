// The link thread: it connects (name lookup, TCP, TLS handshake), reads every server line,
// answers what the client answers itself, sends the queued lines, and hands the window's thread
// events. The window's thread never reads or writes the server's socket.
#pragma once
#include <atomic>
#include <cstdint>
#include "irc/irc_event.h"

// The link thread's two switches, set from other threads for as long as the program runs.
struct ReceiveSwitches {
  std::atomic<uint8_t> stop{0};  // 1: the link thread must end
  // 1: the thread reads nothing from the server (tests hand lines to PassReceivedLine
  // themselves); it still connects, sends and watches the link.
  std::atomic<uint8_t> held{0};
};
extern ReceiveSwitches Receive;

// Events wait here for the window's thread, oldest first; the link thread reads no further
// line while all places are taken.
constexpr int kPendingEvents = 128;
bool TakeIrcEvent(IrcEvent* event);  // window's thread: the oldest event; false when none waits
int PendingEventCount();
void ClearPendingEvents();  // only while no link thread runs
// Raised each time an event is handed over, so that a main loop at rest can wait for it
// (a descriptor for the platform's wait; kNoSocket when there is none). Cleared by the waiter.
int PendingEventSignal();

// The link thread's pass over one server line: parsed once, taken by the registration while
// it lasts and by the dispatcher afterwards, and its events handed over. False, with nothing
// done, while the places left could not take every event one line may make.
bool PassReceivedLine(const char* line);
// A new connection's lines go to the registration first (StartReceiveThread does this; a
// reader without the thread, as the fuzz target, calls it itself).
void BeginRegistration();

struct SessionConfig;
// Starts the thread for a new connection: it opens its sockets and connects to the config's
// server (EventConnected tells how). False: no thread could be made.
bool StartReceiveThread(const SessionConfig& config);
// Link thread: an event of its own (a line of text for the console), or one more event for the
// line being passed; false while every place is taken.
bool HandOverText(const char* text);
// The same for a line about the presence links and the router (EventPresenceText).
bool HandOverPresenceText(const char* text);
bool HandOverEvent(const IrcEvent& event);
// Sets Receive.stop, lets the thread send the chat lines left (the QUIT among them) and close its
// sockets, wakes whatever it waits for and joins; returns within about 100 ms.
void StopReceiveThread();
bool ReceiveThreadRunning();  // window's thread: a thread was started and not yet joined
