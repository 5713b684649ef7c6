// The user's trusted certificates: one "host:port FINGERPRINT" a line in the configuration folder.
#include "console/trusted_certificates.h"

#include <strings.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/file_replace.h"
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

// Files larger than this are not the program's own: they are left as they are.
constexpr long kLargestFile = 1 << 20;

bool TrustCertificate(const char* host, int port, const char* fingerprint) {
  if (!host || !*host || !fingerprint || !*fingerprint) return false;
  if (std::strpbrk(host, " \t\r\n") || std::strpbrk(fingerprint, " \t\r\n")) return false;
  char path[4096], line[1024];
  if (!MakeUserConfigFolder() || !FilePath(path, sizeof path)) return false;
  int lineLength = std::snprintf(line, sizeof line, "%s:%d %s\n", host, port, fingerprint);
  if (lineLength < 0 || static_cast<std::size_t>(lineLength) >= sizeof line) return false;
  // The lines kept so far, then the new one, written whole in place of the old file: a full
  // disk never leaves a half line behind.
  long kept = 0;
  FILE* old = std::fopen(path, "r");
  if (!old && errno != ENOENT) return false;  // there but unreadable: never written over
  if (old) {
    if (std::fseek(old, 0, SEEK_END) == 0) kept = std::ftell(old);
    if (kept < 0 || kept > kLargestFile || std::fseek(old, 0, SEEK_SET) != 0) {
      std::fclose(old);
      return false;
    }
  }
  std::size_t size = static_cast<std::size_t>(kept);
  char* text = static_cast<char*>(std::malloc(size + 1 + static_cast<std::size_t>(lineLength)));
  bool read = text && (!old || std::fread(text, 1, size, old) == size);
  if (old) std::fclose(old);
  bool trusted = false;
  if (read) {
    if (size > 0 && text[size - 1] != '\n') text[size++] = '\n';  // a last line without its end
    std::memcpy(text + size, line, static_cast<std::size_t>(lineLength));
    trusted = ReplaceFileContents(path, text, size + static_cast<std::size_t>(lineLength)) == FileReplaced;
  }
  std::free(text);
  return trusted;
}
