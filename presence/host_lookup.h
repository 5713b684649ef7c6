// Host-name lookup that a receive thread can walk away from when it is told to stop.
#pragma once
#include <atomic>
#include <cstdint>

// When set on a thread, a name lookup made on that thread runs on a helper thread and is
// abandoned (reported as "does not resolve") as soon as the flag becomes non-zero; the helper
// touches nothing but its own record, so the caller is free to end at once.
extern thread_local const std::atomic<uint8_t>* LookupAbandonFlag;

// Test hook: when set, replaces the system's name lookup (dotted addresses never reach it).
// Atomic: a lookup helper thread of an earlier connection may still be reading it.
using HostLookupFunction = bool (*)(const char* name, uint32_t* address);
extern std::atomic<HostLookupFunction> HostLookupOverride;

// A dotted address is used without lookup. 1 and the IPv4 address (network order), or -2.
int LookUpHost(const char* host, uint32_t* address);

// The same lookup on a helper thread, waited for in short slices; keepWaiting(context) is
// asked between slices and a false answer gives up at once (-2). For a caller that must keep
// a window alive or keep to a time limit while a resolver takes its time.
int LookUpHostWhile(const char* host, uint32_t* address, bool (*keepWaiting)(void*), void* context);
