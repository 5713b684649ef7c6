// Every "/" command's handler, for the one command table (app/command_table.cpp), and the pieces
// the command files share. Each handler takes the text after its word (and the blanks after it)
// and the line as typed.
#pragma once

constexpr int kWordLength = 256;

// The first word of text into word (kWordLength bytes); returns the text after it and its blanks.
const char* TakeWord(const char* text, char* word);
// Formats one IRC line (without its line end) and sends it when the client is in a channel;
// otherwise says "Not sent (...): <typed>" and sends nothing. True when it went.
bool SendToServer(const char* typed, const char* format, ...) __attribute__((format(printf, 2, 3)));

void MeCommand(const char* rest, const char* typed);
void MsgCommand(const char* rest, const char* typed);
void JoinCommand(const char* rest, const char* typed);
void PartCommand(const char* rest, const char* typed);
void ServerCommand(const char* rest, const char* typed);
void ConnectCommand(const char* rest, const char* typed);
void DisconnectCommand(const char* rest, const char* typed);
void ExplodeCommand(const char* rest, const char* typed);
void HelpCommand(const char* rest, const char* typed);
void QuitCommand(const char* rest, const char* typed);
void NickCommand(const char* rest, const char* typed);
void TopicCommand(const char* rest, const char* typed);
void NamesCommand(const char* rest, const char* typed);
void WhoisCommand(const char* rest, const char* typed);
void NoticeCommand(const char* rest, const char* typed);
void AwayCommand(const char* rest, const char* typed);
void ListCommand(const char* rest, const char* typed);
void MotdCommand(const char* rest, const char* typed);
void ClearCommand(const char* rest, const char* typed);
void QuoteCommand(const char* rest, const char* typed);
void DropCommand(const char* rest, const char* typed);
void LastlogCommand(const char* rest, const char* typed);
void KickCommand(const char* rest, const char* typed);
void ModeCommand(const char* rest, const char* typed);
void OpCommand(const char* rest, const char* typed);
void DeopCommand(const char* rest, const char* typed);
void VoiceCommand(const char* rest, const char* typed);
void DevoiceCommand(const char* rest, const char* typed);
void BanCommand(const char* rest, const char* typed);
void InviteCommand(const char* rest, const char* typed);
void QueryCommand(const char* rest, const char* typed);
void CloseCommand(const char* rest, const char* typed);
// Once a pass: the input line's tag at its left: the active private partner's nickname, and the
// typed lines waiting for the pace ("12 lines waiting").
void KeepInputTag();
void CtcpCommand(const char* rest, const char* typed);
void IgnoreCommand(const char* rest, const char* typed);
void UnignoreCommand(const char* rest, const char* typed);
