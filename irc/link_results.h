// How a connect ended, as the link reports it and the console says it.
#pragma once

// Connect results beyond the classic ones, for a link that speaks TLS.
constexpr int kStreamTlsFailed = -4;           // the handshake failed (tls.check.reason says why)
constexpr int kStreamCertificateRefused = -5;  // the certificate failed its check and is not trusted

// Why the last Connect failed, and whether the server has ended the connection since.
enum LinkFailure {
  LinkFailNone,
  LinkFailNoSuchHost,   // the name does not resolve
  LinkFailRefused,      // nothing listens on that port
  LinkFailNoRoute,      // no way to that address
  LinkFailNoAnswer,     // no answer within kConnectLimitMs
  LinkFailAbandoned,    // the user left while it was under way
  LinkFailTls,          // the TLS step failed (tls.result and tls.check say how)
  LinkFailOther,        // any other failure of the connect call
  LinkFailNoSocket,     // no socket could be made
};

// The words a console line uses for a failure ("connection refused").
inline const char* LinkFailureText(LinkFailure failure) {
  switch (failure) {
    case LinkFailNoSuchHost: return "name not found";
    case LinkFailRefused: return "connection refused";
    case LinkFailNoRoute: return "no route to host";
    case LinkFailNoAnswer: return "no answer";
    case LinkFailAbandoned: return "given up";
    case LinkFailTls: return "TLS failed";
    case LinkFailNoSocket: return "no socket";
    default: return "connection failed";
  }
}

