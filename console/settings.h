// The user's settings from config.txt and the connection dialog, and the shared line reader.
#pragma once
#include <cstdio>

constexpr int kSettingLength = 64;  // every text field, terminating zero included

// The pace of common IRC clients, which servers' flood limits are made for.
constexpr int kDefaultLineIntervalMs = 2000;
constexpr int kDefaultLineBurst = 5;

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
  // Outgoing IRC lines: up to lineBurst at once, then one every lineIntervalMs (0: unpaced).
  int lineIntervalMs;
  int lineBurst;
};

extern SettingsRecord Settings;

void LoadSettings();
// Reads the next line that is neither a "/" comment nor empty (fgets rules, count 255).
bool ReadConfigLine(FILE* stream, char* line);
