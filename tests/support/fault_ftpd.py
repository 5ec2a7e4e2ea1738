#!/usr/bin/python3
"""A scripted misbehaving FTP server for the client's fault tests.

It speaks just enough FTP for a login, a listing and an upload, and
misbehaves as --scenario says:
  refuse-login   530 to PASS
  refuse-stor    553 to STOR and 550 to MKD, with their reply text
  drop-transfer  closes both connections after 64 KiB of an upload
  silent         stops answering after the login (and FEAT)
  no-greeting    accepts the connection and never says a word
  421            answers the first command after the login (and FEAT) with 421 and hangs up
  long-line      a multi-line greeting with a 1 MiB line, IAC bytes included
  garbage-list   a listing with junk lines between the good ones
  late-226       stops reading an upload after 64 KiB for 1.5 s, then reads it to its end and says 226
  drop-data-426  resets the data connection after 64 KiB of an upload and says 426 half a second later
  stall-silent   stops reading an upload after 64 KiB and never says another word
  port-thief     in active mode, has 127.0.0.2 connect to the client's data port first; its 226 tells
                 what the intruder received
  pasv-elsewhere names 198.51.100.7 in its PASV reply (the port is right; the listener is on 127.0.0.1)
  evil-names     lists names that climb out ("../evil.txt", and "../../evil2.txt" inside the directory "d"),
                 keeps track of CWD d / .. and serves "pwned" for every RETR
  odd-names      lists names with a NUL, a CR, a tab, Shift_JIS and stray bytes (EXTRA_LISTINGS)
  refused-link   lists a symbolic link "lnk -> ../shared" and a file "f.txt"; DELE of lnk is answered 550,
                 of anything else 250
  truncate-retr  a download's data connection ends after 256 KiB without TLS's own close (a cut, not an
                 end), and the control connection still says 226
  drop-later     every session but the first to log in answers its second STOR with 421 and hangs up, as a
                 server ends a session left idle
  pipeline       answers PASV and PORT only once the next command line has come, or after 0.5 s: each final
                 reply to a transfer ends with "; PASV alone" or "; PASV with STOR" (PORT likewise). The name
                 of that next STOR picks a fault: "refuse*" 553 to it; "no-setup*" PASV/PORT refused with 500
                 and the STOR then 425, or 150 for "no-setup-150*"; "dead-port*" a PASV port nobody listens on,
                 the STOR then 425 for "dead-port-425*", else 150 and nothing more. FEAT offers MFMT, answered
                 213, 550 for a name starting "refuse" and 421 (hanging up) for one starting "gone".
CWD to a name starting with "missing" is answered 550 in every scenario.
With --tls-cert and --tls-key the server speaks real TLS: AUTH TLS, PBSZ and PROT are accepted and every
data connection is TLS, so that the scenarios happen inside a TLS session (the listing scenarios stay plain).
The listing scenarios (refuse-mlsd, unreadable-list, total-only-list, raw-names) are described at
LISTING_SCENARIOS below.
"""
import argparse
import itertools
import select
import socket
import ssl
import struct
import threading
import time

from ftpd_common import announce_port, exit_with_parent

LISTING = (
    b"total 8\r\n"
    b"drwxr-xr-x   2 ftp ftp  4096 Jan 01 12:00 good dir\r\n"
    b"\x00\xff\xfe garbage \x1b[31m\r\n"
    b"-rw-r--r--   1 ftp ftp  12 Jan 01  2020 file.txt\r\n"
    b"-rw-r--r--   1 ftp ftp\r\n"
    b"Mon Jan 32 99:99 nonsense\r\n"
    + b"x" * 20000 + b"\r\n"
    b"01-02-20  03:04PM       <DIR>          dosdir\r\n"
)

EVIL_TOP = (
    b"-rw-r--r--   1 ftp ftp  5 Jan 01  2020 ../evil.txt\r\n"
    b"drwxr-xr-x   2 ftp ftp  4096 Jan 01  2020 d\r\n"
)
LINK_LISTING = (
    b"lrwxrwxrwx   1 ftp ftp     9 Jan 01  2020 lnk -> ../shared\r\n"
    b"-rw-r--r--   1 ftp ftp     1 Jan 01  2020 f.txt\r\n"
)

EVIL_INNER = (
    b"-rw-r--r--   1 ftp ftp  5 Jan 01  2020 ../../evil2.txt\r\n"
    b"-rw-r--r--   1 ftp ftp  5 Jan 01  2020 ok.txt\r\n"
)


LOGINS = itertools.count()


def close_data(data):
    """Ends a data connection as a complete transfer does: over TLS with TLS's own close first."""
    if isinstance(data, ssl.SSLSocket) and data.fileno() >= 0:
        try:
            data = data.unwrap()
        except OSError:
            pass
    data.close()


class Lines:
    """The control connection's lines, with a look at whether the next one has come already."""

    def __init__(self, conn):
        self.conn, self.buf = conn, b""

    def _fill(self, timeout=None):
        pending = isinstance(self.conn, ssl.SSLSocket) and self.conn.pending()
        if timeout is not None and not pending and not select.select([self.conn], [], [], timeout)[0]:
            return False
        chunk = self.conn.recv(65536)
        if not chunk:
            raise EOFError
        self.buf += chunk
        return True

    def readline(self):
        try:
            while b"\n" not in self.buf:
                self._fill()
        except (EOFError, OSError):
            return b""
        line, _, self.buf = self.buf.partition(b"\n")
        return line + b"\n"

    def next_within(self, seconds):
        """The next line (left unread) when it comes within `seconds`, else None."""
        deadline = time.monotonic() + seconds
        try:
            while b"\n" not in self.buf:
                left = deadline - time.monotonic()
                if left <= 0 or not self._fill(left):
                    return None
        except (EOFError, OSError):
            return None
        return self.buf.partition(b"\n")[0].decode("utf-8", "replace").strip()


def serve(conn, args):
    f = Lines(conn)
    send = lambda text: conn.sendall(text if isinstance(text, bytes) else (text + "\r\n").encode())
    if args.scenario == "long-line":
        send(b"220-" + b"\xff\xfb\x01" + b"y" * (1 << 20) + b"\r\n220 ready\r\n")
    elif args.scenario == "no-greeting":
        time.sleep(3600)
        return
    else:
        send("220 fault server ready")
    logged_in = False
    session, stors = 0, 0
    cwd = "/"
    data_addr = None
    pasv = None
    setup = ""  # how the last PASV or PORT came (pipeline)
    while True:
        line = f.readline()
        if not line:
            return
        cmd, _, arg = line.decode("utf-8", "replace").strip().partition(" ")
        cmd = cmd.upper()
        if cmd in ("PASV", "PORT") and args.scenario == "pipeline":
            following = f.next_within(0.5)
            setup = "%s with %s" % (cmd, following.split(" ")[0]) if following else cmd + " alone"
            name = following.partition(" ")[2].lstrip("./") if following else ""
            if name.startswith("no-setup"):
                data_addr, pasv = None, None
                send("500 %s refused." % cmd)
                continue
            if name.startswith("dead-port") and cmd == "PASV":
                gone = socket.socket()
                gone.bind(("127.0.0.1", 0))
                p = gone.getsockname()[1]
                gone.close()
                pasv = None
                send("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (p >> 8, p & 255))
                continue
        if cmd == "STOR" and args.scenario == "pipeline" and pasv is None and data_addr is None:
            name = arg.lstrip("./")
            send("150 going ahead" if name.startswith(("no-setup-150", "dead-port")) and "425" not in name
                 else "425 Can't open data connection.")
            continue
        if cmd == "MFMT" and args.scenario == "pipeline":
            name = arg.partition(" ")[2].lstrip("./")
            if name.startswith("gone"):
                send("421 Timeout.")
                conn.close()
                return
            send("550 %s: refused." % name if name.startswith("refuse") else "213 Modify=%s; %s" % (arg[:14], name))
            continue
        after_login = logged_in and cmd not in ("FEAT", "OPTS", "PBSZ", "PROT")
        if after_login and args.scenario == "silent":
            time.sleep(3600)
            return
        if after_login and args.scenario == "421":
            send("421 Service not available, closing control connection.")
            conn.close()
            return
        if cmd == "AUTH" and args.scenario in ("auth-then-plain", "auth-then-silent"):
            # Says yes to TLS and then speaks none: clear text, or nothing at all.
            send("234 AUTH TLS successful")
            if args.scenario == "auth-then-plain":
                send("220 still talking in clear")
                time.sleep(2)
            else:
                time.sleep(3600)
            return
        if cmd == "AUTH" and args.tls is not None:
            send("234 AUTH TLS successful")
            conn = args.tls.wrap_socket(conn, server_side=True)
            f = Lines(conn)
            continue
        if cmd in ("PBSZ", "PROT") and args.tls is not None:
            send("200 ok")
            continue
        if cmd == "USER":
            send("331 password please")
        elif cmd == "PASS":
            if args.scenario == "refuse-login" or arg != args.password:
                send("530 Login incorrect.")
            else:
                logged_in = True
                session = next(LOGINS)
                send("230 logged in")
        elif cmd == "FEAT":
            send("211-Features:\r\n SIZE\r\n%s211 End" % (" MFMT\r\n" if args.scenario == "pipeline" else ""))
        elif cmd == "PWD":
            send('257 "%s" is the current directory' % cwd)
        elif cmd == "CWD" and args.scenario == "evil-names":
            target = arg.rstrip("/")
            if target in ("d", "/d"):
                cwd = "/d"
            elif target in ("..", ""):
                cwd = "/"
            else:
                send("550 no such directory")
                continue
            send("250 ok")
        elif cmd == "CWD" and arg.startswith("missing"):
            send("550 %s: No such file or directory." % arg)
        elif cmd in ("CWD", "TYPE", "OPTS"):
            send("200 ok" if cmd != "CWD" else "250 ok")
        elif cmd == "MKD":
            send("550 Create directory operation failed.")
        elif cmd == "PORT":
            n = [int(x) for x in arg.split(",")]
            data_addr = (".".join(map(str, n[:4])), n[4] * 256 + n[5])
            pasv = None
            send("200 PORT ok")
        elif cmd == "PASV":
            pasv = socket.socket()
            pasv.bind(("127.0.0.1", 0))
            pasv.listen(1)
            p = pasv.getsockname()[1]
            host = "198,51,100,7" if args.scenario == "pasv-elsewhere" else "127,0,0,1"
            send("227 Entering Passive Mode (%s,%d,%d)" % (host, p >> 8, p & 255))
        elif cmd in ("STOR", "LIST", "RETR"):
            if cmd == "STOR" and args.scenario == "drop-later" and session > 0:
                stors += 1
                if stors == 2:
                    send("421 Timeout.")
                    conn.close()
                    return
            if cmd == "STOR" and (args.scenario == "refuse-stor" or
                                  args.scenario == "pipeline" and arg.lstrip("./").startswith("refuse")):
                send("553 Could not create file %s: permission denied." % arg)
                continue
            send("150 here it comes")
            thief = None
            if pasv is not None:
                data, _ = pasv.accept()
            else:
                if args.scenario == "port-thief":
                    thief = socket.create_connection(data_addr, source_address=("127.0.0.2", 0))
                data = socket.create_connection(data_addr)
            if args.tls is not None:
                data = args.tls.wrap_socket(data, server_side=True)
            if cmd == "RETR" and args.scenario == "truncate-retr":
                data.sendall(b"t" * (256 << 10))
                data.shutdown(socket.SHUT_RDWR)  # on an SSLSocket: the TCP connection alone, no close_notify
                data.close()
                send("226 done")
                continue
            if cmd == "RETR":
                data.sendall(b"pwned")
                close_data(data)
                send("226 done")
                continue
            if cmd == "LIST":
                if args.scenario == "evil-names":
                    data.sendall(EVIL_TOP if cwd == "/" else EVIL_INNER)
                    close_data(data)
                    send("226 done")
                    continue
                if args.scenario in EXTRA_LISTINGS or args.scenario == "refused-link":
                    data.sendall(EXTRA_LISTINGS.get(args.scenario, LINK_LISTING))
                    close_data(data)
                    send("226 done")
                    continue
                data.sendall(LISTING if args.scenario == "garbage-list" else b"")
                close_data(data)
                send("226 done")
                continue
            got = 0
            final = None
            stalled = False
            while True:
                try:
                    chunk = data.recv(65536)
                except OSError:
                    chunk = b""
                if not chunk:
                    break
                got += len(chunk)
                if got < 65536:
                    continue
                if args.scenario == "drop-transfer":
                    data.close()
                    conn.shutdown(socket.SHUT_RDWR)
                    conn.close()
                    return
                if args.scenario == "late-226" and not stalled:
                    stalled = True
                    time.sleep(1.5)  # the client gives up meanwhile; its 226 then comes late
                elif args.scenario == "drop-data-426":
                    data.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    data.close()  # a reset, not a FIN: the client's next send fails
                    time.sleep(0.5)
                    final = "426 Connection closed; transfer aborted."
                    break
                elif args.scenario == "stall-silent":
                    time.sleep(3600)
                    return
            close_data(data)
            if thief is not None:
                stolen = 0
                thief.settimeout(0.5)
                try:
                    while True:
                        chunk = thief.recv(65536)
                        if not chunk:
                            break
                        stolen += len(chunk)
                except OSError:
                    pass
                final = "226 stored %d bytes; 127.0.0.2 got %d" % (got, stolen)
            send(final or "226 stored %d bytes" % got + ("; " + setup if args.scenario == "pipeline" else ""))
        elif cmd == "DELE" and args.scenario == "refused-link":
            send("550 %s: Permission denied." % arg if "lnk" in arg else "250 deleted")
        elif cmd == "QUIT":
            send("221 bye")
            return
        else:
            send("502 not implemented")


LISTING_SCENARIOS = {
    # FEAT offers MLST; MLSD is answered 500. Every final reply to LIST ends
    # with " received: " and the commands of the connection so far, "|"-joined.
    "refuse-mlsd": b"-rw-r--r--   1 ftp ftp  12 Jan 01  2020 file.txt\r\n"
                   b"drwxr-xr-x   2 ftp ftp  4096 Jan 01  2020 dir\r\n",
    # Lines, not one of which is a listing line we know.
    "unreadable-list": b"Directory of /home/ftp\r\nfile.txt   12 bytes   2020/01/01\r\n"
                       b"dir        <folder>   2020/01/01\r\n",
    # An empty folder as ls shows it.
    "total-only-list": b"total 0\r\n\r\n",
    # Names whose bytes must come back whole: Shift_JIS, invalid UTF-8, a CR
    # inside and at the end, a NUL, trailing spaces; LF-only line ends.
    "raw-names": b"-rw-r--r--   1 ftp ftp  1 Jan 01  2020 \x93\xfa\x96\x7b.txt\r\n"
                 b"-rw-r--r--   1 ftp ftp  2 Jan 01  2020 bad\xff\xfe.txt\r\n"
                 b"-rw-r--r--   1 ftp ftp  3 Jan 01  2020 cr\rinside\r\n"
                 b"-rw-r--r--   1 ftp ftp  4 Jan 01  2020 cr at end\r\r\n"
                 b"-rw-r--r--   1 ftp ftp  5 Jan 01  2020 cut.txt\x00.exe\r\n"
                 b"-rw-r--r--   1 ftp ftp  6 Jan 01  2020 spaces after  \n",
}


def serve_listing(conn, args):
    """The scenarios of LISTING_SCENARIOS: a login, PWD, CWD, TYPE, PORT/PASV and a listing."""
    f = conn.makefile("rb")
    send = lambda text: conn.sendall((text + "\r\n").encode())
    send("220 listing server ready")
    received = []
    data_addr = None
    pasv = None
    while True:
        line = f.readline()
        if not line:
            return
        cmd, _, arg = line.decode("utf-8", "replace").strip().partition(" ")
        cmd = cmd.upper()
        received.append((cmd + " " + arg).strip())
        if cmd == "USER":
            send("331 password please")
        elif cmd == "PASS":
            send("230 logged in" if arg == args.password else "530 Login incorrect.")
        elif cmd == "FEAT":
            extra = " MLST type*;size*;modify*;\r\n MLSD\r\n" if args.scenario == "refuse-mlsd" else ""
            conn.sendall(("211-Features:\r\n SIZE\r\n%s211 End\r\n" % extra).encode())
        elif cmd == "PWD":
            send('257 "/" is the current directory')
        elif cmd in ("CWD", "TYPE"):
            send("250 ok" if cmd == "CWD" else "200 ok")
        elif cmd == "PORT":
            n = [int(x) for x in arg.split(",")]
            data_addr = (".".join(map(str, n[:4])), n[4] * 256 + n[5])
            pasv = None
            send("200 PORT ok")
        elif cmd == "PASV":
            pasv = socket.socket()
            pasv.bind(("127.0.0.1", 0))
            pasv.listen(1)
            p = pasv.getsockname()[1]
            send("227 Entering Passive Mode (127,0,0,1,%d,%d)" % (p >> 8, p & 255))
        elif cmd == "MLSD" and args.scenario == "refuse-mlsd":
            send("500 'MLSD': command not understood.")
        elif cmd == "LIST":
            send("150 here it comes")
            data = pasv.accept()[0] if pasv is not None else socket.create_connection(data_addr)
            data.sendall(LISTING_SCENARIOS[args.scenario])
            data.close()
            send("226 done; received: " + "|".join(c for c in received if not c.startswith("PASS")))
        elif cmd == "QUIT":
            send("221 bye")
            return
        else:
            send("502 not implemented")


# Scenarios that only list something of their own.
#   odd-names  names a file system may not hold and a server may still send: a NUL, a CR, a tab,
#              Shift_JIS bytes, bytes that are no text at all, a right-to-left override
EXTRA_LISTINGS = {
    "odd-names": b"".join(
        b"-rw-r--r--   1 ftp ftp  5 Jan 01  2020 " + name + b"\r\n"
        for name in (b"a\x00b.txt", b"cr\rname.txt", b"tab\tname.txt", b"\x93\xfa\x96{\x8c\xea.txt",
                     b"\xff\xfe.bin", b"rtl\xe2\x80\xaetxt.exe", b"plain.txt")),
}


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--root")
    ap.add_argument("--user", default="parvex")
    ap.add_argument("--password", default="secret")
    ap.add_argument("--port-file", required=True)
    ap.add_argument("--scenario", required=True)
    ap.add_argument("--tls-cert", help="the server's certificate (PEM); with it the server speaks TLS")
    ap.add_argument("--tls-key", help="the certificate's private key (PEM)")
    args = ap.parse_args()
    args.tls = None
    if args.tls_cert:
        args.tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        args.tls.load_cert_chain(args.tls_cert, args.tls_key)
    s = socket.socket()
    s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    s.bind(("127.0.0.1", 0))
    s.listen(16)
    announce_port(args.port_file, s.getsockname()[1])
    exit_with_parent()
    while True:
        conn, _ = s.accept()
        target = serve_listing if args.scenario in LISTING_SCENARIOS else serve
        threading.Thread(target=target, args=(conn, args), daemon=True).start()


if __name__ == "__main__":
    main()
