// The shell's small rules kept free of the window: layout, leak report, the port.
#include <cstdio>
#include <cstring>

#include "app/shell.h"

ViewLayout ComputeViewLayout(int width, int height, int consoleRows) {
  if (height == 0) height = 1;  // a minimised window reports 0
  const int panelHeight = consoleRows * 16 + 1;  // 113 for the seven rows of old
  ViewLayout layout;
  layout.inputX = 0;
  layout.inputY = height - 20;
  layout.inputWidth = width;
  layout.inputHeight = 20;
  layout.panelX = 0;
  layout.panelY = height - 19 - panelHeight;
  layout.panelWidth = width;
  layout.panelHeight = panelHeight;
  layout.viewportX = 0;
  layout.viewportY = panelHeight + 19;
  layout.viewportWidth = width;
  layout.viewportHeight = height - layout.viewportY;
  layout.aspect = static_cast<double>(static_cast<float>(width) / static_cast<float>(height - panelHeight - 17));
  return layout;
}

int ConsoleRowsRoom(int height) {
  const int belowView = kLeastViewHeight + 20;  // the input line and the panel's border
  return height >= belowView ? (height - belowView) / 16 : -1;
}

bool FormatLeakReport(int32_t liveBlockCount, char* j, std::size_t size) {
  if (liveBlockCount == 0 || !j || size == 0) return false;
  std::snprintf(j, size, "WARNING: %d blocks left (should be 0)", static_cast<int>(liveBlockCount));
  return true;
}

bool ReadPortField(const char* text, int* port) {
  if (!text) return false;
  while (*text == ' ' || *text == '\t') ++text;
  if (*text == '+') ++text;  // a port for TLS
  long value = 0;
  int digits = 0;
  for (; *text >= '0' && *text <= '9'; ++text, ++digits) {
    value = value * 10 + (*text - '0');
    if (value > 65535) return false;
  }
  while (*text == ' ' || *text == '\t') ++text;
  if (digits == 0 || *text != '\0' || value < 1) return false;
  *port = static_cast<int>(value);
  return true;
}

bool NameFieldAcceptable(const char* text) {
  if (!text || !*text) return false;
  for (; *text; ++text)
    if (*text == ' ' || *text == '\t') return false;
  return true;
}

void PrefixChannel(char* channel, std::size_t size) {
  if (!channel || size < 2 || channel[0] == '#' || channel[0] == '&') return;
  std::size_t length = strnlen(channel, size - 1);
  if (length + 1 > size - 1) length = size - 2;  // the last character gives way to the '#'
  std::memmove(channel + 1, channel, length);
  channel[0] = '#';
  channel[length + 1] = '\0';
}
