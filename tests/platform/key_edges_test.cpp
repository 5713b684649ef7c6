// Key presses from press and release events: one action per press, repeats and lost releases.
#include <gtest/gtest.h>

#include "platform/key_edges.h"

namespace {

int Presses(KeyEdges* edges, PressedKey key) {
  int n = 0;
  while (TakePress(edges, key)) ++n;
  return n;
}

TEST(KeyEdges, AHeldKeyActsOnceHoweverManyRepeatsAndPassesItLasts) {
  KeyEdges edges;
  NoteKeyDown(&edges, PressF1);
  for (int pass = 0; pass < 30; ++pass) {  // half a second of passes with the key down
    NoteKeyDown(&edges, PressF1);          // the keyboard repeating
    NoteKeySampled(&edges, PressF1, true);
  }
  EXPECT_EQ(1, Presses(&edges, PressF1));
  NoteKeyUp(&edges, PressF1);
  EXPECT_EQ(0, Presses(&edges, PressF1));
  NoteKeyDown(&edges, PressF1);
  EXPECT_EQ(1, Presses(&edges, PressF1)) << "the next press acts again";
}

TEST(KeyEdges, TapsShorterThanAPassAreEachSeen) {
  KeyEdges edges;
  NoteKeyDown(&edges, PressEscape);
  NoteKeyUp(&edges, PressEscape);
  NoteKeySampled(&edges, PressEscape, false);  // the pass sees the key up again
  EXPECT_TRUE(PressWaiting(&edges, PressEscape));
  EXPECT_EQ(1, Presses(&edges, PressEscape));
  for (int i = 0; i < 9; ++i) {
    NoteKeyDown(&edges, PressEnter);
    NoteKeyUp(&edges, PressEnter);
  }
  EXPECT_EQ(4, Presses(&edges, PressEnter)) << "a burst between two passes counts at most four";
  EXPECT_EQ(0, Presses(&edges, PressEscape)) << "keys are counted apart";
}

TEST(KeyEdges, AReleaseThatWentElsewhereIsTakenFromTheSampleAndForgottenPressesDoNotAct) {
  KeyEdges edges;
  NoteKeyDown(&edges, PressF1);
  EXPECT_EQ(1, Presses(&edges, PressF1));
  NoteKeySampled(&edges, PressF1, false);  // the window was made again; its release never came
  NoteKeyDown(&edges, PressF1);
  NoteKeyDown(&edges, PressEnter);
  ForgetPresses(&edges);
  EXPECT_EQ(0, Presses(&edges, PressF1) + Presses(&edges, PressEnter));
  NoteKeyUp(&edges, PressEnter);
  NoteKeyDown(&edges, PressF1);  // still down since the sample: a repeat
  NoteKeyDown(&edges, PressEnter);
  EXPECT_EQ(0, Presses(&edges, PressF1));
  EXPECT_EQ(1, Presses(&edges, PressEnter));
}

TEST(KeyEdges, KeysHeldAsTypingBeginsStayOutOfTheLineUntilLetGo) {
  const int up = 111, letter = 43, shift = 50, w = 25, slash = 61;  // X key codes of Up, h, Shift, w, /
  KeysDown down;
  for (int code : {up, letter, shift, w}) NoteKeyCodeDown(&down, code);
  NoteKeyCodeUp(&down, w);  // let go before the click
  HeldAtTyping held;
  NoteHeldAtTyping(&held, down);
  NoteKeyCodeDown(&down, slash);  // typed after the click, whenever the click is handled
  EXPECT_FALSE(HeldSinceTyping(&held, slash)) << "a key pressed after typing began is for the line";
  EXPECT_FALSE(HeldSinceTyping(&held, w)) << "a key let go before typing began acts at once";
  NoteHeldKeyUp(&held, letter);  // the letter that started the line types into it
  EXPECT_FALSE(HeldSinceTyping(&held, letter));
  for (int repeat = 0; repeat < 3; ++repeat) EXPECT_TRUE(HeldSinceTyping(&held, up)) << "a repeat of Up";
  EXPECT_TRUE(HeldSinceTyping(&held, shift));
  EXPECT_FALSE(HeldSinceTyping(&held, 112)) << "a key that was up acts at once";
  NoteHeldKeyUp(&held, up);
  EXPECT_FALSE(HeldSinceTyping(&held, up)) << "pressed again after its release, Up acts";
  ForgetHeldAtTyping(&held);
  EXPECT_FALSE(HeldSinceTyping(&held, shift));
  for (int code : {0, -1, 256, 9999}) {
    NoteHeldKeyUp(&held, code);  // no key code outside the map is ever touched
    NoteKeyCodeDown(&down, code);
    EXPECT_FALSE(HeldSinceTyping(&held, code)) << code;
  }
}

}  // namespace

TEST(KeyEdges, AClaimedPressActsNeitherItselfNorThroughItsRepeats) {
  KeyEdges edges;
  NoteKeyClaimed(&edges, PressEscape);  // Escape leaving the input line
  for (int i = 0; i < 10; ++i) NoteKeyDown(&edges, PressEscape);  // held on: repeats
  EXPECT_EQ(0, Presses(&edges, PressEscape)) << "holding Escape out of the input line must not also leave the room";
  NoteKeyUp(&edges, PressEscape);
  NoteKeyDown(&edges, PressEscape);
  EXPECT_EQ(1, Presses(&edges, PressEscape)) << "the next press acts";
}
