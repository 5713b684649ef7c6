// Each conversation's own console: where an event's line goes, what counts as unread, the bar's
// words and the keys' order, against the real console and a recording session.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/command_interpreter.h"
#include "app/conversations.h"
#include "console/settings.h"
#include "core/app_state.h"
#include "irc/irc_event.h"
#include "tests/app/irc_double.h"

void SpawnExplosion(float, float, float) {}

namespace {

using Lines = std::vector<std::string>;

// The lines of a conversation's buffer (-1: the one shown), oldest first.
Lines LinesOf(int index) {
  const int was = ConsoleShownBuffer();
  ConsoleShowBuffer(ConversationBuffer(index));
  Lines lines;
  for (int back = ConsoleHistoryCount() - 1; back >= 0; --back) lines.emplace_back(ConsoleHistoryLine(back));
  ConsoleShowBuffer(was);
  return lines;
}

Lines Labels() {
  Lines labels;
  char text[160];
  for (int i = 0; i < Conversations.count; ++i) labels.emplace_back((FormatBarLabel(i, text, sizeof text), text));
  return labels;
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
    ConsoleAppend("-server- Welcome");
    bob = OpenConversation("bob", PrivateConversation);  // a message before any join
    a = OpenConversation("#a", ChannelConversation);
    b = OpenConversation("#b", ChannelConversation);
    Conversations.list[a].joined = Conversations.list[b].joined = true;
    ActivateConversation(a);
  }
  int bob, a, b;
};

// Each event by its channel or partner, by the nickname rule; lines without one, or for a
// channel not open, go to the one shown; the user's own channel left elsewhere is said there too.
// The first channel's console holds the server's lines above its own.
TEST_F(ConversationsTest, EventLinesGoToTheirConversation) {
  const struct {
    int kind;
    const char* channel;
    const char* line;
  } events[] = {
      {EventChannelMessage, "#B", "<carol> in b"},   {EventPrivateMessage, "Bob", "<Bob> psst"},
      {EventAction, "bob", "* bob waves"},           {EventQuit, "#b", "carol has quit irc"},
      {EventNotice, "", "-carol- to you"},           {EventText, "", "-server- whois reply"},
      {EventJoinRefused, "#c", "Cannot join #c"},    {EventLeft, "#b", "You were kicked from #b"},
      {EventChannelMessage, "#a", "<carol> in a"},
  };
  for (const auto& e : events) AppendRouted(RouteEventLine(e.kind, e.channel), e.line, MarkPlain, nullptr, 0);
  EXPECT_EQ((Lines{"-server- Welcome", "-carol- to you", "-server- whois reply", "Cannot join #c",
                   "You were kicked from #b", "<carol> in a"}),
            LinesOf(a));
  EXPECT_EQ((Lines{"<carol> in b", "carol has quit irc", "You were kicked from #b"}), LinesOf(b));
  EXPECT_EQ((Lines{"<Bob> psst", "* bob waves"}), LinesOf(bob)) << "a private talk never shows in a channel";
}

// Lines added where the user is not looking count, marked ones as mentions too; showing the
// conversation clears both. Own lines go where they were said and count nowhere.
TEST_F(ConversationsTest, LinesNotSeenCountUntilShownAndOwnLinesNever) {
  for (int i = 0; i < 3; ++i) AppendToConversation(b, "<carol> hi", MarkPlain, nullptr, 0);
  AppendToConversation(bob, "<bob> ann: look", MarkAttention, nullptr, 0);
  AppendToConversation(a, "<carol> here", MarkAttention, nullptr, 0);  // shown: seen at once
  ProcessInputLine("/msg bob hi bob");
  EXPECT_EQ((Lines{"1 bob (1!)", "2 #a", "3 #b (3)"}), Labels());
  EXPECT_EQ((Lines{"<bob> ann: look", "-> bob: hi bob"}), LinesOf(bob));
  ShowConversationAt(b);
  ProcessInputLine("to b");
  EXPECT_EQ((Lines{"1 bob (1!)", "2 #a", "3 #b"}), Labels()) << "own lines count nowhere";
  EXPECT_EQ((Lines{"<carol> hi", "<carol> hi", "<carol> hi", "<ann> to b"}), LinesOf(b));
}

// Ctrl+Page Up / Down step round the list; Alt+N beyond it does nothing; the bar's numbers close
// up when one goes. /drop says how many waiting lines it dropped.
TEST_F(ConversationsTest, KeysStepRoundTheListItClosesUpAndDropCounts) {
  const int steps[][2] = {{1, 2}, {1, 0}, {1, 1}, {-1, 0}, {-1, 2}};  // from #a, the second
  for (const auto& s : steps) {
    ShowConversationBeside(s[0]);
    EXPECT_EQ(s[1], Conversations.active);
    EXPECT_EQ(ConversationBuffer(s[1]), ConsoleShownBuffer());
  }
  ShowConversationAt(8);  // Alt+9 with three open
  CloseConversation(bob);
  EXPECT_EQ((Lines{"1 #a", "2 #b"}), Labels());
  EXPECT_EQ((std::pair<int, int>(1, 0)), (std::pair<int, int>(Conversations.active, ConversationBuffer(0))))
      << "#b still shown; the first channel keeps the server's buffer";
  IrcDouble.linesWaiting = 12;
  for (const char* typed : {"/drop", "/DROP"}) ProcessInputLine(typed);
  EXPECT_EQ((Lines{"Dropped 12 lines that waited to be sent.", "No lines are waiting to be sent."}), LinesOf(1));
}

// A connect by hand after a disconnect closes the channels of the last connection, dimmed in the
// bar, and keeps private conversations; a reconnect of its own joins them again.
TEST_F(ConversationsTest, AConnectByHandClosesTheLastConnectionsChannels) {
  LeaveAllChannels();
  char rejoin[64];
  RejoinList(rejoin, sizeof rejoin);
  EXPECT_STREQ("#a,#b", rejoin) << "what a reconnect would join";
  ForgetRejoins();
  EXPECT_EQ((Lines{"1 bob"}), Labels());
  RejoinList(rejoin, sizeof rejoin);
  EXPECT_STREQ("", rejoin);
}

}  // namespace
