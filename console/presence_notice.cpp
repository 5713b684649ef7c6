// Remembering that the user was told what presence shows, in a small file of the user's folder.
#include "console/presence_notice.h"

#include <cstdio>
#include <cstring>

#include "platform/file_replace.h"
#include "platform/user_paths.h"

bool TakePresenceNotice() {
  char path[4096];
  if (!UserConfigPath(kPresenceNoticeFile, path, sizeof path)) return true;
  FILE* file = std::fopen(path, "r");
  if (file) {
    std::fclose(file);
    return false;
  }
  static const char kText[] = "told\n";
  if (MakeUserConfigFolder()) ReplaceFileContents(path, kText, std::strlen(kText));
  return true;
}
