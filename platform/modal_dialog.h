// The modal connection dialog: controls laid out from dialog units, driven by the shell's procedure.
#pragma once

enum DialogControl {
  kServerBox = 1001,
  kChannelBox = 1002,
  kPortEdit = 1003,
  kNicknameEdit = 1004,
  kConnectButton = 1005,
  kExitButton = 1006,
  kHelpButton = 1007,
};

enum DialogMessage { DialogInit, DialogCommand, DialogClose };

// Receives DialogInit once the controls exist, DialogCommand with a control
// id when a button is pressed (Enter in any field presses Connect; Help too),
// and DialogClose for the close box. Escape sends nothing.
typedef bool (*DialogProcedure)(DialogMessage message, int controlId);

// Shows the dialog, centred on the screen with no owner window, and waits
// until the procedure ends it; returns the value given to EndConnectionDialog.
int RunConnectionDialog(const char* caption, DialogProcedure procedure);
void EndConnectionDialog(int result);
void SetDialogItemText(int controlId, const char* text);
// The values the drop-down beside a field offers, in their order (at most 10, each up to 63
// bytes); picking one with the mouse or the keys (Alt+Down opens it) puts it in the field.
void SetDialogItemChoices(int controlId, const char* const* values, int count);
// Copies at most maxCount - 1 characters and a terminating zero; returns the length.
int GetDialogItemText(int controlId, char* out, int maxCount);

// Dialog units of the 8-point dialog font to pixels (4 units per average
// character width, 8 per character height).
int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);
