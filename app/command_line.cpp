// The command line: --help (usage, the files read and where, the environment) and --version.
#include <cstdio>
#include <cstring>

#include "app/shell.h"
#include "console/recent_connections.h"
#include "console/settings.h"
#include "platform/data_path.h"
#include "platform/user_paths.h"

#ifndef QIVRA_VERSION
#define QIVRA_VERSION "unknown"
#endif

namespace {

// The path of name in the user's folder, or the rule when no base is known.
void UserFile(const char* name, char* out, std::size_t size) {
  if (!UserConfigPath(name, out, size))
    std::snprintf(out, size, "$XDG_CONFIG_HOME/qivra/%s (neither XDG_CONFIG_HOME nor HOME is set)", name);
}

// The installed copy's shared folder, or where it would be; name empty for the folder itself.
void InstalledFile(const char* name, char* out, std::size_t size) {
  char path[4096];
  bool installed = InstalledPath(name, path, sizeof path);
  if (!installed) std::snprintf(path, sizeof path, "<prefix>/share/qivra/%s", name);
  std::size_t length = std::strlen(path);
  if (length > 1 && path[length - 1] == '/') path[length - 1] = '\0';
  std::snprintf(out, size, "%s%s", path, installed ? "" : " (this copy is not installed)");
}

void PrintHelp(FILE* out) {
  char userConfig[4200], lastConnection[4200], recent[4200], installedConfig[4200], installedData[4200];
  UserFile("config.txt", userConfig, sizeof userConfig);
  UserFile(kLastConnectionFile, lastConnection, sizeof lastConnection);
  UserFile(kRecentConnectionsFile, recent, sizeof recent);
  InstalledFile("config.txt", installedConfig, sizeof installedConfig);
  InstalledFile("", installedData, sizeof installedData);
  std::fprintf(out,
               "Usage: qivra [--help | --version]\n"
               "\n"
               "QIVRA is an IRC chat client that shows one channel as a small shared 3D room.\n"
               "It starts with a dialog for server, port, channel and nickname; Connect joins\n"
               "the channel. Only one copy runs per user.\n"
               "\n"
               "Options:\n"
               "  -h, --help      print this help and exit\n"
               "  -V, --version   print the version and exit\n"
               "\n"
               "Files:\n"
               "  config.txt      the settings; the first one found of\n"
               "                    ./config.txt (the working directory)\n"
               "                    %s\n"
               "                    the installed default: %s\n"
               "  %s\n"
               "                  %s\n"
               "                  server, port, channel and nickname as Connect used them last:\n"
               "                  written at each Connect, shown in the dialog at the next start\n"
               "                  (a config.txt in the working directory wins over them)\n"
               "  %s\n"
               "                  %s\n"
               "                  the last ten servers, ports, channels and nicknames Connect used,\n"
               "                  which the dialog's drop-down lists offer\n"
               "  data            the room, its textures, the font and the avatar: ./data when it\n"
               "                  holds world.txt, else %s\n"
               "\n"
               "Environment:\n"
               "  XDG_CONFIG_HOME the user's configuration folder is $XDG_CONFIG_HOME/qivra\n"
               "  HOME            ... or ~/.config/qivra when XDG_CONFIG_HOME is unset\n"
               "  DISPLAY         the X display to show the window on\n"
               "  XDG_RUNTIME_DIR holds the lock that keeps to one copy per user (else /tmp)\n"
               "  QIVRA_AUTO_ANSWER, QIVRA_CONSOLE_STDERR, QIVRA_BIND_ADDRESS, QIVRA_LOCK_DIR\n"
               "                  seams for tests, described in docs/testing.md of the source\n",
               userConfig, installedConfig, kLastConnectionFile, lastConnection, kRecentConnectionsFile, recent,
               installedData);
}

}  // namespace

int HandleCommandLine(int argc, char** argv, FILE* out, FILE* err) {
  bool help = false, version = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
      help = true;
    } else if (std::strcmp(a, "--version") == 0 || std::strcmp(a, "-V") == 0) {
      version = true;
    } else {
      std::fprintf(err, "qivra: %s '%s'\nTry 'qivra --help'.\n",
                   a[0] == '-' ? "unknown option" : "unexpected argument", a);
      return 2;
    }
  }
  if (help) {
    PrintHelp(out);
  } else if (version) {
    std::fprintf(out, "qivra %s\n", QIVRA_VERSION);
  } else {
    return -1;
  }
  return std::fflush(out) == 0 ? 0 : 1;
}
