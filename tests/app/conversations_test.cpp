// Each conversation's own console: where an event's line goes, what counts as unread, the bar's
// words and the keys' order, against the real console and a recording session.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_interpreter.h"
#include "app/conversations.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/irc_event.h"
#include "tests/app/irc_double.h"

void SpawnExplosion(float, float, float) {}

namespace {

using Lines = std::vector<std::string>;

// The lines of the buffer shown, oldest first.
Lines Shown() {
  Lines lines;
  for (int back = ConsoleHistoryCount() - 1; back >= 0; --back) lines.emplace_back(ConsoleHistoryLine(back));
  return lines;
}

// The lines of a conversation's buffer, shown for the reading and the shown one put back.
Lines LinesOf(int index) {
  const int was = ConsoleShownBuffer();
  ConsoleShowBuffer(ConversationBuffer(index));
  Lines lines = Shown();
  ConsoleShowBuffer(was);
  return lines;
}

std::string Label(int index) {
  char text[160];
  FormatBarLabel(index, text, sizeof text);
  return text;
}

int Joined(const char* channel) {
  const int index = OpenConversation(channel, ChannelConversation);
  Conversations.list[index].joined = true;
  return index;
}

class ConversationsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetIrcDouble();
    Conversations = ConversationsRecord{{}, 0, -1, -1, ""};
    for (int id = 1; id < kConsoleBuffers; ++id) ConsoleCloseBuffer(id);
    ConsoleShowBuffer(0);
    ConsoleClear();
    std::snprintf(Settings.nickname, kSettingLength, "ann");
    AppState.connectionState = InChannel;
  }
};

// The server's lines stay above the first channel's; every other conversation starts empty.
TEST_F(ConversationsTest, TheFirstChannelTakesTheServersBufferAndTheOthersHaveTheirOwn) {
  ConsoleAppend("-server- Welcome");
  const int bob = OpenConversation("bob", PrivateConversation);  // a message before any join
  const int a = Joined("#a");
  const int b = Joined("#b");
  ActivateConversation(a);
  EXPECT_EQ(0, ConversationBuffer(a));
  EXPECT_NE(ConversationBuffer(bob), ConversationBuffer(b));
  EXPECT_NE(0, ConversationBuffer(bob));
  EXPECT_EQ((Lines{"-server- Welcome"}), Shown());
  EXPECT_TRUE(LinesOf(b).empty());
  CloseConversation(bob);
  EXPECT_EQ(0, ConversationBuffer(FindConversation("#a"))) << "the list closed up around it";
}

// Each kind of event by its channel or partner; lines without one, or for a channel not open, go
// to the conversation shown; the user's own channel left elsewhere is said there too.
TEST_F(ConversationsTest, EventLinesGoToTheirConversation) {
  const int a = Joined("#a"), b = Joined("#b"), bob = OpenConversation("bob", PrivateConversation);
  ActivateConversation(a);
  const struct {
    int kind;
    const char* channel;
    const char* line;
    int to;
    bool alsoShown;
  } cases[] = {
      {EventChannelMessage, "#B", "<carol> in b", b, false},  // names by the nickname rule
      {EventPrivateMessage, "Bob", "<Bob> psst", bob, false},
      {EventAction, "bob", "* bob waves", bob, false},
      {EventQuit, "#b", "carol has quit irc", b, false},
      {EventText, "#b", "Topic of #b: news", b, false},
      {EventNotice, "", "-carol- to you", -1, false},
      {EventText, "", "-server- whois reply", -1, false},
      {EventJoinRefused, "#c", "Cannot join #c", -1, false},
      {EventLeft, "#b", "You were kicked from #b by carol: /join #b to go back", b, true},
      {EventChannelMessage, "#a", "<carol> in a", a, false},
  };
  for (const auto& c : cases) {
    const LineRoute route = RouteEventLine(c.kind, c.channel);
    EXPECT_EQ(c.to, route.conversation) << c.line;
    EXPECT_EQ(c.alsoShown, route.alsoShown) << c.line;
    AppendRouted(route, c.line, MarkPlain, nullptr, 0);
  }
  EXPECT_EQ((Lines{"-carol- to you", "-server- whois reply", "Cannot join #c",
                   "You were kicked from #b by carol: /join #b to go back", "<carol> in a"}),
            LinesOf(a));
  EXPECT_EQ((Lines{"<carol> in b", "carol has quit irc", "Topic of #b: news",
                   "You were kicked from #b by carol: /join #b to go back"}),
            LinesOf(b));
  EXPECT_EQ((Lines{"<Bob> psst", "* bob waves"}), LinesOf(bob)) << "a private talk never shows in a channel";
}

// Lines added where the user is not looking count, marked ones as mentions too; showing the
// conversation clears both, and the bar says them.
TEST_F(ConversationsTest, LinesNotSeenCountUntilTheConversationShows) {
  const int a = Joined("#room"), b = Joined("#club"), bob = OpenConversation("bob", PrivateConversation);
  ActivateConversation(a);
  for (int i = 0; i < 3; ++i) AppendToConversation(b, "<carol> hi", MarkPlain, nullptr, 0);
  AppendToConversation(bob, "<bob> ann: look", MarkAttention, nullptr, 0);
  AppendToConversation(a, "<carol> here", MarkAttention, nullptr, 0);  // shown: seen at once
  AppendToConversation(-1, "-server- text", MarkPlain, nullptr, 0);
  EXPECT_EQ("1 #room", Label(a));
  EXPECT_EQ("2 #club (3)", Label(b));
  EXPECT_EQ("3 bob (1!)", Label(bob));
  EXPECT_EQ("", Label(3));
  ShowConversationAt(b);
  EXPECT_EQ("2 #club", Label(b));
  EXPECT_EQ((Lines{"<carol> hi", "<carol> hi", "<carol> hi"}), Shown());
  AppendToConversation(a, "<carol> again", MarkPlain, nullptr, 0);
  EXPECT_EQ("1 #room (1)", Label(a));
  EXPECT_EQ(IrcDouble.room, "#club") << "a channel shown is the room stood in";
  ShowConversationAt(bob);
  EXPECT_EQ(IrcDouble.room, "#club") << "a private conversation keeps the last channel's room";
}

// Alt+N shows the Nth; Ctrl+Page Up / Down step round the list; nothing beyond it.
TEST_F(ConversationsTest, KeysStepRoundTheListAndNumbersBeyondItDoNothing) {
  Joined("#a");
  Joined("#b");
  OpenConversation("bob", PrivateConversation);
  ShowConversationAt(0);
  const struct {
    int step;
    int at;  // -1: a step; else the position shown
    int active;
  } moves[] = {{1, -1, 1}, {1, -1, 2}, {1, -1, 0}, {-1, -1, 2}, {0, 8, 2}, {0, 1, 1}, {-1, -1, 0}};
  for (const auto& m : moves) {
    if (m.at >= 0) {
      ShowConversationAt(m.at);
    } else {
      ShowConversationBeside(m.step);
    }
    EXPECT_EQ(m.active, Conversations.active) << "step " << m.step << " at " << m.at;
    EXPECT_EQ(ConversationBuffer(m.active), ConsoleShownBuffer());
  }
}

// The user's own lines: each in the conversation it went to, a line to a partner also where it
// was typed; a partner's new nickname takes the conversation along.
TEST_F(ConversationsTest, OwnLinesGoWhereTheyWereSentAndCountNowhere) {
  const int a = Joined("#a"), b = Joined("#b"), bob = OpenConversation("bob", PrivateConversation);
  ActivateConversation(b);
  ProcessInputLine("to b");
  ProcessInputLine("/msg bob hi bob");
  ProcessInputLine("/notice carol a notice");
  ShowConversationAt(bob);
  ProcessInputLine("/me nods");
  EXPECT_EQ((Lines{"<ann> to b", "-> bob: hi bob", "-> -carol- a notice"}), LinesOf(b));
  EXPECT_EQ((Lines{"-> bob: hi bob", "* ann nods"}), LinesOf(bob));
  EXPECT_TRUE(LinesOf(a).empty());
  EXPECT_EQ("2 #b", Label(b));
  RenameConversation(bob, "bobby");
  EXPECT_EQ(bob, FindConversation("BOBBY"));
  EXPECT_EQ(-1, FindConversation("bob"));
}

TEST_F(ConversationsTest, DropSaysHowManyWaitingLinesItDropped) {
  IrcDouble.linesWaiting = 12;
  ProcessInputLine("/drop");
  ProcessInputLine("/DROP");
  IrcDouble.linesWaiting = 1;
  ProcessInputLine("/drop");
  EXPECT_EQ((Lines{"Dropped 12 lines that waited to be sent.", "No lines are waiting to be sent.",
                   "Dropped 1 line that waited to be sent."}),
            Shown());
}

}  // namespace
