// The user's trusted certificates: one "host:port FINGERPRINT" a line in the configuration folder.
#include "console/trusted_certificates.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "platform/user_paths.h"

static bool FilePath(char* out, std::size_t size) {
  return UserConfigPath(kTrustedCertificatesFile, out, size);
}

bool IsCertificateTrusted(const char* host, int port, const char* fingerprint) {
  if (!host || !fingerprint || !*fingerprint) return false;
  char path[4096];
  if (!FilePath(path, sizeof path)) return false;
  FILE* file = std::fopen(path, "r");
  if (!file) return false;
  char server[600];
  std::snprintf(server, sizeof server, "%s:%d", host, port);
  char line[512];
  bool trusted = false;
  while (!trusted && std::fgets(line, sizeof line, file)) {
    char where[256], print[256];
    if (std::sscanf(line, "%255s %255s", where, print) != 2) continue;
    trusted = strcasecmp(where, server) == 0 && strcasecmp(print, fingerprint) == 0;
  }
  std::fclose(file);
  return trusted;
}

bool TrustCertificate(const char* host, int port, const char* fingerprint) {
  if (!host || !*host || !fingerprint || !*fingerprint) return false;
  if (std::strpbrk(host, " \t\r\n") || std::strpbrk(fingerprint, " \t\r\n")) return false;
  char path[4096];
  if (!MakeUserConfigFolder() || !FilePath(path, sizeof path)) return false;
  FILE* file = std::fopen(path, "a");
  if (!file) return false;
  bool written = std::fprintf(file, "%s:%d %s\n", host, port, fingerprint) > 0;
  return std::fclose(file) == 0 && written;
}
