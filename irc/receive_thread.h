// The receive thread and the flags through which it hands lines to the main thread.
#pragma once
#include <atomic>
#include <cstdint>
#include "irc/irc_client.h"

// Single bytes with one writer at a time; atomic so each side sees the other's writes in order.
extern std::atomic<uint8_t> StopReceive;   // 1: the receive thread must end
extern std::atomic<uint8_t> ReceiveHeld;   // 1: the main thread still reads the link (registration)
extern char ReceiveBuffer[kIrcLineLength]; // the line last read by the receive thread

// Outcomes of shown lines wait here for the main thread, oldest first; the receive thread
// reads no further line while all places are taken.
constexpr int kPendingLines = 128;
// Main thread: the oldest outcome into code, nick and message (kIrcLineLength bytes each).
bool TakePendingLine(int* code, char* nick, char* message);
int PendingLineCount();
void ClearPendingLines();  // only while no receive thread runs
// Raised each time an outcome is handed over, so that a main loop at rest can wait for it
// (a descriptor for the platform's wait; kNoSocket when there is none). Cleared by the waiter.
int PendingLineSignal();

// The receive thread's pass over the line in ReceiveBuffer: the dispatcher runs on it, and an
// outcome to show is handed over. False, with nothing done, while every place is taken.
bool PassReceivedLine();

bool StartReceiveThread();   // false: no thread could be made
// Sets StopReceive, wakes a read or send under way and joins; returns within about 100 ms.
void StopReceiveThread();
bool ReceiveThreadRunning(); // main thread: a thread was started and not yet joined

// Codes that leave the line pending for the main thread.
bool IsShownCode(int code);
