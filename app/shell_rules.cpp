// The shell's small rules kept free of the window: layout, leak report, the port.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/shell.h"

ViewLayout ComputeViewLayout(int width, int height, int consoleRows, int barHeight) {
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
  layout.barX = 0;
  layout.barY = layout.panelY - barHeight;
  layout.barWidth = width;
  layout.barHeight = barHeight;
  layout.viewportX = 0;
  layout.viewportY = panelHeight + 19 + barHeight;
  layout.viewportHeight = height - layout.viewportY;
  layout.listShown = width >= kMemberListFromWidth && layout.viewportHeight > 0;
  layout.listWidth = layout.listShown ? std::min(280, std::max(200, width / 5)) : 0;
  layout.listX = width - layout.listWidth;
  layout.listY = 0;
  layout.listHeight = layout.listShown ? layout.viewportHeight : 0;
  layout.viewportWidth = width - layout.listWidth;
  layout.aspect = static_cast<double>(static_cast<float>(layout.viewportWidth) /
                                      static_cast<float>(height - panelHeight - 17 - barHeight));
  return layout;
}

int ConsoleRowsRoom(int height, int barHeight) {
  const int belowView = kLeastViewHeight + 20 + barHeight;  // the input line and the panel's border
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
  if (!channel || size < 2) return;
  char listed[512];
  std::size_t used = 0;
  const char* item = channel;
  const char* end = channel + strnlen(channel, size - 1);
  while (item < end && used + 1 < sizeof listed) {
    std::size_t length = strcspn(item, ",");
    if (item + length > end) length = static_cast<std::size_t>(end - item);
    if (length > 0) {  // an empty item ("#a,,#b") is left out
      if (used) listed[used++] = ',';
      if (item[0] != '#' && item[0] != '&' && used + 1 < sizeof listed) listed[used++] = '#';
      std::size_t room = sizeof listed - 1 - used;
      std::memcpy(listed + used, item, length < room ? length : room);
      used += length < room ? length : room;
    }
    item += length + 1;
  }
  // What does not fit gives way at the end, and a list does not end in a bare "#" or ",".
  if (used > size - 1) used = size - 1;
  while (used > 0 && (listed[used - 1] == ',' || (listed[used - 1] == '#' && (used == 1 || listed[used - 2] == ','))))
    --used;
  std::memcpy(channel, listed, used);
  channel[used] = '\0';
}
