// Every "/" command in one table, matched by its whole first word, and "/help" listing them.
#include "app/command_table.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "app/commands.h"
#include "console/console_log.h"

namespace {

const CommandRow kCommands[] = {
    {"/me", "/me text", "an action, shown as * nick text", MeCommand, true},
    {"/msg", "/msg nick text", "a private message to nick", MsgCommand, true},
    {"/join", "/join #channel", "join the channel (or show it, when you are in it already)", JoinCommand, true},
    {"/part", "/part [#channel] [reason]", "leave this channel, or the one named", PartCommand, true},
    {"/server", "/server host", "change to another server (then /join a channel)", ServerCommand, true},
    {"/connect", "/connect", "connect with the current settings", ConnectCommand, true},
    {"/disconnect", "/disconnect", "leave the server (and stop reconnecting)", DisconnectCommand, true},
    {"/explode", "/explode", "a test explosion in the middle of the room", ExplodeCommand, true},
    {"/help", "/help", "this list", HelpCommand, true},
    {"/quit", "/quit [reason]", "with a reason: leave the server with it and go back to the dialog", QuitCommand, true},
    {"/j", "/j #channel", "the same as /join", JoinCommand, false},
    {"/nick", "/nick name", "change your nickname", NickCommand, false},
    {"/topic", "/topic [text]", "set the channel's topic; without text, show it", TopicCommand, false},
    {"/names", "/names", "list the channel's members", NamesCommand, false},
    {"/whois", "/whois nick", "what the server knows about nick", WhoisCommand, false},
    {"/w", "/w nick", "the same as /whois", WhoisCommand, false},
    {"/notice", "/notice nick text", "a notice to nick", NoticeCommand, false},
    {"/query", "/query [nick]", "talk privately with nick in a conversation of its own; alone: back to the channel",
     QueryCommand, false},
    {"/q", "/q [nick]", "the same as /query", QueryCommand, false},
    {"/close", "/close", "close the private conversation shown", CloseCommand, false},
    {"/lastlog", "/lastlog text", "the lines shown here that hold text", LastlogCommand, false},
    {"/away", "/away [text]", "marked as away with text; without text: back", AwayCommand, false},
    {"/kick", "/kick nick [reason]", "put nick out of the channel", KickCommand, false},
    {"/mode", "/mode [target] [modes]", "change modes: of the channel, or of a channel or nick named", ModeCommand, false},
    {"/op", "/op nick...", "make channel operators", OpCommand, false},
    {"/deop", "/deop nick...", "take channel operator away", DeopCommand, false},
    {"/voice", "/voice nick...", "let them speak in a moderated channel", VoiceCommand, false},
    {"/devoice", "/devoice nick...", "take the voice away", DevoiceCommand, false},
    {"/ban", "/ban nick|mask", "ban from the channel (a nick as nick!*@*)", BanCommand, false},
    {"/invite", "/invite nick [#channel]", "invite nick to this channel or another", InviteCommand, false},
    {"/list", "/list [pattern]", "the server's channels, with members and topic", ListCommand, false},
    {"/ctcp", "/ctcp nick what", "a client-to-client request: VERSION, PING, TIME ...", CtcpCommand, false},
    {"/quote", "/quote line", "send the line to the server as typed", QuoteCommand, false},
    {"/raw", "/raw line", "the same as /quote", QuoteCommand, false},
    {"/ignore", "/ignore [nick]", "hide nick's messages for this run; alone: list those hidden", IgnoreCommand, false},
    {"/unignore", "/unignore nick", "show nick's messages again", UnignoreCommand, false},
    {"/clear", "/clear", "empty the console", ClearCommand, false},
    {"/motd", "/motd", "the server's message of the day", MotdCommand, false},
    {"/drop", "/drop", "drop the typed lines still waiting to be sent", DropCommand, false},
};
constexpr int kCommandCount = static_cast<int>(sizeof kCommands / sizeof kCommands[0]);

// The keys of the view that no command does, after the commands in "/help".
const char* const kViewKeys[][2] = {
    {"Keys while walking", "cursor keys walk and turn, Page Up/Down look, a drag on the view looks around"},
    {"Home (walking)", "level the view"},
    {"Escape twice (walking)", "leave the room and go back to the dialog"},
    {"Alt+1..9, Ctrl+Page Up/Down", "show another channel or conversation"},
};

// The first word of a line is the command: "/me" is one, "/meow" another.
bool Matches(const CommandRow& row, const char* line) {
  std::size_t n = std::strlen(row.word);
  bool same = row.exactCase ? std::strncmp(line, row.word, n) == 0 : strncasecmp(line, row.word, n) == 0;
  return same && (line[n] == ' ' || line[n] == '\0');
}

}  // namespace

void RunCommandLine(const char* line) {
  for (const CommandRow& row : kCommands) {
    if (!Matches(row, line)) continue;
    const char* rest = line + std::strlen(row.word);
    while (*rest == ' ') ++rest;
    row.run(rest, line);
    return;
  }
  char text[1200];
  std::snprintf(text, sizeof text, "Unknown command: %.*s (/help lists the commands)",
                static_cast<int>(std::strcspn(line, " ") < 1000 ? std::strcspn(line, " ") : 1000), line);
  ConsoleAppend(text);
}

const CommandRow* CommandAt(int index) { return index >= 0 && index < kCommandCount ? &kCommands[index] : nullptr; }

void HelpCommand(const char*, const char*) {
  ConsoleAppend("Commands (Shift+Page Up scrolls back through this list):");
  char text[200];
  for (const CommandRow& row : kCommands) {
    std::snprintf(text, sizeof text, "%s - %s", row.usage, row.what);
    ConsoleAppend(text);
  }
  for (const auto& keys : kViewKeys) {
    std::snprintf(text, sizeof text, "%s - %s", keys[0], keys[1]);
    ConsoleAppend(text);
  }
}
