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
  int noRouterMapping;  // 1: "ROUTER off", the home router is not asked to forward the port
};

extern SettingsRecord Settings;

void LoadSettings();
// Reads the next line that is neither a "/" comment nor empty (fgets rules, count 255).
bool ReadConfigLine(FILE* stream, char* line);
