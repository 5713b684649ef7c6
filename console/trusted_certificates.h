// Certificates the user chose to trust for one server although they failed the check.
#pragma once

// Kept in the user's configuration folder, one "host:port FINGERPRINT" a line.
constexpr const char* kTrustedCertificatesFile = "trusted-certificates.txt";

// True when the SHA-256 fingerprint was trusted for host and port ("AB:CD:..."; case and a
// host name's case do not matter).
bool IsCertificateTrusted(const char* host, int port, const char* fingerprint);
// Adds it to the file (making the folder when needed); false when it could not be written.
bool TrustCertificate(const char* host, int port, const char* fingerprint);
