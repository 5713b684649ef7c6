// Chat events sorted into chat logs: the channel's events to its log, private ones to the partner's.
#include "app/chat_log_choice.h"

#include <cstdio>
#include <cstring>

#include "console/chat_log.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "irc/irc_event.h"

namespace {

bool StartsWith(const char* text, const char* start) { return std::strncmp(text, start, std::strlen(start)) == 0; }

// Worded lines the dispatcher shows about the channel itself (topic, kicks with a reason, the
// user's own kick and nickname change).
bool IsChannelText(const char* shown) {
  static const char* const kStarts[] = {"Topic of ", "Topic set by ", "You were kicked from ",
                                        "You are now known as "};
  static const char* const kInside[] = {" changed the topic of ", " removed the topic of ", " was kicked by "};
  for (const char* start : kStarts)
    if (StartsWith(shown, start)) return true;
  for (const char* inside : kInside)
    if (std::strstr(shown, inside)) return true;
  return false;
}

// "-nick- text", a user's notice to the user: the nickname into log; "-nick:#room- text", one to
// a channel: the channel. Server text ("-server- ...") is neither.
bool NoticeLog(const char* shown, char* log, std::size_t size) {
  if (shown[0] != '-') return false;
  std::size_t length = std::strcspn(shown + 1, " -");
  if (length == 0 || shown[1 + length] != '-' || shown[2 + length] != ' ') return false;
  if (length == 6 && std::strncmp(shown + 1, "server", 6) == 0) return false;
  const char* name = shown + 1;
  const char* colon = static_cast<const char*>(std::memchr(name, ':', length));
  if (colon) {  // nicknames hold no colon: what follows it is the channel
    length -= static_cast<std::size_t>(colon + 1 - name);
    name = colon + 1;
    if (length == 0) return false;
  }
  return std::snprintf(log, size, "%.*s", static_cast<int>(length), name) > 0;
}

}  // namespace

bool ChooseChatLog(int code, const char* rn, const char* rm, const char* shown, const char* channel,
                   char* target, std::size_t targetSize, char* line, std::size_t lineSize) {
  if (!rn) rn = "";
  if (!rm) rm = "";
  if (!shown) shown = "";
  if (!channel) channel = "";
  switch (code) {
    case EventChannelMessage:
    case EventAction:
    case EventJoin:
    case EventPart:
    case EventQuit:
    case EventNickChange:
    case EventKick:
      break;
    case EventPrivateMessage:
      if (!rn[0]) return false;
      std::snprintf(target, targetSize, "%s", rn);
      std::snprintf(line, lineSize, "<%s> %s", rn, rm);  // the partner's log needs no "[Private]"
      return true;
    case EventModeChange:  // "#room +o alice": the log of the channel it names
      if (!rm[0] || rm[0] == ' ') return false;
      std::snprintf(target, targetSize, "%.*s", static_cast<int>(std::strcspn(rm, " ")), rm);
      std::snprintf(line, lineSize, "%s", shown);
      return true;
    case EventText:
      if (NoticeLog(shown, target, targetSize)) {
        std::snprintf(line, lineSize, "%s", shown);
        return true;
      }
      if (!IsChannelText(shown)) return false;
      break;
    default:
      return false;
  }
  if (!channel[0]) return false;
  std::snprintf(target, targetSize, "%s", channel);
  std::snprintf(line, lineSize, "%s", shown);
  return true;
}

void LogChatEvent(int code, const char* rn, const char* rm, const char* shown) {
  if (!Settings.chatLogs) return;
  static char target[kSettingLength * 4], line[kIrcLineLength * 2 + 64];
  if (ChooseChatLog(code, rn, rm, shown, Settings.channel, target, sizeof target, line, sizeof line))
    LogChatLine(target, line);
}
