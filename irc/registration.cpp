// Registration: PASS, SASL PLAIN through CAP, nickname retries and the lines shown meanwhile.
#include "irc/registration.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "irc/discovery_lines.h"
#include "irc/motd_rule.h"
#include "irc/nick_regain.h"
#include "irc/peer_reach.h"
#include "irc/relay_lines.h"
#include "irc/server_tokens.h"
#include "irc/session_turn.h"
#include "irc/words/server_lines.h"

namespace {

// The login's progress, written by the link thread only; whether the server has welcomed us is
// also read by the main thread's "/nick".
struct LoginState {
  int nickRetries;
  bool saslPending;  // CAP REQ sent, the exchange not finished: CAP END is still owed
  std::atomic<bool> welcomed{false};
};
LoginState State;

void EndCapabilities() {
  State.saslPending = false;
  SendIrcLine("\r\n", "CAP END");
}

void SendSaslPlain() {
  // PLAIN: authorisation identity, authentication identity and password, NUL-separated.
  char plain[3 * kLoginFieldLength];
  std::size_t a = strnlen(Irc.login.account, kLoginFieldLength - 1);
  std::size_t p = strnlen(Irc.login.password, kLoginFieldLength - 1);
  std::memcpy(plain, Irc.login.account, a);
  plain[a] = '\0';
  std::memcpy(plain + a + 1, Irc.login.account, a);
  plain[2 * a + 1] = '\0';
  std::memcpy(plain + 2 * a + 2, Irc.login.password, p);
  char encoded[4 * kLoginFieldLength + 8];  // at most 191 bytes: 256 characters, one line
  EncodeBase64(plain, 2 * a + 2 + p, encoded, sizeof encoded);
  SendIrcLine("\r\n", "AUTHENTICATE %s", encoded);
  std::memset(plain, 0, sizeof plain);
  std::memset(encoded, 0, sizeof encoded);
}

bool HandleCap(const IrcMessage& m, char* text, std::size_t size) {
  const char* verb = Param(m, 1);
  bool mentionsSasl = std::strstr(Param(m, m.count - 1), "sasl") != nullptr;
  if (State.saslPending && mentionsSasl && std::strcmp(verb, "ACK") == 0) {
    SendIrcLine("\r\n", "AUTHENTICATE PLAIN");
    FormatInto(text, size, "Logging in as \"%s\" (SASL)...", Irc.login.account);
  } else if (State.saslPending && mentionsSasl && std::strcmp(verb, "NAK") == 0) {
    EndCapabilities();
    FormatInto(text, size, "The server does not offer SASL: going on without logging in.");
  }
  return true;  // other capability lines are the client's own business
}

bool HandleSaslReply(int numeric, char* text, std::size_t size) {
  switch (numeric) {
    case 903:  // success; 900 before it is shown as it comes
    case 906:  // aborted
    case 907:  // already logged in
    case 902:  // the nickname is locked
      if (State.saslPending) EndCapabilities();
      return false;
    case 904:
    case 905:
      if (State.saslPending) EndCapabilities();
      FormatInto(text, size,
                    "Logging in as \"%s\" failed: the server refused the account name or password. "
                    "Check the SASL line in config.txt.", Irc.login.account);
      return true;
    default:
      return false;
  }
}

// 433 before the welcome: the name with "_" added, a few times, then the user decides.
bool HandleNicknameInUse(const IrcMessage& m, char* text, std::size_t size) {
  const char* taken = Param(m, 1);
  if (State.nickRetries >= kNicknameRetries) {
    FormatInto(text, size, "The nickname \"%s\" is in use too: choose another with /nick name.", taken);
    return true;
  }
  ++State.nickRetries;
  char next[kLoginFieldLength + 2];
  FormatInto(next, sizeof next, "%.*s_", kLoginFieldLength - 1, taken);
  Irc.SetNick(next);
  FormatInto(text, size, "The nickname \"%s\" is in use: trying \"%s\".", taken, next);
  return true;
}

}  // namespace

void StartLogin() {
  State.nickRetries = 0;
  State.saslPending = false;
  State.welcomed.store(false);
  StartNickRegain();
  if (Irc.login.serverPassword[0]) SendIrcLine("\r\n", "PASS %s", Irc.login.serverPassword);
  if (Irc.login.account[0] && Irc.login.password[0]) {
    State.saslPending = true;
    SendIrcLine("\r\n", "CAP REQ :sasl");
  }
}

bool LoginWelcomed() { return State.welcomed.load(); }

bool HandleLoginLine(const IrcMessage& m, char* text, std::size_t size) {
  text[0] = '\0';
  int numeric = NumericOf(m);
  if (numeric == 1) {
    // The welcome's target is the nickname the server gave: the retries end here.
    FormatInto(Irc.peerTable.self.nick, kNickLength, "%s", Param(m, 0));
    ShowOwnNick(Irc.peerTable.self.nick);
    State.welcomed.store(true);
    return false;
  }
  if (std::strcmp(m.command, "CAP") == 0) return HandleCap(m, text, size);
  if (std::strcmp(m.command, "AUTHENTICATE") == 0) {
    if (State.saslPending && std::strcmp(Param(m, 0), "+") == 0) SendSaslPlain();
    return true;
  }
  if (numeric == 421 && State.saslPending &&
      (std::strcmp(Param(m, 1), "CAP") == 0 || std::strcmp(Param(m, 1), "AUTHENTICATE") == 0)) {
    State.saslPending = false;
    FormatInto(text, size, "The server does not offer SASL: going on without logging in.");
    return true;
  }
  if (numeric >= 900 && numeric <= 908) return HandleSaslReply(numeric, text, size);
  if (numeric == 433 && !State.welcomed.load()) return HandleNicknameInUse(m, text, size);
  return false;
}

int RegistrationLine(const IrcMessage& m, IrcEvent* event) {
  event->nick[0] = '\0';
  event->text[0] = '\0';
  char reply[kIrcLineLength];
  if (BuildPingReply(m, reply, sizeof reply)) {
    Irc.streamLink.Send(reply);  // this is the thread that sends
    return EventRegistered;
  }
  NoteWelcome(m);
  NoteTargetLimit(m);
  NoteServerTokens(m);
  NickRegainRegistrationLine(m);  // a fallback nickname is taken back later
  // Every line in readable form: a last ERROR too.
  if (!HandleLoginLine(m, event->text, kIrcLineLength)) FormatRegistrationText(m, event->text, kIrcLineLength);
  HideRepeatedMotd(m, event->text, kIrcLineLength);  // a reconnect's copy only ends registration
  if (IsEndOfMotd(m)) return EventRegistered;
  return event->text[0] ? EventText : EventNone;
}

bool EncodeBase64(const char* data, std::size_t length, char* out, std::size_t size) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (!out || size < (length + 2) / 3 * 4 + 1) return false;
  std::size_t o = 0;
  for (std::size_t i = 0; i < length; i += 3) {
    unsigned value = static_cast<unsigned char>(data[i]) << 16;
    if (i + 1 < length) value |= static_cast<unsigned char>(data[i + 1]) << 8;
    if (i + 2 < length) value |= static_cast<unsigned char>(data[i + 2]);
    out[o++] = kDigits[(value >> 18) & 63];
    out[o++] = kDigits[(value >> 12) & 63];
    out[o++] = i + 1 < length ? kDigits[(value >> 6) & 63] : '=';
    out[o++] = i + 2 < length ? kDigits[value & 63] : '=';
  }
  out[o] = '\0';
  return true;
}
