"""A real FTP server for the end-to-end tests and bench/run: Debian's pyftpdlib
on a free loopback port (or ADDRESS). Prints the port on its first line; ends
when stdin closes. QUIET=1 in the environment turns its logging off, so that it
costs a benchmark nothing.

TLS_DIR=DIR in the environment makes it an explicit-TLS (FTPS) server that
refuses a client which does not protect both the session and the data. Unless
DIR/server.pem exists already, it first makes a throw-away CA (DIR/ca.pem) and
a server certificate signed by it for localhost, 127.0.0.1 and ::1
(DIR/server.pem, certificate and unencrypted key), and writes the server
certificate's SHA-256 fingerprint to DIR/fingerprint as `openssl x509
-fingerprint -sha256` prints it (AB:CD:...). Needs python3-openssl.

PASSIVE_PORT=N in the environment offers only port N for passive data
connections (so that a relay in a test can stand in front of it).

SLOW_READ_MS=N in the environment makes every read of a retrieved file whose
name begins with "slow" wait N milliseconds first (64 KiB per read), so that
a test can act in the middle of a retrieve however loaded the machine is.

REFUSE=WORDS in the environment makes it refuse what an upload-only account
or a plainer server would: REST (502), RENAME (RNFR, 550), RNTO-EXISTING
(RNTO onto an existing name, 550), RNTO (every RNTO, 550 after RNFR was
taken), REST-IGNORED (REST taken, but STOR writes from the start all the same),
MLSD (no MLST in FEAT and MLSD refused: listings by LIST, which shows links
as links where MLSD follows them).
READ_LIMIT=BYTES in the environment makes it take uploads at no more than
that many bytes a second, so that a test can stop a client part-way.

For the parallel runs' tests:
MAX_CONS_PER_IP=n accepts at most n control connections from one address
(421 to the others);
CUT_CONNECTION=k closes the k-th connection (from 0, in the order they came)
at its first STOR; CHANGE_ON_STOR=NAME=PATH appends to the local file PATH
when a STOR of NAME arrives, so that the client's file changes as it is sent;
THROTTLE=n lets every data connection carry at most n bytes a second, both
ways (READ_LIMIT, when set, bounds uploads instead).

CASE_FOLD=1 in the environment makes it a server that ignores case in names
and keeps the case a name was first created with, as Windows servers do: a.txt
names an existing A.txt, and a STOR of a.txt writes over it.

HASH=1 in the environment makes it offer HASH (SHA-256 and SHA-1 of a whole
file, OPTS HASH to choose) in its FEAT reply.

usage: ftp_server.py ROOT [USER PASSWORD [ADDRESS]]
"""
import logging
import os
import sys
import threading
import time

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer

DAY = 24 * 60 * 60


def write_file(path, data, mode=0o644):
    # Write beside and rename, so that a reader never sees half a file.
    temp = "%s.%d.tmp" % (path, os.getpid())
    fd = os.open(temp, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, mode)
    with os.fdopen(fd, "wb") as f:
        f.write(data)
    os.replace(temp, path)


class SlowFile(object):
    """A file whose every read waits first; all else is the file's own."""

    def __init__(self, file, delay):
        self._file = file
        self._delay = delay

    def read(self, *args):
        time.sleep(self._delay)
        return self._file.read(*args)

    def __getattr__(self, name):
        return getattr(self._file, name)


def slow_filesystem(delay):
    from pyftpdlib.filesystems import AbstractedFS

    class SlowFS(AbstractedFS):
        def open(self, filename, mode):
            f = AbstractedFS.open(self, filename, mode)
            slow = "r" in mode and os.path.basename(filename).startswith("slow")
            return SlowFile(f, delay) if slow else f

    return SlowFS


def case_folding_filesystem(base):
    class CaseFoldingFS(base):
        def ftp2fs(self, ftppath):
            path = base.ftp2fs(self, ftppath)
            relative = os.path.relpath(path, self.root)
            if relative == ".":
                return path
            current = self.root
            for part in relative.split(os.sep):
                if not os.path.lexists(os.path.join(current, part)):
                    try:
                        alike = [n for n in os.listdir(current) if n.lower() == part.lower()]
                    except OSError:
                        alike = []
                    if alike:
                        part = alike[0]
                current = os.path.join(current, part)
            return current

    return CaseFoldingFS


def make_certificate(crypto, subject_cn, issuer, issuer_key, serial, extensions):
    key = crypto.PKey()
    key.generate_key(crypto.TYPE_RSA, 2048)
    cert = crypto.X509()
    cert.set_version(2)
    cert.set_serial_number(serial)
    cert.get_subject().CN = subject_cn
    cert.set_pubkey(key)
    # From yesterday, so that a clock a little behind still accepts it.
    cert.gmtime_adj_notBefore(-DAY)
    cert.gmtime_adj_notAfter(29 * DAY)
    issuer_cert = issuer or cert
    cert.set_issuer(issuer_cert.get_subject())
    exts = [crypto.X509Extension(name, critical, value) for name, critical, value in extensions]
    exts.append(crypto.X509Extension(b"subjectKeyIdentifier", False, b"hash", subject=cert))
    cert.add_extensions(exts)
    # After the key identifier, which a self-signed issuer takes it from.
    cert.add_extensions([crypto.X509Extension(b"authorityKeyIdentifier", False, b"keyid:always", issuer=issuer_cert)])
    cert.sign(issuer_key or key, "sha256")
    return cert, key


def ensure_certificates(tls_dir):
    """Returns the path of server.pem, making the throw-away CA and server
    certificate first when it is not there yet."""
    server_pem = os.path.join(tls_dir, "server.pem")
    if os.path.exists(server_pem):
        return server_pem
    from OpenSSL import crypto  # only a TLS server needs python3-openssl

    os.makedirs(tls_dir, exist_ok=True)
    serial = int.from_bytes(os.urandom(8), "big")
    ca, ca_key = make_certificate(crypto, "Vollum test CA", None, None, serial, [
        (b"basicConstraints", True, b"CA:TRUE"),
        (b"keyUsage", True, b"keyCertSign, cRLSign"),
    ])
    server, server_key = make_certificate(crypto, "localhost", ca, ca_key, serial + 1, [
        (b"basicConstraints", True, b"CA:FALSE"),
        (b"keyUsage", True, b"digitalSignature, keyEncipherment"),
        (b"extendedKeyUsage", False, b"serverAuth"),
        (b"subjectAltName", False, b"DNS:localhost, IP:127.0.0.1, IP:::1"),
    ])
    pem = crypto.FILETYPE_PEM
    write_file(os.path.join(tls_dir, "ca.pem"), crypto.dump_certificate(pem, ca))
    write_file(os.path.join(tls_dir, "fingerprint"), server.digest("sha256").upper() + b"\n")
    # Last, as its presence means the directory is complete.
    write_file(server_pem, crypto.dump_certificate(pem, server) + crypto.dump_privatekey(pem, server_key), 0o600)
    return server_pem


def test_handler(base):
    """The handler with the misbehaviour the environment asks for."""
    cut = int(os.environ.get("CUT_CONNECTION", "-1"))
    change = os.environ.get("CHANGE_ON_STOR", "")
    if cut < 0 and not change:
        return base

    class Handler(base):
        connections = 0
        cut_done = False

        def __init__(self, *args, **kwargs):
            base.__init__(self, *args, **kwargs)
            self.index = Handler.connections
            Handler.connections += 1

        def ftp_STOR(self, file, mode="w"):
            if self.index == cut and not Handler.cut_done:
                Handler.cut_done = True
                self.close()
                return None
            if change:
                name, local = change.split("=", 1)
                if os.path.basename(file) == name:
                    with open(local, "ab") as f:
                        f.write(b"changed while it was sent\n")
            return base.ftp_STOR(self, file, mode)

    return Handler


def throttled(handler):
    """The handler with data connections bounded as READ_LIMIT and THROTTLE ask."""
    both = int(os.environ.get("THROTTLE", "0") or 0)
    reads = int(os.environ.get("READ_LIMIT", "0") or 0) or both
    if not reads and not both:
        return handler
    from pyftpdlib.handlers import ThrottledDTPHandler

    class Throttled(ThrottledDTPHandler):
        read_limit = reads
        write_limit = both

    handler.dtp_handler = Throttled
    return handler


def refusing(handler, refusals):
    """The handler class, refusing the commands named in refusals."""
    if not refusals:
        return handler

    class Refusing(handler):
        def ftp_REST(self, line):
            if "REST" in refusals:
                self.respond("502 Command not implemented.")
                return
            return handler.ftp_REST(self, line)

        def ftp_STOR(self, file, mode="w"):
            if "REST-IGNORED" in refusals:
                self._restart_position = 0
            return handler.ftp_STOR(self, file, mode)

        def ftp_RNFR(self, path):
            if "RENAME" in refusals:
                self.respond("550 Not enough privileges.")
                return
            return handler.ftp_RNFR(self, path)

        def ftp_FEAT(self, line):
            if "MLSD" not in refusals:
                return handler.ftp_FEAT(self, line)
            self.push("211-Features supported:\r\n EPRT\r\n EPSV\r\n MDTM\r\n SIZE\r\n REST STREAM\r\n UTF8\r\n")
            self.respond("211 End FEAT.")

        def ftp_MLSD(self, path):
            if "MLSD" in refusals:
                self.respond("502 Command not implemented.")
                return
            return handler.ftp_MLSD(self, path)

        def ftp_RNTO(self, path):
            if "RNTO" in refusals or ("RNTO-EXISTING" in refusals and os.path.exists(path)):
                self._rnfr = None
                self.respond("550 File exists.")
                return
            return handler.ftp_RNTO(self, path)

    return Refusing


def hashing(handler):
    """The handler with HASH, as the HASH=1 environment asks."""
    if os.environ.get("HASH") != "1":
        return handler
    import hashlib

    class Hashing(handler):
        proto_cmds = dict(handler.proto_cmds)
        proto_cmds["HASH"] = dict(perm="r", auth=True, arg=True, help="Syntax: HASH <SP> file-name")
        algorithm = "SHA-256"

        def ftp_FEAT(self, line):
            self.push("211-Features supported:\r\n EPRT\r\n EPSV\r\n MDTM\r\n SIZE\r\n"
                      " REST STREAM\r\n UTF8\r\n HASH SHA-256*;SHA-1\r\n")
            self.respond("211 End FEAT.")

        def ftp_OPTS(self, line):
            words = line.split()
            if len(words) == 2 and words[0].upper() == "HASH" and words[1].upper() in ("SHA-256", "SHA-1"):
                Hashing.algorithm = words[1].upper()
                self.respond("200 " + Hashing.algorithm)
                return
            return handler.ftp_OPTS(self, line)

        def ftp_HASH(self, path):
            name = hashlib.sha256 if Hashing.algorithm == "SHA-256" else hashlib.sha1
            try:
                with open(path, "rb") as f:
                    digest = name(f.read()).hexdigest()
            except OSError:
                self.respond("550 No such file.")
                return
            size = os.path.getsize(path)
            self.respond("213 %s 0-%d %s %s" % (Hashing.algorithm, max(size - 1, 0), digest,
                                                 os.path.basename(path)))

    return Hashing


def main():
    root = sys.argv[1]
    user = sys.argv[2] if len(sys.argv) > 2 else "user"
    password = sys.argv[3] if len(sys.argv) > 3 else "secret"
    address = sys.argv[4] if len(sys.argv) > 4 else "127.0.0.1"
    tls_dir = os.environ.get("TLS_DIR", "")
    if os.environ.get("QUIET") == "1":
        config_logging(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    if tls_dir:
        from pyftpdlib.handlers import TLS_FTPHandler

        handler = TLS_FTPHandler
        handler.certfile = ensure_certificates(tls_dir)
        # A client that does not protect the session and the data is refused.
        handler.tls_control_required = True
        handler.tls_data_required = True
    else:
        handler = FTPHandler
    handler = hashing(throttled(refusing(handler, os.environ.get("REFUSE", "").split())))
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    if os.environ.get("SLOW_READ_MS"):
        handler.abstracted_fs = slow_filesystem(int(os.environ["SLOW_READ_MS"]) / 1000.0)
        handler.use_sendfile = False
    if os.environ.get("CASE_FOLD") == "1":
        handler.abstracted_fs = case_folding_filesystem(handler.abstracted_fs)
    if os.environ.get("PASSIVE_PORT"):
        handler.passive_ports = [int(os.environ["PASSIVE_PORT"])]
    handler.banner = "Vollum test server ready."
    handler = test_handler(handler)
    server = FTPServer((address, 0), handler)
    if os.environ.get("MAX_CONS_PER_IP"):
        server.max_cons_per_ip = int(os.environ["MAX_CONS_PER_IP"])
    port = server.socket.getsockname()[1]
    sys.stdout.write("%d\n" % port)
    sys.stdout.flush()

    def watch_stdin():
        try:
            sys.stdin.read()
        finally:
            os._exit(0)

    threading.Thread(target=watch_stdin, daemon=True).start()
    server.serve_forever(handle_exit=False)


if __name__ == "__main__":
    main()
