// Scene set-up for each rendering context, and the drawing of one frame.
#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/app_state.h"
#include "core/frame_timer.h"
#include "model/ms3d_model.h"
#include "scene/avatar_crowd.h"
#include "scene/avatar_models.h"
#include "scene/avatar_pictures.h"
#include "scene/font.h"
#include "scene/particles.h"
#include "scene/room_avatars.h"
#include "scene/room_labels.h"
#include "scene/scene.h"
#include "scene/speech.h"
#include "scene/text_plates.h"
#include "scene/view_frustum.h"
#include "scene/view_notice.h"
#include "scene/world.h"

static const float kEyeHeight = 0.6f;
static const float kPeerBase = 0.32f;

struct PeerView {
  float x, z, yaw, pitch;
  float distance;  // from the eye, on the floor
  const RoomMember* member;
  int slot;  // in RoomAvatars
};

// The avatars of this frame, from the window's own copy of the room: those in view (nearest
// first), the labels over them and the near ones drawn whole. Kept here: the frame allocates
// nothing. The avatar's pictures are taken at the start of the first frame after a set-up, when
// the window shows and its back buffer can be read back (LoadWorldFile has fitted and compiled it).
struct FrameRecord {
  PeerView peers[kRoomMembers];
  int nearest[kRoomMembers];
  LabelAnchor anchors[kRoomMembers];
  int peerCount, labelCount;
  CrowdMember whole[kRoomMembers];
  bool avatarPicturesDue;
};
static FrameRecord Frame;

bool InitScene() {
  glEnable(GL_TEXTURE_2D);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glEnable(GL_BLEND);  // the font's transparent texels rely on it
  glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
  glClearDepth(1.0);
  glDepthFunc(GL_LEQUAL);
  glEnable(GL_DEPTH_TEST);
  glShadeModel(GL_SMOOTH);
  glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
  glDisable(GL_LIGHTING);
  FontNames.texture = 0;  // names from an earlier context mean nothing in this one
  ForgetPlates();
  LoadWorldFile();
  Frame.avatarPicturesDue = true;  // taken in the first frame: a window not yet shown has no pixels
  StartFrameTimer();
  AllocateParticles();
  CreateGlyphLists();
  return true;
}

static void DrawRoom() {
  for (int i = 0; i < WorldGeometry.triangleCount; ++i) {
    const WorldTriangle& t = WorldGeometry.triangles[i];
    unsigned int name = (t.texture >= 0 && t.texture < WorldTextures.count) ? WorldTextures.names[t.texture] : 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glBegin(GL_TRIANGLES);
    for (const WorldVertex& v : t.vertex) {
      glTexCoord2f(v.u, v.v);
      glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
  }
}


static void ReadPeers() {
  Frame.peerCount = 0;
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    // Drawn once the peer has shown it hears us: a one-way link would stand it at the centre.
    if (!HasAvatar(a)) continue;
    const float dx = a.pose.x - Local.pose.x, dz = a.pose.z - Local.pose.z;
    Frame.peers[Frame.peerCount++] = PeerView{a.pose.x, a.pose.z, a.pose.yaw, a.pose.pitch, std::sqrt(dx * dx + dz * dz), &a.member, i};
  }
}

// The peers in view (nearest first), and the labels over them laid out: those in view and those
// whose tag shows over the bottom edge of the view.
static int ReadPeersInView() {
  ReadPeers();
  Frame.labelCount = 0;
  if (Frame.peerCount == 0) {
    PrepareRoomLabels(Frame.anchors, 0, SceneNowMs());
    return 0;
  }
  ViewFrustum frustum;
  TakeViewFrustum(&frustum);
  const float head = kPeerBase + AvatarTop();
  int seen = 0;
  for (int i = 0; i < Frame.peerCount; ++i) {
    const PeerView& peer = Frame.peers[i];
    const bool inView = SphereInView(frustum, peer.x, kPeerBase, peer.z, AvatarRadius);
    if (inView || SphereInView(frustum, peer.x, head + 0.1f, peer.z, 0.3f))
      Frame.anchors[Frame.labelCount++] = {peer.x, head, peer.z, peer.member};
    if (inView) Frame.nearest[seen++] = i;
  }
  std::sort(Frame.nearest, Frame.nearest + seen, [](int a, int b) { return Frame.peers[a].distance < Frame.peers[b].distance; });
  PrepareRoomLabels(Frame.anchors, Frame.labelCount, SceneNowMs());
  return seen;
}

// The channel's name in cyan over the middle of the room, first in the frame: it writes the
// nearest depth there is, so that nothing but the labels painted after it covers it.
static void DrawChannelName() {
  unsigned char glyphs[256];
  const int length = FontBytes(RoomAvatars.channel, glyphs, sizeof glyphs);
  if (length == 0 || FontNames.glyphLists == 0) return;
  glPushAttrib(GL_ENABLE_BIT | GL_DEPTH_BUFFER_BIT | GL_VIEWPORT_BIT | GL_CURRENT_BIT | GL_COLOR_BUFFER_BIT |
               GL_TEXTURE_BIT | GL_LIST_BIT);
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, FontNames.texture);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_ALWAYS);
  glDepthMask(GL_TRUE);
  glDepthRange(0.0, 0.0);
  glEnable(GL_ALPHA_TEST);  // the glyphs' clear texels leave no depth
  glAlphaFunc(GL_GREATER, 0.5f);
  glColor3f(0.0f, 1.0f, 1.0f);
  glPushMatrix();
  glTranslatef(0.0f, 0.56f, 0.0f);
  glScalef(0.15f, 0.15f, 0.15f);
  glTranslatef(-0.5f * static_cast<float>(length), -0.5f, 0.0f);
  glListBase(FontNames.glyphLists);
  glCallLists(static_cast<GLsizei>(length), GL_UNSIGNED_BYTE, glyphs);
  glPopMatrix();
  glPopAttrib();
}

// The peers in view, before the room (and after the labels, which hide them): near ones whole
// as a crowd (scene/avatar_crowd.h), far upright ones as pictures in one batch per look.
// Nearest first, so that what they hide of each other and of the room is never textured.
static void DrawPeerFigures(int seen) {
  if (seen == 0) return;
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  CrowdMember* whole = Frame.whole;
  int wholeCount = 0;
  for (int k = 0; k < seen; ++k) {
    const PeerView& peer = Frame.peers[Frame.nearest[k]];
    if (peer.member->elsewhere) continue;  // drawn after the room, see through
    if (AvatarPictureFits(peer.distance, peer.pitch, viewport[3]) && LookPicturesMade(peer.member->look))
      AddAvatarPicture(peer.x, kPeerBase, peer.z, peer.yaw, Local.pose.x, Local.pose.z, peer.member->look);
    else
      whole[wholeCount++] = CrowdMember{peer.x, kPeerBase, peer.z, peer.yaw, peer.pitch, peer.member->look, peer.slot};
  }
  BeginAvatars();
  DrawAvatarCrowd(whole, wholeCount);
  EndAvatars();
  DrawAvatarPictures();
  glColor3f(1.0f, 1.0f, 1.0f);  // the room takes the colour a peer leaves
}

// Members whose users stand in another room, where they last stood here: after the room, as a
// pale see-through figure, whole however far (there are few). Their nearest surface alone is
// blended, its depth laid first, so that the figure's own limbs never show through it.
static void DrawElsewhereFigures(int seen) {
  int count = 0;
  for (int k = 0; k < seen; ++k) count += Frame.peers[Frame.nearest[k]].member->elsewhere;
  if (count == 0) return;
  glPushAttrib(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_CURRENT_BIT | GL_ENABLE_BIT);
  for (int pass = 0; pass < 2; ++pass) {
    if (pass == 0) {
      glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    } else {
      glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
      glDepthMask(GL_FALSE);
      glDepthFunc(GL_EQUAL);
      glEnable(GL_BLEND);
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }
    BeginAvatars();
    glColor4f(0.75f, 0.8f, 0.95f, 0.4f);  // its look, faded and a little cold
    for (int k = 0; k < seen; ++k) {
      const PeerView& peer = Frame.peers[Frame.nearest[k]];
      if (peer.member->elsewhere) DrawAvatar(peer.x, kPeerBase, peer.z, peer.yaw, peer.pitch, peer.member->look);
    }
    EndAvatars();
  }
  glPopAttrib();
}

// The pictures of a look some avatar in the room wears and that has none yet: one a frame, at
// its start (until then such avatars are drawn whole).
static void MakeWornPictures() {
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    if (HasAvatar(a) && !LookPicturesMade(a.member.look) && MakeMorePictures(a.member.look)) return;
  }
}

void SetViewProjection(int x, int y, int width, int height, double aspect) {
  glViewport(x, y, width, height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  gluPerspective(34.0, aspect, 0.1, 100.0);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
}

bool RenderFrame() {
  if (Frame.avatarPicturesDue) {
    Frame.avatarPicturesDue = false;
    MakeAvatarPictures(AvatarModel);
  } else {
    MakeWornPictures();
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glRotatef(Local.pose.pitch, 1.0f, 0.0f, 0.0f);
  glRotatef(360.0f - Local.pose.yaw, 0.0f, 1.0f, 0.0f);
  glTranslatef(-Local.pose.x, -Local.pose.bob - kEyeHeight, -Local.pose.z);

  // The room's textures are modulated by the current colour, which the channel label
  // and the peers' labels change: the room sets white for itself every frame.
  glColor3f(1.0f, 1.0f, 1.0f);
  // Front to back, as far as it goes: the channel's name and the labels, avatars, then the room
  // behind them; sparks and fading speech over them.
  const int seen = ReadPeersInView();
  DrawChannelName();
  DrawSolidLabels();
  DrawPeerFigures(seen);
  glColor3f(1.0f, 1.0f, 1.0f);
  DrawRoom();
  DrawElsewhereFigures(seen);
  DrawParticles();


  DrawFadingLabels();
  glColor3f(1.0f, 1.0f, 1.0f);  // the next frame's room takes the colour a label leaves
  DrawViewNotice();
  return true;
}
