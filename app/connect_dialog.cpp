// The connection dialog's procedure: shows the settings and takes them back on Connect.
#include <cstdio>
#include <cstring>

#include "app/shell.h"
#include "console/settings.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"

namespace {

char cPort[260];

// A refused field: a box that names it, and the dialog stays open with Settings unchanged.
bool Refuse(const char* text) {
  ShowMessageBox(text, "Welcome to QIVRA", BoxIconExclamation, BoxOk);
  return false;
}

// Connect: the fields are checked before any of them reaches Settings.
bool TakeFields() {
  char server[kSettingLength], channel[kSettingLength], nickname[kSettingLength];
  int port = 0;
  GetDialogItemText(kServerBox, server, kSettingLength);
  GetDialogItemText(kChannelBox, channel, kSettingLength);
  GetDialogItemText(kPortEdit, cPort, sizeof cPort);
  GetDialogItemText(kNicknameEdit, nickname, kSettingLength);
  if (!ReadPortField(cPort, &port)) return Refuse("The port must be a number from 1 to 65535.");
  if (!NameFieldAcceptable(nickname)) return Refuse("The nickname must not be empty or contain a blank.");
  if (!NameFieldAcceptable(channel)) return Refuse("The channel must not be empty or contain a blank.");
  PrefixChannel(channel, sizeof channel);
  Settings.useTls = PortTextAsksForTls(cPort);  // "+6697": TLS
  std::memcpy(Settings.server, server, sizeof server);
  std::memcpy(Settings.channel, channel, sizeof channel);
  Settings.port = port;
  std::memcpy(Settings.nickname, nickname, sizeof nickname);
  TakeChosenLook();
  return true;
}

bool ConnectDialogProc(DialogMessage message, int controlId) {
  switch (message) {
    case DialogInit:
      SetDialogItemText(kServerBox, Settings.server);
      SetDialogItemText(kChannelBox, Settings.channel);
      std::snprintf(cPort, sizeof cPort, Settings.useTls ? "+%d" : "%d", Settings.port);  // "+": TLS
      SetDialogItemText(kPortEdit, cPort);
      SetDialogItemText(kNicknameEdit, Settings.nickname);
      OfferLooksInDialog();
      return false;
    case DialogCommand:
      if (controlId == kConnectButton) {
        if (TakeFields()) {
          SaveLastConnection();
          EndConnectionDialog(1);
        }
      } else if (controlId == kExitButton) {
        EndConnectionDialog(0);
      }
      return false;  // other commands, Escape's cancel among them, do nothing
    case DialogClose:
      EndConnectionDialog(0);
      return false;
  }
  return false;
}

}  // namespace

int ShowConnectionDialog() { return RunConnectionDialog("Welcome to QIVRA", ConnectDialogProc); }
