// The user's settings from config.txt and the connection dialog, and the shared line reader.
#pragma once
#include <cstdio>

constexpr int kSettingLength = 64;  // every text field, terminating zero included

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
  bool timestamps;   // "TIMESTAMPS on": console lines begin with "[12:34] "
  char saslAccount[kSettingLength];     // "SASL account password": log in with SASL PLAIN
  char saslPassword[kSettingLength];
  char serverPassword[kSettingLength];  // "PASS password": sent before registering
};

extern SettingsRecord Settings;

void LoadSettings();
// Reads the next line that is neither a "/" comment nor empty (fgets rules, count 255).
bool ReadConfigLine(FILE* stream, char* line);
// True when a port as written asks for TLS: a "+" before the number, as in "+6697".
bool PortTextAsksForTls(const char* text);
