// Scene set-up for each rendering context, and the drawing of one frame.
#include <GL/gl.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>

#include "core/app_state.h"
#include "core/frame_timer.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "model/ms3d_model.h"
#include "scene/font.h"
#include "scene/particles.h"
#include "scene/scene.h"
#include "scene/world.h"

static const float kEyeHeight = 0.6f;
static const float kPeerBase = 0.32f;
static const float kPeerLabelLift = 0.835f;

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
  float x, z, yaw, pitch;
  char ncb[kNickLength];
};

// Copies what the frame needs from a slot, under the table's lock, so the
// receive thread never sees a half-read slot and drawing holds no lock.
static bool ReadPeer(int slot, PeerView* view) {
  PeerTable& table = Irc.peerTable;
  table.Lock();
  // Drawn once the peer has shown it hears us: a one-way link would stand it at the centre.
  bool active = table.IsLinked(slot) != 0;
  if (active) {
    const PlayerPose& pose = table.slots[slot].pose;
    view->x = pose.x;
    view->z = pose.z;
    view->yaw = pose.yaw;
    view->pitch = pose.pitch;
    view->ncb[0] = '\0';
    // A slot without a known nickname gets an empty label.
    if (table.GetNick(slot, view->ncb) != 1) view->ncb[0] = '\0';
  }
  table.Unlock();
  return active;
}

static void DrawPeer(int slot, const PeerView& peer) {
  const float clock = AppState.sceneClock;
  glPushMatrix();
  glTranslatef(peer.x, kPeerBase, peer.z);

  glPushMatrix();
  glTranslatef(0.0f, kPeerLabelLift, 0.0f);
  glRotatef(static_cast<float>(slot) * 78.0f + clock * 3.0f, 0.0f, 1.0f, 0.0f);
  glScalef(0.1f, 0.1f, 0.1f);
  glColor3f(0.5f + 0.5f * std::sin(clock * 5.0f + static_cast<float>(slot) * 35.0f * 0.017453292f), 1.0f,
            0.0f);
  PrintText(peer.ncb);
  glColor3f(1.0f, 1.0f, 1.0f);
  glPopMatrix();

  glRotatef(peer.yaw, 0.0f, 1.0f, 0.0f);
  glRotatef(peer.pitch, 1.0f, 0.0f, 0.0f);
  AvatarModel.Draw();
  glEnable(GL_TEXTURE_2D);
  glPopMatrix();
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
  PrintText(Settings.channel);
  glPopMatrix();

  PeerView peer;  // the nickname buffer lives on the stack: the frame allocates nothing
  for (int slot = 1; slot < kPeerSlots; ++slot) {
    if (ReadPeer(slot, &peer)) DrawPeer(slot, peer);
  }
  return true;
}
