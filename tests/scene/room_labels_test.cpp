// Tags, speech bubbles and looks as the frame draws them: readable from behind, CJK and emoji in
// bubbles, a bubble's life on the scene's clock, status and away marks, looks told apart.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "core/nick_colour.h"
#include "core/player_pose.h"
#include "platform/pango_text.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/speech.h"
#include "tests/scene/test_support.h"

namespace {

uint32_t testClock = 0;
uint32_t TestClock() { return testClock; }

struct Crop {
  int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1;
  int width() const { return x1 - x0 + 1; }
  int height() const { return y1 - y0 + 1; }
};

bool Near(const unsigned char* p, int r, int g, int b, int tolerance) {
  return std::abs(p[0] - r) <= tolerance && std::abs(p[1] - g) <= tolerance && std::abs(p[2] - b) <= tolerance;
}

class RoomLabels : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(view.ok());
    startBlocks = liveBlocks;
    ShowRoom("", {});
    ClearSpeech();
    std::memset(&Local.pose, 0, sizeof Local.pose);
    AppState.sceneClock = 0.0f;
    testClock = 1000;
    SceneTimeMs = TestClock;
    WorkingFolder cwd(QIVRA_SOURCE_DIR);
    InitScene();
  }
  void TearDown() override {
    SceneTimeMs = nullptr;
    ClearSpeech();
    ClearRoomAvatars();
    FreeWorldGeometry();
    FreeParticles();
    FreeWorldTextures();
    DeleteGlyphLists();
    FreeAvatarModel();
    EXPECT_EQ(liveBlocks, startBlocks) << "the teardown returns every counted block";
  }
  std::vector<unsigned char> Frame(float x, float z, float yaw) {
    Local.pose.x = x;
    Local.pose.z = z;
    Local.pose.yaw = Local.pose.heading = yaw;
    glColor3f(1, 1, 1);
    RenderFrame();
    return view.Pixels();
  }
  const unsigned char* At(const std::vector<unsigned char>& f, int x, int y) {
    return &f[(static_cast<size_t>(y) * view.width() + x) * 4];
  }
  // The box of the frame's pixels where it differs from the other one, within rows [y0, y1).
  Crop Changed(const std::vector<unsigned char>& a, const std::vector<unsigned char>& b, int y0, int y1) {
    Crop c;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < view.width(); ++x) {
        const unsigned char *p = At(a, x, y), *q = At(b, x, y);
        if (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) < 24) continue;
        c.x0 = std::min(c.x0, x), c.x1 = std::max(c.x1, x), c.y0 = std::min(c.y0, y), c.y1 = std::max(c.y1, y);
      }
    return c;
  }
  // The box of the tag's plate: the console's grey, which nothing else in the room shows.
  Crop Tag(const std::vector<unsigned char>& f) {
    Crop c;
    for (int y = 0; y < view.height(); ++y)
      for (int x = 0; x < view.width(); ++x)
        if (Near(At(f, x, y), 34, 36, 40, 3))
          c.x0 = std::min(c.x0, x), c.x1 = std::max(c.x1, x), c.y0 = std::min(c.y0, y), c.y1 = std::max(c.y1, y);
    return c;
  }
  // Mean difference per pixel channel between two crops of the same size; mirrored flips b.
  double Unlike(const std::vector<unsigned char>& a, const Crop& ca, const std::vector<unsigned char>& b,
                const Crop& cb, bool mirrored) {
    double sum = 0;
    int n = 0;
    for (int y = 0; y < ca.height(); ++y)
      for (int x = 0; x < ca.width(); ++x) {
        const unsigned char* p = At(a, ca.x0 + x, ca.y0 + y);
        const unsigned char* q = At(b, mirrored ? cb.x1 - x : cb.x0 + x, cb.y0 + y);
        for (int k = 0; k < 3; ++k) sum += std::abs(p[k] - q[k]);
        n += 3;
      }
    return n ? sum / n : 1e9;
  }
  HeadlessView view;
  int32_t startBlocks = 0;
};

TEST_F(RoomLabels, ATagSeenFromBehindReadsAsFromTheFrontNeverMirrored) {
  ShowRoom("", {{"Wolfgang", 0.0f, -2.0f, 180.0f}});
  std::vector<unsigned char> front = Frame(0.0f, 0.0f, 0.0f);
  std::vector<unsigned char> back = Frame(0.0f, -4.0f, 180.0f);  // the same distance, from behind
  KeepFrame(front, view.width(), view.height(), "tag-front");
  KeepFrame(back, view.width(), view.height(), "tag-back");
  Crop a = Tag(front), b = Tag(back);
  ASSERT_GT(a.width(), 40) << "the tag shows from the front";
  ASSERT_EQ(a.width(), b.width()) << "and as wide from behind";
  ASSERT_EQ(a.height(), b.height());
  EXPECT_GE(a.height(), 16) << "its text is at least 12 pixels";
  const double same = Unlike(front, a, back, b, false), flipped = Unlike(front, a, back, b, true);
  EXPECT_LT(same, 2.0) << "the tag reads the same from both sides";
  EXPECT_GT(flipped, 10.0) << "a mirrored tag would match its flip";
  // Just above the head: its lowest row a few pixels over the avatar's top.
  ShowRoom("", {});
  Crop avatar = Changed(front, Frame(0.0f, 0.0f, 0.0f), 0, a.y0);
  EXPECT_NEAR(avatar.y1, a.y0, 8) << "the tag sits on the head, not near the ceiling";
}

TEST_F(RoomLabels, FarTagsStayReadableAndStatusAndAwayMarkTheirTags) {
  // Near, a texel of the tag is a pixel: its text is drawn at 16 pixels. 10 m away it shrinks to
  // no less than 12 (the text today's labels drew at 5 pixels there).
  ShowRoom("", {{"bob", 0.0f, -5.0f, 0.0f}});
  Crop far = Tag(Frame(0.0f, 5.0f, 0.0f));
  ShowRoom("", {{"bob", 0.0f, -1.5f, 0.0f}});
  Crop near = Tag(Frame(0.0f, 0.0f, 0.0f));
  EXPECT_GE(far.height() + 2, (near.height() + 2) * 12 / 16) << "10 m away the text is still 12 pixels or more";
  EXPECT_LT(far.height(), near.height()) << "but farther tags are smaller";
  struct Case {
    char status;
    bool away;
  } cases[] = {{0, false}, {'@', false}, {'+', false}, {0, true}};
  std::vector<std::vector<unsigned char>> tags;
  std::vector<Crop> crops;
  for (const Case& c : cases) {
    Standing bob{"bob", 0.0f, -2.0f, 0.0f};
    bob.status = c.status, bob.away = c.away;
    ShowRoom("", {bob});
    tags.push_back(Frame(0.0f, 0.0f, 0.0f));
    crops.push_back(Tag(tags.back()));
    KeepFrame(tags.back(), view.width(), view.height(), c.away ? "tag-away" : c.status == '@' ? "tag-op" : "tag");
  }
  EXPECT_GT(crops[1].width(), crops[0].width()) << "@ goes before the name";
  EXPECT_GT(crops[2].width(), crops[0].width()) << "+ goes before the name";
  EXPECT_GT(crops[3].width(), crops[0].width() + 20) << "away is said after the name";
  EXPECT_GT(Unlike(tags[1], crops[1], tags[2], crops[2], false), 3.0) << "@ and + look different";
}

TEST_F(RoomLabels, ABubbleShowsCjkAndEmojiInItsColourAndGoesAfterItsTime) {
  const char* line = "你好 こんにちは 안녕 😀";
  ASSERT_EQ(0, TextMissingGlyphs(line, static_cast<int>(std::strlen(line)), 15)) << "fonts-noto-cjk and -color-emoji";
  ShowRoom("", {{"alice", 0.0f, -2.0f, 180.0f}});
  const std::vector<unsigned char> quiet = Frame(0.0f, 0.0f, 0.0f);
  ShowSpeech("alice", line, false, testClock);
  EXPECT_FALSE(SceneAnimating()) << "a bubble held still needs no frames";
  std::vector<unsigned char> said = Frame(0.0f, 0.0f, 0.0f);
  KeepFrame(said, view.width(), view.height(), "bubble");
  const Crop tag = Tag(quiet);
  Crop bubble = Changed(quiet, said, tag.y1 + 1, view.height());
  ASSERT_GT(bubble.width(), 60) << "a bubble over the tag";
  EXPECT_NEAR((bubble.x0 + bubble.x1) / 2, (tag.x0 + tag.x1) / 2, 3) << "centred over the speaker";
  const NickRgb colour = NickColour("alice");
  int ink = 0, yellow = 0;
  for (int y = bubble.y0; y <= bubble.y1; ++y)
    for (int x = bubble.x0; x <= bubble.x1; ++x) {
      const unsigned char* p = At(said, x, y);
      ink += Near(p, colour.r, colour.g, colour.b, 40);
      yellow += p[0] > 200 && p[1] > 150 && p[2] < 90;  // the grinning face
    }
  EXPECT_GT(ink, 150) << "the text in the speaker's colour";
  EXPECT_GT(yellow, 20) << "the emoji in its own colours";

  const uint32_t hold = SpeechHoldMs(line);
  EXPECT_EQ(6000u + 50u * 13u, hold) << "13 characters, not bytes";
  testClock += hold - 1;
  EXPECT_TRUE(Frame(0.0f, 0.0f, 0.0f) == said) << "held unchanged until its time";
  testClock += kSpeechFadeMs / 2;
  EXPECT_TRUE(SceneAnimating()) << "fading: the window draws";
  std::vector<unsigned char> fading = Frame(0.0f, 0.0f, 0.0f);
  EXPECT_FALSE(fading == said);
  EXPECT_FALSE(fading == quiet);
  testClock += kSpeechFadeMs;
  EXPECT_FALSE(SceneAnimating()) << "gone: nothing moves";
  EXPECT_TRUE(Frame(0.0f, 0.0f, 0.0f) == quiet) << "the bubble is gone after its time";
}

TEST_F(RoomLabels, ANewerLineReplacesTheOldAndTypingShowsAMark) {
  ShowRoom("", {{"carol", 0.0f, -2.0f, 180.0f}});
  const std::vector<unsigned char> quiet = Frame(0.0f, 0.0f, 0.0f);
  const char* three = "a first line that is rather long, so that it wraps over three rows of the bubble";
  ShowSpeech("carol", three, false, testClock);
  const std::vector<unsigned char> first = Frame(0.0f, 0.0f, 0.0f);
  ShowSpeech("carol", (std::string(three) + " and on over two more rows, which are cut with an ellipsis").c_str(), false,
             testClock);
  const std::vector<unsigned char> cut = Frame(0.0f, 0.0f, 0.0f);
  ShowSpeech("CAROL", "waves", true, testClock + 10);
  const std::vector<unsigned char> second = Frame(0.0f, 0.0f, 0.0f);
  KeepFrame(first, view.width(), view.height(), "bubble-long");
  KeepFrame(second, view.width(), view.height(), "bubble-action");
  const int top = Tag(quiet).y1 + 1;
  EXPECT_EQ(Changed(quiet, first, top, view.height()).height(), Changed(quiet, cut, top, view.height()).height())
      << "three rows at most";
  EXPECT_GT(Changed(quiet, first, top, view.height()).height(), Changed(quiet, second, top, view.height()).height())
      << "the short action replaced the long line";
  Standing typing{"carol", 0.0f, -2.0f, 180.0f};
  typing.typing = true;
  ClearSpeech();
  ShowRoom("", {typing});
  std::vector<unsigned char> mark = Frame(0.0f, 0.0f, 0.0f);
  KeepFrame(mark, view.width(), view.height(), "typing");
  Crop typed = Changed(quiet, mark, top, view.height());
  EXPECT_GT(typed.width(), 10) << "a typing mark over the tag";
  EXPECT_LT(typed.width(), 60);
}

TEST_F(RoomLabels, TwoLooksDrawDifferentlyNearAndFar) {
  for (float distance : {2.0f, 5.0f}) {  // whole, and as pictures
    std::vector<std::vector<unsigned char>> frames;
    for (int look : {1, 2, 0}) {
      Standing dave{"dave", 0.0f, -distance, 180.0f};
      dave.look = look;
      ShowRoom("", {dave});
      frames.push_back(Frame(0.0f, 0.0f, 0.0f));
    }
    KeepFrame(frames[0], view.width(), view.height(), distance < 3 ? "look1-near" : "look1-far");
    KeepFrame(frames[1], view.width(), view.height(), distance < 3 ? "look2-near" : "look2-far");
    const int below = std::min(Tag(frames[0]).y0, view.height());
    Crop body = Changed(frames[0], frames[1], 0, below);
    EXPECT_GT(body.width(), 3) << "looks 1 and 2 at " << distance << " m";
    EXPECT_FALSE(frames[2] == frames[0]) << "look 0, the figure before looks, at " << distance << " m";
  }
}

TEST_F(RoomLabels, AMemberStandingElsewhereIsAPaleFigureWhoseTagSaysWhere) {
  const NickRgb colour = NickColour("erin");
  for (float distance : {2.0f, 5.0f}) {  // near, and as far as a figure here is a picture
    ShowRoom("", {});
    const std::vector<unsigned char> empty = Frame(0.0f, 0.0f, 0.0f);
    Standing erin{"erin", 0.0f, -distance, 180.0f};
    std::vector<std::vector<unsigned char>> frames;
    for (const char* where : {static_cast<const char*>(nullptr), "#kitchen", ""}) {
      erin.elsewhere = where != nullptr;
      erin.elsewhereIn = where ? where : "";
      ShowRoom("", {erin});
      frames.push_back(Frame(0.0f, 0.0f, 0.0f));
    }
    const std::vector<unsigned char>&here = frames[0], &there = frames[1], &unknown = frames[2];
    KeepFrame(there, view.width(), view.height(), distance < 3 ? "elsewhere-near" : "elsewhere-far");
    const Crop tag = Tag(here), tagThere = Tag(there), body = Changed(empty, here, 0, std::min(tag.y0, view.height()));
    ASSERT_TRUE(tag.width() > 20 && body.width() > 5) << "the figure and its tag here, at " << distance << " m";
    const double standing = Unlike(here, body, empty, body, false), pale = Unlike(there, body, empty, body, false);
    EXPECT_LT(pale, standing * 0.7) << "one elsewhere shows paler than one here, at " << distance << " m";
    EXPECT_GT(pale, standing * 0.15) << "but still shows where it stood, at " << distance << " m";
    EXPECT_GT(tagThere.width(), tag.width() + 40) << "its tag says the room, at " << distance << " m";
    EXPECT_GT(Tag(unknown).width(), tag.width() + 30) << "or that it is elsewhere";
    int inkHere = 0, inkThere = 0;  // the name in its colour on the tags' rows
    for (int y = tag.y0; y <= tag.y1; ++y)
      for (int x = 0; x < view.width(); ++x) {
        inkHere += Near(At(here, x, y), colour.r, colour.g, colour.b, 30);
        inkThere += Near(At(there, x, y), colour.r, colour.g, colour.b, 30);
      }
    EXPECT_TRUE(inkHere > 40 && inkThere < 5) << "faded elsewhere: " << inkHere << " pixels of its colour here, "
                                              << inkThere << " there";
  }
}

}  // namespace
