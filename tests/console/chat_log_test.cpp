// Chat logs: file names made safe, the lines written, and appends to real files in a temp folder.
// GCC 12 warns inside std::regex under ASan (a false alarm), and warnings stop the build.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <regex>
#include <string>
#include <utility>

#include "console/chat_log.h"
#include "console/chat_log_text.h"
#include "console/console_log.h"
#include "console/settings.h"

namespace {

std::string SafeName(const std::string& name) {
  char out[512];
  return ChatLogSafeName(name.c_str(), out, sizeof out) ? out : "<false>";
}

TEST(ChatLogText, NamesAreSafeForTheFileSystemAndOneFilePerIrcName) {
  const char* const cases[][2] = {
      {"#Room", "#room"},                   // IRC names do not care about case,
      {"Alice[away]\\~", "alice{away}|^"},  // nor about these four (the IRC rules' lower case)
      {"#a/b/../c", "#a_b_.._c"},           // no folder is ever named
      {"..", "_."}, {".hidden", "_hidden"}, {"", "_"}, {"bad\x01\x07\tname\x7f", "bad___name_"},
      {"#caf\xe9", "#caf\xc3\xa9"},                     // Latin-1 read as such, written as UTF-8
      {"#\xc3\x9c" "BER", "#\xc3\x9c" "ber"},           // UTF-8 kept; only ASCII letters lowered
  };
  for (const auto& c : cases) EXPECT_EQ(c[1], SafeName(c[0])) << "name " << c[0];
  std::string accents;
  for (int i = 0; i < 150; ++i) accents += "\xc3\xa9";
  EXPECT_EQ(accents.substr(0, kChatLogNameBytes), SafeName(accents)) << "cut between characters";
  char path[600];
  EXPECT_TRUE(ChatLogRelativePath("Irc.Test", "#Room", path, sizeof path) && !strcmp("logs/irc.test/#room.log", path));
}

TEST(ChatLogText, EachLineIsStampedPlainAndWhole) {
  const char* const cases[][2] = {
      {"<alice> hello", "<alice> hello\n"},
      {"<bob> \x02" "bold\x02 and \x03" "04red\x03", "<bob> bold and red\n"},
      {"two\r\nlines\nhere", "two  lines here\n"},  // never a second log line
      {"caf\xe9", "caf\xc3\xa9\n"},
  };
  char out[256];
  for (const auto& c : cases) {
    std::size_t n = FormatChatLogLine("2026-12-07 23:05:12", c[0], out, sizeof out);
    EXPECT_EQ(std::string("2026-12-07 23:05:12 ") + c[1], std::string(out, n)) << "text " << c[0];
  }
  EXPECT_EQ(0u, FormatChatLogLine("2026-12-07 23:05:12", "x", out, 10)) << "no room for the stamp";
}

int consoleAppends = 0;  // each console text shows the panel once
void CountAppend(const ConsoleRow*, int, const char*) { ++consoleAppends; }

std::string ConsoleText() {  // the kept lines, oldest first, run together as they were given
  std::string text;
  for (int back = ConsoleHistoryCount() - 1; back >= 0; --back) text += ConsoleHistoryLine(back);
  return text;
}

// Logs under a fresh XDG_DATA_HOME, with settings as loaded.
class ChatLogFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qivra-chatlog-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    folder = pattern;
    logs = folder + "/qivra/logs/irc.test/";
    setenv("XDG_DATA_HOME", folder.c_str(), 1);
    std::memset(&Settings, 0, sizeof Settings);
    std::strcpy(Settings.server, "Irc.Test");
    std::strcpy(Settings.nickname, "me");
    Settings.chatLogs = true;
    ConsoleClear();
    ConsolePanelHooks.showRows = CountAppend;
    consoleAppends = 0;
    StartChatLogs();
  }
  void TearDown() override {
    ConsolePanelHooks.showRows = nullptr;
    CloseChatLogs();
    std::system(("rm -rf " + folder).c_str());
  }
  // A log's lines, each checked for its time stamp and shown without it.
  std::string Unstamped(const std::string& name) {
    std::ifstream in(logs + name);
    static const std::regex stamped("(--- Log opened |)\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d(.*)");
    std::string line, out;
    for (std::smatch m; std::getline(in, line);)
      out += std::regex_match(line, m, stamped) ? (m[1].length() ? "--- Log opened" : m[2].str().substr(1)) + "|"
                                                : "no stamp: " + line + "|";
    return out;
  }
  std::string folder, logs;
};

TEST_F(ChatLogFiles, LinesAppendWholeToOneFilePerChannelAndPartnerInPrivateFolders) {
  LogChatLine("#Room", "<alice> hello");
  LogChatLine("#room", "* alice waves");
  LogOwnPrivate("Bob", "just for you", false);
  LogChatLine("bob", "<bob> thanks");
  LogOwnPrivate("bob", "a notice", true);
  EXPECT_EQ("--- Log opened|<me> just for you|<bob> thanks|-me- a notice|", Unstamped("bob.log"));
  struct stat folderInfo, fileInfo;
  ASSERT_EQ(0, stat(logs.c_str(), &folderInfo) + stat((logs + "#room.log").c_str(), &fileInfo));
  EXPECT_EQ(std::make_pair(0700u, 0600u), std::make_pair(folderInfo.st_mode & 0777u, fileInfo.st_mode & 0777u));

  CloseChatLogs();  // a disconnect: the next line appends, without a second marker
  LogChatLine("#ROOM", "<alice> still here");
  EXPECT_EQ("--- Log opened|<alice> hello|* alice waves|<alice> still here|", Unstamped("#room.log"));
  for (int round = 0; round < 2; ++round)  // more partners than open files
    for (int i = 0; i < 40; ++i) LogChatLine(("nick" + std::to_string(i)).c_str(), "<x> hi");
  EXPECT_EQ("--- Log opened|<x> hi|<x> hi|", Unstamped("nick7.log"));
  EXPECT_EQ(0, consoleAppends) << ConsoleText();
}

// Root writes into folders marked read-only, so the failures come from the file system itself:
// a log that is the full device, then a file where a folder should be.
TEST_F(ChatLogFiles, AFailureIsReportedOnceAndStopsLoggingUntilTheNextStart) {
  ASSERT_EQ(0, system(("mkdir -p '" + logs + "'").c_str()));
  ASSERT_EQ(0, symlink("/dev/full", (logs + "#room.log").c_str()));
  LogChatLine("#room", "<alice> hello");
  LogChatLine("#room", "<alice> again");
  LogChatLine("bob", "<bob> hi");
  EXPECT_EQ("Chat log could not be written: " + logs + "#room.log: No space left on device; "
            "logging stops until the next start.", ConsoleText());
  EXPECT_EQ(1, consoleAppends);
  EXPECT_EQ("", Unstamped("bob.log")) << "logging stopped";

  StartChatLogs();
  ConsoleClear();
  Settings.server[0] = 'X';  // "Xrc.Test", whose folder is a file
  std::ofstream(folder + "/qivra/logs/xrc.test") << "not a folder";
  LogChatLine("bob", "<bob> hi");
  EXPECT_EQ("Chat log could not be written: " + folder + "/qivra/logs/xrc.test: Not a directory; "
            "logging stops until the next start.", ConsoleText());
}

// A full disk cuts a write short part way through a line; a file size limit (with SIGXFSZ
// ignored) does the same on any file system. The log must still end with a whole line.
TEST_F(ChatLogFiles, ALineCutShortIsTakenBackToTheLastWholeLine) {
  LogChatLine("#room", "<alice> hello");
  const std::string path = logs + "#room.log";
  struct stat before;
  ASSERT_EQ(0, stat(path.c_str(), &before));
  rlimit kept;
  ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &kept));
  void (*keptSignal)(int) = signal(SIGXFSZ, SIG_IGN);
  rlimit limit = kept;
  limit.rlim_cur = static_cast<rlim_t>(before.st_size) + 10;  // room for "2026-12-07" of the next line
  ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &limit));
  LogChatLine("#room", "<alice> this line does not fit");
  setrlimit(RLIMIT_FSIZE, &kept);
  signal(SIGXFSZ, keptSignal);

  std::ifstream in(path, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(static_cast<std::size_t>(before.st_size), text.size()) << text;
  EXPECT_EQ("--- Log opened|<alice> hello|", Unstamped("#room.log"));
  EXPECT_EQ("Chat log could not be written: " + path + ": File too large; logging stops until the next start.",
            ConsoleText());
}

}  // namespace
