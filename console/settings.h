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
};

extern SettingsRecord Settings;

void LoadSettings();
// The reading part of LoadSettings: applies every setting line of an open stream, in order,
// over what Settings holds.
void ReadSettingsStream(FILE* stream);
// Reads the next line that is neither a "/" comment nor blank (fgets rules, count 255: a longer
// line comes back in pieces). "\r\n" ends a line like "\n" and comes back as "\n"; a blank
// line holds only blanks, tabs and its line end.
bool ReadConfigLine(FILE* stream, char* line);
