// Releases what the scene holds in the current context, before the window is remade or closed.
#include "core/app_state.h"
#include "core/counted_alloc.h"
#include "app/shell.h"
#include "platform/gui_window.h"
#include "scene/scene.h"

void ReleaseSceneResources() {
  AppState.sceneReady = false;
  MakeViewCurrent(AppState.mainWindow);  // textures and lists belong to this context
  FreeWorldGeometry();  // passes the triangle array to CountedFree without a test
  FreeParticles();
  FreeWorldTextures();
  DeleteGlyphLists();
  FreeAvatarModel();
}
