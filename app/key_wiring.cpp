// Points the scene's movement-key reader at the platform's key state.
#include "platform/key_state.h"
#include "core/player_pose.h"
#include "scene/scene.h"

namespace {

// The keys of the movement flags 1 to 8, read from the pass's keyboard snapshot.
bool PlatformMoveKeyHeld(int moveKey) {
  switch (moveKey) {
    case KeyForward: return IsKeyHeld(HeldCursorUp);
    case KeyBack: return IsKeyHeld(HeldCursorDown);
    case KeyTurnLeft: return IsKeyHeld(HeldCursorLeft);
    case KeyTurnRight: return IsKeyHeld(HeldCursorRight);
    case KeyStrafeLeft: return IsKeyHeld(HeldDelete);
    case KeyStrafeRight: return IsKeyHeld(HeldEnd);
    // With Shift the page keys scroll the console, so the view keeps its pitch, also when
    // Shift is let go before the page key.
    case KeyLookUp: return IsKeyHeld(HeldPageUp) && !IsKeyHeld(HeldShift) && !KeyScrollsConsole(HeldPageUp);
    case KeyLookDown:
      return IsKeyHeld(HeldPageDown) && !IsKeyHeld(HeldShift) && !KeyScrollsConsole(HeldPageDown);
    default: return false;
  }
}

}  // namespace

void WireSceneKeys() { Local.keyHeld = PlatformMoveKeyHeld; }
