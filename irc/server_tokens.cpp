// The 005 tokens that change how names and modes are read.
#include "irc/server_tokens.h"

#include <cstring>

#include "core/irc_case.h"

namespace {

constexpr int kMarks = 8;

// Link thread only.
struct ServerTokens {
  char modes[kMarks + 1];  // status modes, strongest first ("ov")
  char marks[kMarks + 1];  // their marks ("@+")
  char listModes[32];      // CHANMODES A: always an argument (bans ...)
  char keyModes[32];       // B: always an argument
  char limitModes[32];     // C: an argument when set
};
ServerTokens Tokens = {"ov", "@+", "beI", "k", "l"};

void Copy(char* out, std::size_t size, const char* from, std::size_t n) {
  if (n >= size) n = size - 1;
  std::memcpy(out, from, n);
  out[n] = '\0';
}

// "PREFIX=(qaohv)~&@%+"
void ReadPrefix(const char* value) {
  if (value[0] != '(') return;
  const char* close = std::strchr(value, ')');
  if (!close) return;
  std::size_t count = static_cast<std::size_t>(close - value - 1);
  if (count > kMarks || std::strlen(close + 1) != count) return;
  Copy(Tokens.modes, sizeof Tokens.modes, value + 1, count);
  Copy(Tokens.marks, sizeof Tokens.marks, close + 1, count);
}

// "CHANMODES=beI,k,l,imnpst"
void ReadChannelModes(const char* value) {
  char* lists[3] = {Tokens.listModes, Tokens.keyModes, Tokens.limitModes};
  for (int i = 0; i < 3; ++i) {
    std::size_t n = std::strcspn(value, ",");
    Copy(lists[i], sizeof Tokens.listModes, value, n);
    value += n;
    if (*value != ',') return;
    ++value;
  }
}

}  // namespace

void NoteServerTokens(const IrcMessage& m) {
  if (NumericOf(m) == 1) {
    Tokens = ServerTokens{"ov", "@+", "beI", "k", "l"};
    SetIrcCaseMapping(CaseRfc1459);
    return;
  }
  if (NumericOf(m) != 5) return;
  for (int i = 1; i + 1 < m.count; ++i) {  // the last parameter is "are supported by this server"
    const char* token = Param(m, i);
    IrcCaseMapping mapping;
    if (std::strncmp(token, "CASEMAPPING=", 12) == 0 && ReadIrcCaseMapping(token + 12, &mapping))
      SetIrcCaseMapping(mapping);
    else if (std::strncmp(token, "PREFIX=", 7) == 0)
      ReadPrefix(token + 7);
    else if (std::strncmp(token, "CHANMODES=", 10) == 0)
      ReadChannelModes(token + 10);
  }
}

char StatusMarkOf(char mode) {
  const char* at = mode ? std::strchr(Tokens.modes, mode) : nullptr;
  return at ? Tokens.marks[at - Tokens.modes] : 0;
}

int StatusMarksAt(const char* name, char* mark) {
  int n = 0;
  *mark = 0;
  while (name[n] && std::strchr(Tokens.marks, name[n])) {
    if (!*mark) *mark = name[n];
    ++n;
  }
  return n;
}

bool ModeTakesArgument(char mode, bool adding) {
  if (!mode) return false;
  if (std::strchr(Tokens.modes, mode) || std::strchr(Tokens.listModes, mode) || std::strchr(Tokens.keyModes, mode))
    return true;
  return adding && std::strchr(Tokens.limitModes, mode) != nullptr;
}
