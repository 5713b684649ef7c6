// Scene set-up for each rendering context, and the drawing of one frame.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

#include "core/app_state.h"
#include "core/frame_timer.h"
#include "core/nick_colour.h"
#include "model/ms3d_model.h"
#include "scene/avatar_pictures.h"
#include "scene/font.h"
#include "scene/particles.h"
#include "scene/room_avatars.h"
#include "scene/scene.h"
#include "scene/view_frustum.h"
#include "scene/view_notice.h"
#include "scene/world.h"

static const float kEyeHeight = 0.6f;
static const float kPeerBase = 0.32f;
static const float kPeerLabelLift = 0.835f;

// The avatar's pictures are taken at the start of the first frame after a set-up, when the
// window shows and its back buffer can be read back (LoadWorldFile has fitted and compiled it).
static bool avatarPicturesDue = false;

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
  FontTexture = 0;  // a name from an earlier context means nothing in this one
  LoadWorldFile();
  avatarPicturesDue = true;  // taken in the first frame: a window not yet shown has no pixels
  StartFrameTimer();
  AllocateParticles();
  CreateGlyphLists();
  return true;
}

static void DrawRoom() {
  for (int i = 0; i < WorldGeometry.triangleCount; ++i) {
    const WorldTriangle& t = WorldGeometry.triangles[i];
    unsigned int name = (t.texture >= 0 && t.texture < WorldTextureCount) ? WorldTextures[t.texture] : 0;
    glBindTexture(GL_TEXTURE_2D, name);
    glBegin(GL_TRIANGLES);
    for (const WorldVertex& v : t.vertex) {
      glTexCoord2f(v.u, v.v);
      glVertex3f(v.x, v.y, v.z);
    }
    glEnd();
  }
}

struct PeerView {
  int slot;
  float x, z, yaw, pitch;
  const char* ncb;
};

// The avatars of this frame, from the window's own copy of the room. Static: the frame
// allocates nothing.
static PeerView peers[kRoomMembers];

static int ReadPeers() {
  int count = 0;
  for (int i = 0; i < RoomAvatars.count; ++i) {
    const RoomAvatar& a = RoomAvatars.avatars[i];
    // Drawn once the peer has shown it hears us: a one-way link would stand it at the centre.
    if (!HasAvatar(a)) continue;
    PeerView& view = peers[count++];
    view.slot = a.member.id;
    view.x = a.pose.x;
    view.z = a.pose.z;
    view.yaw = a.pose.yaw;
    view.pitch = a.pose.pitch;
    view.ncb = a.member.nick;
  }
  return count;
}

static void DrawWholeAvatar(const PeerView& peer) {
  glPushMatrix();
  glTranslatef(peer.x, kPeerBase, peer.z);
  glRotatef(peer.yaw, 0.0f, 1.0f, 0.0f);
  glRotatef(peer.pitch, 1.0f, 0.0f, 0.0f);
  AvatarModel.Draw();
  glEnable(GL_TEXTURE_2D);
  glPopMatrix();
}

// Every peer in view: near ones from the compiled model, far upright ones as pictures in one
// batch, then every label in one batch over them. Peers outside the view are skipped.
static void DrawPeers() {
  int count = ReadPeers();
  if (count == 0) return;
  ViewFrustum frustum;
  TakeViewFrustum(&frustum);
  GLint viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  const float clock = AppState.sceneClock;
  glColor3f(1.0f, 1.0f, 1.0f);  // avatars in their own colours, not the channel label's
  for (int i = 0; i < count; ++i) {
    const PeerView& peer = peers[i];
    if (!SphereInView(frustum, peer.x, kPeerBase, peer.z, AvatarRadius)) continue;
    float dx = peer.x - LocalPose.x, dz = peer.z - LocalPose.z;
    float distance = std::sqrt(dx * dx + dz * dz);
    if (AvatarPictureFits(distance, peer.pitch, viewport[3]))
      AddAvatarPicture(peer.x, kPeerBase, peer.z, peer.yaw, LocalPose.x, LocalPose.z);
    else
      DrawWholeAvatar(peer);
  }
  DrawAvatarPictures();
  // The labels spin while the room moves; a frame drawn at rest stays on screen until the next
  // change, so its labels face the camera, readable, rather than stopping edge on.
  const bool spinning = SceneAnimating();
  for (int i = 0; i < count; ++i) {
    const PeerView& peer = peers[i];
    const float lift = kPeerBase + kPeerLabelLift;
    const float halfWidth = 0.05f * static_cast<float>(strnlen(peer.ncb, kRoomNickLength));
    if (!SphereInView(frustum, peer.x, lift, peer.z, halfWidth + 0.1f)) continue;
    const float slot = static_cast<float>(peer.slot);
    const float facing = std::atan2(LocalPose.x - peer.x, LocalPose.z - peer.z) * 57.29578f;
    // The member's own colour, the same as the nickname's in the console.
    const NickRgb colour = NickColour(peer.ncb);
    AddLabel(peer.ncb, peer.x, lift, peer.z, spinning ? slot * 78.0f + clock * 3.0f : facing, 0.1f,
             colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f);
  }
  DrawLabels();
  glColor3f(1.0f, 1.0f, 1.0f);  // the next frame's room takes the colour a peer leaves
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
  if (avatarPicturesDue) {
    avatarPicturesDue = false;
    MakeAvatarPictures(AvatarModel);
  }
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glLoadIdentity();
  glRotatef(LocalPose.pitch, 1.0f, 0.0f, 0.0f);
  glRotatef(360.0f - LocalPose.yaw, 0.0f, 1.0f, 0.0f);
  glTranslatef(-LocalPose.x, -LocalPose.bob - kEyeHeight, -LocalPose.z);

  // The room's textures are modulated by the current colour, which the channel label
  // and the peers' labels change: the room sets white for itself every frame.
  glColor3f(1.0f, 1.0f, 1.0f);
  DrawRoom();
  DrawParticles();

  glPushMatrix();
  glTranslatef(0.0f, 0.56f, 0.0f);
  glScalef(0.15f, 0.15f, 0.15f);
  glColor3f(0.0f, 1.0f, 1.0f);
  PrintText(RoomAvatars.channel);
  glPopMatrix();

  DrawPeers();
  DrawViewNotice();
  return true;
}
