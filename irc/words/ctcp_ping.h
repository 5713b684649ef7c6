// The PING a user sends another client: the time it went, and the round trip when it comes back.
#pragma once
#include <cstddef>
#include <cstdint>

// The request "/ctcp nick PING" sends: "PING <milliseconds>", the tick count now, which the
// other client gives back in its reply. The last eight are kept. Any thread.
void StampCtcpPing(char* out, std::size_t size);
// True when argument is the stamp of one of those requests (each is taken once): the time
// since it went into elapsedMs.
bool TakeCtcpPingRoundTrip(const char* argument, uint32_t* elapsedMs);
