// The stream link under TLS against a TLS server on loopback with a certificate from the test's
// own authority: the check, the user's trust, lines both ways on the receive thread, the stop.
#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "console/trusted_certificates.h"
#include "irc/chat_commands.h"
#include "irc/irc_client.h"
#include "irc/session.h"
#include "irc/receive_thread.h"
#include "platform/net.h"
#include "presence/host_lookup.h"
#include "tests/irc/net_test_support.h"

namespace {

using Clock = std::chrono::steady_clock;

EVP_PKEY* NewKey() { return EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"); }

// A certificate for subject, signed by issuer's key (itself when issuerKey is null), naming
// altName ("IP:127.0.0.1") when given.
X509* NewCertificate(const char* subject, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, const char* altName) {
  X509* c = X509_new();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), static_cast<long>(std::rand()) + 1);
  X509_gmtime_adj(X509_getm_notBefore(c), -3600);
  X509_gmtime_adj(X509_getm_notAfter(c), 86400);
  X509_set_pubkey(c, key);
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(subject), -1, -1, 0);
  X509_set_issuer_name(c, issuer ? X509_get_subject_name(issuer) : name);
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuer ? issuer : c, c, nullptr, nullptr, 0);
  const char* constraints = issuer ? "CA:FALSE" : "critical,CA:TRUE";
  X509_EXTENSION* e = X509V3_EXT_conf_nid(nullptr, &ctx, NID_basic_constraints, constraints);
  X509_add_ext(c, e, -1);
  X509_EXTENSION_free(e);
  if (altName) {
    e = X509V3_EXT_conf_nid(nullptr, &ctx, NID_subject_alt_name, altName);
    X509_add_ext(c, e, -1);
    X509_EXTENSION_free(e);
  }
  X509_sign(c, issuerKey ? issuerKey : key, EVP_sha256());
  return c;
}

// The test's own authority, made once per process and named to OpenSSL through SSL_CERT_FILE
// before the client's first handshake; the configuration folder is a temporary one.
struct Authority {
  EVP_PKEY* key;
  X509* certificate;
  std::string folder;
};

const Authority& TestAuthority() {
  static Authority a = [] {
    Authority made;
    made.key = NewKey();
    made.certificate = NewCertificate("QIVRA test authority", made.key, nullptr, nullptr, nullptr);
    char pattern[] = "/tmp/qivra-tls-XXXXXX";
    made.folder = mkdtemp(pattern) ? pattern : "/tmp";
    std::string file = made.folder + "/ca.pem";
    FILE* out = std::fopen(file.c_str(), "w");
    PEM_write_X509(out, made.certificate);
    std::fclose(out);
    setenv("SSL_CERT_FILE", file.c_str(), 1);
    setenv("XDG_CONFIG_HOME", made.folder.c_str(), 1);
    return made;
  }();
  return a;
}

// A server's key and certificate from the test's authority, made once per name it carries.
struct Identity {
  EVP_PKEY* key;
  X509* certificate;
};

const Identity& IdentityFor(const std::string& altName) {
  static std::string names[4];
  static Identity made[4];
  for (int i = 0; i < 4; ++i) {
    if (names[i] == altName) return made[i];
    if (names[i].empty()) {
      const Authority& ca = TestAuthority();
      names[i] = altName;
      made[i].key = NewKey();
      made[i].certificate = NewCertificate("server", made[i].key, ca.certificate, ca.key, altName.c_str());
      return made[i];
    }
  }
  return made[0];
}

// A TLS server for one client: the handshake runs on its own thread while the client connects.
class TlsServer {
 public:
  ~TlsServer() {
    if (handshake.joinable()) handshake.join();
    SSL_free(ssl);
    SSL_CTX_free(context);
    NetClose(client);
    NetClose(listener);
  }
  // Serves the certificate for altName ("IP:127.0.0.1").
  bool Start(const char* altName) {
    const Identity& identity = IdentityFor(altName);
    context = SSL_CTX_new(TLS_server_method());
    bool ok = SSL_CTX_use_certificate(context, identity.certificate) == 1 &&
              SSL_CTX_use_PrivateKey(context, identity.key) == 1;
    uint16_t wirePort = 0;
    NetParseDotted("127.0.0.1", &address);
    listener = NetListen(address, &wirePort);
    port = NetPortFromWire(wirePort);
    if (!ok || listener == kNoSocket) return false;
    handshake = std::thread([this] {
      if (!NetWaitReadable(listener, 3000)) return;
      client = NetAccept(listener);
      timeval t = {0, 200000};
      setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &t, sizeof t);
      ssl = SSL_new(context);
      SSL_set_fd(ssl, client);
      accepted = SSL_accept(ssl) == 1;
    });
    return true;
  }
  bool Handshaken() {
    handshake.join();
    return accepted;
  }
  void Send(const std::string& text) { SSL_write(ssl, text.data(), static_cast<int>(text.size())); }
  // One line from the client (with its line end), or "" after ms.
  std::string NextLine(int ms = 2000) {
    auto limit = Clock::now() + std::chrono::milliseconds(ms);
    while (Clock::now() < limit) {
      std::size_t end = pending.find('\n');
      if (end != std::string::npos) {
        std::string line = pending.substr(0, end + 1);
        pending.erase(0, end + 1);
        return line;
      }
      char buffer[512];
      int n = SSL_read(ssl, buffer, sizeof buffer);
      if (n > 0) pending.append(buffer, static_cast<std::size_t>(n));
    }
    return "";
  }
  int port = 0;

 private:
  uint32_t address = 0;
  SSL_CTX* context = nullptr;
  SSL* ssl = nullptr;
  int listener = kNoSocket;
  int client = kNoSocket;
  bool accepted = false;
  std::thread handshake;
  std::string pending;
};

class TlsLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestAuthority();
    HostLookupOverride.store(FakeLookup);
  }
  void TearDown() override {
    EndSession("bye");
    std::remove((TestAuthority().folder + "/qivra/" + kTrustedCertificatesFile).c_str());
  }
  // A TLS session to 127.0.0.1:port.
  int Connect(int port) {
    SessionConfig config = TestSessionConfig(port);
    config.tls = true;
    return StartSession(config);
  }
  int WaitForEvent(std::string* message, int ms = 2000) {
    auto limit = Clock::now() + std::chrono::milliseconds(ms);
    static IrcEvent event;
    while (Clock::now() < limit) {
      if (TakeIrcEvent(&event)) {
        *message = event.text;
        lastResult = event.result;
        report = event.report;
        return event.kind;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return 0;
  }
  // The connect's result as the link thread reports it.
  int ConnectResult() {
    std::string text;
    return WaitForEvent(&text, 5000) == EventConnected ? lastResult : -99;
  }
  int lastResult = 0;
  LinkReport report = {};  // the connect's, with what its TLS step found
};

TEST_F(TlsLinkTest, LinesTravelBothWaysAndDisconnectEndsAReadWithinItsBound) {
  TlsServer server;
  ASSERT_TRUE(server.Start("IP:127.0.0.1"));
  ASSERT_EQ(1, Connect(server.port));
  ASSERT_TRUE(server.Handshaken());
  ASSERT_EQ(1, ConnectResult());
  EXPECT_EQ(1, report.tlsResult);
  EXPECT_TRUE(report.check.passed) << report.check.reason;
  SessionChangeNick("me");
  EXPECT_EQ("NICK me\n", server.NextLine());

  server.Send("PING :over tls\r\n");
  std::string none;
  EXPECT_EQ(EventRegistered, WaitForEvent(&none));
  EXPECT_EQ("PONG :over tls\r\n", server.NextLine());

  // Three lines in one record: after the first, the socket has nothing waiting, the session does.
  server.Send(":a!a@h PRIVMSG #q :one\r\n:a!a@h PRIVMSG #q :two\r\n:a!a@h PRIVMSG #q :three\r\n");
  for (const char* text : {"one", "two", "three"}) {
    std::string message;
    EXPECT_EQ(1, WaitForEvent(&message)) << text;
    EXPECT_EQ(text, message);
  }
  SayTo("a", "from the main thread");
  EXPECT_EQ("PRIVMSG a :from the main thread\r\n", server.NextLine());

  server.Send(":a!a@h PRIVMSG #q :half a li");  // the rest of the line never comes
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  auto start = Clock::now();
  EndSession("bye");
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_LT(took, 150) << "Disconnect waited " << took << " ms";
  EXPECT_FALSE(ReceiveThreadRunning());
  EXPECT_EQ("QUIT :bye\r\n", server.NextLine());
}

TEST_F(TlsLinkTest, ACertificateForAnotherNameIsRefusedUntilTheUserTrustsIt) {
  TlsServer first;
  ASSERT_TRUE(first.Start("IP:10.9.9.9"));
  EXPECT_EQ(1, Connect(first.port));
  first.Handshaken();
  EXPECT_EQ(kStreamCertificateRefused, ConnectResult());
  EXPECT_EQ(kStreamCertificateRefused, report.tlsResult);
  EXPECT_FALSE(report.check.passed);
  EXPECT_STREQ("IP address mismatch", report.check.reason);
  std::string fingerprint = report.check.fingerprint;
  EndSession(nullptr);
  EXPECT_EQ(95u, fingerprint.size()) << fingerprint;

  TlsServer second;  // the same certificate on another port: trusted for that port from now on
  ASSERT_TRUE(second.Start("IP:10.9.9.9"));
  ASSERT_TRUE(TrustCertificate("127.0.0.1", second.port, fingerprint.c_str()));
  EXPECT_FALSE(IsCertificateTrusted("127.0.0.1", first.port, fingerprint.c_str())) << "trust is per server";
  EXPECT_FALSE(IsCertificateTrusted("127.0.0.1", second.port, "AB:CD"));
  EXPECT_EQ(1, Connect(second.port));
  EXPECT_TRUE(second.Handshaken());
  EXPECT_EQ(1, ConnectResult());
  EXPECT_EQ(1, report.tlsResult);
  EXPECT_FALSE(report.check.passed) << "still unverified, but trusted";
  SessionChangeNick("me");
  EXPECT_EQ("NICK me\n", second.NextLine());
}

TEST_F(TlsLinkTest, APlainServerOnATlsConnectionFailsTheHandshakeWithItsReason) {
  FakeServer plain;
  ASSERT_TRUE(plain.Listen());
  std::thread talk([&plain] {
    if (plain.Accept()) plain.Send(":srv NOTICE AUTH :*** Looking up your hostname\r\n");
  });
  EXPECT_EQ(1, Connect(plain.port));
  EXPECT_EQ(kStreamTlsFailed, ConnectResult());
  talk.join();
  EXPECT_EQ(kStreamTlsFailed, report.tlsResult);
  EXPECT_NE('\0', report.check.reason[0]);
}

// A port that takes the connect and never answers the handshake: the window's thread never
// waits for it, and leaving ends the handshake at once.
TEST_F(TlsLinkTest, LeavingDuringAHandshakeThatNeverEndsReturnsPromptly) {
  FakeServer mute;  // the system accepts the connect; nobody ever reads or writes
  ASSERT_TRUE(mute.Listen());
  auto start = Clock::now();
  EXPECT_EQ(1, Connect(mute.port));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(50)) << "Connect waited for the link";
  std::string text;
  EXPECT_EQ(0, WaitForEvent(&text, 300)) << "the handshake cannot have ended";
  start = Clock::now();
  EndSession("bye");
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
  EXPECT_LT(took, 150) << "Disconnect waited " << took << " ms";
  EXPECT_FALSE(ReceiveThreadRunning());
}

}  // namespace
