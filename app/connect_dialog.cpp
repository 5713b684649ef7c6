// The connection dialog's procedure: shows the settings and the recent values, takes them back on Connect.
#include <cstdio>
#include <cstring>

#include "app/shell.h"
#include "console/recent_connections.h"
#include "console/settings.h"
#include "platform/message_box.h"
#include "platform/modal_dialog.h"

namespace {

// The values of the last connections, for the fields' drop-down lists (window's thread). Read at
// each showing and kept until Connect puts its values in front: by then Connect has written the
// last connection, which the lists are read from while the file of recent ones is missing.
RecentConnections Recent;

// A message box does not wrap its lines: each is kept short.
const char kHelpText[] =
    "How to get started\n\n"
    "Server and port: the IRC server to talk through\n"
    "(a \"+\" before the port, as in +6697, connects with TLS).\n"
    "Channel: the channel to join; its members who run QIVRA\n"
    "share it as a room.\n"
    "Nickname: your name there.\n"
    "The arrow beside a field (or Alt+Down in it) lists the values\n"
    "you connected with before.\n\n"
    "Connect joins the channel and shows the room.\n"
    "Walk with the cursor keys; Page Up and Page Down look up and down.\n"
    "Type to talk: the first letter opens the line at the bottom,\n"
    "Enter sends it, Escape walks again. /help lists the commands;\n"
    "F1 switches full screen.\n\n"
    "Escape while walking leaves the room and brings this dialog back;\n"
    "Exit ends QIVRA.";

// Each field's recent values, newest first, into its drop-down.
void OfferRecentValues() {
  LoadRecentConnections(&Recent);
  const int controls[kRecentFields] = {kServerBox, kPortEdit, kChannelBox, kNicknameEdit};
  for (int field = 0; field < kRecentFields; ++field) {
    const char* values[kRecentValues];
    for (int i = 0; i < Recent.counts[field]; ++i) values[i] = Recent.values[field][i];
    SetDialogItemChoices(controls[field], values, Recent.counts[field]);
  }
}

// Connect's values at the front of the lists, kept for the next start.
void RememberRecentValues() {
  char port[16];
  std::snprintf(port, sizeof port, Settings.useTls ? "+%d" : "%d", Settings.port);
  NoteRecentConnection(&Recent, Settings.server, port, Settings.channel, Settings.nickname);
  SaveRecentConnections(Recent);
}

// A refused field: a box that names it, and the dialog stays open with Settings unchanged.
bool Refuse(const char* text) {
  ShowMessageBox(text, "Welcome to QIVRA", BoxIconExclamation, BoxOk);
  return false;
}

// Connect: the fields are checked before any of them reaches Settings.
bool TakeFields() {
  char server[kSettingLength], channel[kSettingLength], nickname[kSettingLength], portText[260];
  int port = 0;
  GetDialogItemText(kServerBox, server, kSettingLength);
  GetDialogItemText(kChannelBox, channel, kSettingLength);
  GetDialogItemText(kPortEdit, portText, sizeof portText);
  GetDialogItemText(kNicknameEdit, nickname, kSettingLength);
  if (!ReadPortField(portText, &port)) return Refuse("The port must be a number from 1 to 65535.");
  if (!NameFieldAcceptable(nickname)) return Refuse("The nickname must not be empty or contain a blank.");
  if (!NameFieldAcceptable(channel)) return Refuse("The channel must not be empty or contain a blank.");
  PrefixChannel(channel, sizeof channel);  // each of a list "a,#b" gets its "#"
  if (!channel[0]) return Refuse("The channel must not be empty or contain a blank.");
  Settings.useTls = PortTextAsksForTls(portText);  // "+6697": TLS
  std::memcpy(Settings.server, server, sizeof server);
  std::memcpy(Settings.channel, channel, sizeof channel);
  Settings.port = port;
  std::memcpy(Settings.nickname, nickname, sizeof nickname);
  TakeChosenLook();
  return true;
}

bool ConnectDialogProc(DialogMessage message, int controlId) {
  switch (message) {
    case DialogInit: {
      SetDialogItemText(kServerBox, Settings.server);
      SetDialogItemText(kChannelBox, Settings.channel);
      char portText[16];
      std::snprintf(portText, sizeof portText, Settings.useTls ? "+%d" : "%d", Settings.port);  // "+": TLS
      SetDialogItemText(kPortEdit, portText);
      SetDialogItemText(kNicknameEdit, Settings.nickname);
      OfferLooksInDialog();
      OfferRecentValues();
      return false;
    }
    case DialogCommand:
      if (controlId == kConnectButton) {
        if (TakeFields()) {
          SaveLastConnection();  // what older versions read, and the next start's first values
          RememberRecentValues();
          EndConnectionDialog(1);
        }
      } else if (controlId == kHelpButton) {
        ShowMessageBox(kHelpText, "QIVRA Help", BoxIconInformation, BoxOk);
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
