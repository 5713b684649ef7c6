// The pieces the files of added commands share, and the commands themselves for their table.
#pragma once

constexpr int kWordLength = 256;

// The first word of text into word (kWordLength bytes); returns the text after it and its blanks.
const char* TakeWord(const char* text, char* word);
// Formats one IRC line (without its line end) and sends it when the client is in a channel;
// otherwise says "Not sent (...): <typed>" and sends nothing. True when it went.
bool SendToServer(const char* typed, const char* format, ...) __attribute__((format(printf, 2, 3)));
// The channel the commands act on when the line names none.
const char* CurrentChannel();

// Each takes the text after its word (and the blanks after it) and the line as typed.
void KickCommand(const char* rest, const char* typed);
void ModeCommand(const char* rest, const char* typed);
void OpCommand(const char* rest, const char* typed);
void DeopCommand(const char* rest, const char* typed);
void VoiceCommand(const char* rest, const char* typed);
void DevoiceCommand(const char* rest, const char* typed);
void BanCommand(const char* rest, const char* typed);
void InviteCommand(const char* rest, const char* typed);
void QueryCommand(const char* rest, const char* typed);
// Ends a "/query" (leaving the channel does); once per pass, ends it with the connection or
// the channel and shows its nickname at the input line's left.
void EndQuery();
void KeepPrivateTarget();
void CtcpCommand(const char* rest, const char* typed);
void IgnoreCommand(const char* rest, const char* typed);
void UnignoreCommand(const char* rest, const char* typed);
