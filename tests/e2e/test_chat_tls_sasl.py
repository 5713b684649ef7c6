"""Whole-program tests of TLS, SASL and the readable chat: the program in a namespace of its own
against ngircd with a TLS port (a certificate from the test's own authority, named to OpenSSL
through SSL_CERT_FILE) or against InspIRCd linked to Atheme services, a raw IRC client and a
qivra-peer as the other users. Run as root with /usr/bin/python3.
"""
import os
import re
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from netlab import Lab  # noqa: E402
from test_chat import CHANNEL, EVENT_WAIT, NICK, PROGRAM, ChatBase  # noqa: E402

TLS_PORT = 6697


def openssl(*args):
    subprocess.run(["openssl"] + list(args), check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_certificates(folder, address):
    """The test's authority (ca.pem) and a server certificate for the address; returns the
    server's certificate and key files and its SHA-256 fingerprint as OpenSSL prints it."""
    ca_key, ca, key, request, cert = (os.path.join(folder, n) for n in
                                      ("ca.key", "ca.pem", "server.key", "server.csr", "server.pem"))
    openssl("req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout", ca_key,
            "-out", ca, "-days", "2", "-subj", "/CN=QIVRA test authority")
    openssl("req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:P-256", "-nodes", "-keyout", key,
            "-out", request, "-subj", "/CN=%s" % address)
    extension = os.path.join(folder, "san.cnf")
    with open(extension, "w") as f:
        f.write("subjectAltName=IP:%s\n" % address)
    openssl("x509", "-req", "-in", request, "-CA", ca, "-CAkey", ca_key, "-CAcreateserial", "-out", cert,
            "-days", "2", "-extfile", extension)
    for path in (ca, key, cert):
        os.chmod(path, 0o644)  # ngircd reads them as user nobody
    printed = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-fingerprint", "-sha256"],
                             check=True, capture_output=True, text=True).stdout
    return cert, key, printed.strip().split("=", 1)[1]


class TlsChatTest(ChatBase):
    """ngircd with plain and TLS ports; the program connects with "SERVER address +6697"."""
    port = "+%d" % TLS_PORT

    def start_lab(self):
        self.lab = Lab("tls")
        self.addCleanup(self.lab.close)
        self.lab.start()
        self.other_address = self.lab.add_server_address()  # the certificate does not name it
        self.certs = tempfile.mkdtemp(prefix="qivra-certs-", dir=self.lab.dir)
        os.chmod(self.certs, 0o755)
        cert, key, self.fingerprint = make_certificates(self.certs, self.lab.server_address)
        self.lab.start_ngircd(tls=(TLS_PORT, cert, key))
        self.config_home = tempfile.mkdtemp(prefix="qivra-config-", dir=self.lab.dir)
        self.extra_env = {"SSL_CERT_FILE": os.path.join(self.certs, "ca.pem"), "XDG_CONFIG_HOME": self.config_home}

    def test_chat_presence_taken_nickname_and_what_others_send_over_tls(self):
        taker = self.raw_client(NICK, CHANNEL)  # holds the program's nickname, and is the operator
        alice = self.peer("alice")
        self.start_program()
        me = NICK + "_"
        self.connect_from_dialog(nick=me)
        self.wait_console('The nickname "%s" is in use: trying "%s".' % (NICK, me))
        taker.wait_for(r"^:%s!\S* JOIN :?%s$" % (re.escape(me), re.escape(CHANNEL)), EVENT_WAIT)
        members = self.wait_console_match(r"^In %s: .* \(3\)$" % re.escape(CHANNEL))
        for name in ("@" + NICK, "alice", me):
            self.assertIn(name, self.console()[members].split(": ", 1)[1].split(" (")[0].split(", "))

        # Presence and chat over the TLS link, both ways.
        alice.wait_for(r"^presence active %s$" % re.escape(me), EVENT_WAIT)
        since = len(self.console())
        self.enter("hello over tls", lambda: "<%s> hello over tls" % me in self.console()[since:], "its echo")
        alice.wait_for(r"^<%s> hello over tls$" % re.escape(me), EVENT_WAIT)
        alice.send("hi back")
        mark = self.wait_console("<alice> hi back", since)

        # What a raw client sends reads as text: notice, topic, colours, CTCP, part and quit reasons.
        taker.send("NOTICE %s :a notice for you" % me)
        mark = self.wait_console("-%s- a notice for you" % NICK, mark)
        taker.send("TOPIC %s :\x02bold\x02 and \x0304red\x03 topic" % CHANNEL)
        mark = self.wait_console("%s changed the topic of %s to: bold and red topic" % (NICK, CHANNEL), mark)
        taker.send("PRIVMSG %s :\x0304,12colour\x03 \x1funderlined\x0f words" % CHANNEL)
        mark = self.wait_console("<%s> colour underlined words" % NICK, mark)
        taker_mark = taker.mark()
        taker.send("PRIVMSG %s :\x01VERSION\x01" % me)
        mark = self.wait_console("CTCP VERSION from %s (answered)" % NICK, mark)
        taker.wait_for(r"^:%s!\S* NOTICE %s :\x01VERSION QIVRA " % (re.escape(me), re.escape(NICK)), EVENT_WAIT,
                       since=taker_mark)
        taker.send("PART %s :off for lunch" % CHANNEL)
        mark = self.wait_console("%s has left the channel (off for lunch)" % NICK, mark)
        taker.send("JOIN %s" % CHANNEL)
        mark = self.wait_console("%s has joined the channel" % NICK, mark)
        taker.send("QUIT :good night")
        self.wait_console_match(r'^%s has quit irc \((Quit: )?"?good night"?\)$' % re.escape(NICK), mark)
        self.assertFalse(any("\x01" in line or "\x03" in line for line in self.console()),
                         "a control byte reached the console")
        self.assertTrue(self.program.alive())

    def test_certificate_for_another_name_is_refused_then_trusted_by_its_fingerprint(self):
        other = self.other_address
        self.write_config(server=other)
        refused = "The certificate of %s:%d was refused: IP address mismatch." % (other, TLS_PORT)

        self.start_program(answer="no")
        dialog = self.desktop.wait_window("Welcome to QIVRA", timeout=20)
        self.assertIsNotNone(dialog, "no connection dialog" + self.report())
        self.assertTrue(self.desktop.wait_active("Welcome to QIVRA"))
        self.desktop.key("Return")
        mark = self.wait_console(refused)
        self.wait_console("Not connected: the certificate was not trusted.", mark)
        boxes = self.program.boxes()
        self.assertEqual(1, len(boxes), boxes)
        self.assertIn('caption="Untrusted certificate"', boxes[0])
        box_text = self.program.stderr().split("[box] ", 1)[1]  # the box's text runs over several lines
        self.assertIn(self.fingerprint, box_text, "the box shows the certificate's SHA-256 fingerprint")
        self.program.stop()

        watcher = self.raw_client("watcher", CHANNEL)  # sees the client leave before it comes back
        self.start_program(answer="yes")
        joining = self.connect_from_dialog(server=other)
        lines = self.console()[:joining]
        self.assertIn(refused, lines)
        self.assertIn("Trusting that certificate for %s:%d from now on." % (other, TLS_PORT), lines)
        with open(os.path.join(self.config_home, "qivra", "trusted-certificates.txt")) as f:
            self.assertEqual("%s:%d %s\n" % (other, TLS_PORT, self.fingerprint), f.read())

        # The next time it connects without a question.
        watcher.wait_for(r"^:%s!\S* JOIN" % re.escape(NICK), EVENT_WAIT)
        mark = watcher.mark()
        self.leave_room()
        watcher.wait_for(r"^:%s!\S* QUIT" % re.escape(NICK), EVENT_WAIT, since=mark)
        self.connect_from_dialog(server=other, first=False)
        self.assertEqual(1, len(self.program.boxes()), self.program.boxes())

    def test_enter_in_the_certificate_box_does_not_trust_it(self):
        other = self.other_address
        self.write_config(server=other)
        self.program = self.desktop.start(["ip", "netns", "exec", self.home.ns, PROGRAM], self.workdir, {
            "QIVRA_CONSOLE_STDERR": "1", "QIVRA_AUTO_ANSWER": None, "QIVRA_LOCK_DIR": self.lockdir,
            "SSL_CERT_FILE": self.extra_env["SSL_CERT_FILE"], "XDG_CONFIG_HOME": self.config_home})
        self.assertIsNotNone(self.desktop.wait_window("Welcome to QIVRA", timeout=20), "no dialog" + self.report())
        self.assertTrue(self.desktop.wait_active("Welcome to QIVRA"))
        self.desktop.key("Return")
        self.assertIsNotNone(self.desktop.wait_window("Untrusted certificate", timeout=15), "no box" + self.report())
        self.assertTrue(self.desktop.wait_active("Untrusted certificate"), "the box never got the focus")
        self.desktop.key("Return")
        self.wait_console("Not connected: the certificate was not trusted.")
        self.assertFalse(os.path.exists(os.path.join(self.config_home, "qivra", "trusted-certificates.txt")))

    def test_a_plain_connection_to_the_tls_port_suggests_tls(self):
        self.port = TLS_PORT  # written without the "+"
        self.write_config()
        self.start_program()
        self.assertIsNotNone(self.desktop.wait_window("Welcome to QIVRA", timeout=20), "no dialog" + self.report())
        self.assertTrue(self.desktop.wait_active("Welcome to QIVRA"))
        self.desktop.key("Return")
        self.wait_console("Could not connect to %s:%d: closed by the server; this port may want TLS: try +%d."
                          % (self.lab.server_address, TLS_PORT, TLS_PORT))


class SaslTest(ChatBase):
    """InspIRCd with its SASL module, linked to Atheme; the account is registered with NickServ."""
    ACCOUNT, PASSWORD = "roomowner", "good-horse-staple"

    def start_lab(self):
        self.lab = Lab("sasl")
        self.addCleanup(self.lab.close)
        self.lab.start()
        self.lab.start_inspircd(quick_commands=True, sasl=True)
        self.lab.start_services()
        owner = self.raw_client(self.ACCOUNT, CHANNEL)
        owner.send("PRIVMSG NickServ :REGISTER %s %s@mail.test" % (self.PASSWORD, self.ACCOUNT))
        owner.wait_for(r"NOTICE %s :.*registered" % self.ACCOUNT, EVENT_WAIT)

    def connect_with(self, password):
        self.write_config(extra_lines="SASL %s %s\n" % (self.ACCOUNT, password))
        self.start_program()
        self.connect_from_dialog()
        stderr = self.program.stderr()
        self.assertNotIn(password, stderr, "the password showed on standard error")
        return self.console()

    def test_sasl_plain_logs_in_and_a_wrong_password_is_reported(self):
        lines = self.connect_with(self.PASSWORD)
        self.assertIn('Logging in as "%s" (SASL)...' % self.ACCOUNT, lines)
        self.assertIn("-server- You are now logged in as %s" % self.ACCOUNT, lines)
        self.assertIn("-server- SASL authentication successful", lines)
        self.program.stop()

        lines = self.connect_with("wrong-staple")
        self.assertIn('Logging in as "%s" failed: the server refused the account name or password. '
                      'Check the SASL line in config.txt.' % self.ACCOUNT, lines)
        self.assertFalse(any("logged in as" in line for line in lines), lines)


if __name__ == "__main__":
    unittest.main()
