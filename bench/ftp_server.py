"""pyftpdlib for bench/run: one user with full rights on ROOT, listening on
ADDRESS:PORT (PORT 0 picks a free one). Prints the port on its first line and
ends when stdin closes. Logging is off so it costs the server nothing.

usage: ftp_server.py ROOT ADDRESS PORT USER PASSWORD
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
    root, address, port, user, password = sys.argv[1:6]
    config_logging(level=logging.ERROR)
    authorizer = DummyAuthorizer()
    authorizer.add_user(user, password, root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.permit_foreign_addresses = False
    server = FTPServer((address, int(port)), handler)
    sys.stdout.write("%d\n" % server.socket.getsockname()[1])
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
