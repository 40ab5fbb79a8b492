#!/usr/bin/env python3
"""Signatures that last: an RFC 3161 timestamp from a local server, PKCS#12
keys with a password from the environment, and the failures an author
meets (wrong password, a timestamp server that does not answer).

Usage: signing_test.py LUMIPACK STUB SCREENSAVER [STUB64]
Exits 77 (skipped) without openssl or osslsigncode. STUB64, the x64 stub,
is what the installation under Wine uses (the host may run x64 programs
only); without it that test is skipped.

The timestamp server is `openssl ts -reply` behind a small HTTP handler on
127.0.0.1, started here with a throwaway TSA certificate; nothing leaves the
machine.
"""
import http.server
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

LUMIPACK = STUB = SCREENSAVER = STUB64 = ""
HERE = pathlib.Path(__file__).resolve().parent

TSA_CONFIG = """
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = {dir}/tsaserial
crypto_device = builtin
signer_cert = {dir}/tsa.pem
certs = {dir}/tsa.pem
signer_key = {dir}/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ordering = yes
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha256
"""


def run(*args, env=None, cwd=None):
    return subprocess.run(list(args), capture_output=True, text=True, env=env, cwd=cwd,
                          timeout=120)


def openssl(*args, cwd):
    done = run("openssl", *args, cwd=cwd)
    assert done.returncode == 0, done.stderr
    return done


class TimestampHandler(http.server.BaseHTTPRequestHandler):
    folder = pathlib.Path()
    requests = 0

    def do_POST(self):
        length = int(self.headers.get("Content-Length", "0"))
        if length <= 0 or length > 65536:
            self.send_error(400)
            return
        query = self.folder / "query.tsq"
        reply = self.folder / "reply.tsr"
        query.write_bytes(self.rfile.read(length))
        done = run("openssl", "ts", "-reply", "-config", str(self.folder / "tsa.cnf"),
                   "-queryfile", str(query), "-out", str(reply))
        if done.returncode != 0:
            self.send_error(500, done.stderr[:200])
            return
        type(self).requests += 1
        body = reply.read_bytes()
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class Signing(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = pathlib.Path(tempfile.mkdtemp(prefix="lumipack-sign-"))
        d = str(cls.dir)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "key.pem",
                "-out", "cert.pem", "-days", "30", "-subj", "/CN=Lumiset Test Signer",
                "-addext", "extendedKeyUsage=codeSigning", cwd=d)
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "tsa.key",
                "-out", "tsa.pem", "-days", "30", "-subj", "/CN=Lumiset Test TSA",
                "-addext", "extendedKeyUsage=critical,timeStamping", cwd=d)
        # OpenSSL 3's default PKCS#12 encryption (AES-256, PBKDF2), which
        # the signer's OpenSSL 3 reads without the legacy provider.
        openssl("pkcs12", "-export", "-inkey", "key.pem", "-in", "cert.pem", "-out", "key.p12",
                "-passout", "pass:s3cret word", cwd=d)
        (cls.dir / "tsaserial").write_text("01\n")
        (cls.dir / "tsa.cnf").write_text(TSA_CONFIG.format(dir=d))
        (cls.dir / "m.toml").write_text(
            'title = "Starfield"\ncompany = "Lumiset Samples"\n'
            '[signing]\ntimestamp = "${TSA}"\nurl = "https://example.com/starfield"\n')
        TimestampHandler.folder = cls.dir
        cls.server = http.server.HTTPServer(("127.0.0.1", 0), TimestampHandler)
        cls.tsa_url = f"http://127.0.0.1:{cls.server.server_address[1]}/"
        cls.thread = threading.Thread(target=cls.server.serve_forever, daemon=True)
        cls.thread.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()
        shutil.rmtree(cls.dir, ignore_errors=True)

    def build(self, out, *args, env=None, command="build", stub=None):
        full_env = dict(os.environ)
        full_env.pop("SOURCE_DATE_EPOCH", None)
        full_env.update(env or {})
        return run(LUMIPACK, command, "m.toml", "-o", out, "--stub", stub or STUB,
                   "--screensaver", SCREENSAVER, *args, env=full_env, cwd=str(self.dir))

    def verify(self, out):
        return run("osslsigncode", "verify", "-in", str(self.dir / out),
                   "-CAfile", str(self.dir / "cert.pem"),
                   "-TSA-CAfile", str(self.dir / "tsa.pem"))

    def test_timestamped_pem_signature_verifies(self):
        before = TimestampHandler.requests
        built = self.build("ts.exe", "--sign-with", "cert.pem", "key.pem",
                           "-D", f"TSA={self.tsa_url}", "--sign-description", "Starfield Setup")
        self.assertEqual(built.returncode, 0, built.stderr)
        # One for the signature tried before compressing, one for the installer's.
        self.assertEqual(TimestampHandler.requests, before + 2)
        checked = self.verify("ts.exe")
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertIn("Signature verification: ok", checked.stdout)
        self.assertIn("Timestamp Server Signature verification: ok", checked.stdout)
        self.assertIn("Issuer: /CN=Lumiset Test TSA", checked.stdout)
        self.assertIn("Text description: Starfield Setup\n", checked.stdout)
        self.assertIn("URL description: https://example.com/starfield\n", checked.stdout)
        inspected = run(LUMIPACK, "inspect", str(self.dir / "ts.exe"))
        self.assertEqual(inspected.returncode, 0, inspected.stderr)
        self.assertIn("digest       intact (SHA-256)", inspected.stdout)

    def test_inspect_finds_bytes_changed_after_signing(self):
        built = self.build("signed.exe", "--sign-with", "cert.pem", "key.pem",
                           "-D", "TSA=http://127.0.0.1:9/", "--timestamp", self.tsa_url)
        self.assertEqual(built.returncode, 0, built.stderr)
        data = bytearray((self.dir / "signed.exe").read_bytes())
        # A byte of the stub's code, which no check value of the package covers.
        data[0x600] ^= 0x01
        (self.dir / "changed.exe").write_bytes(bytes(data))
        verified = self.verify("changed.exe")
        self.assertNotEqual(verified.returncode, 0, "osslsigncode sees the change too")
        inspected = run(LUMIPACK, "inspect", str(self.dir / "changed.exe"))
        self.assertEqual(inspected.returncode, 1, inspected.stdout)
        self.assertIn("digest       altered after signing (SHA-256)", inspected.stdout)
        self.assertIn("the signature: the program was changed after it was signed",
                      inspected.stderr)
        as_json = run(LUMIPACK, "inspect", "--json", str(self.dir / "changed.exe"))
        self.assertIn('"digest": "altered after signing"', as_json.stdout)

    def test_pkcs12_with_password_from_the_environment(self):
        built = self.build("p12.exe", "--sign-with", "key.p12", "--password-env", "LUMI_P12",
                           "-D", "TSA=http://127.0.0.1:9/", "--timestamp", self.tsa_url,
                           env={"LUMI_P12": "s3cret word"})
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertNotIn("s3cret", built.stdout + built.stderr)
        checked = self.verify("p12.exe")
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        # --timestamp beats the manifest's; the description defaults to the title.
        self.assertIn("Timestamp Server Signature verification: ok", checked.stdout)
        self.assertIn("Text description: Starfield\n", checked.stdout)
        self.assertEqual(sorted(p.name for p in self.dir.glob("*p12.exe*")), ["p12.exe"])

    def test_failures_say_why_and_leave_no_output(self):
        cases = [
            ("wrong password", ["--sign-with", "key.p12", "--password-env", "LUMI_P12",
                                "-D", f"TSA={self.tsa_url}"],
             {"LUMI_P12": "wrong"}, "wrong password in LUMI_P12"),
            ("unset password", ["--sign-with", "key.p12", "--password-env", "LUMI_UNSET",
                                "-D", f"TSA={self.tsa_url}"],
             {}, "--password-env LUMI_UNSET: the environment variable is not set"),
            ("no timestamp server", ["--sign-with", "cert.pem", "key.pem",
                                     "-D", "TSA=http://127.0.0.1:9/"],
             {}, "the timestamp server http://127.0.0.1:9/ did not answer"),
            ("not a timestamp address", ["--sign-with", "cert.pem", "key.pem",
                                         "-D", "TSA=ftp://example.com/"],
             {}, "not an http:// or https:// address"),
            ("undefined variable", ["--sign-with", "cert.pem", "key.pem"],
             {}, "m.toml:4: 'signing.timestamp' uses ${TSA}, which is not defined"),
        ]
        for name, args, env, message in cases:
            with self.subTest(name):
                built = self.build("bad.exe", *args, env=env)
                self.assertEqual(built.returncode, 1, built.stderr)
                self.assertIn(message, built.stderr)
                self.assertEqual(sorted(p.name for p in self.dir.glob("bad*")), [])
                self.assertEqual(sorted(p.name for p in self.dir.glob(".*")), [])

    def test_check_tries_the_signing_inputs(self):
        openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "other.pem",
                "-out", "other-cert.pem", "-days", "30", "-subj", "/CN=Someone Else",
                cwd=str(self.dir))
        cases = [
            ("missing PKCS#12", ["--sign-with", "gone.p12", "-D", f"TSA={self.tsa_url}"], {},
             "gone.p12: no such PKCS #12 file"),
            ("wrong password", ["--sign-with", "key.p12", "--password-env", "LUMI_P12",
                                "-D", f"TSA={self.tsa_url}"], {"LUMI_P12": "wrong"},
             "wrong password in LUMI_P12"),
            ("certificate and key apart", ["--sign-with", "cert.pem", "other.pem",
                                           "-D", f"TSA={self.tsa_url}"], {},
             "cannot sign: "),
            ("dead timestamp server", ["--sign-with", "cert.pem", "key.pem",
                                       "-D", "TSA=http://127.0.0.1:9/"], {},
             "the timestamp server http://127.0.0.1:9/ did not answer"),
        ]
        for name, args, env, message in cases:
            with self.subTest(name):
                checked = self.build("checked.exe", *args, env=env, command="check")
                self.assertEqual(checked.returncode, 1, checked.stdout + checked.stderr)
                self.assertIn(message, checked.stderr)
                self.assertNotIn("sound", checked.stdout)
                self.assertEqual(sorted(p.name for p in self.dir.glob(".*")), [])
        good = self.build("checked.exe", "--sign-with", "cert.pem", "key.pem",
                          "-D", f"TSA={self.tsa_url}", command="check")
        self.assertEqual(good.returncode, 0, good.stderr)
        self.assertFalse((self.dir / "checked.exe").exists())

    def test_signing_options_need_a_key(self):
        for option in (["--timestamp", self.tsa_url], ["--sign-url", "https://example.com/"],
                       ["--sign-description", "Setup"]):
            with self.subTest(option[0]):
                built = self.build("opt.exe", "-D", "TSA=x", *option)
                self.assertEqual(built.returncode, 2, built.stderr)
                self.assertIn(f"{option[0]} requires --sign-with", built.stderr)

    def test_a_timestamp_server_that_never_answers_is_given_up(self):
        silent = socket.socket()
        silent.bind(("127.0.0.1", 0))
        silent.listen(8)
        try:
            url = f"http://127.0.0.1:{silent.getsockname()[1]}/"
            start = time.monotonic()
            built = self.build("hang.exe", "--sign-with", "cert.pem", "key.pem", "-D", f"TSA={url}",
                               "--sign-timeout", "2")
            self.assertLess(time.monotonic() - start, 60)
            self.assertEqual(built.returncode, 1, built.stderr)
            self.assertIn("did not finish within 2 seconds", built.stderr)
            self.assertEqual(sorted(p.name for p in self.dir.glob("hang*")), [])
        finally:
            silent.close()

    def test_a_killed_build_leaves_no_signer_and_no_password_on_disk(self):
        # A signer that notes its process id and what the output's folder
        # holds, then waits.
        fake = self.dir / "fake-bin"
        fake.mkdir(exist_ok=True)
        signer = fake / "osslsigncode"
        signer.write_text("#!/bin/sh\necho $$ > \"$LUMI_FAKE/signer.pid\"\n"
                          "grep -rl 'pa55 word' \"$LUMI_FAKE/out\" > \"$LUMI_FAKE/found\"\n"
                          "exec sleep 60\n")
        signer.chmod(0o755)
        out = self.dir / "out"
        out.mkdir(exist_ok=True)
        env = dict(os.environ, PATH=f"{fake}:{os.environ['PATH']}", LUMI_FAKE=str(self.dir),
                   LUMI_P12="pa55 word")
        env.pop("SOURCE_DATE_EPOCH", None)
        process = subprocess.Popen(
            [LUMIPACK, "build", "m.toml", "-o", "out/k.exe", "--stub", STUB, "--screensaver",
             SCREENSAVER, "--sign-with", "key.p12", "--password-env", "LUMI_P12",
             "-D", "TSA=http://127.0.0.1:9/"],
            cwd=str(self.dir), env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pid_file = self.dir / "signer.pid"
        deadline = time.monotonic() + 60
        while not pid_file.exists() or not pid_file.read_text().strip():
            self.assertLess(time.monotonic(), deadline, "the signer never started")
            time.sleep(0.05)
        signer_pid = int(pid_file.read_text())
        time.sleep(0.2)
        process.send_signal(signal.SIGKILL)
        process.wait()
        deadline = time.monotonic() + 10
        while os.path.exists(f"/proc/{signer_pid}") and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertFalse(os.path.exists(f"/proc/{signer_pid}"), "the signer outlived lumipack")
        self.assertEqual((self.dir / "found").read_text(), "", "the password lay in a file")

    def signed_report(self, installer):
        inspected = run(LUMIPACK, "inspect", "--json", str(self.dir / installer))
        self.assertEqual(inspected.returncode, 0, inspected.stdout + inspected.stderr)
        report = json.loads(inspected.stdout)
        items = report["items"]
        return {"installer": report["signature"]["digest"],
                **{name: items[name].get("signature", {}).get("digest")
                   for name in ("uninstaller", "companion", "screensaver")}}

    def test_every_shipped_program_is_signed(self):
        shutil.copy(SCREENSAVER, self.dir / "settings.exe")
        (self.dir / "all.toml").write_text(
            'title = "Starfield"\ncompany = "Lumiset Samples"\ncompanion = "settings.exe"\n'
            '[signing]\nscreensaver = true\ncompanion = true\n')
        built = run(LUMIPACK, "build", "all.toml", "-o", "all.exe", "--stub", STUB,
                    "--screensaver", SCREENSAVER, "--sign-with", "cert.pem", "key.pem",
                    cwd=str(self.dir))
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertEqual(self.signed_report("all.exe"),
                         {"installer": "intact", "uninstaller": "intact", "companion": "intact",
                          "screensaver": "intact"})
        parts = self.dir / "all-parts"
        shutil.rmtree(parts, ignore_errors=True)
        self.assertEqual(run(LUMIPACK, "extract", str(self.dir / "all.exe"), str(parts)).returncode, 0)
        for part in ("uninstaller.exe", "screensaver.scr", "companion.exe"):
            checked = run("osslsigncode", "verify", "-in", str(parts / part),
                          "-CAfile", str(self.dir / "cert.pem"))
            self.assertEqual(checked.returncode, 0, part + ": " + checked.stdout + checked.stderr)
        # Without [signing] asking, only the default uninstaller is signed.
        built = self.build("some.exe", "--sign-with", "cert.pem", "key.pem",
                           "-D", "TSA=http://127.0.0.1:9/", "--timestamp", self.tsa_url)
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertEqual(self.signed_report("some.exe"),
                         {"installer": "intact", "uninstaller": "intact", "companion": None,
                          "screensaver": "unsigned"})

    def test_the_installed_uninstaller_verifies(self):
        if not STUB64 or not os.path.exists(STUB64):
            self.skipTest("no x64 stub")
        built = self.build("wine.exe", "--sign-with", "cert.pem", "key.pem",
                           "-D", "TSA=http://127.0.0.1:9/", "--timestamp", self.tsa_url,
                           stub=STUB64)
        self.assertEqual(built.returncode, 0, built.stderr)
        fetched = self.dir / "installed"
        done = subprocess.run([str(HERE / "install_fetch.sh"), str(self.dir / "wine.exe"),
                               str(fetched)], capture_output=True, text=True, timeout=300)
        if done.returncode == 77:
            self.skipTest(done.stdout.strip())
        self.assertEqual(done.returncode, 0, done.stdout + done.stderr)
        checked = run("osslsigncode", "verify", "-in", str(fetched / "Uninstall.exe"),
                      "-CAfile", str(self.dir / "cert.pem"), "-TSA-CAfile", str(self.dir / "tsa.pem"))
        self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)
        self.assertIn("Signature verification: ok", checked.stdout)

    def test_a_signing_command_signs_each_program(self):
        (self.dir / "sign.sh").write_text(
            '#!/bin/sh\nset -e\necho "signing $1"\n'
            f'osslsigncode sign -certs "{self.dir}/cert.pem" -key "{self.dir}/key.pem" '
            '-in "$1" -out "$1.signed" >/dev/null\nmv "$1.signed" "$1"\n')
        (self.dir / "broken.sh").write_text('#!/bin/sh\necho "token not present" >&2\nexit 3\n')
        (self.dir / "cmd.toml").write_text(
            'title = "Starfield"\ncompany = "Lumiset Samples"\n'
            '[signing]\ncommand = "sh sign.sh {file}"\n')
        built = run(LUMIPACK, "build", "cmd.toml", "-o", "cmd.exe", "--stub", STUB,
                    "--screensaver", SCREENSAVER, cwd=str(self.dir))
        self.assertEqual(built.returncode, 0, built.stderr)
        self.assertEqual(self.signed_report("cmd.exe")["installer"], "intact")
        self.assertEqual(self.signed_report("cmd.exe")["uninstaller"], "intact")
        checked = self.verify("cmd.exe")
        self.assertIn("Signature verification: ok", checked.stdout)
        failed = run(LUMIPACK, "build", "cmd.toml", "-o", "failed.exe", "--stub", STUB,
                     "--screensaver", SCREENSAVER, "--sign-command", "sh broken.sh {file}",
                     cwd=str(self.dir))
        self.assertEqual(failed.returncode, 1, failed.stderr)
        self.assertIn("the signing command failed with exit code 3", failed.stderr)
        self.assertIn("token not present", failed.stderr)
        self.assertFalse((self.dir / "failed.exe").exists())
        self.assertEqual(sorted(p.name for p in self.dir.glob(".*")), [])
        no_file = run(LUMIPACK, "build", "cmd.toml", "-o", "failed.exe", "--stub", STUB,
                      "--screensaver", SCREENSAVER, "--sign-command", "sh sign.sh",
                      cwd=str(self.dir))
        self.assertEqual(no_file.returncode, 1)
        self.assertIn("has no {file}", no_file.stderr)


if __name__ == "__main__":
    if not shutil.which("openssl") or not shutil.which("osslsigncode"):
        print("openssl or osslsigncode missing: skipped")
        sys.exit(77)
    LUMIPACK, STUB, SCREENSAVER = (os.path.abspath(a) for a in sys.argv[1:4])
    STUB64 = os.path.abspath(sys.argv[4]) if len(sys.argv) > 4 else ""
    for path in (STUB, SCREENSAVER):
        if not os.path.exists(path):
            print(f"{path} missing (build the Windows tree): skipped")
            sys.exit(77)
    unittest.main(argv=sys.argv[:1], verbosity=2)
