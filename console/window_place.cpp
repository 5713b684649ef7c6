// Reading and writing the kept window size and place, one line in a small file of the user's folder.
#include "console/window_place.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>

#include "platform/file_replace.h"
#include "platform/user_paths.h"

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// One whole number after blanks, within [least, most]; p moves past it.
bool ReadNumber(const char** p, long least, long most, int* out) {
  while (**p == ' ' || **p == '\t') ++*p;
  if (!IsDigit(**p) && !(**p == '-' && IsDigit((*p)[1]))) return false;
  char* end = nullptr;
  const long value = std::strtol(*p, &end, 10);
  if (end == *p || value < least || value > most) return false;
  *p = end;
  *out = static_cast<int>(value);
  return true;
}

}  // namespace

bool ReadWindowPlace(const char* text, WindowPlace* place) {
  if (!text || !place) return false;
  WindowPlace read = {0, 0, 0, 0, true};
  const char* p = text;
  if (!ReadNumber(&p, kLeastWindowSide, kMostWindowSide, &read.width) ||
      !ReadNumber(&p, kLeastWindowSide, kMostWindowSide, &read.height) ||
      !ReadNumber(&p, -kMostWindowSide, kMostWindowSide, &read.x) ||
      !ReadNumber(&p, -kMostWindowSide, kMostWindowSide, &read.y))
    return false;
  while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n') ++p;
  if (*p) return false;
  *place = read;
  return true;
}

WindowPlace LoadWindowPlace() {
  WindowPlace place = kFirstWindowPlace;
  char path[4096];
  if (!UserConfigPath(kWindowPlaceFile, path, sizeof path)) return place;
  FILE* file = std::fopen(path, "r");
  if (!file) return place;
  char line[128];
  const std::size_t n = std::fread(line, 1, sizeof line - 1, file);
  std::fclose(file);
  line[n] = '\0';
  ReadWindowPlace(line, &place);
  return place;
}

bool SaveWindowPlace(const WindowPlace& place) {
  char path[4096], text[64];
  if (!place.placed || !MakeUserConfigFolder() || !UserConfigPath(kWindowPlaceFile, path, sizeof path)) return false;
  const int n = std::snprintf(text, sizeof text, "%d %d %d %d\n", place.width, place.height, place.x, place.y);
  return n > 0 && static_cast<std::size_t>(n) < sizeof text &&
         ReplaceFileContents(path, text, static_cast<std::size_t>(n)) == FileReplaced;
}
