// Connecting with the TLS and login settings, and the offer to trust a refused certificate.
#include <cstdio>

#include "app/command_interpreter.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "irc/irc_client.h"
#include "console/trusted_certificates.h"
#include "irc/words/connection_lines.h"

bool (*AskYesNo)(const char* caption, const char* text) = nullptr;

namespace {

void UseConnectionSettings() {
  Irc.streamLink.tls.wanted = Settings.useTls;
  std::snprintf(Irc.login.serverPassword, kLoginFieldLength, "%s", Settings.serverPassword);
  std::snprintf(Irc.login.account, kLoginFieldLength, "%s", Settings.saslAccount);
  std::snprintf(Irc.login.password, kLoginFieldLength, "%s", Settings.saslPassword);
}

// The user decides whether a certificate that failed its check is this server's own.
bool OfferTrust(const TlsCertificateCheck& check) {
  char text[1024];
  std::snprintf(text, sizeof text, "The certificate of %.63s:%d could not be verified (%s).\n\n"
                "SHA-256 fingerprint:\n%s\n\n"
                "Trust this certificate for this server from now on?",
                Settings.server, Settings.port, check.reason, check.fingerprint);
  if (!AskYesNo || !AskYesNo("Untrusted certificate", text)) {
    ConsoleAppend("Not connected: the certificate was not trusted.");
    return false;
  }
  if (!TrustCertificate(Settings.server, Settings.port, check.fingerprint)) {
    ConsoleAppend("The trusted certificate could not be saved in the configuration folder.");
    return false;
  }
  std::snprintf(text, sizeof text, "Trusting that certificate for %.63s:%d from now on.", Settings.server,
                Settings.port);
  ConsoleAppend(text);
  return true;
}

}  // namespace

int ConnectWithSettings() {
  UseConnectionSettings();
  return Irc.Connect(Settings.server, Settings.port);
}

// The link thread has ended when its EventConnected is taken, so what it left in the stream
// link's TLS record is read here without a race.
bool TlsRefusalRetried(int result) {
  const StreamTls& tls = Irc.streamLink.tls;
  char text[512];
  if (result == kStreamTlsFailed) {
    FormatTlsFailure(Settings.server, Settings.port, tls.check.reason, text, sizeof text);
    ConsoleAppend(text);
    return false;
  }
  if (result != kStreamCertificateRefused) return false;
  FormatCertificateRefused(Settings.server, Settings.port, tls.check.reason, text, sizeof text);
  ConsoleAppend(text);
  return OfferTrust(tls.check) && ConnectWithSettings() == 1;
}
