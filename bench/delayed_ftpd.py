#!/usr/bin/python3
"""pyftpdlib as a server at the far end of a slow link: every reply leaves a
fixed time (--delay, seconds) after it was ready, as if each round trip cost
that much. Serves ROOT to parvex/secret on 127.0.0.1, writes its port to
PORT_FILE once it listens, logs every command to --log when given, and stops
when its parent goes away.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "support"))
from ftpd_common import serve_pyftpdlib  # noqa: E402

from pyftpdlib.authorizers import DummyAuthorizer  # noqa: E402
from pyftpdlib.handlers import FTPHandler  # noqa: E402


def handler_with_delay(delay):
    """An FTPHandler whose replies, and the closing after the last, are held back by `delay` seconds.
    Scheduled, not slept: the server goes on serving (and transferring data) meanwhile, and since every
    reply waits equally long they leave in the order they were made."""

    class DelayedHandler(FTPHandler):
        def push(self, data):
            self.ioloop.call_later(delay, self._push_now, data)

        def _push_now(self, data):
            if self.connected:
                FTPHandler.push(self, data)

        def close_when_done(self):
            self.ioloop.call_later(delay, self._close_now)

        def _close_now(self):
            if self.connected:
                FTPHandler.close_when_done(self)

    return DelayedHandler


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root", required=True)
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--delay", type=float, default=0.030, help="seconds each reply is held back")
    ap.add_argument("--log", help="file that gets every command the server receives")
    args = ap.parse_args()
    auth = DummyAuthorizer()
    auth.add_user("parvex", "secret", args.root, perm="elradfmwMT")
    handler = handler_with_delay(args.delay) if args.delay > 0 else FTPHandler
    handler.authorizer = auth
    serve_pyftpdlib(handler, "parvex bench server ready", args.port_file, args.log)

if __name__ == "__main__":
    main()
