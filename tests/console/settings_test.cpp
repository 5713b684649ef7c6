// config.txt as LoadSettings reads it: where it is found, keywords, line ends, long values, what the
// console is told, and the dialog's last values remembered in the user's folder.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "console/console_log.h"
#include "console/presence_notice.h"
#include "console/recent_connections.h"
#include "console/settings.h"
#include "console/trusted_certificates.h"
#include "platform/user_paths.h"

namespace {

void WriteFile(const std::string& path, const char* content) {
  FILE* file = std::fopen(path.c_str(), "wb");
  ASSERT_NE(nullptr, file) << path;
  std::fwrite(content, 1, std::strlen(content), file);
  std::fclose(file);
}

std::string ReadFile(const std::string& path) {
  std::string text;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return "<missing>";
  char chunk[512];
  for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, file)) > 0;) text.append(chunk, n);
  std::fclose(file);
  return text;
}

// Runs LoadSettings in a fresh working folder holding config.txt with the given
// content (no file when content is null); returns the console lines it added.
// The user's configuration folder is <folder>/xdg/qivra.
class SettingsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/qivra-settings-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    folder = pattern;
    work = folder + "/work";
    userFolder = folder + "/xdg/qivra";
    ASSERT_EQ(0, mkdir(work.c_str(), 0700));
    setenv("XDG_CONFIG_HOME", (folder + "/xdg").c_str(), 1);
    ASSERT_NE(nullptr, getcwd(previous, sizeof previous));
    ASSERT_EQ(0, chdir(work.c_str()));
    std::memset(&Settings, 0, sizeof Settings);
  }
  void TearDown() override {
    ASSERT_EQ(0, chdir(previous));
    unsetenv("XDG_CONFIG_HOME");
    std::system(("rm -rf " + folder).c_str());
  }
  std::vector<std::string> Load(const char* content) {
    std::remove("config.txt");
    if (content) WriteFile("config.txt", content);
    ConsoleClear();
    LoadSettings();
    return Lines();
  }
  std::vector<std::string> Save() {
    ConsoleClear();
    SaveLastConnection();
    return Lines();
  }
  // The console's lines without the time they begin with (on by default).
  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const auto& line : ConsoleLog.lines) {
      if (!line[0]) continue;
      std::string text = line;
      if (text.size() >= 8 && text[0] == '[' && text[3] == ':' && text[6] == ']') text.erase(0, 8);
      lines.push_back(text);
    }
    return lines;
  }
  std::string folder, work, userFolder;
  char previous[4096];
};

TEST_F(SettingsTest, MissingFileKeepsDefaultsAndSaysSo) {
  Settings.packetRate = 3.0f;  // not a default: it keeps its value
  auto lines = Load(nullptr);
  EXPECT_EQ(std::vector<std::string>{"ERROR: config.txt file not found!"}, lines);
  EXPECT_STREQ("localhost", Settings.server);
  EXPECT_EQ(6667, Settings.port);
  EXPECT_STREQ("#qivra", Settings.channel);
  EXPECT_STREQ("Unnamed|qivra", Settings.nickname);
  EXPECT_STREQ("QIVRA User", Settings.realName);
  EXPECT_STREQ("user", Settings.userName);
  EXPECT_STREQ("default", Settings.image);
  EXPECT_FLOAT_EQ(3.0f, Settings.packetRate);
  EXPECT_TRUE(Settings.timestamps) << "console lines begin with the time unless TIMESTAMPS off";
  EXPECT_EQ('[', ConsoleLog.lines[kConsoleLines - 1][0]) << ConsoleLog.lines[kConsoleLines - 1];
}

TEST_F(SettingsTest, EveryKeywordSetsItsField) {
  auto lines = Load(
      "/ a comment\n"
      "\n"
      "SERVER irc.test 7000\r\n"
      "CHANNEL #room\n"
      "NICKNAME alice\n"
      "ADDRESS al host.test\n"
      "IMAGE robot\n"
      "PACKETS 2.5\n"
      "FULLNAME Alice Liddell\n"
      "/ the last line is a comment without a line feed");
  EXPECT_EQ(std::vector<std::string>{"irc.test:7000"}, lines);
  EXPECT_STREQ("irc.test", Settings.server);
  EXPECT_EQ(7000, Settings.port);
  EXPECT_STREQ("#room", Settings.channel);
  EXPECT_STREQ("alice", Settings.nickname);
  EXPECT_STREQ("al", Settings.userName);
  EXPECT_STREQ("host.test", Settings.hostName);
  EXPECT_STREQ("robot", Settings.image);
  EXPECT_FLOAT_EQ(2.5f, Settings.packetRate);
  EXPECT_STREQ("Alice Liddell", Settings.realName);
}

TEST_F(SettingsTest, KeywordIsAPrefixAndTheBlankMayBeMissing) {
  Load("CHANNELS x\nNICKNAMEbob\nSERVERirc.test 6000\n");
  EXPECT_STREQ("S", Settings.channel);  // "CHANNEL" then "%s" takes the rest of the word
  EXPECT_STREQ("bob", Settings.nickname);
  EXPECT_STREQ("irc.test", Settings.server);
  EXPECT_EQ(6000, Settings.port);
}

TEST_F(SettingsTest, MismatchedKeywordsAssignNothing) {
  auto lines = Load("CHANEL #x\nSERVER\nPACKETS fast\n");
  EXPECT_STREQ("#qivra", Settings.channel);
  EXPECT_FLOAT_EQ(0.0f, Settings.packetRate);
  // A line beginning with S reports the current server and port even so.
  EXPECT_EQ(std::vector<std::string>{"localhost:6667"}, lines);
}

TEST_F(SettingsTest, UnknownLinesAreQuotedWhole) {
  auto lines = Load("server lower.case 1\n nickname x\n");
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("WARNING: unknown config.txt command \"server lower.case 1\"", lines[0]);
  EXPECT_EQ("WARNING: unknown config.txt command \" nickname x\"", lines[1]);
}

TEST_F(SettingsTest, WindowsLineEndsAndBlankLinesReadLikeTheUnixFile) {
  // Blank lines of nothing, of a carriage return, of blanks and tabs are spacers, not
  // unknown settings; "\r\n" ends a line and never reaches a value.
  auto lines = Load("\r\nSERVER irc.test 7000\r\n \t \r\n\t\n   \nCHANNEL #room\r\n\r"
                    "\nNICKNAME alice\r\nFULLNAME Alice L\r\n");
  EXPECT_EQ(std::vector<std::string>{"irc.test:7000"}, lines);
  EXPECT_EQ(7000, Settings.port);
  EXPECT_STREQ("#room", Settings.channel);
  EXPECT_STREQ("alice", Settings.nickname);
  EXPECT_STREQ("Alice L", Settings.realName);
}

TEST_F(SettingsTest, TlsTimestampsAndLoginLinesAndNoPasswordInAWarning) {
  auto lines = Load("SERVER irc.test +6697\nTIMESTAMPS on\nSASL acct two words\nPASS door\n"
                    "sasl acct hidden\npass hidden2\n");
  EXPECT_EQ(6697, Settings.port);
  EXPECT_TRUE(Settings.useTls) << "a \"+\" before the port asks for TLS";
  EXPECT_TRUE(Settings.timestamps);
  EXPECT_STREQ("acct", Settings.saslAccount);
  EXPECT_STREQ("two words", Settings.saslPassword);
  EXPECT_STREQ("door", Settings.serverPassword);
  ASSERT_EQ(3u, lines.size());
  EXPECT_EQ("irc.test:6697", lines[0]);
  for (const std::string& line : lines) EXPECT_EQ(std::string::npos, line.find("hidden")) << line;
  Load("SERVER irc.test 6697\nTIMESTAMPS off\nPASSWORDS x\n");
  EXPECT_FALSE(Settings.useTls);
  EXPECT_FALSE(Settings.timestamps);
  EXPECT_STREQ("", Settings.serverPassword) << "a keyword is matched as a whole word";
  EXPECT_TRUE(PortTextAsksForTls(" +6697"));
  EXPECT_FALSE(PortTextAsksForTls("6697+"));
}

TEST_F(SettingsTest, AddressWithOneValueSetsTheUserOnly) {
  Load("ADDRESS first second\nADDRESS only\n");
  EXPECT_STREQ("only", Settings.userName);
  EXPECT_STREQ("second", Settings.hostName);
}

TEST_F(SettingsTest, ServerWithoutPortKeepsThePort) {
  auto lines = Load("SERVER a.test 7001\nSERVER b.test\n");
  EXPECT_STREQ("b.test", Settings.server);
  EXPECT_EQ(7001, Settings.port);
  EXPECT_EQ((std::vector<std::string>{"a.test:7001", "b.test:7001"}), lines);
}

TEST_F(SettingsTest, ValuesAreCutTo63Characters) {
  std::string longWord(100, 'n');
  std::string longName = "FULLNAME " + std::string(80, 'r') + "\n";
  std::string content = "NICKNAME " + longWord + "\nCHANNEL #" + longWord + "\n" + longName;
  Load(content.c_str());
  EXPECT_EQ(std::string(63, 'n'), Settings.nickname);
  EXPECT_EQ("#" + std::string(62, 'n'), Settings.channel);
  EXPECT_EQ(std::string(63, 'r'), Settings.realName);
}

TEST_F(SettingsTest, LinesBeginningWithFSkipNineCharactersUnexamined) {
  Load("FOO bar baz\n");
  EXPECT_STREQ("az", Settings.realName);  // from the tenth character on
  Load("FULLNAME Some One\nF short\n");
  EXPECT_STREQ("Some One", Settings.realName);  // too short to hold a name: kept
}

TEST_F(SettingsTest, LinePaceDefaultsToCommonClientsAndTakesAnIntervalAndABurst) {
  Load("SERVER a\n");
  EXPECT_EQ(2000, Settings.lineIntervalMs);
  EXPECT_EQ(5, Settings.lineBurst);
  Load("LINEPACE 3000\n");
  EXPECT_EQ(3000, Settings.lineIntervalMs);
  EXPECT_EQ(5, Settings.lineBurst);
  EXPECT_EQ(std::vector<std::string>{}, Load("LINEPACE 0 2\nLINEPACE -1 3\nLINEPACE 9 0\n"))
      << "no warning: the keyword is known, impossible values are skipped";
  EXPECT_EQ(0, Settings.lineIntervalMs);
  EXPECT_EQ(2, Settings.lineBurst);
}

TEST_F(SettingsTest, LastLineWins) {
  Load("NICKNAME one\nNICKNAME two\nPACKETS 5\nPACKETS 0\n");
  EXPECT_STREQ("two", Settings.nickname);
  EXPECT_FLOAT_EQ(0.0f, Settings.packetRate);
}

TEST_F(SettingsTest, TheWorkingDirectoryComesBeforeTheUsersFolder) {
  ASSERT_EQ(0, std::system(("mkdir -p " + userFolder).c_str()));
  WriteFile(userFolder + "/config.txt", "NICKNAME fromhome\nPACKETS 4\n");
  Load("NICKNAME fromhere\n");
  EXPECT_STREQ("fromhere", Settings.nickname);
  EXPECT_FLOAT_EQ(0.0f, Settings.packetRate) << "only one config.txt is read";
  EXPECT_TRUE(Settings.origin.fromWorkingFolder);
  auto lines = Load(nullptr);
  EXPECT_STREQ("fromhome", Settings.nickname);
  EXPECT_FLOAT_EQ(4.0f, Settings.packetRate);
  EXPECT_EQ(userFolder + "/config.txt", Settings.origin.configPath);
  EXPECT_EQ(std::vector<std::string>{}, lines);
}

TEST_F(SettingsTest, ConnectsLastValuesComeBackUnlessTheWorkingDirectoryHasConfig) {
  ASSERT_EQ(0, std::system(("mkdir -p " + userFolder).c_str()));
  WriteFile(userFolder + "/config.txt", "SERVER home.test 7000\nCHANNEL #home\nNICKNAME ann\nPACKETS 5\n");
  Load(nullptr);
  std::strcpy(Settings.server, "irc.test");
  Settings.port = 6697;
  std::strcpy(Settings.channel, "#room");
  std::strcpy(Settings.nickname, "bob");
  EXPECT_EQ(std::vector<std::string>{}, Save());
  Load(nullptr);
  EXPECT_STREQ("irc.test", Settings.server);
  EXPECT_EQ(6697, Settings.port);
  EXPECT_STREQ("#room", Settings.channel);
  EXPECT_STREQ("bob", Settings.nickname);
  EXPECT_FLOAT_EQ(5.0f, Settings.packetRate) << "the rest still comes from config.txt";
  EXPECT_TRUE(Settings.origin.lastConnectionRead);
  // With no config.txt anywhere the remembered values still count.
  std::remove((userFolder + "/config.txt").c_str());
  EXPECT_EQ(std::vector<std::string>({"ERROR: config.txt file not found!", "irc.test:6697"}), Load(nullptr));
  EXPECT_STREQ("bob", Settings.nickname);
  Load("NICKNAME local\n");
  EXPECT_STREQ("local", Settings.nickname);
  EXPECT_STREQ("localhost", Settings.server);
  EXPECT_FALSE(Settings.origin.lastConnectionRead);
  EXPECT_EQ("<missing>", ReadFile(work + "/last-connection.txt")) << "never written to the working directory";
}

// The dialog's drop-down lists: each field's last ten distinct values, newest first, kept in
// recent-connections.txt; the first start after an older version takes last-connection.txt's.
TEST_F(SettingsTest, RecentConnectionsKeepTenDistinctValuesPerFieldNewestFirst) {
  RecentConnections recent;
  LoadRecentConnections(&recent);
  for (int field = 0; field < kRecentFields; ++field) EXPECT_EQ(0, recent.counts[field]) << "no file: no values";

  ASSERT_EQ(0, std::system(("mkdir -p " + userFolder).c_str()));
  WriteFile(userFolder + "/last-connection.txt", "/ older\nSERVER old.test +6697\nCHANNEL #old\nNICKNAME ann\n");
  LoadRecentConnections(&recent);
  const char* older[] = {"old.test", "+6697", "#old", "ann"};
  for (int field = 0; field < kRecentFields; ++field) {
    ASSERT_EQ(1, recent.counts[field]) << field;
    EXPECT_STREQ(older[field], recent.values[field][0]);
  }

  for (int i = 1; i <= 12; ++i) {
    std::string server = "s" + std::to_string(i) + ".test", channel = "#c" + std::to_string(i % 3);
    NoteRecentConnection(&recent, server.c_str(), i % 2 ? "6667" : "+6697", channel.c_str(), "ann");
  }
  NoteRecentConnection(&recent, "S11.TEST", "bad port", "#two words", "nick\r\n");  // same server, other case
  ASSERT_EQ(std::vector<std::string>{}, Lines());
  EXPECT_TRUE(SaveRecentConnections(recent));
  EXPECT_EQ("<missing>", ReadFile(userFolder + "/recent-connections.txt.new")) << "written whole";
  RecentConnections read;
  LoadRecentConnections(&read);  // the new file now, not the older one
  std::vector<std::string> servers(read.values[RecentServer], read.values[RecentServer] + read.counts[RecentServer]);
  EXPECT_EQ((std::vector<std::string>{"S11.TEST", "s12.test", "s10.test", "s9.test", "s8.test", "s7.test",
                                      "s6.test", "s5.test", "s4.test", "s3.test"}), servers);
  EXPECT_EQ(2, read.counts[RecentPort]);
  EXPECT_STREQ("+6697", read.values[RecentPort][0]);
  EXPECT_STREQ("6667", read.values[RecentPort][1]) << "the older file's +6697 moved to the front and back";
  std::vector<std::string> channels(read.values[RecentChannel], read.values[RecentChannel] + read.counts[RecentChannel]);
  EXPECT_EQ((std::vector<std::string>{"#c0", "#c2", "#c1", "#old"}), channels);
  EXPECT_EQ(1, read.counts[RecentNickname]);
  std::string text = ReadFile(userFolder + "/recent-connections.txt");
  EXPECT_EQ(std::string::npos, text.find("two words")) << "a value with a blank is no field's";
  EXPECT_EQ(std::string::npos, text.find("nick\r")) << text;
}

TEST_F(SettingsTest, SavedValuesAreSingleLinesAndEmptyFieldsAreLeftOut) {
  Load(nullptr);
  std::strcpy(Settings.server, "two words");
  std::strcpy(Settings.channel, "");
  std::strcpy(Settings.nickname, "nick\r\nPACKETS 99");
  Settings.port = 6667;
  Save();
  std::string text = ReadFile(userFolder + "/last-connection.txt");
  EXPECT_NE(std::string::npos, text.find("\nSERVER two 6667\nNICKNAME nick\n")) << text;
  EXPECT_EQ(std::string::npos, text.find("CHANNEL")) << text;
  EXPECT_EQ(std::string::npos, text.find("PACKETS")) << text;
  EXPECT_EQ("<missing>", ReadFile(userFolder + "/last-connection.txt.new"));
}

TEST_F(SettingsTest, AFailedSaveSaysSo) {
  WriteFile(folder + "/xdg", "a file where the folder should be");
  Load(nullptr);
  EXPECT_FALSE(SaveLastConnection());
  EXPECT_EQ(std::vector<std::string>{"WARNING: the connection settings could not be saved for the next start"},
            Save());
}

TEST_F(SettingsTest, TrustedCertificatesKeepEveryLineAndEndAnUnendedLastOne) {
  const std::string file = userFolder + "/trusted-certificates.txt";
  ASSERT_TRUE(TrustCertificate("irc.example.net", 6697, "AB:CD"));
  WriteFile(file, (ReadFile(file) + "10.0.0.9:6697 EF:01").c_str());  // edited by hand, no line end
  ASSERT_TRUE(TrustCertificate("10.0.0.9", 7000, "23:45"));
  EXPECT_EQ("irc.example.net:6697 AB:CD\n10.0.0.9:6697 EF:01\n10.0.0.9:7000 23:45\n", ReadFile(file));
}

TEST(ReadConfigLine, SkipsCommentsAndEmptyLinesAndSplitsLongLines) {
  std::string longLine(300, 'x');
  std::string content = "/ comment\n\nfirst\n" + longLine + "\n/ last";
  FILE* stream = fmemopen(const_cast<char*>(content.data()), content.size(), "r");
  ASSERT_NE(nullptr, stream);
  char line[256];
  ASSERT_TRUE(ReadConfigLine(stream, line));
  EXPECT_STREQ("first\n", line);
  ASSERT_TRUE(ReadConfigLine(stream, line));
  EXPECT_EQ(std::string(254, 'x'), line);  // fgets with a count of 255
  ASSERT_TRUE(ReadConfigLine(stream, line));
  EXPECT_EQ(std::string(46, 'x') + "\n", line);  // the remainder is a line of its own
  std::strcpy(line, "unchanged");
  EXPECT_FALSE(ReadConfigLine(stream, line));
  EXPECT_STREQ("unchanged", line);
  std::fclose(stream);
}

TEST(ReadConfigLine, CarriageReturnLineFeedEndsALineEvenAcrossTheSplit) {
  // 253 characters and "\r" fill the first piece; its "\n" waits in the stream.
  std::string content = std::string(253, 'y') + "\r\n \t\r\nlast\r\n";
  FILE* stream = fmemopen(const_cast<char*>(content.data()), content.size(), "r");
  ASSERT_NE(nullptr, stream);
  char line[256];
  ASSERT_TRUE(ReadConfigLine(stream, line));
  EXPECT_EQ(std::string(253, 'y') + "\n", line);
  ASSERT_TRUE(ReadConfigLine(stream, line)) << "the blank line is skipped, not the next one";
  EXPECT_STREQ("last\n", line);
  EXPECT_FALSE(ReadConfigLine(stream, line));
  std::fclose(stream);
}

}  // namespace

TEST_F(SettingsTest, RouterOffAndOnSwitchTheMappingAndOtherWordsAreReported) {
  // Matched as a whole keyword before the first letter would pick a classic setting.
  EXPECT_TRUE(Load("ROUTER off\n").empty());
  EXPECT_EQ(1, Settings.noRouterMapping);
  EXPECT_TRUE(Load("ROUTER OFF\nROUTER on\n").empty());
  EXPECT_EQ(0, Settings.noRouterMapping);
  EXPECT_EQ(std::vector<std::string>{"WARNING: ROUTER takes on or off, not \"sometimes\""},
            Load("ROUTER off\nROUTER sometimes\n"));
  EXPECT_EQ(1, Settings.noRouterMapping);
  Load("SERVER irc.test\n");
  EXPECT_EQ(0, Settings.noRouterMapping) << "asked for unless switched off";
}

TEST_F(SettingsTest, ChatLogsAreOnUnlessLogOffAndOtherWordsAreReported) {
  EXPECT_TRUE(Load("LOG off\n").empty());
  EXPECT_FALSE(Settings.chatLogs);
  EXPECT_EQ(std::vector<std::string>{"WARNING: LOG takes on or off, not \"never\""}, Load("LOG off\nLOG on\nLOG never\n"));
  EXPECT_TRUE(Settings.chatLogs);
  Load("LINEPACE 100 3\n");
  EXPECT_TRUE(Settings.chatLogs) << "on by default; LINEPACE is no LOG line";
}

TEST_F(SettingsTest, PresenceIsOnUnlessPresenceOffAndOtherWordsAreReported) {
  EXPECT_TRUE(Load("PRESENCE off\n").empty());
  EXPECT_EQ(1, Settings.noPresence);
  EXPECT_EQ(std::vector<std::string>{"WARNING: PRESENCE takes on or off, not \"hidden\""},
            Load("PRESENCE off\nPRESENCE on\nPRESENCE hidden\n"));
  EXPECT_EQ(0, Settings.noPresence);
}

TEST_F(SettingsTest, PresenceNoticeIsTakenOncePerUser) {
  char path[4096];
  ASSERT_TRUE(UserConfigPath(kPresenceNoticeFile, path, sizeof path));
  EXPECT_TRUE(TakePresenceNotice());
  EXPECT_FALSE(TakePresenceNotice()) << "remembered in the configuration folder";
  EXPECT_EQ(0, std::remove(path));
  EXPECT_TRUE(TakePresenceNotice()) << "told again once the file is gone";
  std::remove(path);
}
