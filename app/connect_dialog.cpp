// The connection dialog's procedure: shows the settings and takes them back on Connect.
#include <cstdio>

#include "app/shell.h"
#include "console/settings.h"
#include "platform/modal_dialog.h"

namespace {

char cPort[260];

bool ConnectDialogProc(DialogMessage message, int controlId) {
  switch (message) {
    case DialogInit:
      SetDialogItemText(kServerBox, Settings.server);
      SetDialogItemText(kChannelBox, Settings.channel);
      std::snprintf(cPort, sizeof cPort, Settings.useTls ? "+%d" : "%d", Settings.port);  // "+": TLS
      SetDialogItemText(kPortEdit, cPort);
      SetDialogItemText(kNicknameEdit, Settings.nickname);
      return false;
    case DialogCommand:
      if (controlId == kConnectButton) {
        GetDialogItemText(kServerBox, Settings.server, kSettingLength);
        GetDialogItemText(kChannelBox, Settings.channel, kSettingLength);
        GetDialogItemText(kPortEdit, cPort, sizeof cPort);
        Settings.port = ParsePortText(cPort);
        Settings.useTls = PortTextAsksForTls(cPort);
        GetDialogItemText(kNicknameEdit, Settings.nickname, kSettingLength);
        SaveLastConnection();
        EndConnectionDialog(1);
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
