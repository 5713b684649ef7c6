// Chat logs: file names made safe, the lines written, and appends to real files in a temp folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "console/chat_log.h"
#include "console/chat_log_text.h"
#include "console/console_log.h"
#include "console/settings.h"

namespace {

std::string SafeName(const char* name) {
  char out[512];
  return ChatLogSafeName(name, out, sizeof out) ? out : "<false>";
}

TEST(ChatLogText, NamesAreSafeForTheFileSystemAndOneFilePerIrcName) {
  struct Case {
    const char* name;
    const char* file;
  };
  const Case cases[] = {
      {"#room", "#room"},
      {"#Room", "#room"},                // IRC names do not care about case
      {"Alice[away]\\~", "alice{away}|^"},  // nor about these four (the IRC rules' lower case)
      {"#a/b/../c", "#a_b_.._c"},        // no folder is ever named
      {"..", "_."},                      // never hidden, never the folder above
      {".hidden", "_hidden"},
      {"bad\x01\x07\tname\x7f", "bad___name_"},
      {"", "_"},
      {nullptr, "_"},
      {"#caf\xe9", "#caf\xc3\xa9"},           // Latin-1 read as such, written as UTF-8
      {"#\xc3\x9c" "BER", "#\xc3\x9c" "ber"},  // UTF-8 kept; only ASCII letters are lowered
      {"IRC.Example.NET", "irc.example.net"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.file, SafeName(c.name)) << "name " << (c.name ? c.name : "(null)");

  std::string longName = "#" + std::string(300, 'x');
  EXPECT_EQ(kChatLogNameBytes, SafeName(longName.c_str()).size()) << "cut to a file name's room";
  std::string accents;
  for (int i = 0; i < 150; ++i) accents += "\xc3\xa9";
  std::string cut = SafeName(accents.c_str());
  EXPECT_EQ(kChatLogNameBytes, cut.size()) << "200 bytes are 100 whole characters";
  char tiny[3];
  EXPECT_FALSE(ChatLogSafeName("#room", tiny, sizeof tiny));

  char path[600];
  ASSERT_TRUE(ChatLogRelativePath("Irc.Test", "#Room", path, sizeof path));
  EXPECT_STREQ("logs/irc.test/#room.log", path);
  ASSERT_TRUE(ChatLogRelativePath("10.0.0.9", "Bob", path, sizeof path));
  EXPECT_STREQ("logs/10.0.0.9/bob.log", path);
  EXPECT_FALSE(ChatLogRelativePath("10.0.0.9", "Bob", path, 12));
}

TEST(ChatLogText, EachLineIsStampedPlainAndWhole) {
  struct Case {
    const char* text;
    const char* line;
  };
  const Case cases[] = {
      {"<alice> hello", "2026-12-07 23:05:12 <alice> hello\n"},
      {"* alice waves", "2026-12-07 23:05:12 * alice waves\n"},
      {"<bob> \x02" "bold\x02 and \x03" "04red\x03", "2026-12-07 23:05:12 <bob> bold and red\n"},
      {"two\r\nlines\nhere", "2026-12-07 23:05:12 two  lines here\n"},  // never a second log line
      {"caf\xe9", "2026-12-07 23:05:12 caf\xc3\xa9\n"},
      {"", "2026-12-07 23:05:12 \n"},
  };
  char out[256];
  for (const Case& c : cases) {
    std::size_t n = FormatChatLogLine("2026-12-07 23:05:12", c.text, out, sizeof out);
    EXPECT_EQ(c.line, std::string(out, n)) << "text " << c.text;
  }
  // Too long for the buffer: cut at a character, still one line with its end.
  std::string accents;
  for (int i = 0; i < 40; ++i) accents += "\xc3\xa9";
  char small[40];
  std::size_t n = FormatChatLogLine("2026-12-07 23:05:12", accents.c_str(), small, sizeof small);
  ASSERT_GT(n, 0u);
  EXPECT_LT(n, sizeof small);
  EXPECT_EQ('\n', small[n - 1]);
  EXPECT_EQ(std::string("2026-12-07 23:05:12 ") + accents.substr(0, 18) + "\n", std::string(small, n));
  EXPECT_EQ(0u, FormatChatLogLine("2026-12-07 23:05:12", "x", small, 10)) << "no room for the stamp";
}

// Console texts reported during a test: each append shows the panel once.
int consoleAppends = 0;
void CountAppend(const char*) { ++consoleAppends; }

// The console's kept lines, oldest first, run together again as the texts were given.
std::string ConsoleText() {
  std::string text;
  for (int back = ConsoleHistoryCount() - 1; back >= 0; --back) text += ConsoleHistoryLine(back);
  return text;
}

std::string ReadWhole(const std::string& path) {
  std::ifstream in(path);
  std::stringstream all;
  all << in.rdbuf();
  return all.str();
}

// Logs under a fresh XDG_DATA_HOME; each test starts with loaded-looking settings.
class ChatLogFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qivra-chatlog-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    folder = pattern;
    setenv("XDG_DATA_HOME", folder.c_str(), 1);
    std::memset(&Settings, 0, sizeof Settings);
    std::snprintf(Settings.server, sizeof Settings.server, "Irc.Test");
    std::snprintf(Settings.nickname, sizeof Settings.nickname, "me");
    std::snprintf(Settings.channel, sizeof Settings.channel, "#Room");
    Settings.chatLogs = true;
    ConsoleClear();
    ConsolePanelSink = CountAppend;
    consoleAppends = 0;
    StartChatLogs();
  }
  void TearDown() override {
    ConsolePanelSink = nullptr;
    CloseChatLogs();
    unsetenv("XDG_DATA_HOME");
    std::system(("rm -rf " + folder).c_str());
  }
  // Lines of a log with their 20-character time stamps taken off (checked on the way).
  std::string Unstamped(const std::string& relative) {
    std::istringstream in(ReadWhole(folder + "/qivra/logs/" + relative));
    std::string line, out;
    while (std::getline(in, line)) {
      if (line.rfind("--- Log opened ", 0) == 0) {
        EXPECT_EQ(34u, line.size()) << line;
        out += "--- Log opened\n";
        continue;
      }
      EXPECT_TRUE(line.size() >= 20 && line[4] == '-' && line[10] == ' ' && line[13] == ':' && line[19] == ' ')
          << "no time stamp: " << line;
      out += line.substr(line.size() >= 20 ? 20 : 0) + "\n";
    }
    return out;
  }
  std::string folder;
};

TEST_F(ChatLogFiles, LinesAppendWholeToOneFilePerChannelAndPartnerInPrivateFolders) {
  LogChatLine("#Room", "<alice> hello");
  LogChatLine("#room", "* alice waves");
  LogOwnPrivate("Bob", "just for you", false);
  LogChatLine("bob", "<bob> thanks");
  LogOwnPrivate("bob", "a notice", true);
  EXPECT_EQ("--- Log opened\n<alice> hello\n* alice waves\n", Unstamped("irc.test/#room.log"));
  EXPECT_EQ("--- Log opened\n<me> just for you\n<bob> thanks\n-me- a notice\n", Unstamped("irc.test/bob.log"));

  struct stat info;
  ASSERT_EQ(0, stat((folder + "/qivra/logs/irc.test").c_str(), &info));
  EXPECT_EQ(0700u, info.st_mode & 0777u);
  ASSERT_EQ(0, stat((folder + "/qivra/logs/irc.test/#room.log").c_str(), &info));
  EXPECT_EQ(0600u, info.st_mode & 0777u);

  // Closed at a disconnect: the next line appends to what is there, without a second marker.
  CloseChatLogs();
  LogChatLine("#ROOM", "<alice> still here");
  EXPECT_EQ("--- Log opened\n<alice> hello\n* alice waves\n<alice> still here\n", Unstamped("irc.test/#room.log"));
  EXPECT_EQ(0, consoleAppends) << "nothing to report: " << ConsoleText();

  // Many partners: the table of open files makes room, and each file keeps its lines.
  for (int round = 0; round < 2; ++round)
    for (int i = 0; i < 40; ++i) LogChatLine(("nick" + std::to_string(i)).c_str(), "<x> hi");
  EXPECT_EQ("--- Log opened\n<x> hi\n<x> hi\n", Unstamped("irc.test/nick7.log"));
  EXPECT_EQ(0, consoleAppends);
}

TEST_F(ChatLogFiles, LogOffWritesNothing) {
  Settings.chatLogs = false;
  LogChatLine("#room", "<alice> hello");
  struct stat info;
  EXPECT_NE(0, stat((folder + "/qivra").c_str(), &info)) << "not even the folder is made";
}

// Root may write into a folder marked read-only, so the failures here come from the file
// system itself: a file where the folder should be, and a log that is the full device.
TEST_F(ChatLogFiles, AFailureIsReportedOnceAndStopsLoggingWithoutACrash) {
  ASSERT_EQ(0, mkdir((folder + "/qivra").c_str(), 0700));
  std::ofstream((folder + "/qivra/logs").c_str()) << "not a folder";
  LogChatLine("#room", "<alice> hello");
  LogChatLine("#room", "<alice> again");
  LogChatLine("bob", "<bob> hi");
  EXPECT_EQ(1, consoleAppends) << ConsoleText();
  EXPECT_EQ("Chat log could not be written: " + folder +
                "/qivra/logs/irc.test: Not a directory; logging stops until the next start.",
            ConsoleText());

  StartChatLogs();  // the next start tries again
  LogChatLine("#room", "<alice> hello");
  EXPECT_EQ(2, consoleAppends);
}

TEST_F(ChatLogFiles, AWriteThatFailsIsReportedOnce) {
  ASSERT_EQ(0, system(("mkdir -p '" + folder + "/qivra/logs/irc.test'").c_str()));
  ASSERT_EQ(0, symlink("/dev/full", (folder + "/qivra/logs/irc.test/#room.log").c_str()));
  LogChatLine("#room", "<alice> hello");
  LogChatLine("#room", "<alice> again");
  LogChatLine("bob", "<bob> hi");
  EXPECT_EQ(1, consoleAppends) << ConsoleText();
  EXPECT_EQ("Chat log could not be written: " + folder + "/qivra/logs/irc.test/#room.log: "
                "No space left on device; logging stops until the next start.",
            ConsoleText());
  struct stat info;
  EXPECT_NE(0, stat((folder + "/qivra/logs/irc.test/bob.log").c_str(), &info)) << "logging stopped";
}

}  // namespace
