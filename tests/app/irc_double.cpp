// The recording IRC client linked into interpreter tests in place of the real one.
#include "tests/app/irc_double.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "irc/irc_client.h"
#include "irc/motd_rule.h"

IrcClient Irc;
IrcDoubleRecord IrcDouble;

void ResetIrcDouble() {
  IrcDouble.calls.clear();
  IrcDouble.connectResult = 1;
  IrcDouble.connectFailure = LinkFailRefused;
}

static void Record(const std::string& call) { IrcDouble.calls.push_back(call); }

IrcClient::IrcClient() {}
int IrcClient::Init() { Record("Init()"); return 1; }
int IrcClient::Cleanup() { Record("Cleanup()"); return 1; }

int IrcClient::Connect(const char* host, int hostPort) {
  Record("Connect(" + std::string(host) + ", " + std::to_string(hostPort) + ")");
  streamLink.failure = IrcDouble.connectResult == 1 ? LinkFailNone : IrcDouble.connectFailure;
  return 1;  // the link thread would now be connecting
}

int IrcClient::Disconnect(const char* reason) {
  Record("Disconnect(" + std::string(reason) + ")");
  return 1;
}

int IrcClient::SetNick(const char* nick) { Record("SetNick(" + std::string(nick) + ")"); return 1; }

int IrcClient::SendUser(const char* user, const char* host, const char* realName) {
  Record("SendUser(" + std::string(user) + ", " + host + ", " + realName + ")");
  return 1;
}

int IrcClient::Join(const char* name) { Record("Join(" + std::string(name) + ")"); return 1; }
int IrcClient::Part(const char* reason) {
  Record("Part(" + std::string(reason ? reason : "") + ")");
  return 1;
}
int IrcClient::Say(const char* text) { Record("Say(" + std::string(text) + ")"); return 1; }

int IrcClient::SayTo(const char* target, const char* text) {
  Record("SayTo(" + std::string(target) + ", " + text + ")");
  return 1;
}

int IrcClient::ChangeNick(const char* nick) { Record("ChangeNick(" + std::string(nick) + ")"); return 1; }
int IrcClient::Topic(const char* text) { Record("Topic(" + std::string(text ? text : "") + ")"); return 1; }
int IrcClient::Names() { Record("Names()"); return 1; }
int IrcClient::Whois(const char* nick) { Record("Whois(" + std::string(nick) + ")"); return 1; }

int IrcClient::Notice(const char* target, const char* text) {
  Record("Notice(" + std::string(target) + ", " + text + ")");
  return 1;
}

void AskForMotd() { Record("AskForMotd()"); }
// Lines the interpreter formats itself (/kick, /mode, /quote ...), without their line end.
int SendIrcLine(const char* lineEnd, const char* format, ...) {
  char line[kIrcLineLength];
  va_list args;
  va_start(args, format);
  std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  Record("Send(" + std::string(line) + ")" + (std::string(lineEnd) == "\r\n" ? "" : " ending " + std::string(lineEnd)));
  return 1;
}
