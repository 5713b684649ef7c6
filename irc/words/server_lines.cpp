// Readable server text: numeric replies, notices and errors turned into lines a user reads.
#include "irc/words/server_lines.h"

#include <cstdio>
#include <cstring>

#include "irc/words/mode_away_lines.h"
#include "irc/words/numeric_lines.h"

namespace {

// A reply's wording: $1 ... $9 stand for its parameters after the target; a part in [brackets]
// is left out when a parameter named in it is empty.
struct ReplyForm {
  int numeric;
  const char* form;
};

const ReplyForm kReplyForms[] = {
    {4, "$1 runs $2"},  // «<me> <server> <version> <user modes> <channel modes>»
    {42, "Your unique ID is $1"},
    {219, "End of the statistics ($1)"},
    {252, "Operators online: $1"},
    {253, "Unknown connections: $1"},
    {254, "Channels: $1"},
    {311, "$1 is $2@$3[ ($5)]"},
    {312, "$1 is on $2[ ($3)]"},
    {319, "$1 is in $2"},
    {303, "Online: $1"},
    {330, "$1 is logged in as $2"},
    {351, "$2 runs $1"},  // «<me> <version>. <server> :<comments>»
    {364, "Linked server: $2 ($3)"},
    {365, "End of the server links"},
    {369, "End of the earlier users named $1"},
    {391, "Time at $1: $2"},
    {900, "$3"},  // «<me> <nick!user@host> <account> :You are now logged in as <account>»
};

const ReplyForm kErrorForms[] = {
    {401, "No such nickname or channel: $1."},
    {402, "No such server: $1."},
    {403, "No such channel: $1."},
    {404, "Your message to $1 was not delivered ($2)."},
    {405, "Cannot join $1: you are in too many channels. /part one first."},
    {406, "There was no user named $1 lately."},
    {421, "The server does not know the command $1."},
    {431, "No nickname given: type /nick and a name."},
    {432, "The server refused the nickname \"$1\" ($2): choose another with /nick name."},
    {433, "The nickname \"$1\" is already in use: choose another with /nick name."},
    {436, "The nickname \"$1\" collided with another user's: choose another with /nick name."},
    {437, "\"$1\" is unavailable for now: wait a while, or choose another name."},
    {442, "You are not in $1: /join it first."},
    {451, "The server has not finished registering you yet: wait a moment and try again."},
    {461, "The server says $1 needs more parameters: check the command."},
    {462, "You are already registered with this server."},
    {464, "The server refused the password: check the PASS line in config.txt."},
    {465, "You are banned from this server ($1)."},
    {471, "Cannot join $1: the channel is full. Try again later, or /join another channel."},
    {473, "Cannot join $1: it is invite-only. Ask one of its members to invite you, "
          "or /join another channel."},
    {474, "Cannot join $1: you are banned from it. /join another channel."},
    {475, "Cannot join $1: it needs a channel key, which QIVRA cannot send. /join another channel."},
    {477, "Cannot join $1: it needs a registered nickname. Log in with a SASL line in config.txt."},
    {482, "You are not a channel operator in $1, so the server refused ($2)."},
};

// Appends text to out at *used, never past size - 1; out stays terminated.
void Append(char* out, std::size_t size, std::size_t* used, const char* text, std::size_t length) {
  if (*used + 1 >= size) return;
  std::size_t room = size - 1 - *used;
  if (length > room) length = room;
  std::memcpy(out + *used, text, length);
  *used += length;
  out[*used] = '\0';
}

void AppendText(char* out, std::size_t size, std::size_t* used, const char* text) {
  Append(out, size, used, text, std::strlen(text));
}

// A bracketed part of a form [from, to) names an empty parameter: it is left out.
bool NamesEmptyParam(const IrcMessage& m, const char* from, const char* to) {
  for (const char* f = from; f + 1 < to; ++f)
    if (f[0] == '$' && f[1] >= '1' && f[1] <= '9' && !Param(m, f[1] - '0')[0]) return true;
  return false;
}

void FillForm(const IrcMessage& m, const char* form, char* out, std::size_t size) {
  std::size_t used = 0;
  out[0] = '\0';
  for (const char* f = form; *f; ++f) {
    if (f[0] == '[') {
      const char* close = std::strchr(f, ']');
      if (close && NamesEmptyParam(m, f, close)) f = close;
      continue;
    }
    if (f[0] == ']') continue;
    if (f[0] == '$' && f[1] >= '1' && f[1] <= '9') {
      AppendText(out, size, &used, Param(m, f[1] - '0'));
      ++f;
    } else {
      Append(out, size, &used, f, 1);
    }
  }
}

// Servers end some parameters with a blank ("#room ", ircd-irc2): nothing to show.
void TrimEnd(char* out, std::size_t keep) {
  std::size_t length = std::strlen(out);
  while (length > keep && out[length - 1] == ' ') out[--length] = '\0';
}

const char* FindForm(const ReplyForm* forms, std::size_t count, int numeric) {
  for (std::size_t i = 0; i < count; ++i)
    if (forms[i].numeric == numeric) return forms[i].form;
  return nullptr;
}

}  // namespace

void FormatServerText(const IrcMessage& m, char* out, std::size_t size) {
  if (!out || size == 0) return;
  if (FormatModeAwayText(m, out, size)) return;  // modes, invitations, away and the channel list
  std::size_t used = 0;
  out[0] = '\0';
  AppendText(out, size, &used, "-server- ");
  const std::size_t prefix = used;
  int numeric = NumericOf(m);
  char text[kIrcLineLength];
  if (FormatCountedReply(m, text, sizeof text)) {
    if (!text[0]) {  // nothing in it a user would read
      out[0] = '\0';
      return;
    }
    AppendText(out, size, &used, text);
    return;
  }
  const char* form = FindForm(kReplyForms, sizeof kReplyForms / sizeof kReplyForms[0], numeric);
  if (form) {
    FillForm(m, form, text, sizeof text);
    TrimEnd(text, 0);
    AppendText(out, size, &used, text);
    return;
  }
  int first = 0;
  if (numeric || std::strcmp(m.command, "NOTICE") == 0) {
    first = 1;  // the target: the own nickname, "*" or AUTH
  } else if (std::strcmp(m.command, "ERROR") != 0) {
    AppendText(out, size, &used, m.command);  // an unusual line keeps its command word
    if (m.count) AppendText(out, size, &used, " ");
  }
  for (int i = first; i < m.count; ++i) {
    if (i > first) AppendText(out, size, &used, " ");
    AppendText(out, size, &used, m.params[i]);
  }
  TrimEnd(out, prefix);
}

bool ExplainErrorReply(const IrcMessage& m, char* out, std::size_t size) {
  const char* form = FindForm(kErrorForms, sizeof kErrorForms / sizeof kErrorForms[0], NumericOf(m));
  if (!form || !out || size == 0) return false;
  FillForm(m, form, out, size);
  return true;
}

void FormatRegistrationText(const IrcMessage& m, char* out, std::size_t size) {
  if (ExplainErrorReply(m, out, size)) return;
  if (m.fromUser && std::strcmp(m.command, "NOTICE") == 0) {
    FormatInto(out, size, "-%s- %s", m.source, Param(m, m.count - 1));
    return;
  }
  FormatServerText(m, out, size);
}
