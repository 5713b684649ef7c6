// The receive thread and the flags through which it hands lines to the main thread.
#pragma once
#include <atomic>
#include <cstdint>
#include "irc/irc_client.h"

// Single bytes with one writer at a time; atomic so each side sees the other's writes in order.
extern std::atomic<uint8_t> StopReceive;   // 1: the receive thread must end
extern std::atomic<uint8_t> ReceiveHeld;   // 1: the main thread still reads the link (registration)
extern std::atomic<uint8_t> LinePending;   // 1: an outcome waits for the main thread
extern char ReceiveBuffer[kIrcLineLength]; // the line last read by the receive thread

// The outcome of the pending line, complete before LinePending becomes 1.
extern int PendingCode;
extern char PendingNick[kIrcLineLength];
extern char PendingMessage[kIrcLineLength];

bool StartReceiveThread();   // false: no thread could be made
// Sets StopReceive, wakes a read or send under way and joins; returns within about 100 ms.
void StopReceiveThread();
bool ReceiveThreadRunning(); // main thread: a thread was started and not yet joined

// Codes that leave the line pending for the main thread.
bool IsShownCode(int code);
