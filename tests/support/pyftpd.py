#!/usr/bin/python3
"""A throwaway pyftpdlib server for tests and the demo.

Serves ROOT to one user on 127.0.0.1, on an ephemeral port that it writes to
PORT_FILE once it listens, and stops when its parent goes away. With
--tls-cert and --tls-key it demands explicit TLS (AUTH TLS) for the login and
every data connection. With --encoding (cp932, euc_jp) it is an older server
of that encoding: it keeps every name as the bytes the client sent (so the
names on its disk are in that encoding), lists them as they are on disk, and
neither lists UTF8 in FEAT nor accepts OPTS UTF8 ON.
"""
import argparse
import sys

from ftpd_common import serve_pyftpdlib

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler, TLS_FTPHandler


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--user", default="parvex")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--read-limit", type=int, default=0,
                    help="bytes per second an upload may arrive at (0: no limit)")
    ap.add_argument("--log", help="file that gets the server's log of every command (default: errors to stderr)")
    ap.add_argument("--stor-delay", type=float, default=0.0,
                    help="seconds each upload waits before it starts, so that a person can watch it")
    ap.add_argument("--first-cwd-delay", type=float, default=0.0,
                    help="seconds the first CWD of a session waits for its answer, so that a person can read "
                         "what the client said about its login")
    ap.add_argument("--tls-cert", help="the server's certificate (PEM); with it TLS is required")
    ap.add_argument("--tls-key", help="the certificate's private key (PEM)")
    ap.add_argument("--encoding", choices=["cp932", "euc_jp"],
                    help="the encoding of the names on the server's disk")
    args = ap.parse_args()

    auth = DummyAuthorizer()
    auth.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    if args.tls_cert:
        class TlsHandler(TLS_FTPHandler):
            certfile = args.tls_cert
            keyfile = args.tls_key
            tls_control_required = True
            tls_data_required = True

            def handle_ssl_established(self):
                self.log("control connection secured with " + self.socket.get_protocol_version_name())

        handler = TlsHandler
    else:
        handler = FTPHandler
    if args.stor_delay > 0 or args.first_cwd_delay > 0:
        base = handler

        # Delays are scheduled, not slept: the server keeps serving while it waits.
        class WatchableHandler(base):
            cwd_delay = args.first_cwd_delay

            def later(self, delay, command, *arguments):
                if delay > 0:
                    self.ioloop.call_later(delay, command, self, *arguments)
                else:
                    command(self, *arguments)

            def ftp_STOR(self, file, mode="w"):
                self.later(args.stor_delay, base.ftp_STOR, file, mode)

            def ftp_CWD(self, path):
                delay, self.cwd_delay = self.cwd_delay, 0.0
                self.later(delay, base.ftp_CWD, path)

        handler = WatchableHandler
    if args.encoding:
        base = handler

        # Python reads undecodable bytes in a name as lone surrogates and
        # writes them back as the same bytes: names pass through unchanged.
        class LegacyNamesHandler(base):
            unicode_errors = "surrogateescape"
            hiding_utf8 = False

            def decode(self, data):
                return data.decode("utf8", "surrogateescape")

            def push(self, text):
                if self.hiding_utf8:
                    text = text.replace(" UTF8\r\n", "")
                super(FTPHandler, self).push(text.encode("utf8", "surrogateescape"))

            def ftp_FEAT(self, line):
                self.hiding_utf8 = True
                try:
                    base.ftp_FEAT(self, line)
                finally:
                    self.hiding_utf8 = False

        handler = LegacyNamesHandler
    if args.read_limit > 0:
        if args.tls_cert:
            sys.exit("--read-limit works without TLS only")
        dtp = ThrottledDTPHandler
        dtp.read_limit = args.read_limit
        handler.dtp_handler = dtp
    handler.authorizer = auth
    serve_pyftpdlib(handler, "parvex test server ready", args.port_file, args.log)

if __name__ == "__main__":
    main()
