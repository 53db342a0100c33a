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

For the parallel runs' tests, more of the environment:
MAX_CONS_PER_IP=n accepts at most n control connections from one address
(421 to the others);
CUT_CONNECTION=k closes the k-th connection (from 0, in the order they came)
at its first STOR; CHANGE_ON_STOR=NAME=PATH appends to the local file PATH
when a STOR of NAME arrives, so that the client's file changes as it is sent;
THROTTLE=n lets every data connection carry at most n bytes a second.

usage: ftp_server.py ROOT [USER PASSWORD [ADDRESS]]
"""
import logging
import os
import sys
import threading

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
    throttle = int(os.environ.get("THROTTLE", "0"))
    if throttle:
        from pyftpdlib.handlers import ThrottledDTPHandler

        class Throttled(ThrottledDTPHandler):
            read_limit = throttle
            write_limit = throttle

        base.dtp_handler = Throttled
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
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
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
