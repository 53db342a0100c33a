"""A real FTP server for the end-to-end tests and bench/run: Debian's pyftpdlib
on a free loopback port (or ADDRESS). Prints the port on its first line; ends
when stdin closes. QUIET=1 in the environment turns its logging off, so that it
costs a benchmark nothing.

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


def main():
    root = sys.argv[1]
    user = sys.argv[2] if len(sys.argv) > 2 else "user"
    password = sys.argv[3] if len(sys.argv) > 3 else "secret"
    address = sys.argv[4] if len(sys.argv) > 4 else "127.0.0.1"
    if os.environ.get("QUIET") == "1":
        config_logging(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    handler.banner = "Vollum test server ready."
    server = FTPServer((address, 0), handler)
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
