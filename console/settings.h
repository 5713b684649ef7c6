// The user's settings from config.txt and the connection dialog, and the shared line reader.
#pragma once
#include <cstdio>

constexpr int kSettingLength = 64;  // every text field, terminating zero included

// The pace of common IRC clients, which servers' flood limits are made for.
constexpr int kDefaultLineIntervalMs = 2000;
constexpr int kDefaultLineBurst = 5;

// Which files LoadSettings read.
struct SettingsOriginRecord {
  char configPath[4096];    // the config.txt read; empty when none was found
  bool fromWorkingFolder;   // it was the working directory's
  bool lastConnectionRead;  // the dialog's last values were read over it
};

struct SettingsRecord {
  char server[kSettingLength];
  int port;
  char channel[kSettingLength];
  char nickname[kSettingLength];
  char realName[kSettingLength];
  char userName[kSettingLength];
  char hostName[kSettingLength];
  char image[kSettingLength];
  float packetRate;  // position datagrams per second; 0 = never
  bool useTls;       // the port was written with a "+" before it ("SERVER host +6697")
  bool timestamps;   // console lines begin with "[12:34] " unless "TIMESTAMPS off"
  char saslAccount[kSettingLength];     // "SASL account password": log in with SASL PLAIN
  char saslPassword[kSettingLength];
  char serverPassword[kSettingLength];  // "PASS password": sent before registering
  // Outgoing IRC lines: up to lineBurst at once, then one every lineIntervalMs (0: unpaced).
  int lineIntervalMs;
  int lineBurst;
  int noRouterMapping;  // 1: "ROUTER off", the home router is not asked to forward the port
  bool chatLogs;        // "LOG on" (the default once loaded): chat is kept in the user's data folder
  int noPresence;       // 1: "PRESENCE off", no datagrams and no address handshake: chat only
  SettingsOriginRecord origin;  // written by LoadSettings alone
};

extern SettingsRecord Settings;

// The file in the user's configuration folder that holds what the dialog's Connect used last.
constexpr const char* kLastConnectionFile = "last-connection.txt";

// Built-in defaults, then the first config.txt of: the working directory, the user's
// configuration folder, the installed copy's shared folder; then, unless config.txt came from
// the working directory, the last connection's values from the user's configuration folder.
void LoadSettings();
// The reading part of LoadSettings: applies every setting line of an open file, in order,
// over what Settings holds.
void ReadSettingsFile(FILE* file);
// Writes server, port, channel and nickname to kLastConnectionFile in the user's configuration
// folder (made when missing); says on the console when that fails. False on failure.
bool SaveLastConnection();
// Reads the next line that is neither a "/" comment nor blank (fgets rules, count 255: a longer
// line comes back in pieces). "\r\n" ends a line like "\n" and comes back as "\n"; a blank
// line holds only blanks, tabs and its line end.
bool ReadConfigLine(FILE* stream, char* line);
// True when a port as written asks for TLS: a "+" before the number, as in "+6697".
bool PortTextAsksForTls(const char* text);
