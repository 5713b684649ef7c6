// Connecting with the TLS and login settings, and the offer to trust a refused certificate.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/command_interpreter.h"
#include "console/console_log.h"
#include "console/settings.h"
#include "console/trusted_certificates.h"
#include "core/looks.h"
#include "irc/session.h"
#include "irc/link_results.h"
#include "irc/words/connection_lines.h"

bool (*AskYesNo)(const char* caption, const char* text) = nullptr;

namespace {

SessionConfig ConfigFromSettings() {
  SessionConfig c = {};
  std::snprintf(c.server, sizeof c.server, "%s", Settings.server);
  c.port = Settings.port;
  c.tls = Settings.useTls;
  std::snprintf(c.serverPassword, sizeof c.serverPassword, "%s", Settings.serverPassword);
  std::snprintf(c.saslAccount, sizeof c.saslAccount, "%s", Settings.saslAccount);
  std::snprintf(c.saslPassword, sizeof c.saslPassword, "%s", Settings.saslPassword);
  c.presence = !Settings.noPresence;
  c.askRouter = !Settings.noRouterMapping;  // "ROUTER off" in config.txt
  c.lineIntervalMs = Settings.lineIntervalMs;
  c.lineBurst = Settings.lineBurst;
  // Test seams: run from a chosen local address; behave as a client from before IPv6.
  const char* bind = std::getenv("QIVRA_BIND_ADDRESS");
  std::snprintf(c.bindAddress, sizeof c.bindAddress, "%s", bind ? bind : "");
  const char* ipv6 = std::getenv("QIVRA_IPV6");
  c.ipv4Only = ipv6 && std::strcmp(ipv6, "off") == 0;
  c.look = static_cast<uint8_t>(LookFromImage(Settings.image, Settings.nickname));  // what the others see
  return c;
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

int ConnectWithSettings() { return StartSession(ConfigFromSettings()); }

// The connect's event carries what the TLS step found.
bool TlsRefusalRetried(int result, const LinkReport& report) {
  char text[512];
  if (result == kStreamTlsFailed) {
    FormatTlsFailure(Settings.server, Settings.port, report.check.reason, text, sizeof text);
    ConsoleAppend(text);
    return false;
  }
  if (result != kStreamCertificateRefused) return false;
  FormatCertificateRefused(Settings.server, Settings.port, report.check.reason, text, sizeof text);
  ConsoleAppend(text);
  return OfferTrust(report.check) && ConnectWithSettings() == 1;
}
